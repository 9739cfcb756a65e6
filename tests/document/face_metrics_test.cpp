// Faces a document names and Varnel shows in a Nanum family are laid out as wide as the
// word processor sets them, whatever the size, weight, width ratio or char spacing.
#include "tests/editor/editor_testing.h"

#include "document/face_metrics.h"
#include "document/hwp_mapping.h"
#include "hwp/document.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

namespace {

using editor::FitToFace;

class FaceWidths : public ::testing::Test {
protected:
    void SetUp() override { editor_testing::EnsureApplication(); }
};

// Widths in layout pixels of a Hangul syllable and of a space, as the pane lays them out.
std::pair<double, double> Widths(QTextDocument& text)
{
    text.setDocumentMargin(0);
    text.setUseDesignMetrics(true);
    text.setTextWidth(100000);
    text.documentLayout()->documentSize();
    const QTextLine line = text.begin().layout()->lineAt(0);
    const int start = text.begin().text().indexOf(QStringLiteral("가가"));
    const double hangul = (line.cursorToX(start + 4) - line.cursorToX(start)) / 4;
    const double space = line.cursorToX(start + 6) - line.cursorToX(start + 5);
    return {hangul, space};
}

std::pair<double, double> Widths(const QTextCharFormat& format)
{
    QTextDocument text;
    QTextCursor(&text).insertText(QStringLiteral("가가가가가 가"), format);
    return Widths(text);
}

QTextCharFormat FormatOf(const QString& face, double points, bool bold, int ratio, double spacing)
{
    QTextCharFormat format;
    format.setFontFamilies({editor::NanumFamilyFor(face)});
    format.setProperty(editor::kFaceNameProperty, face);
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    if (ratio != 100)
        format.setFontStretch(ratio);
    if (spacing != 100)
        format.setProperty(editor::kFileLetterSpacingProperty, spacing);
    FitToFace(format);
    return format;
}

TEST_F(FaceWidths, StoodInFacesAreSetAsWideAsTheWordProcessorSetsThem)
{
    const struct {
        const char* face;
        double points;
        bool bold;
        int ratio;       // width ratio, %
        double spacing;  // the file's char spacing, % of a letter
        double hangul;   // ems the word processor sets a Hangul letter in; 0: the face shown
    } cases[] = {
        {"바탕", 10, false, 100, 100, 1.0},      {"바탕", 9, false, 95, 95, 1.0},
        {"굴림", 13, true, 100, 100, 1.0},       {"돋움체", 7.5, false, 120, 110, 1.0},
        {"궁서", 24, false, 100, 100, 1.0},      {"함초롬바탕", 10, false, 100, 100, 0.95},
        {"함초롬돋움", 11, true, 100, 100, 0.95}, {"NanumGothic", 10, false, 100, 100, 0},
        {"나눔명조", 11, false, 100, 95, 0},     {"HY견명조", 10, false, 100, 100, 0},
    };
    for (const auto& c : cases) {
        const QString face = QString::fromUtf8(c.face);
        SCOPED_TRACE(c.face + std::string(" ") + std::to_string(c.points));
        const QTextCharFormat format = FormatOf(face, c.points, c.bold, c.ratio, c.spacing);
        const auto [hangul, space] = Widths(format);
        if (c.hangul > 0) {
            const double em = c.points * 96 / 72 * c.ratio / 100 * c.spacing / 100;
            EXPECT_NEAR(hangul, em * c.hangul, 0.03);
            EXPECT_NEAR(space, em / 2, 0.03);
        } else {
            // The face itself, with the file's char spacing only.
            QTextCharFormat plain = format;
            plain.clearProperty(QTextFormat::FontLetterSpacing);
            plain.clearProperty(QTextFormat::FontLetterSpacingType);
            EXPECT_NEAR(hangul, Widths(plain).first * c.spacing / 100, 0.03);
            EXPECT_FALSE(format.hasProperty(QTextFormat::FontWordSpacing));
        }
        QTextCharFormat again = format;
        FitToFace(again);
        EXPECT_TRUE(again == format) << "fitted twice";
    }
}

// A file read into the pane is fitted; a new size chosen for a selection is fitted again
// in the same undo step.
TEST_F(FaceWidths, AFileAndANewSizeAreFittedAndOneUndoTakesTheSizeBack)
{
    hwp::Document file = hwp::NewDocument();
    file.sections.front().paragraphs.front().text = u"가가가가가 가 그리고 더";
    const auto shown = editor::ToEditorDocument(file);
    QTextDocument& text = shown->Text();
    const double points = text.begin().begin().fragment().charFormat().fontPointSize();
    const auto [hangul, space] = Widths(text);
    EXPECT_NEAR(hangul, points * 96 / 72, 0.03);
    EXPECT_NEAR(space, points * 96 / 72 / 2, 0.03);

    QTextCursor cursor(&text);
    cursor.setPosition(0);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    QTextCharFormat larger;
    larger.setFontPointSize(20);
    cursor.mergeCharFormat(larger);
    editor::FitSelectionToFaces(cursor);
    const auto [hangul20, space20] = Widths(text);
    EXPECT_NEAR(hangul20, 20.0 * 96 / 72, 0.03);
    EXPECT_NEAR(space20, 20.0 * 96 / 72 / 2, 0.03);
    text.undo();
    EXPECT_NEAR(Widths(text).first, points * 96 / 72, 0.03) << "one undo";
    EXPECT_NEAR(Widths(text).second, points * 96 / 72 / 2, 0.03);
}

} // namespace
