// varnel-hwp as users and scripts call it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sys/wait.h>

#include "hwp/reader.h"
#include "hwp/writer.h"
#include "hwp_testing.h"

namespace {

using namespace hwp_testing;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// `before` runs the tool, as `timeout 9` does.
ToolRun RunTool(const ScratchFolder& scratch, const std::string& arguments, const std::string& before = {})
{
    const std::string out = scratch.File("stdout.txt");
    const std::string err = scratch.File("stderr.txt");
    const std::string command =
        before + " '" + VARNEL_HWP_TOOL + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
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
            const ToolRun run = RunTool(scratch, command + " '" + file + "' '" + out + "'", "timeout -s KILL 30");
            EXPECT_TRUE(run.status == 0 || run.status == 1)
                << "round " << round << ", " << command << ": status " << run.status << " " << run.err;
            printed += run.status == 0;
        }
    }
    EXPECT_GT(printed, 0) << "no damage was harmless: the check proves nothing";
}

}  // namespace
