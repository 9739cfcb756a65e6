// Damaged and hostile input gets a clear HwpError: never a crash, another exception, or
// an allocation the file's own sizes drive. The writer refuses documents it cannot
// write and never harms the file already on disk.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <random>

#include "hwp/container.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/writer.h"
#include "hwp_testing.h"

namespace {

using namespace hwp_testing;

// Our own question document with its record streams unpacked, ready to be damaged.
struct Unpacked {
    hwp::StreamMap streams;
    std::string docInfo;
    std::string section;
};

Unpacked Unpack(const hwp::Document& document)
{
    Unpacked out;
    out.streams = hwp::ReadCompoundFile(hwp::WriteDocumentToBytes(document), {"BodyText"}, 1u << 24);
    out.docInfo = hwp::InflateRaw(out.streams.at("DocInfo"), "DocInfo");
    out.section = hwp::InflateRaw(out.streams.at("BodyText/Section0"), "Section0");
    return out;
}

std::string Pack(Unpacked unpacked, const std::string& docInfo, const std::string& section)
{
    unpacked.streams["DocInfo"] = hwp::DeflateRaw(docInfo);
    unpacked.streams["BodyText/Section0"] = hwp::DeflateRaw(section);
    return hwp::WriteCompoundFile(unpacked.streams);
}

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

TEST(HwpBadInput, ExtremeSizesFromADamagedFileStillWriteAndReadBack)
{
    hwp::Document document = DocumentWithTexts({u"가나다 abc", u"줄\n바꿈"});
    document.charShapes.front().size = INT32_MAX;
    document.paraShapes.front().lineSpacing = INT32_MAX;
    document.paraShapes.front().leftMargin = INT32_MIN;
    document.paraShapes.front().spacingBefore = INT32_MAX;
    hwp::PageDef& page = document.sections.front().page;
    page.width = INT32_MIN;
    page.leftMargin = INT32_MAX;
    page.height = INT32_MAX;
    page.topMargin = INT32_MIN;
    document.sections.front().columnCount = 255;
    document.sections.front().columnGap = INT32_MAX;
    const hwp::Document read = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
    EXPECT_EQ(read.sections.front().paragraphs, document.sections.front().paragraphs);
    EXPECT_EQ(read.sections.front().page, page);
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
