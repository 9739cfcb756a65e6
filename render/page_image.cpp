#include "render/page_image.h"

#include "render/bmp_half.h"
#include "render/png_stream.h"

#include "editor/page_render.h"
#include "support/files.h"
#include "support/text.h"

#include <QImage>

#include <algorithm>
#include <cstdio>
#include <future>
#include <memory>
#include <system_error>
#include <vector>

namespace {

// The page the preview shows, at twice the dpi of the image it keeps.
constexpr std::int32_t kRenderDpi = 600;
constexpr std::int32_t kRenderBits = 24;
// Rows painted at a time, as the pane's render does; even, so row pairs never straddle bands.
constexpr int kBandRows = 1024;
constexpr int kMaxSide = 32767;

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
    // An image of an earlier render must not pass for this one.
    if (!written)
        std::remove(imagePath.c_str());
    return written;
}

bool ExportPageImage(editor::EditorControl& control, const ExamRecord& record, std::string_view partName)
{
    return ExportPageImage(control, record, partName, nullptr);
}

bool ExportPageImage(editor::EditorControl& control, const ExamRecord& record, std::string_view partName,
                     PageImageQueue* queue)
{
    PageImagePaths paths = PageImagePathsFor(record, partName);
    const bool rendered = control.RenderPageImage(Utf16Path(paths.bitmap), 0, kRenderDpi, kRenderBits, u"bmp");
    if (queue != nullptr)
        queue->Convert(std::move(paths.bitmap), std::move(paths.image));
    else
        ConvertPageBitmap(paths.bitmap, paths.image);
    return rendered;
}

PageImageQueue::~PageImageQueue()
{
    Finish();
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void PageImageQueue::Convert(std::string bitmapPath, std::string imagePath)
{
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.emplace_back(std::move(bitmapPath), std::move(imagePath));
    }
    m_changed.notify_all();
    if (!m_worker.joinable()) {
        try {
            m_worker = std::thread(&PageImageQueue::Work, this, false);
        } catch (const std::system_error&) {
            // No second thread to be had: convert here instead.
            Work(true);
        }
    }
}

void PageImageQueue::Finish()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

void PageImageQueue::Work(bool untilEmpty)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (untilEmpty && m_jobs.empty())
            return;
        m_changed.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_jobs.empty())
            return;
        const auto [bitmap, image] = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        ConvertPageBitmap(bitmap, image);
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

bool WritePageImage(const editor::EditorDocument& document, int page, const std::string& pngPath)
{
    const editor::PagedLayout layout(document);
    if (page < 0 || page >= layout.PageCount())
        return false;
    const int width = layout.SheetPixelWidth(kRenderDpi);
    const int height = layout.SheetPixelHeight(kRenderDpi);
    if (width > kMaxSide || height > kMaxSide || width < 2 || height < 2)
        return false;
    const int outWidth = width / 2;
    const int outHeight = height / 2;
    const std::string temporary = MakeTemporaryPathBeside(pngPath);
    if (temporary.empty())
        return false;
    bool ok = false;
    {
        PngRowWriter png(temporary, outWidth, outHeight);
        ok = png.IsOpen();
        QImage bands[2];
        for (QImage& band : bands) {
            band = QImage(width, std::min(kBandRows, height), QImage::Format_RGB32);
            ok = ok && !band.isNull();
        }
        std::vector<std::uint32_t> row(static_cast<std::size_t>(outWidth));
        const auto halveBand = [&](const QImage& band, int pairs) {
            for (int i = 0; i < pairs; ++i) {
                HalveRowPair(band.constScanLine(2 * i), band.constScanLine(2 * i + 1), 4, outWidth, row.data());
                png.WriteRow(row.data());
            }
        };
        std::future<void> halving;
        int next = 0;
        for (int top = 0; ok && top < 2 * outHeight; top += kBandRows) {
            QImage& band = bands[next];
            next ^= 1;
            layout.PaintBand(band, page, top, kRenderDpi);
            const int pairs = std::min(kBandRows, 2 * outHeight - top) / 2;
            if (halving.valid())
                halving.get();
            try {
                halving = std::async(std::launch::async, halveBand, std::cref(band), pairs);
            } catch (const std::system_error&) {
                halveBand(band, pairs);
            }
        }
        if (halving.valid())
            halving.get();
        ok = png.Finish() && ok;
    }
    if (!ok) {
        std::remove(temporary.c_str());
        return false;
    }
    return CommitTemporaryFile(temporary, pngPath);
}
