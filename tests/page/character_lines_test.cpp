// Paragraphs whose para shape breaks Hangul by character end their lines between any two
// syllables, on the printed page, where the text engine alone would end them at spaces.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "document/character_breaks.h"
#include "document/hwp_mapping.h"
#include "document/line_spacing.h"
#include "page/object_painters.h"
#include "page/page_render.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<int> Breaks(const std::u16string& text, editor::LineBreakUnits units)
{
    const std::vector<bool> at = editor::LineBreakOpportunities(QString::fromStdU16String(text), units);
    std::vector<int> breaks;
    for (std::size_t i = 0; i < at.size(); ++i) {
        if (at[i])
            breaks.push_back(static_cast<int>(i));
    }
    return breaks;
}

TEST(CharacterBreaks, HangulBreaksBetweenSyllablesButNeverBeforeClosingPunctuation)
{
    const editor::LineBreakUnits word{}, hangul{true, false}, both{true, true};
    const struct {
        std::u16string text;
        editor::LineBreakUnits units;
        std::vector<int> breaks;
    } cases[] = {
        {u"가나다", word, {}},
        {u"가나다", hangul, {1, 2}},
        {u"가나 다라", word, {3}},
        {u"가나 다라", hangul, {1, 3, 4}},
        {u"가나다.", hangul, {1, 2}},
        {u"가(나)다", hangul, {1, 4}},
        {u"가나」다", hangul, {1, 3}},
        {u"가abc def", hangul, {1, 5}},
        {u"가abc def", word, {5}},
        {u"abc", both, {1, 2}},
        {u"가나\u2028다", hangul, {1, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromStdU16String(c.text).toStdString());
        EXPECT_EQ(Breaks(c.text, c.units), c.breaks);
    }
}

class CharacterLines : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor_testing::EnsureApplication();
        editor::RegisterObjectPainters();
    }
};

hwp::Document ByWordAndByCharacter(const std::u16string& spaced, const std::u16string& solid)
{
    hwp::Document source = hwp_testing::DocumentWithTexts({spaced, spaced, solid, u"끝"});
    hwp::ParaShape byCharacter = source.paraShapes.at(0);
    byCharacter.otherProperties1 |= 1u << 7;
    source.paraShapes.push_back(byCharacter);
    const auto id = static_cast<std::uint16_t>(source.paraShapes.size() - 1);
    for (const std::size_t k : {1u, 2u, 3u})
        source.sections[0].paragraphs[k].paraShapeId = id;
    return source;
}

TEST_F(CharacterLines, ParagraphsBrokenByCharacterFillTheirLinesAndTheNextOneFollowsThem)
{
    // Words too long for two to share a line: by character the paragraph takes fewer.
    const std::u16string spaced = [] {
        std::u16string text;
        for (int i = 0; i < 6; ++i)
            text += u"가나다라마바사아자차카타파하가나다라마바사아자차카 ";
        return text;
    }();
    const std::u16string solid = [] {
        std::u16string text;
        for (int i = 0; i < 12; ++i)
            text += u"가나다라마바사아자차카타";
        return text;
    }();
    const auto pane = editor::ToEditorDocument(ByWordAndByCharacter(spaced, solid));
    const editor::LaidOutLines laid = editor::PagedLayout(*pane).LaidLines();
    const auto lines = [&laid](int block) { return laid.at(block); };
    const auto length = [](const std::vector<hwp::LineSegment>& of, std::size_t k) {
        return static_cast<int>(of[k + 1].textStart - of[k].textStart);
    };

    const std::vector<hwp::LineSegment> byWord = lines(0), byChar = lines(1), unspaced = lines(2);
    ASSERT_GT(byWord.size(), 2u);
    for (std::size_t k = 1; k < byWord.size(); ++k)
        EXPECT_EQ(spaced[byWord[k].textStart - 1], u' ') << "by word, line " << k << " starts a word";
    ASSERT_GT(byChar.size(), 2u);
    EXPECT_LT(byChar.size(), byWord.size());
    EXPECT_GT(length(byChar, 0), length(byWord, 0)) << "by character, the first line is filled";
    bool inWord = false;
    for (std::size_t k = 1; k < byChar.size(); ++k)
        inWord = inWord || spaced[byChar[k].textStart - 1] != u' ';
    EXPECT_TRUE(inWord) << "a line starts inside a word";
    // Syllables are all as wide: every full line holds as many.
    ASSERT_GT(unspaced.size(), 2u);
    for (std::size_t k = 1; k + 1 < unspaced.size(); ++k)
        EXPECT_EQ(length(unspaced, k), length(unspaced, 0)) << "line " << k;
    // The paragraphs after follow the lines as laid out: a line step below the last, no gap.
    const std::vector<hwp::LineSegment> next = lines(2), last = lines(3);
    const std::int32_t step = byChar[1].top - byChar[0].top;
    EXPECT_NEAR(next.front().top - byChar.back().top, step, 2);
    EXPECT_NEAR(last.front().top - unspaced.back().top, step, 2);
}

// What the pane shows is what prints: its lines start where the printed page's do and
// stand as high, the paragraphs below following them without a gap, after an edit too.
TEST_F(CharacterLines, ThePaneBreaksItsLinesWhereThePrintedPageDoes)
{
    // Words too long for two to share a line: by character the paragraph takes fewer.
    std::u16string spaced;
    for (int i = 0; i < 6; ++i)
        spaced += u"가나다라마바사아자차카타파하가나다라마바사아자차카 ";
    const auto pane = editor::ToEditorDocument(ByWordAndByCharacter(spaced, spaced));
    QTextDocument& text = pane->Text();
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(3780);
    device.setDotsPerMeterY(3780);
    text.documentLayout()->setPaintDevice(&device);
    text.setDocumentMargin(0);
    text.setUseDesignMetrics(true);
    text.setTextWidth(editor::HwpUnitsToLayout(pane->Page().BodyWidth()));
    editor::KeepLinesSpaced(text);
    editor::KeepLinesBrokenByCharacter(text);
    for (const bool edited : {false, true}) {
        SCOPED_TRACE(edited ? "after an edit" : "as made");
        if (edited)
            QTextCursor(text.findBlockByNumber(1)).insertText(QStringLiteral("가나"));
        // The pane settles as its event loop turns.
        for (int turn = 0; turn < 8; ++turn) {
            text.documentLayout()->documentSize();
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(text.isModified(), edited) << "placing the text again is no edit";
        const editor::LaidOutLines printed = editor::PagedLayout(*pane).LaidLines();
        for (const int number : {0, 1, 2, 3}) {
            std::vector<int> shown, starts, shownTops, tops;
            const QTextLayout* layout = text.findBlockByNumber(number).layout();
            for (int i = 0; i < layout->lineCount(); ++i) {
                shown.push_back(layout->lineAt(i).textStart());
                shownTops.push_back(static_cast<int>(std::lround((layout->position().y() + layout->lineAt(i).y()) / 4)));
            }
            for (const hwp::LineSegment& line : printed.at(number)) {
                starts.push_back(static_cast<int>(line.textStart));
                tops.push_back(static_cast<int>(std::lround(editor::HwpUnitsToLayout(line.top) / 4)));
            }
            EXPECT_EQ(shown, starts) << "block " << number;
            EXPECT_EQ(shownTops, tops) << "block " << number << ", tops in fours of layout pixels";
        }
    }
}

}  // namespace
