// The widths the word processor gives a face we show in a Nanum family.
//
// The system faces documents name (바탕, 굴림, 돋움, 궁서 and the like) set Hangul a full em
// wide and a space half an em, the word processor's own 함초롬 faces Hangul 0.95 em; the
// Nanum faces that stand in for them lay out narrower (the text engine takes 10 points as
// 13 whole pixels: Hangul 0.93 em, a space 0.29 em), so a line laid out anew held more
// words than the word processor's. A stood-in face's letters are widened by a percentage
// and its spaces by what is still missing, in pixels, both kept on the char format, so the
// pane, the page images and the PDF break lines alike. A face the teacher picked by its
// own name is shown as itself. The file's own char spacing is kept beside the fitted one:
// a save writes the char shape as read.
#pragma once

#include <QString>
#include <QTextCharFormat>

class QTextCursor;
class QTextDocument;

namespace editor {

// The char spacing the file asks for, as a percentage of each letter's width (100: none).
constexpr int kFileLetterSpacingProperty = QTextFormat::UserProperty + 61;

// Hangul and space widths, in ems of the file's faces or in layout pixels of a shown font.
struct FaceWidths {
    double hangul = 1.0;
    double space = 0.5;
};
// As the text engine lays the font out (measured once per font).
FaceWidths ShownWidths(const QFont& font);

// Whether the word processor sets `face` (a file's face name) with the Hangul and space
// widths above rather than those of `family`, which shows it.
bool StandsInFor(const QString& family, const QString& face);

// Sets the format's letter and word spacing from its face, family, size and the file's
// char spacing, for a device of `deviceScale` times 96 dpi (a pane's zoom): there every
// letter and space is the printed page's grown by exactly that scale, so a zoomed pane
// breaks its lines where print does (the text engine takes font sizes in whole pixels of
// the device, and does not scale the pixels a format adds to spaces). The same format given
// twice gives the same result.
void FitToFace(QTextCharFormat& format, double deviceScale = 1.0);

// The resolution of the device `text` is laid out on, over 96 dpi.
double DeviceScale(const QTextDocument& text);

// FitToFace over every piece of text in the cursor's selection, as part of the last edit
// (one undo).
void FitSelectionToFaces(QTextCursor& cursor);

// FitToFace over the whole document for the device it is now laid out on (a pane zoomed,
// the print copy at 96 dpi), folded into the last edit.
void FitFacesToDevice(QTextDocument& text);

} // namespace editor
