// What pages print besides their body text, and controls that print nothing or a number.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "page/control_painters.h"
#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "page/object_painters.h"
#include "page/page_render.h"
#include "hwp/auto_number.h"
#include "hwp/notes.h"
#include "hwp/reader.h"
#include "hwp/table.h"
#include "page/text_items.h"
#include "hwp/writer.h"
#include "hwp/section.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

constexpr double kDpi = 100;

std::string SamplePath(const std::string& name)
{
    const std::string folder = hwp_testing::SamplesFolder();
    return folder.empty() ? std::string() : folder + "/" + name;
}

class PageFurniture : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor_testing::EnsureApplication();
        editor::RegisterObjectPainters();
    }

    static QImage PageImage(const editor::EditorDocument& document, int page = 0)
    {
        const editor::PagedLayout layout(document);
        QImage image(layout.SheetPixelWidth(kDpi), layout.SheetPixelHeight(kDpi), QImage::Format_RGB32);
        layout.PaintBand(image, page, 0, kDpi);
        if (const char* folder = std::getenv("VARNEL_PAGE_IMAGES"))
            image.save(QString::fromUtf8(folder) + "/" +
                       QString::fromStdString(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                       ".png");
        return image;
    }

    // Rows [top, bottom) of the image that hold ink.
    static std::vector<int> InkRows(const QImage& image, double top, double bottom)
    {
        std::vector<int> rows;
        for (int y = std::max(0, static_cast<int>(top)); y < std::min(image.height(), static_cast<int>(bottom)); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(row[x]) < 160) {
                    rows.push_back(y);
                    break;
                }
            }
        }
        return rows;
    }

    // The longest run of dark pixels across row `y`.
    static int LongestRun(const QImage& image, int y)
    {
        int longest = 0;
        int run = 0;
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            run = qGray(row[x]) < 160 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        return longest;
    }

    static double Pixels(std::int64_t hwpUnits) { return hwpUnits * kDpi / 7200.0; }
};

// Where the layout puts the caret after text index `index` of the first paragraph, with the
// document laid out for print or for the pane.
double CaretX(const hwp::Document& source, int index, bool print)
{
    const std::unique_ptr<editor::EditorDocument> document = editor::ToEditorDocument(source);
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(3780);
    device.setDotsPerMeterY(3780);
    QTextDocument& text = document->Text();
    text.documentLayout()->setPaintDevice(&device);
    if (print)
        editor::SetPrintLayout(text);
    editor::InstallKeptObjectHandler(text);
    text.setTextWidth(600);
    text.documentLayout()->documentSize();
    const QTextBlock block = text.begin();
    return block.layout()->lineAt(0).cursorToX(index);
}

hwp::Control Control(std::uint32_t ctrlId, hwp::Bytes header, std::uint32_t position)
{
    hwp::Control control;
    control.position = position;
    control.code = 11;
    control.ctrlId = ctrlId;
    control.end = position;
    control.records.push_back({hwp::tag::kCtrlHeader, 0, std::move(header)});
    return control;
}

TEST_F(PageFurniture, ControlsThatPrintNothingTakeNoRoomInPrintAndAThinMarkInThePane)
{
    const hwp::Document plain = hwp_testing::DocumentWithTexts({u"가나다"});
    hwp::Document marked = plain;
    const std::uint32_t bookmark = hwp::CtrlId('b', 'o', 'k', 'm');
    marked.sections[0].paragraphs[0].controls.push_back(
        Control(bookmark, {'m', 'k', 'o', 'b', 0, 0, 0, 0}, 1));
    marked.sections[0].paragraphs[0].controls.push_back(
        Control(hwp::kHeaderCtrlId, {'d', 'a', 'e', 'h', 0, 0, 0, 0}, 2));
    // Pane positions: 가 bookmark 나 header 다.
    EXPECT_NEAR(CaretX(marked, 5, true), CaretX(plain, 3, true), 0.01);
    const double paneMarks = CaretX(marked, 5, false) - CaretX(plain, 3, false);
    EXPECT_GT(paneMarks, 1.0) << "a teacher sees where they are";
    EXPECT_LE(paneMarks, 2 * 4.0);
}

TEST_F(PageFurniture, AnAutoNumberPrintsItsNumberInItsShapeAsWideAsThatText)
{
    const std::string path = SamplePath("table-position.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    const auto origin = std::make_shared<const hwp::Document>(hwp::ReadDocument(path));
    // The first table's caption: "표 " and its table number.
    std::optional<hwp::TableCaption> caption;
    for (const hwp::Paragraph& paragraph : origin->sections[0].paragraphs) {
        for (const hwp::Control& control : paragraph.controls) {
            if (!caption && hwp::IsTable(control) && control.records.size() > 1)
                caption = hwp::ReadCaption({control.records.begin() + 1, control.records.end()});
        }
    }
    ASSERT_TRUE(caption);
    ASSERT_FALSE(caption->paragraphs.empty());
    const hwp::Paragraph& first = caption->paragraphs.front();
    ASSERT_FALSE(first.controls.empty());
    const hwp::Control& number = first.controls.front();
    ASSERT_EQ(number.ctrlId, hwp::kAutoNumberCtrlId);
    EXPECT_EQ(editor::PrintedControlText(editor::KeptObject{number, origin}), QStringLiteral("1"));

    // Circled digits, in a paragraph of its own: as wide as "③" typed there.
    hwp::Document document = hwp_testing::DocumentWithTexts({u"표  ③"});
    hwp::Control circled = Control(hwp::kAutoNumberCtrlId, {'o', 'n', 't', 'a', 0x14, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0}, 2);
    document.sections[0].paragraphs[0].controls.push_back(circled);
    const double printed = CaretX(document, 3, true) - CaretX(document, 2, true);
    const double typed = CaretX(document, 5, true) - CaretX(document, 4, true);
    EXPECT_GT(printed, 1.0);
    EXPECT_NEAR(printed, typed, 0.5);

    // A ruby prints its main text; a header cut short prints nothing.
    const hwp::Control ruby = Control(hwp::CtrlId('t', 'd', 'u', 't'),
                                      {'t', 'u', 'd', 't', 2, 0, 0x22, 0x6F, 0x57, 0x5B, 1, 0, 'a', 0}, 0);
    EXPECT_EQ(editor::PrintedControlText(editor::KeptObject{ruby, origin}), QStringLiteral("漢字"));
    hwp::Control cut = ruby;
    cut.records.front().data.resize(8);
    EXPECT_TRUE(editor::PrintedControlText(editor::KeptObject{cut, origin}).isEmpty());
}

TEST_F(PageFurniture, HeadersAndFootersPrintInTheirAreasWithTheirPageNumber)
{
    const std::string path = SamplePath("headerfooter.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    const std::unique_ptr<editor::EditorDocument> document = editor::ReadHwpFile(path);
    ASSERT_TRUE(document);
    const editor::PageSetup& page = document->Page();
    const QImage image = PageImage(*document);
    const double headerTop = Pixels(page.marginTop);
    const double bodyTop = Pixels(page.BodyTop());
    const double footerTop = Pixels(page.SheetHeight() - page.marginBottom - page.marginFooter);
    const double footerBottom = Pixels(page.SheetHeight() - page.marginBottom);
    EXPECT_FALSE(InkRows(image, headerTop, bodyTop).empty()) << "the header";
    EXPECT_FALSE(InkRows(image, footerTop, footerBottom).empty()) << "the footer";
    EXPECT_TRUE(InkRows(image, 0, headerTop).empty());
    EXPECT_TRUE(InkRows(image, footerBottom, image.height()).empty());
    // The footer aligns to the bottom of its area.
    EXPECT_GT(InkRows(image, footerTop, footerBottom).front(), (footerTop + footerBottom) / 2);
    // The body holds its one line and nothing where the controls stand.
    const std::vector<int> body = InkRows(image, bodyTop, footerTop);
    ASSERT_FALSE(body.empty());
    EXPECT_LT(body.back() - body.front(), Pixels(1000)) << "one line of 10-point text";

    // On a page of its own the header's auto number of kind page shows that page.
    const std::optional<hwp::HeaderFooter> header = [&]() -> std::optional<hwp::HeaderFooter> {
        for (const hwp::Paragraph& paragraph : document->Origin().sections[0].paragraphs)
            for (const hwp::Control& control : paragraph.controls)
                if (control.ctrlId == hwp::kHeaderCtrlId)
                    return hwp::ReadHeaderFooter(control);
        return std::nullopt;
    }();
    ASSERT_TRUE(header);
    bool pageNumber = false;
    for (const hwp::Control& control : header->paragraphs.front().controls) {
        const std::optional<hwp::AutoNumber> number = hwp::ReadAutoNumber(control);
        pageNumber = pageNumber || (number && number->Kind() == static_cast<int>(hwp::NumberKind::Page));
    }
    EXPECT_TRUE(pageNumber) << "the sample's header numbers its pages";
}

TEST_F(PageFurniture, APageNumberPositionPrintsTheNumberAtItsPlaceFromTheFilesStart)
{
    hwp::Document source = hwp_testing::DocumentWithTexts({u"본문"});
    source.startNumbers.page = 7;
    // Bottom centre, digits, no decoration.
    source.sections[0].paragraphs[0].controls.push_back(Control(
        hwp::kPageNumberPositionCtrlId, {'p', 'n', 'g', 'p', 0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0));
    const std::unique_ptr<editor::EditorDocument> document = editor::ToEditorDocument(source);
    const editor::PageSetup& page = document->Page();
    const QImage image = PageImage(*document);
    const double footerTop = Pixels(page.SheetHeight() - page.marginBottom - page.marginFooter);
    const double footerBottom = Pixels(page.SheetHeight() - page.marginBottom);
    const std::vector<int> rows = InkRows(image, footerTop, footerBottom);
    ASSERT_FALSE(rows.empty());
    EXPECT_TRUE(InkRows(image, Pixels(page.marginTop), Pixels(page.BodyTop())).empty()) << "nothing at the top";
    // One digit, in the middle of the body's width.
    int left = image.width();
    int right = -1;
    for (const int y : rows) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(row[x]) < 160) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    const double middle = Pixels(page.BodyLeft()) + Pixels(page.BodyWidth()) / 2;
    EXPECT_NEAR((left + right) / 2.0, middle, 3);
    EXPECT_LT(right - left, Pixels(1000)) << "one digit, \"7\"";
}

// A page hiding read from HWPX hides on its own page what it names, as one read from HWP.
TEST_F(PageFurniture, APageHidingFromHwpxHidesThePageNumberOnItsPageOnly)
{
    const struct {
        std::uint8_t hidden;
        bool firstPageNumbered;
    } cases[] = {{0x00, true}, {0x20, false}, {0x01, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hidden);
        hwp::Document source = hwp_testing::DocumentWithTexts({u"첫 쪽", u"둘째 쪽"});
        source.sections[0].paragraphs[1].breakFlags |= hwp::kBreakPage;
        std::vector<hwp::Control>& controls = source.sections[0].paragraphs[0].controls;
        controls.push_back(Control(hwp::kPageNumberPositionCtrlId,
                                   {'p', 'n', 'g', 'p', 0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0));
        controls.back().code = 21;
        controls.push_back(Control(hwp::kPageHidingCtrlId, {'d', 'h', 'g', 'p', c.hidden, 0, 0, 0}, 0));
        controls.back().code = 21;
        const hwp::Document read = hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(source));
        const std::unique_ptr<editor::EditorDocument> document = editor::ToEditorDocument(read);
        const editor::PageSetup& page = document->Page();
        const double footerTop = Pixels(page.SheetHeight() - page.marginBottom - page.marginFooter);
        const double footerBottom = Pixels(page.SheetHeight() - page.marginBottom);
        EXPECT_EQ(!InkRows(PageImage(*document, 0), footerTop, footerBottom).empty(), c.firstPageNumbered);
        EXPECT_FALSE(InkRows(PageImage(*document, 1), footerTop, footerBottom).empty()) << "the next page";
    }
}

TEST_F(PageFurniture, FootnotesPrintAtTheFootOfTheBodyUnderAShortRuleAndEndnotesAfterTheText)
{
    const std::string path = SamplePath("footnote-endnote.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    const std::unique_ptr<editor::EditorDocument> document = editor::ReadHwpFile(path);
    ASSERT_TRUE(document);
    const editor::PageSetup& page = document->Page();
    const QImage image = PageImage(*document);
    const double bodyTop = Pixels(page.BodyTop());
    const double bodyBottom = bodyTop + Pixels(page.BodyHeight());
    const double bodyWidth = Pixels(page.BodyWidth());

    // Two lines of footnotes in the last tenth of the body, a rule of a third of its width
    // above them.
    const std::vector<int> foot = InkRows(image, bodyBottom - Pixels(page.BodyHeight()) / 10, bodyBottom + 1);
    ASSERT_FALSE(foot.empty());
    int rule = -1;
    for (const int y : foot) {
        if (LongestRun(image, y) > bodyWidth / 4) {
            rule = y;
            break;
        }
    }
    ASSERT_GE(rule, 0) << "a rule above the footnotes";
    EXPECT_LT(LongestRun(image, rule), bodyWidth / 2) << "short";
    EXPECT_GT(foot.back() - rule, Pixels(1500)) << "two lines under it";

    // The text's two lines, then the endnotes' rule and their two lines, near the top.
    const std::vector<int> top = InkRows(image, bodyTop, bodyTop + Pixels(page.BodyHeight()) / 4);
    bool endnoteRule = false;
    for (const int y : top)
        endnoteRule = endnoteRule || LongestRun(image, y) > bodyWidth / 5;
    EXPECT_TRUE(endnoteRule);
    EXPECT_GT(top.back() - top.front(), Pixels(4 * 1000)) << "four lines and a rule";
    // Nothing between them.
    EXPECT_TRUE(InkRows(image, bodyTop + Pixels(page.BodyHeight()) / 4, bodyBottom - Pixels(page.BodyHeight()) / 10)
                    .empty());
}

// The sample of notes with its first paragraph only: the footnotes', without the endnotes.
std::optional<hwp::Document> FootnotesParagraph()
{
    const std::string path = SamplePath("footnote-endnote.hwp");
    if (path.empty())
        return std::nullopt;
    hwp::Document source = hwp::ReadDocument(path);
    source.sections[0].paragraphs.resize(1);
    return source;
}

TEST_F(PageFurniture, AFullPageLeavesItsFootnotesTheirRoomAndTheTextGoesOn)
{
    std::optional<hwp::Document> read = FootnotesParagraph();
    if (!read)
        GTEST_SKIP() << "no sample documents";
    hwp::Document& source = *read;
    std::vector<hwp::Paragraph>& paragraphs = source.sections[0].paragraphs;
    hwp::Paragraph line = paragraphs[0];
    line.controls.clear();
    for (int i = 0; i < 60; ++i)
        paragraphs.push_back(line);
    const std::unique_ptr<editor::EditorDocument> document = editor::ToEditorDocument(source);
    const editor::PageSetup& page = document->Page();
    EXPECT_EQ(editor::PagedLayout(*document).PageCount(), 2);
    const QImage image = PageImage(*document);
    const double bodyTop = Pixels(page.BodyTop());
    const double bodyBottom = bodyTop + Pixels(page.BodyHeight());
    const double bodyWidth = Pixels(page.BodyWidth());
    int rule = -1;
    for (const int y : InkRows(image, bodyTop, bodyBottom)) {
        if (LongestRun(image, y) > bodyWidth / 4)
            rule = y;
    }
    ASSERT_GT(rule, bodyTop + Pixels(page.BodyHeight()) / 2) << "the rule at the foot of the body";
    // The space above the rule is free of the body's text.
    EXPECT_TRUE(InkRows(image, rule - Pixels(850) + 1, rule).empty());
    EXPECT_FALSE(InkRows(image, rule - Pixels(850) - Pixels(2000), rule - Pixels(850)).empty()) << "text up to it";
}

// Footnotes of columns that begin below other text on the sheet print at its foot, though
// the part above owns the sheet's furniture; with the part above's notes, in one note area,
// the part above's first.
TEST_F(PageFurniture, FootnotesOfColumnsBegunMidSheetPrintOnThatSheet)
{
    std::optional<hwp::Document> read = FootnotesParagraph();
    if (!read)
        GTEST_SKIP() << "no sample documents";
    hwp::Document& source = *read;
    std::vector<hwp::Paragraph>& paragraphs = source.sections[0].paragraphs;
    // The first paragraph keeps the section's definitions and the first note; its copy after
    // it starts two columns and holds the second.
    hwp::Paragraph notes = paragraphs[0];
    const auto isNote = [](const hwp::Control& control) { return control.ctrlId == hwp::kFootnoteCtrlId; };
    const auto firstNote = std::find_if(paragraphs[0].controls.begin(), paragraphs[0].controls.end(), isNote);
    ASSERT_NE(firstNote, paragraphs[0].controls.end());
    const std::size_t first = static_cast<std::size_t>(firstNote - paragraphs[0].controls.begin());
    std::size_t index = 0;
    std::erase_if(paragraphs[0].controls, [&](const hwp::Control& control) { return isNote(control) && index++ != first; });
    index = 0;
    std::erase_if(notes.controls, [&](const hwp::Control& control) { return !isNote(control) || index++ == first; });
    hwp::Columns two;
    two.count = 2;
    two.gap = 1134;
    notes.controls.insert(notes.controls.begin(), hwp::ColumnsControl(two));
    notes.breakFlags = hwp::kBreakColumns;
    notes.lineLayout = {};
    paragraphs.push_back(notes);
    const std::unique_ptr<editor::EditorDocument> document =
        editor::ToEditorDocument(hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(source)));
    const editor::PagedLayout layout(*document, editor::PageOutput::Vector);
    ASSERT_EQ(layout.PageCount(), 1);
    QString written;
    std::vector<std::pair<QString, double>> items;
    editor::TextItemDevice device([&](const QPointF& at, const QTextItem& item) {
        written += item.text();
        items.emplace_back(item.text(), at.y());
    });
    QPainter painter(&device);
    layout.PaintPage(painter, 0);
    painter.end();
    const auto lineOf = [&items](const QString& text) {
        std::vector<double> at;
        for (const auto& [item, y] : items)
            if (item.contains(text))
                at.push_back(y);
        return at;
    };
    const std::vector<double> above = lineOf(QStringLiteral("각주입니다"));
    const std::vector<double> below = lineOf(QStringLiteral("두 번째입니다"));
    ASSERT_EQ(above.size(), 1u) << written.toStdString();
    ASSERT_EQ(below.size(), 1u) << written.toStdString();
    EXPECT_GT(below.front() - above.front(), 8) << "the second note a line below the first, not over it";
    for (const auto& [item, y] : items) {
        if (item.contains(QStringLiteral("각주")) && !item.contains(QStringLiteral("입니다"))) {
            EXPECT_LT(y, above.front() - 8) << "the text above the note area";
        }
    }
}

TEST_F(PageFurniture, ThePaneTellsANotesTextOverItsReference)
{
    const std::string path = SamplePath("footnote-endnote.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    const std::unique_ptr<editor::EditorDocument> document = editor::ReadHwpFile(path);
    ASSERT_TRUE(document);
    // 각주참조 and the first footnote's character.
    const QString tip = editor::KeptObjectToolTipAt(document->Text(), 4);
    EXPECT_TRUE(tip.startsWith(QStringLiteral("각주"))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("각주입니다"))) << tip.toStdString();
    EXPECT_TRUE(editor::KeptObjectToolTipAt(document->Text(), 1).isEmpty());
}

} // namespace
