// Damaged and hostile input gets a clear HwpError: never a crash, another exception, or
// an allocation the file's own sizes drive. The writer refuses documents it cannot
// write and never harms the file already on disk.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "hwp/container.h"
#include "hwp/limits.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/writer.h"
#include "hwp_testing.h"

namespace {

using namespace hwp_testing;

std::string ErrorOf(std::string_view bytes)
{
    try {
        hwp::ReadDocumentFromBytes(bytes);
    } catch (const hwp::HwpError& error) {
        return error.what();
    }
    return "(read without error)";
}

void ExpectErrorMentions(std::string_view bytes, const std::string& words)
{
    const std::string error = ErrorOf(bytes);
    EXPECT_NE(error.find(words), std::string::npos) << error;
}

TEST(HwpBadInput, BytesThatAreNoCompoundFileAreRefused)
{
    ExpectErrorMentions("", "not an HWP 5.0 document");
    ExpectErrorMentions("HWP Document File", "not an HWP 5.0 document");
    std::mt19937 random(7);
    std::string noise(20000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    ExpectErrorMentions(noise, "not an HWP 5.0 document");
}

TEST(HwpBadInput, MissingStreamsAreNamed)
{
    Unpacked unpacked = Unpack(hwp::NewDocument());
    hwp::StreamMap streams = unpacked.streams;
    streams.erase("DocInfo");
    ExpectErrorMentions(hwp::WriteCompoundFile(streams), "DocInfo is missing");
    streams = unpacked.streams;
    streams.erase("BodyText/Section0");
    ExpectErrorMentions(hwp::WriteCompoundFile(streams), "BodyText/Section0 is missing");
    streams = unpacked.streams;
    streams.erase("FileHeader");
    ExpectErrorMentions(hwp::WriteCompoundFile(streams), "FileHeader");
    streams = unpacked.streams;
    streams["FileHeader"] = std::string(256, 'x');
    ExpectErrorMentions(hwp::WriteCompoundFile(streams), "signature");
}

TEST(HwpBadInput, ProtectedDocumentsAreRefusedBySaying)
{
    Unpacked unpacked = Unpack(hwp::NewDocument());
    const std::pair<char, const char*> cases[] = {{0x03, "password"}, {0x05, "distribution"}, {0x11, "DRM"}};
    for (const auto& [flags, words] : cases) {
        hwp::StreamMap streams = unpacked.streams;
        streams["FileHeader"][36] = flags;
        ExpectErrorMentions(hwp::WriteCompoundFile(streams), words);
    }
}

TEST(HwpBadInput, TruncatedFilesAndStreamsAreRefused)
{
    const std::string file = hwp::WriteDocumentToBytes(QuestionDocument());
    for (std::size_t size : {file.size() / 2, file.size() - 600, std::size_t{512}, std::size_t{100}})
        EXPECT_NE(ErrorOf(file.substr(0, size)), "(read without error)") << size;

    Unpacked unpacked = Unpack(QuestionDocument());
    hwp::StreamMap streams = unpacked.streams;
    streams["BodyText/Section0"].resize(streams["BodyText/Section0"].size() / 2);
    ExpectErrorMentions(hwp::WriteCompoundFile(streams), "ends too early");
    streams = unpacked.streams;
    streams["DocInfo"] = "definitely not deflate data";
    ExpectErrorMentions(hwp::WriteCompoundFile(streams), "damaged DocInfo");
    ExpectErrorMentions(Pack(unpacked, unpacked.docInfo.substr(0, unpacked.docInfo.size() - 3), unpacked.section),
                        "damaged DocInfo");
}

TEST(HwpBadInput, RecordsThatRunPastTheirStreamAreRefused)
{
    Unpacked unpacked = Unpack(hwp::NewDocument());
    std::string section;
    hwp::AppendRecord(section, hwp::tag::kParaHeader, 0, std::string(22, '\0'));
    section[3] = static_cast<char>(0x7F);   // claims 2039 bytes
    ExpectErrorMentions(Pack(unpacked, unpacked.docInfo, section), "runs past the end");
    std::string extended;
    hwp::AppendRecord(extended, hwp::tag::kParaText, 0, std::string(5000, 'a'));
    extended.resize(1000);   // the DWORD size says 5000
    ExpectErrorMentions(Pack(unpacked, unpacked.docInfo, extended), "runs past the end");
}

// A paragraph holding a table of two cells, its section's records ready to be cut.
struct TableSection {
    Unpacked unpacked;
    std::vector<hwp::Record> records;
    std::size_t control = 0;   // the table's CTRL_HEADER
    std::size_t end = 0;       // one past its subtree

    TableSection()
    {
        hwp::Document document = DocumentWithTexts({u"표 앞", u"끝"});
        hwp::Control table = TableControl(document, {u"첫 칸", u"둘째 칸"});
        table.position = table.end = 1;
        document.sections.front().paragraphs.front().controls.push_back(table);
        unpacked = Unpack(document);
        records = hwp::ParseRecords(unpacked.section, "section");
        while (!(records[control].tag == hwp::tag::kCtrlHeader && records[control].data.substr(0, 4) == " lbt"))
            ++control;
        end = control + 1;
        while (end < records.size() && records[end].level > 1)
            ++end;
    }

    // The file with records [from, to) left out and `edit` applied to what stays.
    std::string Without(std::size_t from, std::size_t to,
                        const std::function<void(std::size_t, std::string&)>& edit = {}) const
    {
        std::string section;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (i >= from && i < to)
                continue;
            std::string data(records[i].data);
            if (edit)
                edit(i, data);
            hwp::AppendRecord(section, records[i].tag, records[i].level, data);
        }
        return Pack(unpacked, unpacked.docInfo, section);
    }
};

TEST(HwpBadInput, ObjectsThatAreCutOffAreRefusedByName)
{
    const TableSection table;
    std::size_t lastCell = table.end;
    while (table.records[lastCell - 1].tag != hwp::tag::kListHeader)
        --lastCell;
    --lastCell;
    // The second cell is missing.
    std::string error = ErrorOf(table.Without(lastCell, table.end));
    EXPECT_NE(error.find("paragraph 1"), std::string::npos) << error;
    EXPECT_NE(error.find("표 ('tbl ')"), std::string::npos) << error;
    EXPECT_NE(error.find("2 cells but 1 follow"), std::string::npos) << error;
    // The table record is missing.
    ExpectErrorMentions(table.Without(table.control + 1, table.control + 2), "table record is missing");
    // A cell announces more paragraphs than it has.
    ExpectErrorMentions(table.Without(0, 0,
                                      [&](std::size_t i, std::string& data) {
                                          if (i == lastCell)
                                              data[0] = 3;
                                      }),
                        "announces 3 paragraphs but 1 follow");
    // Its character stands in the text without any record.
    ExpectErrorMentions(table.Without(table.control, table.end), "the control 'tbl ' in its text has no control record");
    // Its records stand without a character in the text.
    ExpectErrorMentions(table.Without(0, 0,
                                      [&](std::size_t i, std::string& data) {
                                          const std::size_t at = data.find(std::string("\x0b\x00 lbt", 6));
                                          if (table.records[i].tag == hwp::tag::kParaText && at != std::string::npos)
                                              data.erase(at, 16);
                                      }),
                        "the control 'tbl ' has no character in its text");
    // A cell's text refers to a char shape the document does not have.
    ExpectErrorMentions(table.Without(0, 0,
                                      [&](std::size_t i, std::string& data) {
                                          if (i > table.control && i < table.end &&
                                              table.records[i].tag == hwp::tag::kParaCharShape)
                                              data[4] = 77;
                                      }),
                        "refers to char shape 77");
    // Its control header is cut off before its id.
    ExpectErrorMentions(table.Without(0, 0,
                                      [&](std::size_t i, std::string& data) {
                                          if (i == table.control)
                                              data.resize(2);
                                      }),
                        "cut off before its id");
}

TEST(HwpBadInput, ObjectsOnlyKeptAreNotRefused)
{
    // A control nothing in the program knows, with records of kinds nothing knows either.
    hwp::Document document = DocumentWithTexts({u"모르는 것"});
    hwp::Control unknown;
    unknown.code = 11;
    unknown.ctrlId = hwp::CtrlId('z', 'z', 'z', 'z');
    unknown.records.push_back({hwp::tag::kCtrlHeader, 0, {'z', 'z', 'z', 'z', 1, 2, 3}});
    unknown.records.push_back({0x3F0, 1, {9, 9}});
    unknown.records.push_back({0x3F1, 2, {}});
    document.sections.front().paragraphs.front().controls.push_back(unknown);
    const hwp::Document read = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
    EXPECT_EQ(read.sections.front().paragraphs, document.sections.front().paragraphs);
}

TEST(HwpBadInput, ImpossibleCountsAndIdsAreRefused)
{
    Unpacked unpacked = Unpack(QuestionDocument());
    const auto records = hwp::ParseRecords(unpacked.docInfo, "DocInfo");

    // Id mappings claiming two billion Hangul faces: no allocation, a clear error.
    std::string docInfo;
    for (const hwp::Record& record : records) {
        std::string data(record.data);
        if (record.tag == hwp::tag::kIdMappings) {
            data[4] = data[5] = data[6] = '\xFF';
            data[7] = 0x7F;
        }
        hwp::AppendRecord(docInfo, record.tag, record.level, data);
    }
    ExpectErrorMentions(Pack(unpacked, docInfo, unpacked.section), "face names");

    // A negative count.
    docInfo.clear();
    for (const hwp::Record& record : records) {
        std::string data(record.data);
        if (record.tag == hwp::tag::kIdMappings)
            data[12] = data[13] = data[14] = data[15] = '\xFF';
        hwp::AppendRecord(docInfo, record.tag, record.level, data);
    }
    ExpectErrorMentions(Pack(unpacked, docInfo, unpacked.section), "negative count");

    // A paragraph whose para shape, style or char shape does not exist.
    for (std::size_t offset : {8u, 10u}) {
        std::string section(unpacked.section);
        section[4 + offset] = 90;
        const std::string error = ErrorOf(Pack(unpacked, unpacked.docInfo, section));
        EXPECT_NE(error.find("refers to"), std::string::npos) << error;
    }
    std::string sectionWithBadRun;
    for (const hwp::Record& record : hwp::ParseRecords(unpacked.section, "Section0")) {
        std::string data(record.data);
        if (record.tag == hwp::tag::kParaCharShape)
            data[4] = 77;
        hwp::AppendRecord(sectionWithBadRun, record.tag, record.level, data);
    }
    ExpectErrorMentions(Pack(unpacked, unpacked.docInfo, sectionWithBadRun), "char shape 77");

    // A char shape that names a face that is not there.
    docInfo.clear();
    for (const hwp::Record& record : records) {
        std::string data(record.data);
        if (record.tag == hwp::tag::kCharShape)
            data[0] = 9;
        hwp::AppendRecord(docInfo, record.tag, record.level, data);
    }
    ExpectErrorMentions(Pack(unpacked, docInfo, unpacked.section), "face 9");
}

TEST(HwpBadInput, RandomDamageToRecordStreamsGivesOnlyHwpErrors)
{
    Unpacked unpacked = Unpack(QuestionDocument());
    std::mt19937 random(12345);
    int refused = 0;
    for (int round = 0; round < 600; ++round) {
        std::string docInfo = unpacked.docInfo;
        std::string section = unpacked.section;
        std::string& target = (round % 2) ? section : docInfo;
        const int damage = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < damage; ++i)
            target[random() % target.size()] = static_cast<char>(random());
        if (round % 5 == 0)
            target.resize(random() % target.size());
        try {
            hwp::ReadDocumentFromBytes(Pack(unpacked, docInfo, section));
        } catch (const hwp::HwpError&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
}

TEST(HwpBadInput, WriterRefusesDocumentsWithDanglingIds)
{
    hwp::Document document = hwp::NewDocument();
    document.sections.front().paragraphs.front().paraShapeId = 3;
    EXPECT_THROW(hwp::WriteDocumentToBytes(document), hwp::HwpError);
    document = hwp::NewDocument();
    document.sections.front().paragraphs.front().charShapes = {{0, 0}, {5, 0}};   // past the text
    EXPECT_THROW(hwp::WriteDocumentToBytes(document), hwp::HwpError);
    document = hwp::NewDocument();
    document.sections.clear();
    EXPECT_THROW(hwp::WriteDocumentToBytes(document), hwp::HwpError);
    document = DocumentWithTexts({u"abc"});
    document.sections.front().paragraphs.front().fields.push_back(hwp::Field{2, 9, u"TEXT_AREA", {}, {}, true});
    try {
        hwp::WriteDocumentToBytes(document);
        ADD_FAILURE() << "a field past the text was written";
    } catch (const hwp::HwpError& error) {
        EXPECT_NE(std::string(error.what()).find("TEXT_AREA"), std::string::npos) << error.what();
    }
}

// Values no word processor writes, as a damaged file holds them: they write, and reading
// them back refuses the document by the record that holds them, before anyone lays it out.
TEST(HwpBadInput, ValuesPastWhatALayoutCanTakeAreRefusedByTheirRecord)
{
    using Change = std::function<void(hwp::Document&)>;
    const auto manyParagraphs = [](std::int32_t spacing, int count) {
        return [spacing, count](hwp::Document& document) {
            document.paraShapes.front().spacingAfter = spacing;
            auto& paragraphs = document.sections.front().paragraphs;
            paragraphs.resize(static_cast<std::size_t>(count), paragraphs.front());
        };
    };
    const struct {
        const char* name;
        Change change;
        std::string refusal;   // empty: read as it is
    } cases[] = {
        {"spacing found by flipping a byte", [](hwp::Document& d) { d.paraShapes.front().spacingAfter = 0x3F800000; },
         "para shape 0: spacing after 1065353216 is out of range"},
        {"negative left margin", [](hwp::Document& d) { d.paraShapes.front().leftMargin = INT32_MIN; },
         "para shape 0: left margin"},
        {"line spacing of 500 lines", [](hwp::Document& d) { d.paraShapes.front().lineSpacing = 50000; },
         "para shape 0: line spacing 50000 is out of range (0 to 5000 %)"},
        {"char size", [](hwp::Document& d) { d.charShapes.front().size = INT32_MAX; }, "char shape 0: size"},
        {"paper height", [](hwp::Document& d) { d.sections.front().page.height = -1694498680; },
         "BodyText/Section0 page definition: paper height -1694498680 is out of range (10 mm to 1189 mm)"},
        {"paper width", [](hwp::Document& d) { d.sections.front().page.width = 0; }, "paper width 0"},
        {"top margin", [](hwp::Document& d) { d.sections.front().page.topMargin = INT32_MIN; }, "top margin"},
        {"a table too tall",
         [](hwp::Document& d) {
             hwp::Control table = TableControl(d, {u"칸"});
             auto& data = table.records.front().data;   // the common object header: height at byte 20
             const std::int32_t height = 20 * hwp::kMaxPaperSide;
             std::memcpy(data.data() + 20, &height, 4);
             d.sections.front().paragraphs.front().controls.push_back(table);
         },
         "BodyText/Section0 paragraph 1: an object's height"},
        {"a thousand paragraphs a page apart", manyParagraphs(hwp::kMaxParagraphLength, 1000),
         ": the document comes to more than 2000 A4 pages by here"},
        {"every value at its largest", [](hwp::Document& d) {
             d.paraShapes.front().spacingBefore = hwp::kMaxParagraphLength;
             d.paraShapes.front().indent = -hwp::kMaxParagraphLength;
             d.paraShapes.front().lineSpacing = hwp::kMaxLineSpacingPercent;
             d.sections.front().page.width = d.sections.front().page.height = hwp::kMaxPaperSide;
         }, ""},
        {"the largest letters", [](hwp::Document& d) { d.charShapes.front().size = hwp::kMaxCharSize; }, ""},
        {"three hundred paragraphs a page apart", manyParagraphs(hwp::kMaxParagraphLength, 300), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hwp::Document document = DocumentWithTexts({u"가나다 abc", u"줄\n바꿈"});
        c.change(document);
        const std::string bytes = hwp::WriteDocumentToBytes(document);
        if (c.refusal.empty())
            EXPECT_EQ(hwp::ReadDocumentFromBytes(bytes).sections.front().paragraphs, document.sections.front().paragraphs);
        else
            ExpectErrorMentions(bytes, c.refusal);
    }
}

TEST(HwpBadInput, AParagraphOfTooManyObjectsIsRefused)
{
    hwp::Document document = DocumentWithTexts({u"표"});
    const hwp::Control table = TableControl(document, {u"칸"});
    auto& controls = document.sections.front().paragraphs.front().controls;
    controls.assign(hwp::kMaxObjectsPerParagraph, table);
    EXPECT_NO_THROW(hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document)));
    controls.push_back(table);
    ExpectErrorMentions(hwp::WriteDocumentToBytes(document),
                        "BodyText/Section0 paragraph 1: it holds 10001 objects; at most 10000 are taken");
}

TEST(HwpBadInput, AFailedWriteLeavesTheOldFileWhole)
{
    ScratchFolder scratch;
    const std::string path = scratch.File("keep.hwp");
    hwp::WriteDocument(QuestionDocument(), path);
    const std::string before = ReadFile(path);

    hwp::Document broken = hwp::NewDocument();
    broken.styles.clear();
    EXPECT_THROW(hwp::WriteDocument(broken, path), hwp::HwpError);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_THROW(hwp::WriteDocument(hwp::NewDocument(), scratch.File("no/such/folder/x.hwp")), hwp::HwpError);

    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(scratch.Path()))
        ++entries;
    EXPECT_EQ(entries, 1u);   // no temporary file left behind
}

}  // namespace
