// varnel-hwp as users and scripts call it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sys/wait.h>

#include "hwp/reader.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "stream_checks.h"

namespace {

using namespace hwp_testing;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// `locale` goes before the program as the shell's variables ("LANG=ko_KR.UTF-8").
ToolRun RunTool(const ScratchFolder& scratch, const std::string& arguments, const std::string& locale = "LANG=C.UTF-8")
{
    const std::string out = scratch.File("stdout.txt");
    const std::string err = scratch.File("stderr.txt");
    const std::string command = "LC_ALL= LC_MESSAGES= " + locale + " '" + VARNEL_HWP_TOOL + "' " + arguments + " >'" + out +
                                "' 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

TEST(HwpTool, TextPrintsOneLinePerParagraphAndTheTextInsideObjects)
{
    ScratchFolder scratch;
    hwp::Document document = DocumentWithTexts({u"① 첫째", u"", u"둘째\n줄"});
    document.sections.front().paragraphs[1].controls.push_back(TableControl(document, {u"칸 하나", u"", u"칸 셋"}));
    hwp::WriteDocument(document, scratch.File("a.hwp"));
    const ToolRun run = RunTool(scratch, "text '" + scratch.File("a.hwp") + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "① 첫째\n\n칸 하나\n칸 셋\n둘째 줄\n");
}

TEST(HwpTool, InfoPrintsVersionCountsAndPage)
{
    ScratchFolder scratch;
    hwp::WriteDocument(QuestionDocument(), scratch.File("q.hwp"));
    const ToolRun run = RunTool(scratch, "info '" + scratch.File("q.hwp") + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("version: 5.0.3.0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("compressed"), std::string::npos);
    EXPECT_NE(run.out.find("char shapes: 3"), std::string::npos);
    EXPECT_NE(run.out.find("styles: 3"), std::string::npos);
    EXPECT_NE(run.out.find("59528 x 84188 (210.0 mm x 297.0 mm), portrait"), std::string::npos) << run.out;
}

TEST(HwpTool, RewriteWritesAnEqualDocument)
{
    ScratchFolder scratch;
    const hwp::Document document = QuestionDocument();
    hwp::WriteDocument(document, scratch.File("in.hwp"));
    const ToolRun run = RunTool(scratch, "rewrite '" + scratch.File("in.hwp") + "' '" + scratch.File("out.hwp") + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(hwp::ReadDocument(scratch.File("out.hwp")).sections, hwp::ReadDocument(scratch.File("in.hwp")).sections);
}

// What the word processor wrote, rewritten: every stream and storage is there, those not
// renewed unchanged, every DocInfo record kept, and the preview picture renewed as a GIF
// of its size.
TEST(HwpTool, RewriteOfTheSamplesKeepsEveryStreamAndRenewsThePreviews)
{
    std::vector<std::string> paths;
    for (const std::string& path : SamplePaths()) {
        if (path.find("password") == std::string::npos)
            paths.push_back(path);
    }
    if (paths.empty())
        GTEST_SKIP() << "no HWP samples";
    ScratchFolder scratch;
    std::string arguments = "rewrite -o '" + scratch.Path() + "'";
    for (const std::string& path : paths)
        arguments += " '" + path + "'";
    const ToolRun run = RunTool(scratch, arguments);
    ASSERT_EQ(run.status, 0) << run.err;
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::string name = path.substr(path.rfind('/') + 1);
        const std::string written = ReadFile(scratch.File(name));
        for (const std::string& loss : StreamLosses(ReadFile(path), written))
            ADD_FAILURE() << loss;
        const hwp::StreamMap streams = hwp::ReadCompoundFile(written, 64u << 20);
        ASSERT_TRUE(streams.count("PrvImage"));
        const std::string& image = streams.at("PrvImage");
        ASSERT_GT(image.size(), 10u);
        EXPECT_EQ(image.substr(0, 6), "GIF89a");
        EXPECT_EQ(static_cast<unsigned char>(image[6]) | static_cast<unsigned char>(image[7]) << 8, 177);
        EXPECT_EQ(static_cast<unsigned char>(image[8]) | static_cast<unsigned char>(image[9]) << 8, 250);
    }
}

TEST(HwpTool, ErrorsGoToStandardErrorWithAFailingStatus)
{
    ScratchFolder scratch;
    WriteFile(scratch.File("junk.hwp"), "this is not a document");
    ToolRun run = RunTool(scratch, "text '" + scratch.File("junk.hwp") + "'");
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("not an HWP 5.0 document"), std::string::npos) << run.err;

    run = RunTool(scratch, "info '" + scratch.File("missing.hwp") + "'");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("missing.hwp"), std::string::npos) << run.err;

    run = RunTool(scratch, "rewrite '" + scratch.File("junk.hwp") + "' '" + scratch.File("out.hwp") + "'");
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(ReadFile(scratch.File("out.hwp")).empty());

    run = RunTool(scratch, "frobnicate");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("usage"), std::string::npos);
}

// Damaged documents all the way to a page: each is printed or refused within its time,
// never a hang or a crash. Bytes set to 0x7F make the large sizes and spacings that once
// kept the tool busy for hours.
TEST(HwpTool, DamagedDocumentsArePrintedOrRefusedInTime)
{
    ScratchFolder scratch;
    hwp::Document document = ThreePageDocument();
    document.sections.front().paragraphs.front().controls.push_back(TableControl(document, {u"칸", u"표의 칸"}));
    const Unpacked unpacked = Unpack(document);
    std::mt19937 random(2026);
    int printed = 0;
    for (int round = 0; round < 24; ++round) {
        std::string docInfo = unpacked.docInfo;
        std::string section = unpacked.section;
        std::string& target = (round % 2) ? section : docInfo;
        const int damage = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < damage; ++i)
            target[random() % target.size()] = (random() % 2) ? '\x7F' : static_cast<char>(random());
        const std::string file = scratch.File("damaged.hwp");
        WriteFile(file, Pack(unpacked, docInfo, section));
        for (const std::string command : {"image", "pdf"}) {
            const std::string out = scratch.File(command == "pdf" ? "out.pdf" : "out.png");
            const ToolRun run = RunTool(scratch, command + " '" + file + "' '" + out + "'", "LANG=C.UTF-8 timeout -s KILL 30");
            EXPECT_TRUE(run.status == 0 || run.status == 1)
                << "round " << round << ", " << command << ": status " << run.status << " " << run.err;
            printed += run.status == 0;
        }
    }
    EXPECT_GT(printed, 0) << "no damage was harmless: the check proves nothing";
}

TEST(HwpTool, CommandLinesGetTheirDocumentedExitStatus)
{
    ScratchFolder scratch;
    hwp::WriteDocument(QuestionDocument(), scratch.File("q.hwp"));
    const std::string q = " '" + scratch.File("q.hwp") + "'";
    const std::string folder = " -o '" + scratch.File("out") + "'";
    const struct {
        std::string arguments;
        int status;
        const char* says; // on standard output for 0, standard error otherwise
    } cases[] = {
        {"--help", 0, "Exit status: 0 everything was done; 1 a document"},
        {"info --help", 0, "usage: varnel-hwp COMMAND"},
        {"--version", 0, "varnel-hwp " VARNEL_VERSION "\n"},
        {"", 2, "usage"},
        {"frobnicate" + q, 2, "unknown command \"frobnicate\""},
        {"text", 2, "no document named"},
        {"text --frob" + q, 2, "unknown option \"--frob\""},
        {"text --pages 1" + q, 2, "belong to image"},
        {"image --dpi 5" + folder + q, 2, "--dpi takes a number from 24 to 1200"},
        {"image --pages 3-1" + folder + q, 2, "--pages takes pages"},
        {"image --pages 1-2" + q + q, 2, "several pages need -o DIR"},
        {"pdf" + q, 2, "give IN OUT, or -o DIR"},
        {"rewrite -o" , 2, "-o needs a value"},
        {"info" + q + " '" + scratch.File("none.hwp") + "'", 1, "none.hwp"},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTool(scratch, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.says), std::string::npos) << c.arguments << "\n" << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(scratch.File("out"))) << "a usage error does nothing";
}

TEST(HwpTool, SeveralDocumentsGoIntoTheFolderAndABadOneDoesNotStopTheOthers)
{
    ScratchFolder scratch;
    hwp::WriteDocument(DocumentWithTexts({u"첫 문서"}), scratch.File("a.hwp"));
    std::filesystem::create_directory(scratch.File("other"));
    hwp::WriteDocument(DocumentWithTexts({u"둘째 문서"}), scratch.File("other/b.HWP"));
    WriteFile(scratch.File("junk.hwp"), "this is not a document");
    const std::string inputs = " '" + scratch.File("a.hwp") + "' '" + scratch.File("junk.hwp") + "' '" +
                               scratch.File("other/b.HWP") + "'";

    ToolRun run = RunTool(scratch, "text -o '" + scratch.File("out/texts") + "'" + inputs);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("junk.hwp: not an HWP 5.0 document"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(scratch.File("out/texts/a.txt")), "첫 문서\n");
    EXPECT_EQ(ReadFile(scratch.File("out/texts/b.txt")), "둘째 문서\n");
    EXPECT_FALSE(std::filesystem::exists(scratch.File("out/texts/junk.txt")));

    run = RunTool(scratch, "info -o '" + scratch.File("out") + "'" + inputs);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(ReadFile(scratch.File("out/b.info.txt")).find("version: 5.0.3.0"), std::string::npos);

    // Without -o the documents follow each other on standard output, each under its name.
    run = RunTool(scratch, "text '" + scratch.File("a.hwp") + "' '" + scratch.File("other/b.HWP") + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "==> " + scratch.File("a.hwp") + " <==\n첫 문서\n\n==> " + scratch.File("other/b.HWP") +
                           " <==\n둘째 문서\n");
}

TEST(HwpTool, RewriteIntoAFolderNeverWritesOverADocumentOrAnEarlierOutput)
{
    ScratchFolder scratch;
    hwp::WriteDocument(DocumentWithTexts({u"하나"}), scratch.File("a.hwp"));
    std::filesystem::create_directory(scratch.File("other"));
    hwp::WriteDocument(DocumentWithTexts({u"같은 이름"}), scratch.File("other/a.hwp"));
    const std::string before = ReadFile(scratch.File("a.hwp"));

    ToolRun run = RunTool(scratch, "rewrite -o '" + scratch.Path() + "' '" + scratch.File("a.hwp") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is the document itself"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(scratch.File("a.hwp")), before);

    run = RunTool(scratch, "rewrite -o '" + scratch.File("out") + "' '" + scratch.File("a.hwp") + "' '" +
                               scratch.File("other/a.hwp") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is written for an earlier document already"), std::string::npos) << run.err;
    EXPECT_EQ(hwp::ReadDocument(scratch.File("out/a.hwp")).sections, hwp::ReadDocument(scratch.File("a.hwp")).sections)
        << "the first of the two";
}

TEST(HwpTool, MessagesAreKoreanForAKoreanLocale)
{
    ScratchFolder scratch;
    WriteFile(scratch.File("junk.hwp"), "this is not a document");
    const std::string junk = " '" + scratch.File("junk.hwp") + "'";
    const struct {
        std::string locale;
        std::string arguments;
        const char* says;
    } cases[] = {
        {"LANG=ko_KR.UTF-8", "text" + junk, "junk.hwp: HWP 5.0 문서가 아닙니다: OLE2 복합 파일이 아니거나 손상되었습니다"},
        {"LANG=ko_KR.UTF-8", "info '" + scratch.File("none.hwp") + "'", "none.hwp: 파일을 열 수 없습니다"},
        {"LANG=ko_KR.UTF-8", "frobnicate", "모르는 명령 \"frobnicate\"\n사용법: varnel-hwp"},
        {"LANG=ko_KR.UTF-8", "--help", "사용법: varnel-hwp 명령"},
        {"LANG=en_US.UTF-8 LC_MESSAGES=ko_KR.UTF-8", "text" + junk, "HWP 5.0 문서가 아닙니다"},
        {"LANG=ko_KR.UTF-8 LC_ALL=de_DE.UTF-8", "text" + junk, "not an HWP 5.0 document"},
        {"LANG=de_DE.UTF-8", "frobnicate", "unknown command"},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTool(scratch, c.arguments, c.locale);
        EXPECT_NE((run.status == 0 ? run.out : run.err).find(c.says), std::string::npos)
            << c.locale << " " << c.arguments << "\n" << run.err;
    }
}

}  // namespace
