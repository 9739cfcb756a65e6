// Tables and pictures we write are read by @ohah/hwpjs, an HWP parser written by others:
// the cells with their spans, borders and texts in order; the picture with our bin data.
#include <gtest/gtest.h>

#include "hwp/border_fill.h"
#include "hwp/picture.h"
#include "hwp/table.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "object_testing.h"
#include "support/text.h"

namespace {

using namespace hwp_testing;

TEST(HwpjsObjects, ReadsOurDataTableBoxAndMergedCellsWithTheirTextsInOrder)
{
    hwp::Document document = DocumentWithTexts({u"표 앞의 글", u"", u"", u"", u"표 뒤의 글"});
    const std::uint16_t thin = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 1, 0}));
    const std::uint16_t thick = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 6, 0}, 0x00F0F0F0));

    std::vector<hwp::Table> tables;
    hwp::Table data = hwp::NewTable(3, 3, 30000, thin);
    for (hwp::TableCell& cell : data.cells)
        cell.paragraphs.front().text = u"칸 " + std::u16string(1, static_cast<char16_t>(u'1' + cell.row * 3 + cell.column));
    tables.push_back(data);
    hwp::Table box = hwp::NewTable(1, 1, 40000, thick);
    box.cells[0].paragraphs = {TextParagraph(u"<보기>"), TextParagraph(u"ㄱ. 가"), TextParagraph(u"ㄴ. 나")};
    tables.push_back(box);
    // Cells of another size than the data table's: hwpjs (0.1.0-rc.10) gives a cell whose
    // list header is byte for byte an earlier cell's the earlier cell's paragraphs.
    hwp::Table merged = hwp::NewTable(2, 3, 33000, thin);
    for (hwp::TableCell& cell : merged.cells)
        cell.paragraphs.front().text = std::u16string(1, static_cast<char16_t>(u'A' + cell.row * 3 + cell.column));
    hwp::MergeCells(merged, 0, 1, 2, 2);
    tables.push_back(merged);
    for (std::size_t t = 0; t < tables.size(); ++t)
        document.sections.front().paragraphs[t + 1].controls.push_back(hwp::WriteTable(tables[t], document));

    ScratchFolder scratch;
    const std::string path = scratch.File("tables.hwp");
    hwp::WriteDocument(document, path);
    const OracleObjects oracle = OracleObjectsOf(path);
    if (!oracle.available)
        GTEST_SKIP() << "the hwpjs oracle is not installed (scripts/install-test-tools)";
    ASSERT_TRUE(oracle.parsed) << oracle.error;
    ASSERT_EQ(oracle.tables.size(), tables.size());
    for (std::size_t t = 0; t < tables.size(); ++t) {
        SCOPED_TRACE("table " + std::to_string(t + 1));
        const OracleTable& read = oracle.tables[t];
        const hwp::Table& ours = tables[t];
        EXPECT_EQ(read.rows, ours.rows);
        EXPECT_EQ(read.columns, ours.columns);
        EXPECT_EQ(read.borderFillId, ours.borderFillId);
        ASSERT_EQ(read.cells.size(), ours.cells.size());
        const std::vector<std::u16string> texts = hwp::CellTexts(ours);
        for (std::size_t c = 0; c < ours.cells.size(); ++c) {
            const hwp::TableCell& cell = ours.cells[c];
            EXPECT_EQ(read.cells[c].row, cell.row);
            EXPECT_EQ(read.cells[c].column, cell.column);
            EXPECT_EQ(read.cells[c].rowSpan, cell.rowSpan);
            EXPECT_EQ(read.cells[c].columnSpan, cell.columnSpan);
            EXPECT_EQ(read.cells[c].borderFillId, cell.borderFillId);
            EXPECT_EQ(Utf16ToUtf8(read.cells[c].text), Utf16ToUtf8(texts[c]));
        }
    }
}

TEST(HwpjsObjects, ReadsOurPictureWithItsBinDataItem)
{
    hwp::Document document = DocumentWithTexts({u"다음 그림을 보시오.", u""});
    const std::string png = MakePng(8, 6, 0xCC3300);
    const hwp::Control picture = hwp::InsertPicture(document, png);
    document.sections.front().paragraphs[1].controls.push_back(picture);
    ScratchFolder scratch;
    const std::string path = scratch.File("picture.hwp");
    hwp::WriteDocument(document, path);
    const OracleObjects oracle = OracleObjectsOf(path);
    if (!oracle.available)
        GTEST_SKIP() << "the hwpjs oracle is not installed (scripts/install-test-tools)";
    ASSERT_TRUE(oracle.parsed) << oracle.error;
    ASSERT_EQ(oracle.pictures.size(), 1u);
    const OraclePicture& read = oracle.pictures[0];
    const hwp::Picture ours = hwp::ReadPicture(picture);
    EXPECT_EQ(read.binDataId, ours.binItemId);
    EXPECT_EQ(read.width, ours.object.width);
    EXPECT_EQ(read.height, ours.object.height);
    EXPECT_EQ(read.extension, "png");
    EXPECT_EQ(read.storageId, 1);
    EXPECT_EQ(read.base64, Base64(png));
}

}  // namespace
