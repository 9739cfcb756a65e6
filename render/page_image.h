// Page images of the question's parts: the first page of a pane, or of the assembled
// print document, as a half-size PNG in the question's or the passage's folder.
//
// The pane renders its first page at 600 dpi into a temporary 24-bit BMP beside the
// image; the BMP is halved into a 300-dpi, 32-bit ARGB PNG and deleted. The preview
// assembly (preview.h) exports every part this way; the image cropper then measures the
// PNGs and leaves its cropped print images beside them.
#pragma once

#include <string>
#include <string_view>

#include "editor/editor_control.h"
#include "store/exam_record.h"

struct PageImagePaths {
    std::string bitmap; // the temporary render
    std::string image;  // the exported PNG
};

// By part name, first match wins:
//   contains "text"   passage folder, passage key   <f>/<k>-print-<part>.bmp  <f>/<k>-print-<part>001.png
//   contains "print"  question folder, question key <f>/<k>-<part>.bmp        <f>/<k>-<part>001.png
//   anything else     question folder, question key <f>/<k>-print-<part>.bmp  <f>/<k>-print-<part>001.png
PageImagePaths PageImagePathsFor(const ExamRecord& record, std::string_view partName);

// The bitmap at `bitmapPath` halved into the PNG at `imagePath`; the bitmap is deleted
// whatever happens. False when no PNG was written (no bitmap, not an image, a write error).
bool ConvertPageBitmap(const std::string& bitmapPath, const std::string& imagePath);

// Renders the control's first page and converts it as above. The result is only the
// render's: the conversion is tried in any case, and its failure shows as a missing PNG.
bool ExportPageImage(editor::EditorControl& control, const ExamRecord& record, std::string_view partName);

