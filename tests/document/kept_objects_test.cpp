// Objects of real documents in the pane: each one is one object that keeps its records
// through open and save, cut and paste between panes, delete and undo; the text scan
// reads the text inside them; the layout gives them their real size.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "page/object_painters.h"
#include "editor/pane_ops.h"
#include "document/table_mapping.h"
#include "hwp/objects.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/table.h"
#include "hwp/writer.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextEdit>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <filesystem>

namespace hwp {

// Readable failure messages: records by tag, level and size, bin data by stream.
void PrintTo(const ObjectRecord& record, std::ostream* out)
{
    *out << "tag " << record.tag << " level " << record.level << " size " << record.data.size();
}
void PrintTo(const BinDataItem& item, std::ostream* out)
{
    *out << item.streamName << " (" << item.stream.size() << " bytes)";
}

} // namespace hwp

namespace {

using editor::CHwpctrl;
using editor_testing::U16;

std::vector<std::string> ReadableSamples()
{
    std::vector<std::string> paths;
    for (const std::string& path : hwp_testing::SamplePaths()) {
        if (path.find("password") == std::string::npos)
            paths.push_back(path);
    }
    return paths;
}

std::string SamplePath(const std::string& name)
{
    const std::string folder = hwp_testing::SamplesFolder();
    return folder.empty() ? std::string() : folder + "/" + name;
}

std::vector<const hwp::Control*> AllControls(const hwp::Document& document)
{
    std::vector<const hwp::Control*> controls;
    for (const hwp::Section& section : document.sections) {
        for (const hwp::Paragraph& paragraph : section.paragraphs) {
            for (const hwp::Control& control : paragraph.controls)
                controls.push_back(&control);
        }
    }
    return controls;
}

// How many object characters the pane shows for these paragraphs: tables it shows as
// tables of the text engine hold theirs in their cells.
std::size_t ShownObjects(const std::vector<hwp::Paragraph>& paragraphs, int depth = 0)
{
    std::size_t count = 0;
    for (const hwp::Paragraph& paragraph : paragraphs) {
        for (const hwp::Control& control : paragraph.controls) {
            if (const std::optional<hwp::Table> table = editor::TableToShow(control, depth)) {
                // Its caption is an object character beside it.
                count += hwp::ReadCaption(table->caption).has_value();
                for (const hwp::TableCell& cell : table->cells)
                    count += ShownObjects(cell.paragraphs, depth + 1);
            } else {
                ++count;
            }
        }
    }
    return count;
}

std::size_t ShownObjects(const hwp::Document& document)
{
    std::size_t count = 0;
    for (const hwp::Section& section : document.sections)
        count += ShownObjects(section.paragraphs);
    return count;
}

long CountOf(const hwp::Document& document, std::uint32_t ctrlId)
{
    const auto controls = AllControls(document);
    return std::count_if(controls.begin(), controls.end(), [&](const hwp::Control* c) { return c->ctrlId == ctrlId; });
}

// The object as it reads in a document of its own: imported into an empty document, so
// two objects whose ids are numbered differently but point at the same shapes, styles,
// border fills and bin data come out alike.
struct Standalone {
    hwp::Control control;
    hwp::Document tables;
};
Standalone Alone(const hwp::Document& from, const hwp::Control& control)
{
    Standalone alone{{}, hwp::NewDocument()};
    alone.control = hwp::ImportControl(from, control, alone.tables);
    alone.control.position = 0;
    alone.control.end = 0;
    return alone;
}

void ExpectSameObject(const hwp::Document& a, const hwp::Control& left, const hwp::Document& b,
                      const hwp::Control& right)
{
    ASSERT_EQ(hwp::CtrlIdText(left.ctrlId), hwp::CtrlIdText(right.ctrlId));
    const Standalone one = Alone(a, left);
    const Standalone two = Alone(b, right);
    EXPECT_EQ(one.control.records, two.control.records) << "the same records below the control";
    EXPECT_EQ(one.tables.charShapes, two.tables.charShapes) << "its ids name the same char shapes";
    EXPECT_EQ(one.tables.paraShapes, two.tables.paraShapes);
    EXPECT_EQ(one.tables.borderFills, two.tables.borderFills);
    EXPECT_EQ(one.tables.binData, two.tables.binData) << "and the same bin data";
    EXPECT_EQ(hwp::ControlText(left), hwp::ControlText(right));
}

std::vector<std::u16string> Texts(const hwp::Document& document)
{
    std::vector<std::u16string> texts;
    for (const hwp::Section& section : document.sections) {
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            texts.push_back(paragraph.text);
    }
    return texts;
}

std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> FieldEnds(const hwp::Document& document)
{
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> ends;
    for (const hwp::Section& section : document.sections) {
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            ends.push_back(paragraph.fieldEnds);
    }
    return ends;
}

// The pane's paragraphs as model text: object characters take no room there; a table
// of the pane stands in its paragraph, which the block after it continues.
std::vector<std::u16string> PaneTexts(CHwpctrl& pane)
{
    std::vector<std::u16string> texts;
    bool afterTable = false;
    for (QTextFrame::iterator it = pane.Document().Text().rootFrame()->begin(); !it.atEnd(); ++it) {
        if (it.currentFrame()) {
            afterTable = true;
            continue;
        }
        // Object characters and what is an object's own (a caption's line separator) out.
        QString shown;
        for (auto fragment = it.currentBlock().begin(); !fragment.atEnd(); ++fragment) {
            if (fragment.fragment().charFormat().objectType() != editor::kKeptObjectType)
                shown += fragment.fragment().text();
        }
        shown.replace(QChar::LineSeparator, QLatin1Char('\n'));
        if (afterTable && it.currentBlock().blockFormat().boolProperty(editor::kContinuesParagraphProperty))
            texts.back() += shown.toStdU16String();
        else
            texts.push_back(shown.toStdU16String());
        afterTable = false;
    }
    return texts;
}

// Pane positions of the kept objects (not field ends or sections), in order.
std::vector<int> ObjectPositions(CHwpctrl& pane)
{
    std::vector<int> positions;
    const QTextDocument& text = pane.Document().Text();
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!editor::KeptObjectOf(fragment.charFormat()))
                continue;
            const QString characters = fragment.text();
            for (int k = 0; k < fragment.length(); ++k) {
                if (characters[k] == QChar::ObjectReplacementCharacter)
                    positions.push_back(fragment.position() + k);
            }
        }
    }
    return positions;
}

editor::KeptObjectRef ObjectAt(CHwpctrl& pane, int position)
{
    QTextCursor cursor(&pane.Document().Text());
    cursor.setPosition(position + 1);
    return editor::KeptObjectOf(cursor.charFormat());
}

void Select(CHwpctrl& pane, int from, int to)
{
    QTextCursor cursor(&pane.Document().Text());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    pane.TextView()->setTextCursor(cursor);
}

// Where a page image is darker than light grey.
QRect InkOf(const std::string& path)
{
    const QImage page = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
    QRect ink;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (qGray(page.pixel(x, y)) < 200)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

class KeptObjects : public editor_testing::PaneTest {
protected:
    hwp::Document Save(CHwpctrl& pane, const std::string& name)
    {
        const std::string path = PathOf(name);
        EXPECT_TRUE(pane.SaveDocumentAs(U16(QString::fromStdString(path)), u"HWP"));
        return hwp::ReadDocument(path);
    }
    bool Open(CHwpctrl& pane, const std::string& path)
    {
        return pane.OpenDocument(U16(QString::fromStdString(path)), u"HWP");
    }
    void ExpectOpenAndSaveKeepsEverything(const std::string& path)
    {
        const hwp::Document original = hwp::ReadDocument(path);
        ASSERT_TRUE(Open(*m_pane, path));
        EXPECT_EQ(PaneTexts(*m_pane), Texts(original)) << "objects are characters of their own, no stand-in text";
        const std::string copy = PathOf("saved.hwp");
        ASSERT_TRUE(m_pane->SaveDocumentAs(U16(QString::fromStdString(copy)), u"HWP"));
        const hwp::Document saved = hwp::ReadDocument(copy);

        EXPECT_EQ(Texts(saved), Texts(original));
        EXPECT_EQ(FieldEnds(saved), FieldEnds(original)) << "ends of fields begun in an earlier paragraph";
        ASSERT_EQ(saved.sections.size(), original.sections.size());
        for (std::size_t s = 0; s < original.sections.size(); ++s) {
            EXPECT_EQ(saved.sections[s].page, original.sections[s].page);
            EXPECT_EQ(saved.sections[s].sectionDef.records, original.sections[s].sectionDef.records);
            EXPECT_EQ(saved.sections[s].columnDef.records, original.sections[s].columnDef.records);
        }
        const auto before = AllControls(original);
        const auto after = AllControls(saved);
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            SCOPED_TRACE(hwp::CtrlIdText(before[i]->ctrlId));
            EXPECT_EQ(after[i]->position, before[i]->position);
            EXPECT_EQ(after[i]->end, before[i]->end);
            EXPECT_EQ(after[i]->records, before[i]->records) << "untouched: byte for byte";
            ExpectSameObject(original, *before[i], saved, *after[i]);
        }
        EXPECT_EQ(saved.binData, original.binData);
    }

    // The first object of that control id in the pane, or -1.
    // table.hwp with its table floating beside the text: a table the pane keeps as an
    // object.
    std::string FloatingTable()
    {
        const std::string path = SamplePath("table.hwp");
        if (path.empty())
            return {};
        hwp::Document document = hwp::ReadDocument(path);
        hwp::Control& control = document.sections.at(0).paragraphs.at(0).controls.at(0);
        hwp::Table table = hwp::ReadTable(control);
        table.object.inlineAsChar = false;
        table.object.wrap = hwp::TextWrap::Square;
        control = hwp::WriteTable(table, document, &control);
        const std::string floating = PathOf("floating-table.hwp");
        hwp::WriteDocument(document, floating);
        return floating;
    }

    int FindObject(CHwpctrl& pane, std::uint32_t ctrlId)
    {
        for (const int position : ObjectPositions(pane)) {
            if (ObjectAt(pane, position)->control.ctrlId == ctrlId)
                return position;
        }
        return -1;
    }
};

constexpr std::uint32_t kTable = hwp::CtrlId('t', 'b', 'l', ' ');
constexpr std::uint32_t kDrawing = hwp::CtrlId('g', 's', 'o', ' ');

TEST_F(KeptObjects, EverySampleOpenedAndSavedKeepsEveryObject)
{
    const std::vector<std::string> samples = ReadableSamples();
    if (samples.empty())
        GTEST_SKIP() << "no sample documents";
    for (const std::string& path : samples) {
        SCOPED_TRACE(path);
        ExpectOpenAndSaveKeepsEverything(path);
    }
}

TEST_F(KeptObjects, AnObjectCutInOnePaneAndPastedInAnotherKeepsItsDataAndBinData)
{
    const std::string path = SamplePath("shapepict-scaled.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    const hwp::Document original = hwp::ReadDocument(path);
    ASSERT_FALSE(original.binData.empty());
    ASSERT_TRUE(Open(*m_pane, path));
    const int at = FindObject(*m_pane, kDrawing);
    ASSERT_GE(at, 0);
    const hwp::Control picture = ObjectAt(*m_pane, at)->control;
    const long pictures = CountOf(original, kDrawing);

    CHwpctrl other;
    editor_testing::PaneTest::Type(other, u"앞 뒤");
    Select(*m_pane, at, at + 1);
    m_pane->TextView()->cut();
    QTextCursor caret(&other.Document().Text());
    caret.setPosition(2);
    other.TextView()->setTextCursor(caret);
    other.TextView()->paste();

    const hwp::Document target = Save(other, "other.hwp");
    const auto pasted = AllControls(target);
    ASSERT_EQ(pasted.size(), 1u);
    EXPECT_EQ(pasted[0]->position, 2u);
    EXPECT_EQ(target.sections.at(0).paragraphs.at(0).text, u"앞 뒤");
    ExpectSameObject(original, picture, target, *pasted[0]);
    EXPECT_FALSE(target.binData.empty()) << "the picture's bin data came with it";

    const hwp::Document source = Save(*m_pane, "source.hwp");
    EXPECT_EQ(CountOf(source, kDrawing), pictures - 1);
    EXPECT_EQ(source.binData, original.binData) << "the other picture still shows the same bin data";
}

TEST_F(KeptObjects, ATablePastedTwiceAndCopiedBackKeepsItsCellShapes)
{
    const std::string path = SamplePath("table.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    const hwp::Document original = hwp::ReadDocument(path);
    const hwp::Control& table = original.sections.at(0).paragraphs.at(0).controls.at(0);
    ASSERT_TRUE(Open(*m_pane, path));
    QTextTable* shown = QTextCursor(m_pane->Document().Text().begin()).currentTable();
    if (!shown)
        shown = QTextCursor(m_pane->Document().Text().begin().next()).currentTable();
    ASSERT_NE(shown, nullptr);

    // Into a document with other shapes: a template with the nine styles.
    CHwpctrl other;
    ASSERT_TRUE(other.OpenDocument(WriteTemplate("sf_exam_format.hwp"), u"HWP"));
    Select(*m_pane, shown->firstPosition() - 1, shown->lastPosition() + 1);
    m_pane->TextView()->copy();
    other.TextView()->paste();
    other.TextView()->paste();
    const hwp::Document target = Save(other, "other.hwp");
    ASSERT_EQ(CountOf(target, kTable), 2);
    for (const hwp::Control* control : AllControls(target)) {
        if (control->ctrlId == kTable)
            ExpectSameObject(original, table, target, *control);
    }
}

TEST_F(KeptObjects, DeletingAPictureDropsItsRecordsAndItsBinDataAndUndoBringsThemBack)
{
    const std::string path = SamplePath("sample-5017.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    const hwp::Document original = hwp::ReadDocument(path);
    ASSERT_TRUE(Open(*m_pane, path));
    const std::vector<int> objects = ObjectPositions(*m_pane);
    ASSERT_EQ(objects.size(), ShownObjects(original));
    // A picture whose bin data no other object shows.
    int at = -1;
    for (const int position : objects) {
        const hwp::Control& control = ObjectAt(*m_pane, position)->control;
        const Standalone alone = Alone(original, control);
        if (control.ctrlId != kDrawing || alone.tables.binData.size() != 1)
            continue;
        const auto sameStream = [&](const hwp::BinDataItem& item) { return item.stream == alone.tables.binData[0].stream; };
        if (std::count_if(original.binData.begin(), original.binData.end(), sameStream) == 1)
            at = position;
    }
    ASSERT_GE(at, 0) << "the sample has a picture of its own";

    Select(*m_pane, at, at + 1);
    m_pane->TextView()->textCursor().removeSelectedText();
    const hwp::Document deleted = Save(*m_pane, "deleted.hwp");
    EXPECT_EQ(ShownObjects(deleted), objects.size() - 1);
    EXPECT_EQ(deleted.binData.size(), original.binData.size() - 1) << "bin data nobody shows any more goes";
    EXPECT_EQ(Texts(deleted), Texts(original)) << "the text around it stays";
    for (const hwp::Control* control : AllControls(deleted)) {
        const Standalone alone = Alone(deleted, *control);
        EXPECT_LE(alone.tables.binData.size(), deleted.binData.size()) << "what is left still finds its pictures";
    }

    m_pane->TextView()->undo();
    const hwp::Document restored = Save(*m_pane, "restored.hwp");
    const auto before = AllControls(original);
    const auto after = AllControls(restored);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(after[i]->records, before[i]->records);
    EXPECT_EQ(restored.binData, original.binData);
}

TEST_F(KeptObjects, TheTextScanReadsTheTextInsideObjectsInPlace)
{
    const std::string path = SamplePath("sample-5017.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    ASSERT_TRUE(Open(*m_pane, path));
    QTextTable* table = nullptr;
    std::u16string inside;
    for (QTextBlock block = m_pane->Document().Text().begin(); block.isValid() && !table; block = block.next()) {
        QTextTable* found = QTextCursor(block).currentTable();
        if (!found)
            continue;
        const auto kept = found->format().property(editor::kTableControlProperty).value<editor::KeptObjectRef>();
        ASSERT_TRUE(kept);
        inside = hwp::ControlText(kept->control);
        if (!inside.empty() && inside.find(u'\n') != std::u16string::npos)
            table = found;
    }
    ASSERT_NE(table, nullptr) << "the sample has a table with text";

    // From the end of the paragraph the table stands in to the document's end: the
    // cells, paragraphs ended as in the body.
    QTextCursor caret(&m_pane->Document().Text());
    caret.setPosition(table->firstPosition() - 1);
    m_pane->TextView()->setTextCursor(caret);
    ASSERT_TRUE(m_pane->BeginTextScan(u"scanSposCurrent;scanEposDocument;"));
    std::u16string chunk;
    ASSERT_EQ(m_pane->ReadTextChunk(chunk), editor::TextScanState::Text);
    std::u16string rest;
    EXPECT_EQ(m_pane->ReadTextChunk(rest), editor::TextScanState::End) << "the whole range is one piece";
    m_pane->EndTextScan();
    std::u16string expected = u"\r\n";
    for (const char16_t unit : inside)
        expected += unit == u'\n' ? std::u16string(u"\r\n") : std::u16string(1, unit);
    EXPECT_EQ(chunk.substr(0, expected.size()), expected);
    EXPECT_EQ(chunk.find(u'\uFFFC'), std::u16string::npos);
}

TEST_F(KeptObjects, ObjectsAreLaidOutAtTheirRealSize)
{
    const std::string path = FloatingTable();
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    ASSERT_TRUE(Open(*m_pane, path));
    m_pane->resize(900, 700);
    const int at = FindObject(*m_pane, kTable);
    ASSERT_GE(at, 0);
    const auto placement = hwp::ControlPlacement(ObjectAt(*m_pane, at)->control);
    ASSERT_TRUE(placement.has_value());
    QTextDocument& text = m_pane->Document().Text();
    text.documentLayout()->documentSize();
    const QTextBlock block = text.findBlock(at);
    const QTextLine line = block.layout()->lineForTextPosition(at - block.position());
    ASSERT_TRUE(line.isValid());
    // The pane lays out at its zoom; at 100 % one layout pixel is one pixel.
    EXPECT_GE(line.height() + 0.5, editor::HwpUnitsToLayout(placement->height));
    const qreal left = line.cursorToX(at - block.position());
    const qreal right = line.cursorToX(at - block.position() + 1);
    EXPECT_NEAR(right - left, editor::HwpUnitsToLayout(placement->width), 1.0);
}

TEST_F(KeptObjects, APageImageDrawsTheObjectAsABoxOfItsSize)
{
    const std::string path = FloatingTable();
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    ASSERT_TRUE(Open(*m_pane, path));
    const int at = FindObject(*m_pane, kTable);
    ASSERT_GE(at, 0);
    const auto placement = hwp::ControlPlacement(ObjectAt(*m_pane, at)->control);
    ASSERT_TRUE(placement.has_value());
    const std::string image = PathOf("page.bmp");
    ASSERT_TRUE(m_pane->RenderPageImage(U16(QString::fromStdString(image)), 0, 96, 24, u"bmp"));

    // The table is all the sample holds: the ink is its frame.
    const QRect ink = InkOf(image);
    EXPECT_NEAR(ink.width(), editor::HwpUnitsToLayout(placement->width), 2.0);
    EXPECT_NEAR(ink.height(), editor::HwpUnitsToLayout(placement->height), 2.0);
    EXPECT_NEAR(ink.left(), editor::HwpUnitsToLayout(m_pane->Document().Page().BodyLeft()), 2.0);
}

TEST_F(KeptObjects, AFileAppendedToTheWorkControlKeepsItsObjects)
{
    const std::string table = SamplePath("table.hwp");
    const std::string pictures = SamplePath("sample-5017.hwp");
    if (table.empty())
        GTEST_SKIP() << "no sample documents";
    const hwp::Document first = hwp::ReadDocument(table);
    const hwp::Document second = hwp::ReadDocument(pictures);
    editor::AppendToWorkDocument(*m_pane, table, editor::kPaneQuestion, 1);
    editor::AppendToWorkDocument(*m_pane, pictures, editor::kPaneExplain, 0);
    const hwp::Document work = Save(*m_pane, "work.hwp");

    std::vector<std::pair<const hwp::Document*, const hwp::Control*>> expected;
    for (const hwp::Control* control : AllControls(first))
        expected.emplace_back(&first, control);
    for (const hwp::Control* control : AllControls(second))
        expected.emplace_back(&second, control);
    const auto written = AllControls(work);
    ASSERT_EQ(written.size(), expected.size());
    for (std::size_t i = 0; i < written.size(); ++i)
        ExpectSameObject(*expected[i].first, *expected[i].second, work, *written[i]);
}

TEST_F(KeptObjects, CellsWithShapesTheBodyDoesNotUseKeepThemThroughEditsAndASave)
{
    hwp::Document document = hwp_testing::DocumentWithTexts({u"본문 글", u"둘째"});
    hwp::CharShape cellShape = document.charShapes.at(0);
    cellShape.size = 2200;
    cellShape.textColor = 0x000000FF;
    document.charShapes.push_back(cellShape);
    hwp::ParaShape cellPara = document.paraShapes.at(0);
    cellPara.alignment = hwp::Alignment::Center;
    document.paraShapes.push_back(cellPara);
    document.sections[0].paragraphs[0].controls.push_back(hwp_testing::TableControl(
        document, {u"칸 하나", u"칸 둘"}, static_cast<std::uint32_t>(document.charShapes.size() - 1),
        static_cast<std::uint16_t>(document.paraShapes.size() - 1)));
    document.sections[0].paragraphs[0].controls.back().position = 4;
    document.sections[0].paragraphs[0].controls.back().end = 4;
    const std::string path = PathOf("cells.hwp");
    hwp::WriteDocument(document, path);
    const hwp::Document original = hwp::ReadDocument(path);
    ASSERT_TRUE(Open(*m_pane, path));

    // New looks for the body: shapes are added and equal ones may be shared.
    Select(*m_pane, 0, 2);
    QTextCharFormat larger;
    larger.setFontPointSize(17);
    larger.setFontWeight(QFont::Bold);
    m_pane->TextView()->textCursor().mergeCharFormat(larger);
    m_pane->RunAction(u"MoveDocEnd");
    Type(*m_pane, u"\r\n새 문단");
    const hwp::Document saved = Save(*m_pane, "saved.hwp");

    ASSERT_EQ(CountOf(saved, kTable), 1);
    const hwp::Control* table = AllControls(saved).front();
    ExpectSameObject(original, *AllControls(original).front(), saved, *table);
    EXPECT_EQ(hwp::ControlText(*table), u"칸 하나\n칸 둘");
}

TEST_F(KeptObjects, APainterRegisteredForAKindSizesAndDrawsItsObjects)
{
    const std::string path = FloatingTable();
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    class Solid : public editor::KeptObjectPainter {
    public:
        QSizeF Size(const editor::KeptObject&) const override { return {40, 30}; }
        void Paint(QPainter& painter, const QRectF& rect, double, const editor::KeptObject&) const override
        {
            painter.fillRect(rect, Qt::black);
        }
    };
    editor::RegisterKeptObjectPainter(kTable, std::make_shared<Solid>());
    struct Unregister {
        ~Unregister() { editor::RegisterObjectPainters(); }
    } unregister;

    ASSERT_TRUE(Open(*m_pane, path));
    const std::string image = PathOf("page.bmp");
    ASSERT_TRUE(m_pane->RenderPageImage(U16(QString::fromStdString(image)), 0, 96, 24, u"bmp"));
    const QRect ink = InkOf(image);
    EXPECT_NEAR(ink.width(), 40, 1) << "its size, not the table's";
    EXPECT_NEAR(ink.height(), 30, 1);
}

} // namespace
