// The main dialog's template in dialog units, and their conversion to pixels with the
// dialog font's base units (7 × 15 pixels for the 9-point dialog font): the dialog is
// 679 × 568 units, about 1188 × 1065 pixels.
#pragma once

#include <QMargins>
#include <QRect>

#include <algorithm>

#include "dialog/dialog_view.h"

inline constexpr int kDialogWidthDlu = 679;
inline constexpr int kDialogHeightDlu = 568;
inline constexpr int kBaseUnitX = 7;
inline constexpr int kBaseUnitY = 15;

// Rounded to the nearest pixel, as dialog templates are converted.
inline int DluX(int x) { return (x * kBaseUnitX * 2 + 4) / 8; }
inline int DluY(int y) { return (y * kBaseUnitY * 2 + 8) / 16; }
inline QRect DluToPixels(int x, int y, int w, int h) { return QRect(DluX(x), DluY(y), DluX(w), DluY(h)); }

struct GroupBoxTemplate {
    int id;
    const char* caption;
    int x, y, w, h;
};

inline constexpr GroupBoxTemplate kGroupBoxes[] = {
    {dlg::IDC_GROUP_QUESTION, "문제를 입력하세요.", 8, 28, 327, 295},
    {dlg::IDC_GROUP_ANSWER, "정답을 입력하세요.", 340, 28, 332, 256},
    {dlg::IDC_GROUP_OPTIONS, "객관식 보기를 입력하세요.", 8, 326, 327, 217},
    {dlg::IDC_GROUP_EXPLAIN, "해설을 입력하세요.", 340, 286, 332, 257},
    {dlg::IDC_GROUP_PASSAGE, "지문을 입력하세요.", 8, 28, 327, 516},
};

struct PaneTemplate {
    int id;
    const char* name;
    int x, y, w, h;
};

// In the order the dialog binds them: passage, question, options, answer, explanation, work.
inline constexpr PaneTemplate kPanes[] = {
    {dlg::IDC_PANE_PASSAGE, "passage", 11, 38, 320, 501},
    {dlg::IDC_PANE_QUESTION, "question", 10, 38, 321, 278},
    {dlg::IDC_PANE_OPTIONS, "options", 10, 337, 321, 203},
    {dlg::IDC_PANE_ANSWER, "answer", 344, 38, 324, 241},
    {dlg::IDC_PANE_EXPLAIN, "explain", 344, 298, 323, 241},
    {dlg::IDC_PANE_WORK, "work", 0, 525, 6, 8},
};

// Where the dialog window goes on a screen. The template's size at the template scale
// (1.0, or 0.83 wide and 0.84 high on screens under 1080 pixels) and the passage column
// of 575 × scale pixels when it is shown; where that window with its frame does not fit
// the screen's available area, it is made smaller on the axis that does not fit (both
// where neither does); the controls inside follow the window (CVarnelDlg's layout).
struct DialogWindowFit {
    double scale = 1.0;   // for the fixed-size controls: the smaller of the two axes' scales
    QRect geometry;       // the client area on the screen, frame excluded
};

inline DialogWindowFit FitDialogWindow(const QRect& available, const QMargins& frame, float templateScale,
                                       bool passageColumn)
{
    const int fullWidth = DluX(kDialogWidthDlu);
    const int fullHeight = DluY(kDialogHeightDlu);
    const double s = templateScale;
    double width = static_cast<int>(static_cast<float>(fullWidth) * templateScale);
    const double height = s < 1.0 ? static_cast<int>(fullHeight * (s + 0.01)) : fullHeight;
    if (passageColumn)
        width += 575.0 * s;
    const int roomWidth = std::max(1, available.width() - frame.left() - frame.right());
    const int roomHeight = std::max(1, available.height() - frame.top() - frame.bottom());
    const double shrink = std::min({1.0, roomWidth / width, roomHeight / height});
    DialogWindowFit fit;
    fit.scale = s * shrink;
    const int w = std::min(roomWidth, static_cast<int>(width));
    const int h = std::min(roomHeight, static_cast<int>(height));
    fit.geometry = QRect(available.left() + frame.left() + (roomWidth - w) / 2,
                         available.top() + frame.top() + (roomHeight - h) / 2, w, h);
    return fit;
}
