#include "render/page_image.h"

#include "render/bmp_half.h"

#include "support/text.h"

#include <cstdio>

namespace {

// The page the preview shows, at twice the dpi of the image it keeps.
constexpr std::int32_t kRenderDpi = 600;
constexpr std::int32_t kRenderBits = 24;

std::u16string Utf16Path(const std::string& path)
{
    return Utf8ToUtf16(path).value_or(u"");
}

} // namespace

PageImagePaths PageImagePathsFor(const ExamRecord& record, std::string_view partName)
{
    const std::string part(partName);
    if (partName.find("text") != std::string_view::npos) {
        const std::string stem = record.m_strExamtextFolder + "/" + std::to_string(record.m_nExamtextKey) + "-print-" + part;
        return {stem + ".bmp", stem + "001.png"};
    }
    const std::string prefix = record.m_strExamFolder + "/" + std::to_string(record.m_nExamKey) + "-";
    const std::string stem = prefix + (partName.find("print") != std::string_view::npos ? part : "print-" + part);
    return {stem + ".bmp", stem + "001.png"};
}

bool ConvertPageBitmap(const std::string& bitmapPath, const std::string& imagePath)
{
    const bool written = HalveBitmapToPng(bitmapPath, imagePath);
    std::remove(bitmapPath.c_str());
    return written;
}

bool ExportPageImage(editor::EditorControl& control, const ExamRecord& record, std::string_view partName)
{
    const PageImagePaths paths = PageImagePathsFor(record, partName);
    const bool rendered = control.RenderPageImage(Utf16Path(paths.bitmap), 0, kRenderDpi, kRenderBits, u"bmp");
    ConvertPageBitmap(paths.bitmap, paths.image);
    return rendered;
}
