// Tables: the samples' tables read into the model and write back byte for byte; tables
// built in code survive a file; damaged or impossible tables are refused.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "hwp/border_fill.h"
#include "hwp/bytes.h"
#include "hwp/objects.h"
#include "hwp/paragraph_list.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/table.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "object_testing.h"

namespace {

using namespace hwp_testing;

hwp::Document ReadSample(const std::string& name)
{
    return hwp::ReadDocument(SamplePath(name));
}

std::vector<const hwp::Control*> Tables(const ControlWalk& walk)
{
    std::vector<const hwp::Control*> out;
    for (const hwp::Control* control : walk.controls) {
        if (hwp::IsTable(*control))
            out.push_back(control);
    }
    return out;
}

TEST(TableSamples, EveryTableReadsIntoAModelThatWritesBackByteForByte)
{
    if (SamplesFolder().empty())
        GTEST_SKIP() << "no samples folder";
    const std::map<std::string, std::size_t> samples = {
        {"table.hwp", 1}, {"table-position.hwp", 13}, {"borderfill.hwp", 2},
        {"multicolumns-in-common-controls.hwp", 1}, {"sample-5017.hwp", 3}};
    for (const auto& [name, count] : samples) {
        SCOPED_TRACE(name);
        const hwp::Document document = ReadSample(name);
        const ControlWalk walk = AllControls(document);
        const std::vector<const hwp::Control*> tables = Tables(walk);
        EXPECT_EQ(tables.size(), count);
        for (std::size_t t = 0; t < tables.size(); ++t) {
            SCOPED_TRACE("table " + std::to_string(t + 1));
            const hwp::Control& control = *tables[t];
            const hwp::Table table = hwp::ReadTable(control);
            EXPECT_EQ(hwp::WriteTable(table, document, &control), control);
            // Written anew, without the original's records, it reads back as the same model.
            EXPECT_EQ(hwp::ReadTable(hwp::WriteTable(table, document)), table);
            for (const hwp::TableCell& cell : table.cells)
                EXPECT_LE(cell.borderFillId, document.borderFills.size());
        }
    }
}

TEST(TableSamples, ReadsTheGridSpansSizesAndBordersOfTableHwp)
{
    if (SamplesFolder().empty())
        GTEST_SKIP() << "no samples folder";
    const hwp::Document document = ReadSample("table.hwp");
    const ControlWalk walk = AllControls(document);
    const hwp::Table table = hwp::ReadTable(*Tables(walk).at(0));
    EXPECT_EQ(table.rows, 2);
    EXPECT_EQ(table.columns, 3);
    ASSERT_EQ(table.cells.size(), 4u);
    EXPECT_EQ(table.cells[2].rowSpan, 2);      // the right column, both rows
    EXPECT_EQ(table.cells[3].columnSpan, 2);   // the bottom left, two columns
    EXPECT_EQ(hwp::CellAt(table, 1, 2), &table.cells[2]);
    EXPECT_EQ(hwp::RowCellCounts(table), (std::vector<std::uint16_t>{3, 1}));
    EXPECT_EQ(hwp::ColumnWidths(table), (std::vector<hwp::HwpUnit>{3779, 3779, 3779}));
    EXPECT_EQ(hwp::RowHeights(table), (std::vector<hwp::HwpUnit>{7086, 7086}));
    EXPECT_FALSE(table.object.inlineAsChar);
    EXPECT_EQ(table.object.wrap, hwp::TextWrap::TopAndBottom);
    EXPECT_EQ(table.cells[0].verticalAlign, hwp::CellVerticalAlign::Center);
    const hwp::BorderFillView border = hwp::ReadBorderFill(document.borderFills.at(table.cells[0].borderFillId - 1u));
    for (const hwp::BorderLine& line : border.lines)
        EXPECT_EQ(line.kind, static_cast<std::uint8_t>(hwp::LineKind::Solid));
}

TEST(TableSamples, PlacementAgreesWithTheKeptObjectView)
{
    if (SamplesFolder().empty())
        GTEST_SKIP() << "no samples folder";
    const hwp::Document document = ReadSample("table-position.hwp");
    const ControlWalk walk = AllControls(document);
    std::size_t floating = 0;
    for (const hwp::Control* control : Tables(walk)) {
        const hwp::Table table = hwp::ReadTable(*control);
        const auto placement = hwp::ControlPlacement(*control);
        ASSERT_TRUE(placement);
        EXPECT_EQ(table.object.inlineAsChar, placement->inlineAsChar);
        EXPECT_EQ(table.object.width, placement->width);
        EXPECT_EQ(table.object.height, placement->height);
        if (!table.object.inlineAsChar) {
            EXPECT_EQ(table.object.horizontalOffset, placement->horizontalOffset);
            EXPECT_EQ(table.object.verticalOffset, placement->verticalOffset);
            if (table.object.horizontalOffset != 0 || table.object.verticalOffset != 0)
                ++floating;
        }
    }
    EXPECT_GT(floating, 0u);
}

TEST(TableEdits, AnEditedCellIsWrittenAnewAndTheOthersKeepTheirRecords)
{
    if (SamplesFolder().empty())
        GTEST_SKIP() << "no samples folder";
    const hwp::Document document = ReadSample("sample-5017.hwp");
    const ControlWalk walk = AllControls(document);
    const hwp::Control& control = *Tables(walk).at(0);
    hwp::Table table = hwp::ReadTable(control);
    ASSERT_GE(table.cells.size(), 2u);
    table.cells[0].paragraphs.front().text = u"고친 칸";
    table.cells[0].paragraphs.front().controls.clear();
    table.cells[0].paragraphs.front().fields.clear();
    table.cells[0].paragraphs.front().charShapes.resize(1);
    const hwp::Control written = hwp::WriteTable(table, document, &control);
    const hwp::Table back = hwp::ReadTable(written);
    EXPECT_EQ(back.cells[0].paragraphs.front().text, u"고친 칸");
    for (std::size_t c = 1; c < table.cells.size(); ++c)
        EXPECT_EQ(back.cells[c], table.cells[c]);
    // The untouched cells' records come through as read.
    const auto before = hwp::ReadParagraphLists(control.records);
    const auto after = hwp::ReadParagraphLists(written.records);
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t c = 1; c < before.size(); ++c) {
        const auto range = [](const hwp::Control& of, const hwp::ParagraphList& list) {
            return std::vector<hwp::ObjectRecord>(of.records.begin() + static_cast<std::ptrdiff_t>(list.header),
                                                  of.records.begin() + static_cast<std::ptrdiff_t>(list.end));
        };
        EXPECT_EQ(range(written, after[c]), range(control, before[c])) << "cell " << c;
    }
    EXPECT_NE(written.records, control.records);
}

// ---- tables built in code

struct BuiltTables {
    hwp::Document document;
    std::vector<hwp::Table> tables;
};

// A 3 x 3 data table, a one-cell <보기> box with a thicker border, and a table with
// merged cells, each in a paragraph of its own.
BuiltTables BuildTables()
{
    BuiltTables out;
    hwp::Document& document = out.document;
    document = DocumentWithTexts({u"다음 표를 보고 물음에 답하시오.", u"", u"", u"", u"끝"});
    const std::uint16_t thin = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 1, 0x000000}));
    const std::uint16_t shaded = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 1, 0x000000}, 0x00E0E0E0));

    hwp::Table data = hwp::NewTable(3, 3, 30000, thin);
    const std::u16string texts[9] = {u"구분", u"가", u"나", u"질소", u"78%", u"21%", u"산소", u"0.9%", u"0.04%"};
    for (std::size_t c = 0; c < 9; ++c)
        data.cells[c].paragraphs.front().text = texts[c];
    for (std::size_t c = 0; c < 3; ++c)
        data.cells[c].borderFillId = shaded;   // the heading row

    const hwp::Table boxed = hwp::NewBoxTable(document, 40000, u"<보기>",
                                              {TextParagraph(u"ㄱ. 물은 100 ℃에서 끓는다."), TextParagraph(u"ㄴ. 얼음은 물에 뜬다."),
                                               TextParagraph(u"ㄷ. 소금은 물에 녹는다.")});

    hwp::Table merged = hwp::NewTable(3, 4, 32000, thin);
    for (hwp::TableCell& cell : merged.cells)
        cell.paragraphs.front().text = std::u16string(1, static_cast<char16_t>(u'A' + cell.row * 4 + cell.column));
    hwp::MergeCells(merged, 0, 0, 1, 2);   // A B
    hwp::MergeCells(merged, 1, 2, 2, 2);   // G H K L
    merged.object.inlineAsChar = false;
    merged.object.horizontalOffset = 1000;
    merged.object.verticalOffset = 500;
    merged.object.wrap = hwp::TextWrap::Square;

    out.tables = {data, boxed, merged};
    for (std::size_t t = 0; t < out.tables.size(); ++t) {
        hwp::Control control = hwp::WriteTable(out.tables[t], document);
        document.sections.front().paragraphs[t + 1].controls.push_back(control);
    }
    return out;
}

TEST(TableBuilt, TheBoxHasItsCaptionCentredOverItsTextInOneBorderedCell)
{
    const BuiltTables built = BuildTables();
    const hwp::Table& box = built.tables[1];
    ASSERT_EQ(box.cells.size(), 1u);
    const hwp::TableCell& cell = box.cells[0];
    ASSERT_EQ(cell.paragraphs.size(), 4u);
    EXPECT_EQ(cell.paragraphs[0].text, u"<보기>");
    EXPECT_EQ(built.document.paraShapes.at(cell.paragraphs[0].paraShapeId).alignment, hwp::Alignment::Center);
    EXPECT_EQ(built.document.paraShapes.at(cell.paragraphs[1].paraShapeId).alignment, hwp::Alignment::Justify);
    EXPECT_EQ(cell.verticalAlign, hwp::CellVerticalAlign::Top);
    const hwp::BorderFillView border = hwp::ReadBorderFill(built.document.borderFills.at(cell.borderFillId - 1u));
    for (const hwp::BorderLine& line : border.lines)
        EXPECT_EQ(line, (hwp::BorderLine{1, 6, 0}));
    EXPECT_EQ(box.object.width, 40000);
    // A second box finds the centred shape and the border instead of adding them again.
    hwp::Document document = built.document;
    const std::size_t shapes = document.paraShapes.size();
    const std::size_t fills = document.borderFills.size();
    const hwp::Table again = hwp::NewBoxTable(document, 20000, u"<보기>", {});
    EXPECT_EQ(document.paraShapes.size(), shapes);
    EXPECT_EQ(document.borderFills.size(), fills);
    EXPECT_EQ(again.cells[0].paragraphs.size(), 2u);
}

TEST(TableBuilt, MergingAddsSpansSizesAndTexts)
{
    const BuiltTables built = BuildTables();
    const hwp::Table& merged = built.tables[2];
    EXPECT_EQ(merged.cells.size(), 12u - 1 - 3);
    const hwp::TableCell* ab = hwp::CellAt(merged, 0, 1);
    ASSERT_TRUE(ab);
    EXPECT_EQ(ab->columnSpan, 2);
    EXPECT_EQ(ab->width, 16000);
    ASSERT_EQ(ab->paragraphs.size(), 2u);
    EXPECT_EQ(ab->paragraphs[1].text, u"B");
    const hwp::TableCell* block = hwp::CellAt(merged, 2, 3);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->row, 1);
    EXPECT_EQ(block->column, 2);
    EXPECT_EQ(hwp::CellTexts(merged)[block - merged.cells.data()], u"G\nH\nK\nL");
    hwp::Table table = merged;
    EXPECT_THROW(hwp::MergeCells(table, 0, 1, 2, 2), hwp::HwpError);   // cuts through A B
    EXPECT_THROW(hwp::MergeCells(table, 2, 3, 1, 2), hwp::HwpError);   // past the grid
}

TEST(TableBuilt, TablesWrittenIntoAFileReadBackAsEqualModels)
{
    const BuiltTables built = BuildTables();
    const hwp::Document back = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(built.document));
    const ControlWalk walk = AllControls(back);
    const std::vector<const hwp::Control*> tables = Tables(walk);
    ASSERT_EQ(tables.size(), built.tables.size());
    for (std::size_t t = 0; t < tables.size(); ++t) {
        SCOPED_TRACE("table " + std::to_string(t + 1));
        const hwp::Table table = hwp::ReadTable(*tables[t]);
        EXPECT_EQ(table, built.tables[t]);
        for (const hwp::TableCell& cell : table.cells)
            EXPECT_EQ(hwp::ReadBorderFill(back.borderFills.at(cell.borderFillId - 1u)),
                      hwp::ReadBorderFill(built.document.borderFills.at(cell.borderFillId - 1u)));
    }
    EXPECT_EQ(hwp::ReadBorderFill(back.borderFills.at(built.tables[0].cells[0].borderFillId - 1u)).Background(),
              0x00E0E0E0u);
    EXPECT_EQ(hwp::ControlText(*tables[1]), u"<보기>\nㄱ. 물은 100 ℃에서 끓는다.\nㄴ. 얼음은 물에 뜬다.\nㄷ. 소금은 물에 녹는다.");
}

// ---- bad input

// The table's records with one record's data changed by `edit`.
hwp::Control WithRecord(const hwp::Control& control, std::uint16_t tag, std::size_t nth,
                        const std::function<void(hwp::Bytes&)>& edit)
{
    hwp::Control out = control;
    std::size_t seen = 0;
    for (hwp::ObjectRecord& record : out.records) {
        if (record.tag == tag && record.level == 1 && seen++ == nth) {
            edit(record.data);
            return out;
        }
    }
    ADD_FAILURE() << "no such record";
    return out;
}

void Put16(hwp::Bytes& data, std::size_t at, std::uint16_t value)
{
    data.at(at) = static_cast<std::uint8_t>(value & 0xFF);
    data.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void ExpectRefused(const hwp::Control& control, const std::string& words)
{
    try {
        hwp::ReadTable(control);
        ADD_FAILURE() << "accepted a table that should be refused for: " << words;
    } catch (const hwp::HwpError& error) {
        EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
}

TEST(TableBadInput, SpansThatOverlapRunPastTheGridOrClaimMillionsOfCellsAreRefused)
{
    hwp::Document document = hwp::NewDocument();
    const hwp::Control good = hwp::WriteTable(hwp::NewTable(2, 2, 10000, 1), document);
    ASSERT_NO_THROW(hwp::ReadTable(good));
    constexpr std::size_t kColumnSpanAt = 12;   // in a cell's list header
    constexpr std::size_t kRowSpanAt = 14;
    // The first cell spans two columns over its neighbour.
    ExpectRefused(WithRecord(good, hwp::tag::kListHeader, 0, [](hwp::Bytes& d) { Put16(d, kColumnSpanAt, 2); }),
                  "overlap");
    // The last cell spans three rows of two.
    ExpectRefused(WithRecord(good, hwp::tag::kListHeader, 3, [](hwp::Bytes& d) { Put16(d, kRowSpanAt, 3); }),
                  "runs past the grid");
    ExpectRefused(WithRecord(good, hwp::tag::kListHeader, 1, [](hwp::Bytes& d) { Put16(d, kColumnSpanAt, 0); }),
                  "spans no row");
    // 60000 x 60000 cells, then a row count the cell lists cannot back.
    ExpectRefused(WithRecord(good, hwp::tag::kTable, 0, [](hwp::Bytes& d) { Put16(d, 4, 60000); Put16(d, 6, 60000); }),
                  "more than the 100000");
    ExpectRefused(WithRecord(good, hwp::tag::kTable, 0, [](hwp::Bytes& d) { Put16(d, 18, 40000); }), "cells");
    // A cell list header that announces more paragraphs than follow.
    ExpectRefused(WithRecord(good, hwp::tag::kListHeader, 3, [](hwp::Bytes& d) { Put16(d, 0, 9); }), "");
    // Zones announced past the record's end, and a record cut short.
    ExpectRefused(WithRecord(good, hwp::tag::kTable, 0, [](hwp::Bytes& d) { Put16(d, 24, 500); }), "zones");
    ExpectRefused(WithRecord(good, hwp::tag::kTable, 0, [](hwp::Bytes& d) { d.resize(10); }), "table record");
    // Not a table at all.
    hwp::Control other = good;
    other.ctrlId = hwp::CtrlId('g', 's', 'o', ' ');
    ExpectRefused(other, "not a table");
}

TEST(TableBuilt, ACaptionIsKeptAsReadAndWrittenBack)
{
    const hwp::Document document = hwp::NewDocument();
    hwp::Control control = hwp::WriteTable(hwp::NewTable(2, 2, 10000, 1), document);
    // A caption below the table, written as its records hold it and read back.
    const std::vector<hwp::ObjectRecord> caption = hwp::WriteCaption(
        {hwp::CaptionSide::Bottom, 8504, 850, {TextParagraph(u"표 1. 공기의 성분")}}, 10000, document);
    control.records.insert(control.records.begin() + 1, caption.begin(), caption.end());
    const hwp::Table table = hwp::ReadTable(control);
    EXPECT_EQ(table.caption, caption);
    const std::optional<hwp::TableCaption> read = hwp::ReadCaption(table.caption);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->side, hwp::CaptionSide::Bottom);
    EXPECT_EQ(read->width, 8504);
    EXPECT_EQ(read->gap, 850);
    ASSERT_EQ(read->paragraphs.size(), 1u);
    EXPECT_EQ(read->paragraphs[0].text, u"표 1. 공기의 성분");
    // Cut short: no caption rather than a wrong one.
    std::vector<hwp::ObjectRecord> cut = table.caption;
    cut.front().data.resize(10);
    EXPECT_FALSE(hwp::ReadCaption(cut).has_value());
    EXPECT_FALSE(hwp::ReadCaption({}).has_value());
    EXPECT_EQ(table.cells.size(), 4u);
    EXPECT_EQ(hwp::WriteTable(table, document, &control), control);
    EXPECT_EQ(hwp::WriteTable(table, document).records, control.records);
}

TEST(TableBuilt, ALargeTableReadsAndWritesBackInLinearTime)
{
    const hwp::Document document = hwp::NewDocument();
    hwp::Table table = hwp::NewTable(250, 200, 200000, 1);   // half the most a table may hold
    table.cells[777].paragraphs.front().text = u"여기";
    const hwp::Control control = hwp::WriteTable(table, document);
    const hwp::Table back = hwp::ReadTable(control);
    EXPECT_EQ(back, table);
    EXPECT_EQ(hwp::WriteTable(back, document, &control), control);
}

TEST(TableBadInput, ATableBuiltInCodeWithImpossibleCellsIsNotWritten)
{
    const hwp::Document document = hwp::NewDocument();
    hwp::Table table = hwp::NewTable(2, 2, 10000, 1);
    table.cells[1].column = 0;   // on top of the first
    EXPECT_THROW(hwp::WriteTable(table, document), hwp::HwpError);
    table = hwp::NewTable(2, 2, 10000, 1);
    table.cells[0].paragraphs.clear();
    EXPECT_THROW(hwp::WriteTable(table, document), hwp::HwpError);
    EXPECT_THROW(hwp::NewTable(1000, 1000, 10000, 1), hwp::HwpError);
    EXPECT_THROW(hwp::NewTable(0, 3, 10000, 1), hwp::HwpError);
}

// ---- border fills

TEST(BorderFills, EveryBorderFillOfTheSamplesWritesBackAsRead)
{
    if (SamplesFolder().empty())
        GTEST_SKIP() << "no samples folder";
    std::size_t count = 0;
    for (const std::string& path : SamplePaths()) {
        hwp::Document document;
        try {
            document = hwp::ReadDocument(path);
        } catch (const hwp::HwpError&) {
            continue;   // the protected sample
        }
        for (const hwp::BorderFill& fill : document.borderFills) {
            EXPECT_EQ(hwp::WriteBorderFill(hwp::ReadBorderFill(fill)), fill) << path;
            ++count;
        }
    }
    EXPECT_GT(count, 20u);
}

TEST(BorderFills, NamesLinesColourFillsAndKeepsGradients)
{
    if (SamplesFolder().empty())
        GTEST_SKIP() << "no samples folder";
    const hwp::Document document = ReadSample("borderfill.hwp");
    ASSERT_GE(document.borderFills.size(), 4u);
    const hwp::BorderFillView none = hwp::ReadBorderFill(document.borderFills[0]);
    EXPECT_EQ(none.lines[0].kind, static_cast<std::uint8_t>(hwp::LineKind::None));
    EXPECT_FALSE(none.Background());
    const hwp::BorderFillView coloured = hwp::ReadBorderFill(document.borderFills[2]);
    EXPECT_EQ(coloured.lines[2], (hwp::BorderLine{1, 1, 0}));
    EXPECT_EQ(coloured.Background(), 0x00FF7F3Fu);
    const hwp::BorderFillView gradient = hwp::ReadBorderFill(document.borderFills[3]);
    EXPECT_TRUE(gradient.fillKinds & hwp::kFillGradient);
    EXPECT_FALSE(gradient.Background());
    EXPECT_EQ(hwp::BorderLineWidth(1), 34);   // 0.12 mm
    EXPECT_EQ(hwp::BorderLineWidth(200), hwp::BorderLineWidth(15));
    EXPECT_THROW(hwp::ReadBorderFill(hwp::BorderFill{hwp::Bytes(20, 0)}), hwp::HwpError);
}

TEST(BorderFills, AnEqualBorderFillIsFoundInsteadOfAddedAgain)
{
    hwp::Document document = hwp::NewDocument();
    const std::size_t before = document.borderFills.size();
    const hwp::BorderFillView view = hwp::SimpleBorderFill({1, 2, 0x00FF0000}, 0x0000FF00);
    const std::uint16_t id = hwp::FindOrAddBorderFill(document, view);
    EXPECT_EQ(id, before + 1);
    EXPECT_EQ(hwp::FindOrAddBorderFill(document, view), id);
    EXPECT_EQ(hwp::ReadBorderFill(document.borderFills[id - 1u]), view);
    EXPECT_EQ(hwp::FindOrAddBorderFill(document, hwp::ReadBorderFill(document.borderFills[0])), 1);
}

}  // namespace
