// Kept objects: every sample's objects survive our writer record for record, their
// text and size can be read, and an object moved to another document keeps pointing at
// the same shapes, styles, border fills and bin data.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>

#include "hwp/bytes.h"
#include "hwp/container.h"
#include "hwp/objects.h"
#include "hwp/paragraph_list.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "support/text.h"

namespace {

using namespace hwp_testing;

constexpr std::uint32_t kClickHere = hwp::CtrlId('%', 'c', 'l', 'k');

// What a file holds of objects, straight from its records: the body's controls in
// order with their subtrees (levels from their CTRL_HEADER), and the bin data.
struct FileObjects {
    std::vector<std::uint32_t> ids;
    std::vector<std::vector<hwp::ObjectRecord>> subtrees;
    std::vector<std::string> binRecords;
    std::map<std::string, std::string> binStreams;
    std::size_t records = 0;
    // The body's paragraph texts with their control characters, tabs' layout units
    // (width and kind, which the model does not hold) left out.
    std::vector<std::u16string> texts;
};

std::u16string WithoutTabLayout(std::string_view data)
{
    hwp::ByteReader in(data, "text");
    std::u16string units = in.Units(data.size() / 2);
    for (std::size_t k = 0; k < units.size(); ++k) {
        const char16_t c = units[k];
        const bool single = c == 0 || c == 10 || c == 13 || (c >= 24 && c <= 31);
        if (c >= 0x20 || single)
            continue;
        if (c == 9) {
            for (std::size_t u = k + 1; u < k + 7 && u < units.size(); ++u)
                units[u] = 0;
        }
        k += 7;
    }
    return units;
}

FileObjects ObjectsOf(const std::string& bytes)
{
    FileObjects out;
    const hwp::StreamMap streams = hwp::ReadCompoundFile(bytes, 1u << 26);
    const std::string& header = streams.at("FileHeader");
    const bool compressed = static_cast<unsigned char>(header.at(36)) & 1;
    auto unpack = [&](const std::string& name) {
        return compressed ? hwp::InflateRaw(streams.at(name), name.c_str()) : streams.at(name);
    };
    const std::string docInfo = unpack("DocInfo");
    for (const hwp::Record& record : hwp::ParseRecords(docInfo, "DocInfo")) {
        if (record.tag == hwp::tag::kBinData)
            out.binRecords.emplace_back(record.data);
    }
    for (const auto& [name, data] : streams) {
        if (name.rfind("BinData/", 0) == 0)
            out.binStreams[name] = data;
    }
    for (int s = 0; streams.count("BodyText/Section" + std::to_string(s)); ++s) {
        const std::string section = unpack("BodyText/Section" + std::to_string(s));
        const std::vector<hwp::Record> records = hwp::ParseRecords(section, "section");
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i].tag == hwp::tag::kParaText && records[i].level == 1)
                out.texts.push_back(WithoutTabLayout(records[i].data));
            if (records[i].tag != hwp::tag::kCtrlHeader || records[i].level != 1)
                continue;
            std::vector<hwp::ObjectRecord> subtree;
            std::size_t j = i;
            do {
                subtree.push_back({records[j].tag, static_cast<std::uint16_t>(records[j].level - 1),
                                   hwp::ToBytes(records[j].data)});
                ++j;
            } while (j < records.size() && records[j].level > 1);
            hwp::ByteReader id(records[i].data, "id");
            out.ids.push_back(id.U32());
            out.records += subtree.size();
            out.subtrees.push_back(std::move(subtree));
        }
    }
    return out;
}

// Click-here fields are modelled, not kept: the writer numbers them anew.
void ExpectSameObjects(const FileObjects& original, const FileObjects& copy, const std::string& what)
{
    ASSERT_EQ(original.ids, copy.ids) << what << ": control ids in order";
    for (std::size_t i = 0; i < original.subtrees.size(); ++i) {
        if (original.ids[i] == kClickHere)
            continue;
        const auto& a = original.subtrees[i];
        const auto& b = copy.subtrees[i];
        ASSERT_EQ(a.size(), b.size()) << what << ": records of control " << i << " '" << hwp::CtrlIdText(original.ids[i]) << "'";
        for (std::size_t r = 0; r < a.size(); ++r)
            EXPECT_EQ(a[r], b[r]) << what << ": control " << i << " '" << hwp::CtrlIdText(original.ids[i]) << "' record " << r
                                  << " (tag " << a[r].tag << ")";
    }
    EXPECT_EQ(original.texts, copy.texts) << what << ": the text with the objects' characters";
    EXPECT_EQ(original.binRecords, copy.binRecords) << what;
    EXPECT_EQ(original.binStreams, copy.binStreams) << what;
}

std::vector<std::string> ReadableSamples()
{
    std::vector<std::string> paths;
    for (const std::string& path : SamplePaths()) {
        if (path.find("password") == std::string::npos)
            paths.push_back(path);
    }
    return paths;
}

TEST(HwpObjects, EverySampleKeepsItsObjectsRecordForRecord)
{
    const auto paths = ReadableSamples();
    if (paths.empty())
        GTEST_SKIP() << "no HWP samples";
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::string original = ReadFile(path);
        const hwp::Document document = hwp::ReadDocumentFromBytes(original);
        const std::string copy = hwp::WriteDocumentToBytes(document);
        const FileObjects before = ObjectsOf(original);
        ExpectSameObjects(before, ObjectsOf(copy), "rewritten");
        // And once more: what we wrote reads back into the same model.
        EXPECT_EQ(hwp::ReadDocumentFromBytes(copy).sections, document.sections);
        EXPECT_EQ(hwp::ReadDocumentFromBytes(copy).binData, document.binData);
        std::cout << "  " << std::filesystem::path(path).filename().string() << ": " << before.ids.size()
                  << " controls, " << before.records << " records, " << before.binStreams.size()
                  << " bin data streams: kept\n";
    }
}

TEST(HwpObjects, SampleTablesGiveTheirCellTextsAndSizes)
{
    const std::string folder = SamplesFolder();
    if (folder.empty())
        GTEST_SKIP() << "no HWP samples";
    const hwp::Document document = hwp::ReadDocument(folder + "/table-position.hwp");
    std::size_t tables = 0;
    for (const hwp::Paragraph& paragraph : document.sections.front().paragraphs) {
        for (const hwp::Control& control : paragraph.controls) {
            if (control.ctrlId != hwp::CtrlId('t', 'b', 'l', ' '))
                continue;
            ++tables;
            EXPECT_EQ(hwp::DescribeControl(control), u"표");
            const auto placement = hwp::ControlPlacement(control);
            ASSERT_TRUE(placement.has_value());
            EXPECT_GT(placement->width, 0);
            EXPECT_GT(placement->height, 0);
            EXPECT_FALSE(hwp::ReadParagraphLists(control.records).empty());
        }
    }
    EXPECT_GT(tables, 0u);
    const hwp::Document notes = hwp::ReadDocument(folder + "/footnote-endnote.hwp");
    std::u16string text;
    for (const hwp::Paragraph& paragraph : notes.sections.front().paragraphs) {
        for (const hwp::Control& control : paragraph.controls)
            text += hwp::ControlText(control) + u"|";
    }
    EXPECT_NE(text.find(u"각주입니다."), std::u16string::npos) << Utf16ToUtf8(text);
    EXPECT_NE(text.find(u"미주입니다."), std::u16string::npos) << Utf16ToUtf8(text);
}

// The body uses char shape 0, para shape 0 and border fill 1; the table's cells use
// a bold red char shape, a centred para shape, a second border fill and a style of
// their own, which the other document has none of.
struct CellShapes {
    hwp::Document from = hwp::NewDocument();
    hwp::Control table;

    CellShapes()
    {
        hwp::FaceName face;
        face.name = u"돋움";
        from.faces[0].push_back(face);
        hwp::CharShape red;
        red.bold = true;
        red.textColor = 0x000000FF;
        red.faceIds[0] = 1;
        from.charShapes.push_back(red);
        hwp::ParaShape centred;
        centred.alignment = hwp::Alignment::Center;
        from.paraShapes.push_back(centred);
        hwp::BorderFill fill = from.borderFills.front();
        fill.data[0] = 7;
        from.borderFills.push_back(fill);
        hwp::Style cell;
        cell.name = u"표 안";
        cell.paraShapeId = 1;
        cell.charShapeId = 1;
        from.styles.push_back(cell);
        table = TableControl(from, {u"빨간 칸", u"둘째 칸"}, 1, 1, 2);
        // The cells' paragraphs use the style too.
        for (hwp::ObjectRecord& record : table.records) {
            if (record.tag == hwp::tag::kParaHeader)
                record.data[10] = 1;
        }
        from.sections.front().paragraphs.front().text = u"본문";
        from.sections.front().paragraphs.front().controls.push_back(table);
    }
};

const hwp::Paragraph& FirstCellParagraph(const hwp::Control& control)
{
    static std::vector<hwp::ParagraphList> lists;
    lists = hwp::ReadParagraphLists(control.records);
    return lists.at(0).paragraphs.at(0);
}

std::uint16_t CellBorderFill(const hwp::Control& control)
{
    for (const hwp::ObjectRecord& record : control.records) {
        if (record.tag == hwp::tag::kListHeader)
            return static_cast<std::uint16_t>(record.data[32] | (record.data[33] << 8));
    }
    return 0;
}

TEST(HwpObjects, ImportedObjectsPointAtTheSameShapesInTheirNewDocument)
{
    const CellShapes cells;
    // Into the same document, or one that agrees: nothing changes.
    hwp::Document same = cells.from;
    EXPECT_EQ(hwp::ImportControl(cells.from, cells.table, same), cells.table);
    EXPECT_EQ(same, cells.from);

    hwp::Document to = hwp::NewDocument();
    to.charShapes.push_back(hwp::CharShape{});   // ids of `from` mean other shapes here
    to.charShapes.front().size = 2000;
    const hwp::Control moved = hwp::ImportControl(cells.from, cells.table, to);
    const hwp::Paragraph& paragraph = FirstCellParagraph(moved);
    const hwp::CharShape& shape = to.charShapes.at(paragraph.charShapes.front().charShapeId);
    EXPECT_TRUE(shape.bold);
    EXPECT_EQ(shape.textColor, 0x000000FFu);
    EXPECT_EQ(to.faces[0].at(shape.faceIds[0]).name, u"돋움");
    EXPECT_EQ(to.paraShapes.at(paragraph.paraShapeId).alignment, hwp::Alignment::Center);
    EXPECT_EQ(to.styles.at(paragraph.styleId).name, u"표 안");
    EXPECT_EQ(to.borderFills.at(CellBorderFill(moved) - 1u), cells.from.borderFills[1]);
    EXPECT_EQ(hwp::ControlText(moved), u"빨간 칸\n둘째 칸");

    // Written and read back, the ids still hold; imported back, it is the original again.
    to.sections.front().paragraphs.front().controls.push_back(moved);
    const hwp::Document read = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(to));
    const hwp::Control& kept = read.sections.front().paragraphs.front().controls.at(0);
    EXPECT_EQ(kept, moved);
    hwp::Document back = cells.from;
    EXPECT_EQ(hwp::ImportControl(read, kept, back), cells.table);
    EXPECT_EQ(back, cells.from);
}

TEST(HwpObjects, ImportRefusesDanglingIdsAndTakesBackWhatItAdded)
{
    CellShapes cells;
    hwp::Control broken = cells.table;
    for (hwp::ObjectRecord& record : broken.records) {
        if (record.tag == hwp::tag::kParaCharShape)
            record.data[4] = 9;   // no char shape 9
    }
    hwp::Document to = hwp::NewDocument();
    const hwp::Document before = to;
    EXPECT_THROW(hwp::ImportControl(cells.from, broken, to), hwp::HwpError);
    EXPECT_EQ(to, before);
}

TEST(HwpObjects, SampleObjectsMovedAwayAndBackAreTheSameRecords)
{
    const auto paths = ReadableSamples();
    if (paths.empty())
        GTEST_SKIP() << "no HWP samples";
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const hwp::Document from = hwp::ReadDocument(path);
        hwp::Document to = hwp::NewDocument();
        // Two items holding the same picture are one: a picture may come back as the other.
        bool distinctBinData = true;
        for (std::size_t i = 0; i < from.binData.size(); ++i) {
            for (std::size_t j = i + 1; j < from.binData.size(); ++j)
                distinctBinData = distinctBinData && from.binData[i].stream != from.binData[j].stream;
        }
        for (const hwp::Section& section : from.sections) {
            for (const hwp::Paragraph& paragraph : section.paragraphs) {
                for (const hwp::Control& control : paragraph.controls) {
                    const hwp::Control moved = hwp::ImportControl(from, control, to);
                    EXPECT_EQ(hwp::ControlText(moved), hwp::ControlText(control));
                    hwp::Document back = from;
                    const hwp::Control again = hwp::ImportControl(to, moved, back);
                    if (distinctBinData) {
                        EXPECT_EQ(again, control) << hwp::CtrlIdText(control.ctrlId);
                    }
                    // Everything it refers to was found again, nothing added.
                    EXPECT_EQ(back, from);
                    to.sections.front().paragraphs.front().controls.push_back(moved);
                    to.sections.front().paragraphs.front().controls.back().position = 0;
                    to.sections.front().paragraphs.front().controls.back().end = 0;
                }
            }
        }
        // The new document with all of them is a valid file.
        const hwp::Document read = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(to));
        EXPECT_EQ(read.sections.front().paragraphs.front().controls, to.sections.front().paragraphs.front().controls);
        EXPECT_EQ(read.binData, to.binData);
    }
}

TEST(HwpObjects, DeletedPicturesTakeTheirBinDataAlongAndTheRestAreRenumbered)
{
    const std::string folder = SamplesFolder();
    if (folder.empty())
        GTEST_SKIP() << "no HWP samples";
    hwp::Document document = hwp::ReadDocument(folder + "/sample-5017-pics.hwp");
    ASSERT_EQ(document.binData.size(), 2u);
    EXPECT_EQ(hwp::DropUnusedBinData(document), 0u) << "both pictures are in use";
    // Delete every object that shows the first item; the second becomes the first.
    auto refersTo = [](const hwp::Control& control, std::uint8_t id) {
        for (const hwp::ObjectRecord& record : control.records) {
            if (record.tag == hwp::tag::kShapePicture && record.data.size() >= 73 && record.data[71] == id)
                return true;
        }
        return false;
    };
    std::size_t second = 0;
    for (hwp::Section& section : document.sections) {
        for (hwp::Paragraph& paragraph : section.paragraphs) {
            std::erase_if(paragraph.controls, [&](const hwp::Control& control) { return refersTo(control, 1); });
            for (const hwp::Control& control : paragraph.controls)
                second += refersTo(control, 2);
        }
    }
    ASSERT_GT(second, 0u);
    const hwp::BinDataItem deleted = document.binData[0];
    const hwp::BinDataItem survivor = document.binData[1];
    EXPECT_EQ(hwp::DropUnusedBinData(document), 1u);
    ASSERT_EQ(document.binData.size(), 1u);
    EXPECT_EQ(document.binData.front(), survivor);
    const hwp::Document read = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
    std::size_t first = 0;
    for (const hwp::Paragraph& paragraph : read.sections.front().paragraphs) {
        for (const hwp::Control& control : paragraph.controls) {
            EXPECT_FALSE(refersTo(control, 2));
            first += refersTo(control, 1);
        }
    }
    EXPECT_EQ(first, second);
    EXPECT_EQ(read.binData, document.binData);
    const FileObjects objects = ObjectsOf(hwp::WriteDocumentToBytes(document));
    EXPECT_EQ(objects.binStreams.count("BinData/" + deleted.streamName), 0u) << "the deleted picture's stream is gone";
    EXPECT_EQ(objects.binStreams.count("BinData/" + survivor.streamName), 1u);
}

TEST(HwpObjects, AnObjectLaidOutAsACharacterMakesItsLineAsTallAsItIs)
{
    hwp::Document document = DocumentWithTexts({u"표 앞 뒤"});
    hwp::Control table = TableControl(document, {u"칸"});   // 1500 units tall
    table.position = table.end = 2;
    document.sections.front().paragraphs.front().controls.push_back(table);
    const hwp::StreamMap streams =
        hwp::ReadCompoundFile(hwp::WriteDocumentToBytes(document), 1u << 24);
    const std::string section = hwp::InflateRaw(streams.at("BodyText/Section0"), "section");
    for (const hwp::Record& record : hwp::ParseRecords(section, "section")) {
        if (record.tag != hwp::tag::kParaLineSeg || record.level != 1)
            continue;
        hwp::ByteReader in(record.data, "line segment");
        in.U32();
        in.I32();
        EXPECT_EQ(in.I32(), 1500) << "line height";
        return;
    }
    ADD_FAILURE() << "no line segments";
}

}  // namespace
