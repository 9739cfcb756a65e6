// Equations in the pane: where they sit on the line, the equation dialog, and what a save
// keeps of them.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "editor/equation_tools.h"
#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "page/page_render.h"
#include "hwp/equation.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "math/layout.h"
#include "math/qt_font.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTest>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

using editor_testing::Q;

constexpr char16_t kQuadratic[] = u"x = {-b +- sqrt {b^2 - 4ac}} over {2a}";

// The scripts of every equation, also those inside tables and other objects: the script
// opens each EQEDIT record, after its 32-bit properties, as a length and UTF-16 units.
std::vector<std::u16string> EquationScripts(const hwp::Document& document)
{
    std::vector<std::u16string> scripts;
    for (const hwp::Section& section : document.sections)
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            for (const hwp::Control& control : paragraph.controls)
                for (const hwp::ObjectRecord& record : control.records) {
                    if (record.tag != hwp::tag::kEqEdit || record.data.size() < 6)
                        continue;
                    const std::size_t length = record.data[4] | (record.data[5] << 8);
                    std::u16string script;
                    for (std::size_t i = 0; i < length && 7 + 2 * i < record.data.size(); ++i)
                        script += static_cast<char16_t>(record.data[6 + 2 * i] | (record.data[7 + 2 * i] << 8));
                    scripts.push_back(script);
                }
    return scripts;
}

std::vector<std::u16string> PaneScripts(editor::CHwpctrl& pane)
{
    return EquationScripts(editor::ToHwpDocument(pane.Document()));
}

// "H " + equation + " H", the equation red, at `baseSize`.
std::unique_ptr<editor::EditorDocument> LineWithEquation(const std::u16string& script, std::int32_t baseSize)
{
    hwp::Document document = hwp_testing::DocumentWithTexts({u"H  H"});
    hwp::Equation equation;
    equation.baseSize = baseSize;
    equation.color = 0x000000FF;
    equation = editor::TypesetEquation(script, equation);
    hwp::Control control = hwp::NewEquationControl(equation);
    control.position = control.end = 2;
    document.sections[0].paragraphs[0].controls.push_back(control);
    return editor::ToEditorDocument(document);
}

struct Ink {
    int textBottom = -1;   // the last row of black ink: the H's stand on the baseline
    int barRow = -1;       // the row of the longest red run: the fraction bar
    int redTop = -1, redBottom = -1;
};

Ink FindInk(const QImage& image)
{
    Ink ink;
    int longest = 0;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const bool red = c.red() > 150 && c.green() < 110 && c.blue() < 110;
            if (qGray(c.rgb()) < 90 && !red && c.red() < 100)
                ink.textBottom = y;
            if (red) {
                if (ink.redTop < 0)
                    ink.redTop = y;
                ink.redBottom = y;
                if (++run > longest) {
                    longest = run;
                    ink.barRow = y;
                }
            } else {
                run = 0;
            }
        }
    }
    return ink;
}

// The bar's centre below the baseline, in base sizes (negative: above).
double BarOffset(const std::u16string& script)
{
    const math::EquationLayout layout = math::Typeset(script, math::QtMathFont::Shared());
    const math::Rule* widest = nullptr;
    for (const math::Rule& rule : layout.rules)
        if (widest == nullptr || rule.width > widest->width)
            widest = &rule;
    return widest == nullptr ? 0 : widest->y + widest->height / 2;
}

class EquationTools : public editor_testing::PaneTest {
protected:
    // Runs `drive` on the equation dialog once it is open, then lets `open` return.
    static void WithDialog(const std::function<void(editor::EquationDialog&)>& drive, const std::function<void()>& open)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<editor::EquationDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (auto* found = qobject_cast<editor::EquationDialog*>(widget); found && found->isVisible())
                        dialog = found;
            }
            ASSERT_NE(dialog, nullptr);
            seen = true;
            drive(*dialog);
        });
        open();
        EXPECT_TRUE(seen);
    }

    QAction* InsertAction() const
    {
        for (QAction* action : m_pane->findChildren<QAction*>())
            if (action->objectName() == QStringLiteral("insert_equation"))
                return action;
        return nullptr;
    }
};

TEST_F(EquationTools, AFractionSitsOnItsOwnBaselineInThePaneAndOnThePage)
{
    const std::u16string script = u"{a} over {b}";
    const std::int32_t baseSize = 2400;   // 24 pt
    m_pane->ShowDocument(LineWithEquation(script, baseSize));
    QTextDocument& text = m_pane->Document().Text();
    const math::EquationLayout layout = math::Typeset(script, math::QtMathFont::Shared());
    const double unit = baseSize / 100.0 * 96 / 72;   // pixels per base size at 96 dpi

    // The line holds the part below the equation's baseline.
    text.documentLayout()->documentSize();
    const QTextBlock block = text.begin();
    ASSERT_GE(block.layout()->lineCount(), 1);
    const QTextLine line = block.layout()->lineAt(0);
    EXPECT_GE(line.descent(), layout.descent * unit - 1);
    EXPECT_GE(line.ascent(), layout.ascent * unit - 1);

    const auto check = [&](const QImage& image, double pixelsPerLayout, const char* where) {
        const Ink ink = FindInk(image);
        ASSERT_GE(ink.textBottom, 0) << where;
        ASSERT_GE(ink.barRow, 0) << where;
        const double expected = BarOffset(script) * unit * pixelsPerLayout;
        EXPECT_NEAR(ink.barRow - ink.textBottom, expected, 1.5 * pixelsPerLayout + 1) << where;
        // The denominator goes below the line's baseline, the numerator above.
        EXPECT_GT(ink.redBottom, ink.textBottom + 0.2 * unit * pixelsPerLayout) << where;
        EXPECT_LT(ink.redTop, ink.textBottom - 0.6 * unit * pixelsPerLayout) << where;
    };

    QImage pane(600, 200, QImage::Format_RGB32);
    pane.fill(Qt::white);
    {
        QPainter painter(&pane);
        text.drawContents(&painter);
    }
    check(pane, 1, "pane");

    // At 200 % the pane lays out at twice the dpi; the equation stays on the baseline.
    auto view = m_pane->CreateParameterSet(u"ViewProperties");
    view->SetItem(u"ZoomType", 0);
    view->SetItem(u"ZoomRatio", 200);
    m_pane->ViewProperties(*view);
    ASSERT_EQ(m_pane->ZoomRatio(), 200);
    QImage zoomed(1200, 400, QImage::Format_RGB32);
    zoomed.fill(Qt::white);
    {
        QPainter painter(&zoomed);
        text.drawContents(&painter);
    }
    check(zoomed, 2, "pane at 200 %");

    const editor::PagedLayout paged(m_pane->Document());
    QImage page(paged.SheetPixelWidth(300), 700, QImage::Format_RGB32);
    paged.PaintBand(page, 0, 0, 300);
    check(page, 300.0 / 96, "page image");
}

TEST_F(EquationTools, TheDialogPreviewsTheScriptAndPutsTemplatesAtTheCaret)
{
    editor::EquationDialog dialog(QStringLiteral("x"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("수식 편집"));
    const double narrow = dialog.Preview().width;
    EXPECT_GT(narrow, 0);

    // Each template button puts its script at the caret; the preview follows.
    QPlainTextEdit* box = dialog.ScriptBox();
    for (const editor::EquationDialog::Template& item : editor::EquationDialog::Templates()) {
        box->setPlainText(QStringLiteral("y"));
        QTextCursor caret = box->textCursor();
        caret.setPosition(0);
        box->setTextCursor(caret);
        auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(item.name));
        ASSERT_NE(button, nullptr) << item.name;
        EXPECT_EQ(button->text(), QString::fromUtf16(item.label));
        button->click();
        EXPECT_EQ(dialog.Script(), QString::fromUtf16(item.script) + u'y') << item.name;
        // The first place to fill is selected, so typing fills it; without one the caret
        // stands after the template.
        const auto places = editor::EquationDialog::Placeholders(QString::fromUtf16(item.script));
        if (places.empty()) {
            EXPECT_EQ(box->textCursor().position(), QString::fromUtf16(item.script).size()) << item.name;
        } else {
            EXPECT_EQ(box->textCursor().selectionStart(), places.front().first) << item.name;
            EXPECT_EQ(box->textCursor().selectionEnd(), places.front().second) << item.name;
        }
        EXPECT_GT(dialog.Preview().width, narrow) << item.name;
    }
    // After a word a space keeps the template apart from it.
    box->setPlainText(QStringLiteral("2"));
    box->moveCursor(QTextCursor::End);
    dialog.InsertTemplate(QStringLiteral("sqrt {x}"));
    EXPECT_EQ(dialog.Script(), QStringLiteral("2 sqrt {x}"));

    box->setPlainText(QStringLiteral("{1} over {2}"));
    const double fraction = dialog.Preview().ascent + dialog.Preview().descent;
    box->setPlainText(QStringLiteral("1/2"));
    EXPECT_GT(fraction, dialog.Preview().ascent + dialog.Preview().descent);
}

TEST_F(EquationTools, TabFillsTheTemplatesPlacesInTurnAndEnterPressesOk)
{
    struct Case {
        const char16_t* script;
        std::vector<const char16_t*> places;
    };
    for (const Case& c : {Case{u"{a} over {b}", {u"a", u"b"}}, Case{u"sum from {k=1} to {n}", {u"k=1", u"n"}},
                          Case{u"matrix{a & b # c & d}", {u"a", u"b", u"c", u"d"}}, Case{u"LEFT ( RIGHT )", {}}}) {
        const QString script = QString::fromUtf16(c.script);
        SCOPED_TRACE(script.toStdString());
        editor::EquationDialog dialog(QString{});
        QPlainTextEdit* box = dialog.ScriptBox();
        dialog.InsertTemplate(script);
        for (std::size_t i = 0; i < c.places.size(); ++i) {
            if (i > 0)
                QTest::keyClick(box, Qt::Key_Tab);
            EXPECT_EQ(box->textCursor().selectedText(), QString::fromUtf16(c.places[i])) << i;
        }
        if (c.places.empty())
            continue;
        // Typing replaces the selected place.
        QTest::keyClicks(box, QStringLiteral("z"));
        EXPECT_TRUE(dialog.Script().endsWith(QStringLiteral("z") + (script.endsWith(u'}') ? QStringLiteral("}") : QString())))
            << dialog.Script().toStdString();
    }
    editor::EquationDialog dialog(QStringLiteral("x"));
    dialog.show();
    QPlainTextEdit* box = dialog.ScriptBox();
    QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(box, QStringLiteral("y"));
    EXPECT_EQ(dialog.Script(), QStringLiteral("x\ny"));
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(EquationTools, InsertingAnEquationWritesARealControlAtItsTypesetSizeAndUndoes)
{
    Type(*m_pane, u"근의 공식: ");
    QAction* insert = InsertAction();
    ASSERT_NE(insert, nullptr);
    EXPECT_EQ(insert->text(), QStringLiteral("수식 넣기"));
    EXPECT_TRUE(m_pane->InsertMenu()->actions().contains(insert));

    // 취소 and an empty script put nothing.
    WithDialog([](editor::EquationDialog& dialog) {
        dialog.ScriptBox()->setPlainText(QStringLiteral("x"));
        dialog.reject();
    }, [&] { insert->trigger(); });
    WithDialog([](editor::EquationDialog& dialog) {
        dialog.ScriptBox()->setPlainText(QStringLiteral("  "));
        dialog.accept();
    }, [&] { insert->trigger(); });
    EXPECT_TRUE(PaneScripts(*m_pane).empty());

    WithDialog([](editor::EquationDialog& dialog) {
        dialog.ScriptBox()->setPlainText(Q(kQuadratic));
        dialog.accept();
    }, [&] { insert->trigger(); });
    Type(*m_pane, u" 이다.");
    EXPECT_EQ(PaneText(*m_pane), QStringLiteral("근의 공식: \uFFFC 이다."));

    const hwp::Document written = editor::ToHwpDocument(m_pane->Document());
    const hwp::Control* control = nullptr;
    for (const hwp::Control& c : written.sections[0].paragraphs[0].controls)
        if (hwp::IsEquation(c))
            control = &c;
    ASSERT_NE(control, nullptr);
    const hwp::Equation equation = hwp::ReadEquation(*control);
    EXPECT_EQ(equation.script, kQuadratic);
    EXPECT_TRUE(equation.inlineAsChar);
    const math::EquationLayout layout = math::Typeset(kQuadratic, math::QtMathFont::Shared());
    EXPECT_NEAR(equation.width, layout.width * equation.baseSize, 2);
    EXPECT_NEAR(equation.height, (layout.ascent + layout.descent) * equation.baseSize, 3);
    EXPECT_NEAR(equation.baseline, 100 * layout.ascent / (layout.ascent + layout.descent), 1);

    // The typing after it stays plain text, and one undo each takes it back out.
    m_pane->TextView()->undo();
    m_pane->TextView()->undo();
    EXPECT_TRUE(PaneScripts(*m_pane).empty());
    EXPECT_EQ(PaneText(*m_pane), QStringLiteral("근의 공식: "));
}

TEST_F(EquationTools, ADoubleClickOrTheContextMenuEditsTheEquationUndoably)
{
    Type(*m_pane, u"식 ");
    ASSERT_TRUE(editor::InsertEquation(*m_pane, QStringLiteral("{x+1} over 2")));
    Type(*m_pane, u" 끝");
    QTextEdit* view = m_pane->TextView();
    m_pane->resize(600, 400);
    m_pane->show();
    QApplication::processEvents();

    QTextCursor at(&m_pane->Document().Text());
    at.setPosition(2);
    const QRect before = view->cursorRect(at);
    at.setPosition(3);
    const QRect after = view->cursorRect(at);
    const QPoint middle((before.left() + after.left()) / 2, (before.top() + before.bottom()) / 2);

    QString shown;
    WithDialog([&](editor::EquationDialog& dialog) {
        shown = dialog.Script();
        dialog.ScriptBox()->setPlainText(QStringLiteral("sqrt {x+1}"));
        dialog.accept();
    }, [&] {
        QMouseEvent press(QEvent::MouseButtonDblClick, middle, view->viewport()->mapToGlobal(middle), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &press);
    });
    EXPECT_EQ(shown, QStringLiteral("{x+1} over 2"));
    EXPECT_EQ(PaneScripts(*m_pane), std::vector<std::u16string>{u"sqrt {x+1}"});
    EXPECT_EQ(PaneText(*m_pane), QStringLiteral("식 \uFFFC 끝"));
    view->undo();
    EXPECT_EQ(PaneScripts(*m_pane), std::vector<std::u16string>{u"{x+1} over 2"});
    EXPECT_EQ(PaneText(*m_pane), QStringLiteral("식 \uFFFC 끝"));

    // A double-click on words still selects a word.
    const QPoint word = view->cursorRect(QTextCursor(&m_pane->Document().Text())).center() + QPoint(2, 0);
    QMouseEvent press(QEvent::MouseButtonDblClick, word, view->viewport()->mapToGlobal(word), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &press);
    EXPECT_EQ(PaneScripts(*m_pane), std::vector<std::u16string>{u"{x+1} over 2"});

    // "수식 고치기" is in the context menu on the equation and nowhere else.
    const auto menuEntries = [&](QPoint point) {
        QStringList entries;
        QTimer::singleShot(0, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions())
                    entries << action->text();
                menu->close();
            }
        });
        // A right-click reaches the view through its viewport, in the viewport's coordinates.
        QContextMenuEvent event(QContextMenuEvent::Mouse, point, view->viewport()->mapToGlobal(point));
        QApplication::sendEvent(view->viewport(), &event);
        return entries;
    };
    const QStringList entries = menuEntries(middle);
    EXPECT_TRUE(entries.contains(QStringLiteral("수식 고치기"))) << entries.join(u'|').toStdString();
    EXPECT_FALSE(menuEntries(QPoint(after.left() + 200, middle.y())).contains(QStringLiteral("수식 고치기")));

    // A narrow equation after wide letters: the click finds it, not the letter beside it.
    m_pane->TextView()->moveCursor(QTextCursor::End);
    Type(*m_pane, u"가나다라마바");
    ASSERT_TRUE(editor::InsertEquation(*m_pane, QStringLiteral("x")));
    const int narrow = m_pane->Document().Text().characterCount() - 2;
    at.setPosition(narrow);
    const int left = view->cursorRect(at).left();
    at.setPosition(narrow + 1);
    const QPoint onX((left + view->cursorRect(at).left()) / 2, view->cursorRect(at).center().y());
    EXPECT_TRUE(menuEntries(onX).contains(QStringLiteral("수식 고치기")));
}

TEST_F(EquationTools, EquationsInTheSamplesKeepTheirScriptsThroughAPaneAndASave)
{
    int withEquations = 0;
    for (const std::string& path : hwp_testing::SamplePaths()) {
        hwp::Document document;
        try {
            document = hwp::ReadDocument(path);
        } catch (const std::exception&) {
            continue;   // encrypted or not readable: other tests cover those
        }
        const std::vector<std::u16string> scripts = EquationScripts(document);
        if (scripts.empty())
            continue;
        ++withEquations;
        ASSERT_TRUE(m_pane->OpenDocument(editor_testing::U16(QString::fromStdString(path)), u"HWP")) << path;
        EXPECT_EQ(PaneScripts(*m_pane), scripts) << path;
        const std::u16string saved = PathU16("saved.hwp");
        ASSERT_TRUE(m_pane->SaveDocumentAs(saved, u"HWP")) << path;
        EXPECT_EQ(EquationScripts(hwp::ReadDocument(PathOf("saved.hwp"))), scripts) << path;
    }
    if (withEquations == 0)
        GTEST_SKIP() << "no sample holds an equation";
}

} // namespace
