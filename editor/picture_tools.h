// Pictures in the pane: "그림 넣기" from a file or the clipboard, the size dialog, and
// resizing the selected picture by dragging one of its corners.
//
// An inserted picture is a real picture control (hwp::InsertPicture) kept as one object
// character (document/kept_objects.h) whose origin is a small document holding only its
// bin-data item; a save imports it like any object read from a file, so the file gets
// the picture control and its BinData stream. A new size is written into the control
// (hwp::SetPictureSize) by a char format change the text engine undoes like any edit.
#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>

#include "hwp/document.h"

#include <functional>

class QMimeData;
class QTextCursor;
class QTextDocument;
class QTextEdit;

namespace editor {

class CHwpctrl;

// Puts "그림 넣기" (objectName "insert_picture") in the "입력" menu and the tool bar,
// "그림 크기…" in the context menu of a picture, and the corner handles on the view.
void InstallPictureTools(CHwpctrl& pane);

// What the tools ask of people; tests replace them. The defaults are a file dialog and
// a warning box.
struct PictureToolPrompts {
    std::function<QString(CHwpctrl& pane)> chooseFile;
    std::function<void(CHwpctrl& pane, const QString& message)> showMessage;
};
PictureToolPrompts& PicturePrompts();

// Inserts the image at the caret as a picture, scaled down to the body width when it is
// wider. False with a message for people in `error` (nothing inserted) when the bytes
// are not a readable PNG, JPEG, GIF or BMP image or it has more than 50 megapixels.
// `dpi` 0 takes the image's own resolution (96 when it names none).
bool InsertPictureBytes(CHwpctrl& pane, const QByteArray& bytes, QString& error, double dpi = 0);
bool InsertPictureFile(CHwpctrl& pane, const QString& path, QString& error);
// The same without a pane: at `cursor`, replacing its selection, in a body `bodyWidth`
// HwpUnit wide.
bool InsertPictureAt(QTextCursor& cursor, const QByteArray& bytes, hwp::HwpUnit bodyWidth, QString& error,
                     double dpi = 0);

// Whether the clipboard data holds an image to insert as a picture: an image without
// plain text beside it (a copied passage of another program often offers a picture of
// itself too, and then the text is what was meant).
bool HasPastablePicture(const QMimeData& source);
// Inserts that image: its PNG, JPEG, GIF or BMP bytes as they come, else the decoded
// image as PNG.
bool InsertPictureFromMimeData(CHwpctrl& pane, const QMimeData& source, QString& error);

// The position of the picture character at `position` or just before it; -1 when
// neither is a picture.
int PictureCharacterAt(const QTextDocument& text, int position);
// Its shown size in HwpUnit; false when `position` holds no picture.
bool PictureSizeAt(const QTextDocument& text, int position, hwp::HwpUnit& width, hwp::HwpUnit& height);
// Gives the picture at `position` a new shown size, one undo step; with `joinPrevious`
// the change joins the step before (the moves of one drag undo together).
bool ResizePictureAt(QTextDocument& text, int position, hwp::HwpUnit width, hwp::HwpUnit height,
                     bool joinPrevious = false);
// The picture's alternative text (its description in the file); empty when it has none
// or `position` holds no picture.
QString PictureAltTextAt(const QTextDocument& text, int position);
// Sets it, one undo step; false when `position` holds no picture.
bool SetPictureAltTextAt(QTextDocument& text, int position, const QString& altText);
// Where the picture at `position` is drawn in the view's viewport; empty when it is
// not laid out.
QRectF PictureRectInView(const QTextEdit& view, int position);

// The picture dialog for the picture at `position`: its size ("비율 유지" on at first) and
// its "대체 텍스트", which exported pages show in its place; false when cancelled or there
// is no picture.
bool EditPictureSize(CHwpctrl& pane, int position);

} // namespace editor
