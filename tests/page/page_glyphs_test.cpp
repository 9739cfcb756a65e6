// Page images drawn from cached glyphs look like Qt's own painting of the same layout.
#include "tests/editor/editor_testing.h"

#include "editor/equation_tools.h"
#include "document/hwp_mapping.h"
#include "page/page_render.h"
#include "editor/table_tools.h"
#include "tools/templates/template_documents.h"

#include <QTextCursor>
#include <QTextEdit>
#include <QTextTable>

#include <cstdlib>
#include <vector>

namespace {

// With a table (a frame, left to Qt's layout) or without (the layout's lines painted
// block by block, plain ones skipped).
std::unique_ptr<editor::EditorDocument> FullKoreanPage(bool withTable = true)
{
    auto document = editor::ToEditorDocument(templates::MakeStyledDocument(6));
    QTextCursor cursor(&document->Text());
    cursor.movePosition(QTextCursor::End);
    const QString sentence = QStringLiteral("봄이 오면 산과 들에 꽃이 핀다. 진달래와 개나리가 먼저 피고, 벚꽃이 뒤를 잇는다. "
                                            "Spring 2026: 사람들은 꽃구경을 하러 가까운 공원이나 먼 산으로 나들이를 떠난다. ");
    QTextBlockFormat justified;
    justified.setAlignment(Qt::AlignJustify);
    for (int i = 0; i < 20; ++i) {
        cursor.insertBlock(justified);
        QTextCharFormat format = document->DefaultCharFormat();
        cursor.insertText(sentence, format);
        if (i % 5 == 1) {
            format.setFontWeight(QFont::Bold);
            format.setForeground(QColor(0x20, 0x40, 0xC0));
            cursor.insertText(QStringLiteral("굵고 푸른 글자 "), format);
        }
        if (i % 5 == 3) {
            format.setFontUnderline(true);
            format.setFontPointSize(16);
            cursor.insertText(QStringLiteral("밑줄 친 큰 글자 "), format);
            QTextCharFormat struck = document->DefaultCharFormat();
            struck.setFontStrikeOut(true);
            cursor.insertText(QStringLiteral("지운 글자 "), struck);
        }
        if (i == 8 && withTable) {
            QTextTable* table = cursor.insertTable(2, 2);
            for (int cell = 0; cell < 4; ++cell) {
                QTextCursor inCell = table->cellAt(cell / 2, cell % 2).firstCursorPosition();
                inCell.insertText(QStringLiteral("표 안의 글 %1 가나다라마바사").arg(cell + 1),
                                  document->DefaultCharFormat());
            }
            cursor.movePosition(QTextCursor::End);
        }
    }
    return document;
}

QImage PaintPage(const editor::EditorDocument& document, editor::PageOutput output, int dpi)
{
    const editor::PagedLayout layout(document, output);
    QImage page(layout.SheetPixelWidth(dpi), layout.SheetPixelHeight(dpi), QImage::Format_RGB32);
    QImage band(page.width(), 1000, QImage::Format_RGB32);
    for (int top = 0; top < page.height(); top += band.height()) {
        layout.PaintBand(band, 0, top, dpi);
        for (int y = 0; y < band.height() && top + y < page.height(); ++y)
            std::memcpy(page.scanLine(top + y), band.constScanLine(y), static_cast<std::size_t>(page.bytesPerLine()));
    }
    return page;
}

struct Difference {
    double mean = 0;     // per channel, 0..255
    int largest = 0;     // one channel of one pixel
    double above32 = 0;  // share of pixels with a channel off by more than 32
    long inked = 0;      // pixels that are not white in the reference
};

Difference Compare(const QImage& reference, const QImage& drawn)
{
    Difference difference;
    double sum = 0;
    long off = 0;
    for (int y = 0; y < reference.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(reference.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        for (int x = 0; x < reference.width(); ++x) {
            const int dr = std::abs(qRed(a[x]) - qRed(b[x]));
            const int dg = std::abs(qGreen(a[x]) - qGreen(b[x]));
            const int db = std::abs(qBlue(a[x]) - qBlue(b[x]));
            const int most = std::max({dr, dg, db});
            sum += dr + dg + db;
            difference.largest = std::max(difference.largest, most);
            off += most > 32;
            difference.inked += (a[x] & 0xFFFFFF) != 0xFFFFFF;
        }
    }
    const double pixels = static_cast<double>(reference.width()) * reference.height();
    difference.mean = sum / (3 * pixels);
    difference.above32 = off / pixels;
    return difference;
}

// What a save keeps: each 2 x 2 block averaged.
QImage Halved(const QImage& image)
{
    QImage half(image.width() / 2, image.height() / 2, QImage::Format_RGB32);
    for (int y = 0; y < half.height(); ++y) {
        const auto* top = reinterpret_cast<const QRgb*>(image.constScanLine(2 * y));
        const auto* bottom = reinterpret_cast<const QRgb*>(image.constScanLine(2 * y + 1));
        auto* out = reinterpret_cast<QRgb*>(half.scanLine(y));
        for (int x = 0; x < half.width(); ++x) {
            const QRgb p[4] = {top[2 * x], top[2 * x + 1], bottom[2 * x], bottom[2 * x + 1]};
            int r = 2, g = 2, b = 2;
            for (const QRgb c : p) {
                r += qRed(c);
                g += qGreen(c);
                b += qBlue(c);
            }
            out[x] = qRgb(r / 4, g / 4, b / 4);
        }
    }
    return half;
}

// Glyphs land within a sixteenth of a pixel of Qt's: only edge pixels differ, and
// slightly; a missing, doubled or misplaced glyph would cost whole strokes.
void ExpectLikeQtsPainting(const Difference& full, const Difference& half)
{
    EXPECT_LT(full.mean, 0.3) << "largest " << full.largest << ", above 32: " << full.above32;
    EXPECT_LT(full.above32, 0.0005);
    EXPECT_LT(half.mean, 0.3) << "largest " << half.largest;
    EXPECT_LE(half.largest, 48);
    EXPECT_LT(half.above32, 0.00005);
}

class PageGlyphImages : public ::testing::Test {
protected:
    void SetUp() override { editor_testing::EnsureApplication(); }
};

TEST_F(PageGlyphImages, AFullKoreanPageAt600DpiMatchesQtsOwnPaintingPixelForPixel)
{
  for (const bool withTable : {true, false}) {
    SCOPED_TRACE(withTable ? "with a table" : "without frames");
    const auto document = FullKoreanPage(withTable);
    const QImage reference = PaintPage(*document, editor::PageOutput::Vector, 600);
    const QImage drawn = PaintPage(*document, editor::PageOutput::Bitmap, 600);
    ASSERT_EQ(reference.size(), QSize(4961, 7016));
    ASSERT_EQ(drawn.size(), reference.size());

    const Difference full = Compare(reference, drawn);
    const Difference half = Compare(Halved(reference), Halved(drawn));
    if (const char* keep = std::getenv("VARNEL_KEEP_GLYPH_IMAGES")) {
        Halved(reference).save(QString::fromLocal8Bit(keep) + "/qt.png");
        Halved(drawn).save(QString::fromLocal8Bit(keep) + "/glyphs.png");
    }
    // A page full of text: a tenth or more of it is ink.
    EXPECT_GT(full.inked, 1'500'000) << "the page holds text";
    ExpectLikeQtsPainting(full, half);
    std::printf("600 dpi: mean %.4f, largest %d, above 32 %.6f; halved: mean %.4f, largest %d, above 32 %.6f\n",
                full.mean, full.largest, full.above32, half.mean, half.largest, half.above32);
  }
}

TEST_F(PageGlyphImages, ColouredTextKeepsItsColourAndItsUnderline)
{
    auto document = editor::ToEditorDocument(templates::MakeStyledDocument(6));
    QTextCursor cursor(&document->Text());
    QTextCharFormat format = document->DefaultCharFormat();
    format.setFontUnderline(true);
    format.setForeground(QColor(0xC0, 0, 0));
    cursor.insertText(QStringLiteral("붉은 밑줄"), format);
    const QImage drawn = PaintPage(*document, editor::PageOutput::Bitmap, 150);
    const QImage reference = PaintPage(*document, editor::PageOutput::Vector, 150);
    long red = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        for (int x = 0; x < drawn.width(); ++x)
            red += qRed(row[x]) > 150 && qGreen(row[x]) < 60;
    }
    EXPECT_GT(red, 100) << "red glyphs and their red underline";
    EXPECT_LT(Compare(reference, drawn).mean, 0.5);
}

// Rows (or columns) of the image holding a dark run of at least `length` pixels: the
// rulings of tables and boxes, and long underlines.
std::vector<int> DarkRuns(const QImage& image, bool rows, int length)
{
    std::vector<int> found;
    const int lines = rows ? image.height() : image.width();
    const int along = rows ? image.width() : image.height();
    for (int i = 0; i < lines; ++i) {
        int run = 0, longest = 0;
        for (int j = 0; j < along; ++j) {
            const QRgb pixel = rows ? image.pixel(j, i) : image.pixel(i, j);
            run = qGray(pixel) < 128 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        if (longest >= length)
            found.push_back(i);
    }
    return found;
}

class PageGlyphTables : public editor_testing::PaneTest {};

TEST_F(PageGlyphTables, ATablePageMatchesQtsOwnPaintingAndKeepsEveryRulingExactly)
{
    // A data table with a shaded cell, underlined and coloured cell text and an equation in
    // a cell; a box of Korean lines; equations and underlines in the body between them.
    ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate("sf_text_format.hwp"), u"HWP"));
    m_pane->RunAction(u"MoveDocEnd");
    m_pane->InsertPlainText(QStringLiteral("다음은 세 물질의 질량과 부피를 측정하여 정리한 표이다. 표를 보고 물음에 답하시오.\n"));
    QTextTable* table = editor::InsertNewTable(*m_pane, 4, 3);
    ASSERT_NE(table, nullptr);
    for (int cell = 0; cell < 12; ++cell) {
        if (cell == 4) {
            ASSERT_TRUE(editor::SetTableCellBackground(*m_pane, QColor(0xDD, 0xEE, 0xFF)));
            QTextCharFormat underlined = m_pane->TextView()->textCursor().charFormat();
            underlined.setFontUnderline(true);
            underlined.setForeground(QColor(0xC0, 0, 0));
            m_pane->TextView()->textCursor().insertText(QStringLiteral("밑줄 친 칸"), underlined);
        } else if (cell == 8) {
            ASSERT_TRUE(editor::InsertEquation(*m_pane, QStringLiteral("rho = m over V")));
        } else {
            m_pane->InsertPlainText(QStringLiteral("칸 %1 가나다 27.0").arg(cell + 1));
        }
        if (cell < 11) {
            ASSERT_TRUE(editor::MoveToNextCell(*m_pane));
        }
    }
    m_pane->RunAction(u"MoveDocEnd");
    m_pane->InsertPlainText(QStringLiteral("\n밀도는 질량을 부피로 나눈 값으로 "));
    ASSERT_TRUE(editor::InsertEquation(*m_pane, QStringLiteral("{m_1 + m_2} over {V_1 + V_2}")));
    m_pane->InsertPlainText(QStringLiteral(" 와 같이 구한다. 이에 대한 설명으로 옳은 것만을 <보기>에서 있는 대로 고른 것은?\n"));
    ASSERT_NE(editor::InsertBoxTable(*m_pane), nullptr);
    m_pane->InsertPlainText(QStringLiteral("ㄱ. 같은 부피일 때 질량은 C가 A의 7배보다 크다.\nㄴ. 혼합물의 밀도는 두 밀도의 평균보다 작다."));
    m_pane->RunAction(u"MoveDocEnd");
    m_pane->InsertPlainText(QStringLiteral("\n① ㄱ    ② ㄴ    ③ ㄱ, ㄴ    ④ ㄴ, ㄷ    ⑤ ㄱ, ㄴ, ㄷ"));

    // As made, and as saved and opened again (rows at the file's heights, taller than their
    // text where the equation's row was grown).
    ASSERT_TRUE(editor::WriteHwpFile(m_pane->Document(), PathOf("table.hwp")));
    const auto reopened = editor::ReadHwpFile(PathOf("table.hwp"));
    ASSERT_TRUE(reopened);
    for (const editor::EditorDocument* document : {&m_pane->Document(), reopened.get()}) {
    SCOPED_TRACE(document == reopened.get() ? "reopened" : "as made");
    const QImage reference = PaintPage(*document, editor::PageOutput::Vector, 600);
    const QImage drawn = PaintPage(*document, editor::PageOutput::Bitmap, 600);
    ASSERT_EQ(drawn.size(), reference.size());
    const Difference full = Compare(reference, drawn);
    const Difference half = Compare(Halved(reference), Halved(drawn));
    EXPECT_GT(full.inked, 100'000) << "the page holds text and rulings";
    ExpectLikeQtsPainting(full, half);
    if (const char* keep = std::getenv("VARNEL_KEEP_GLYPH_IMAGES")) {
        reference.save(QString::fromLocal8Bit(keep) + "/table-qt.png");
        drawn.save(QString::fromLocal8Bit(keep) + "/table-glyphs.png");
    }
    std::printf("table page, 600 dpi: mean %.4f, largest %d, above 32 %.6f; halved: mean %.4f, largest %d\n",
                full.mean, full.largest, full.above32, half.mean, half.largest);

    // The rulings are the layout's own, to the pixel: every long line where Qt draws it.
    const std::vector<int> rows = DarkRuns(reference, true, 600);
    const std::vector<int> columns = DarkRuns(reference, false, 150);
    EXPECT_GE(rows.size(), 5u * 5) << "five lines of the table, two of the box, each some pixels thick";
    EXPECT_GE(columns.size(), 4u * 5 + 2 * 5);
    EXPECT_EQ(DarkRuns(drawn, true, 600), rows);
    EXPECT_EQ(DarkRuns(drawn, false, 150), columns);
    // The shaded cell keeps its background around its text.
    long shaded = 0;
    for (int y = 0; y < drawn.height(); y += 4) {
        const auto* row = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        for (int x = 0; x < drawn.width(); x += 4)
            shaded += row[x] == reference.pixel(x, y) && qRed(row[x]) == 0xDD && qBlue(row[x]) == 0xFF;
    }
    EXPECT_GT(shaded, 1000);
    }
}

} // namespace
