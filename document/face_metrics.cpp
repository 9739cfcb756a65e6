#include "document/face_metrics.h"

#include "document/editor_document.h"
#include "document/folded_edit.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintDevice>

#include <QFont>
#include <QHash>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

namespace editor {

namespace {

struct KnownFace {
    const char16_t* name;
    FaceWidths widths; // in ems
};

// The faces documents name most, with the widths the word processor sets them in, read
// off documents' stored lines. The system faces: a full em and half an em (all 220 lines of
// Hangul and spaces in 바탕 and 굴림 documents agree, and none with narrower Hangul). The
// word processor's own 함초롬 faces: 0.95 em and half an em (16 of the 17 lines that tell,
// against 3 of 17 at the Nanum faces' own widths). Faces not listed keep the widths of the
// face that shows them.
constexpr KnownFace kKnownFaces[] = {
    {u"바탕", {1.0, 0.5}},        {u"바탕체", {1.0, 0.5}},      {u"굴림", {1.0, 0.5}},
    {u"굴림체", {1.0, 0.5}},      {u"새굴림", {1.0, 0.5}},      {u"돋움", {1.0, 0.5}},
    {u"돋움체", {1.0, 0.5}},      {u"궁서", {1.0, 0.5}},        {u"궁서체", {1.0, 0.5}},
    {u"함초롬바탕", {0.95, 0.5}}, {u"함초롬돋움", {0.95, 0.5}},
};

const FaceWidths* KnownWidths(const QString& face)
{
    for (const KnownFace& known : kKnownFaces) {
        if (face == QString::fromUtf16(known.name))
            return &known.widths;
    }
    return nullptr;
}

} // namespace

FaceWidths ShownWidths(const QFont& font, double deviceScale)
{
    static std::mutex mutex;
    static QHash<QString, FaceWidths> measured;
    const int dpi = std::max(1, static_cast<int>(std::lround(kLayoutDpi * deviceScale)));
    const QString key = font.key() + QLatin1Char('@') + QString::number(dpi);
    const std::lock_guard lock(mutex);
    const auto found = measured.constFind(key);
    if (found != measured.constEnd())
        return *found;
    // As the text engine lays them out on a device of that resolution, whatever the
    // screen's: its font sizes are whole pixels, its advances design ones.
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    device.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    QTextLayout layout(QStringLiteral("\uAC00\uAC00\uAC00\uAC00 \uAC00"), font, &device);
    QTextOption option;
    option.setUseDesignMetrics(true);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    FaceWidths widths;
    widths.hangul = line.cursorToX(4) / 4;
    widths.space = line.cursorToX(5) - line.cursorToX(4);
    measured.insert(key, widths);
    return widths;
}

bool StandsInFor(const QString& family, const QString& face)
{
    return face.compare(family, Qt::CaseInsensitive) != 0 && KnownWidths(face) != nullptr;
}

void FitToFace(QTextCharFormat& format, double deviceScale)
{
    const QStringList families = format.fontFamilies().toStringList();
    const QString family = families.isEmpty() ? QString() : families.front();
    const double filePercent = format.hasProperty(kFileLetterSpacingProperty)
                                   ? format.doubleProperty(kFileLetterSpacingProperty)
                                   : 100.0;
    const QString face = format.stringProperty(kFaceNameProperty);
    const bool stoodIn = !family.isEmpty() && StandsInFor(family, face);
    // The file's char spacing alone, as the face shows at 96 dpi.
    const auto asShown = [&] {
        if (filePercent != 100.0) {
            format.setFontLetterSpacingType(QFont::PercentageSpacing);
            format.setFontLetterSpacing(filePercent);
        } else {
            format.clearProperty(QTextFormat::FontLetterSpacing);
            format.clearProperty(QTextFormat::FontLetterSpacingType);
        }
        format.clearProperty(QTextFormat::FontWordSpacing);
    };
    const bool zoomed = std::abs(deviceScale - 1.0) > 1e-6;
    if (family.isEmpty() || (!stoodIn && !zoomed))
        return asShown();
    const double points = format.fontPointSize() > 0 ? format.fontPointSize() : 10.0;
    QFont font(family);
    font.setPointSizeF(points);
    font.setWeight(format.fontWeight() > 0 ? QFont::Weight(format.fontWeight()) : QFont::Normal);
    if (format.fontStretch() > 0)
        font.setStretch(format.fontStretch());
    const FaceWidths printed = ShownWidths(font, 1.0);
    const FaceWidths shown = zoomed ? ShownWidths(font, deviceScale) : printed;
    // The file's em in layout pixels, as wide as its width ratio and char spacing make it.
    const double stretch = format.fontStretch() > 0 ? format.fontStretch() / 100.0 : 1.0;
    const double em = points * kLayoutDpi / 72.0 * stretch * filePercent / 100.0;
    if (!(printed.hangul > 0.2 * em) || !(shown.hangul > 0.0) || !(shown.space > 0.0))
        return asShown();   // a family without Hangul: whatever the engine falls back to
    // What the printed page gives a letter and a space (layout pixels at 96 dpi), then that
    // grown by the device's scale: the engine takes its font sizes in whole pixels of the
    // device, so its letters do not grow by exactly the scale.
    FaceWidths target{printed.hangul * filePercent / 100.0, printed.space * filePercent / 100.0};
    if (stoodIn) {
        const FaceWidths file = *KnownWidths(face);
        target = {file.hangul * em, file.space * em};
    }
    const double percent = 100.0 * target.hangul * deviceScale / shown.hangul;
    format.setFontLetterSpacingType(QFont::PercentageSpacing);
    format.setFontLetterSpacing(percent);
    format.setFontWordSpacing(target.space * deviceScale - shown.space * percent / 100.0);
}

double DeviceScale(const QTextDocument& text)
{
    const QPaintDevice* device = text.documentLayout()->paintDevice();
    return device != nullptr && device->logicalDpiY() > 0 ? device->logicalDpiY() / kLayoutDpi : 1.0;
}

namespace {

struct Piece {
    int from;
    int to;
    QTextCharFormat format;
};

// The pieces of [start, end) whose format FitToFace changes, fitted.
std::vector<Piece> PiecesToFit(const QTextDocument& text, int start, int end, double scale)
{
    std::vector<Piece> pieces;
    for (QTextBlock block = text.findBlock(start); block.isValid() && block.position() < end; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = std::max(start, fragment.position());
            const int to = std::min(end, fragment.position() + fragment.length());
            QTextCharFormat format = fragment.charFormat();
            FitToFace(format, scale);
            if (from < to && format != fragment.charFormat())
                pieces.push_back({from, to, format});
        }
    }
    return pieces;
}

void SetPieces(QTextCursor& cursor, const std::vector<Piece>& pieces)
{
    for (const Piece& piece : pieces) {
        cursor.setPosition(piece.from);
        cursor.setPosition(piece.to, QTextCursor::KeepAnchor);
        cursor.setCharFormat(piece.format);
    }
}

} // namespace

void FitFacesToDevice(QTextDocument& text)
{
    const double scale = DeviceScale(text);
    const std::vector<Piece> pieces = PiecesToFit(text, 0, text.characterCount(), scale);
    // And what an empty paragraph gives the text typed into it.
    std::vector<std::pair<int, QTextCharFormat>> marks;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        QTextCharFormat format = block.charFormat();
        FitToFace(format, scale);
        if (format != block.charFormat())
            marks.emplace_back(block.position(), format);
    }
    if (pieces.empty() && marks.empty())
        return;
    FoldedEdit edit(text);
    if (edit.Blocked())
        return;   // the next edit fits them
    SetPieces(edit.Cursor(), pieces);
    for (const auto& [position, format] : marks) {
        edit.Cursor().setPosition(position);
        edit.Cursor().setBlockCharFormat(format);
    }
}

void FitSelectionToFaces(QTextCursor& cursor)
{
    if (!cursor.hasSelection())
        return;
    QTextDocument& text = *cursor.document();
    const std::vector<Piece> pieces =
        PiecesToFit(text, cursor.selectionStart(), cursor.selectionEnd(), DeviceScale(text));
    if (pieces.empty())
        return;
    QTextCursor piece(&text);
    piece.joinPreviousEditBlock();
    SetPieces(piece, pieces);
    piece.endEditBlock();
}

} // namespace editor
