#include "render/page_image.h"

#include "render/bmp_half.h"
#include "render/png_stream.h"

#include "page/page_render.h"
#include "support/files.h"
#include "support/text.h"

#include <QImage>

#include <cstdint>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <system_error>
#include <vector>

namespace {

// The page the preview shows, at twice the dpi of the image it keeps.
constexpr std::int32_t kRenderDpi = 2 * kImageDpi;
constexpr std::int32_t kRenderBits = 24;
// Rows painted at a time: 2.5 MB at 600 dpi, which the halving reads back while it is
// still in the caches (bands of 1024 rows measured a fifth more CPU, most of it the
// kernel's page faults); even, so row pairs never straddle bands.
constexpr int kBandRows = 128;
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
    if (const editor::EditorDocument* document = control.PageSource()) {
        const std::unique_ptr<editor::PagedLayout> layout = editor::PagedLayout::Through(*document, 0);
        if (queue != nullptr)
            return queue->Write(*layout, 0, std::move(paths.image));
        PageImageQueue now;
        return now.Write(*layout, 0, std::move(paths.image));
    }
    const bool rendered = control.RenderPageImage(Utf16Path(paths.bitmap), 0, kRenderDpi, kRenderBits, u"bmp");
    if (queue != nullptr)
        queue->Convert(std::move(paths.bitmap), std::move(paths.image));
    else
        ConvertPageBitmap(paths.bitmap, paths.image);
    return rendered;
}

// One page's PNG as its bands arrive; used by the worker only. Written to the temporary
// file and renamed over the image when there is one, else straight to the image (a save's
// scratch image, removed when it fails).
struct PageImageQueue::PageSink {
    PageSink(std::string temporaryPath, std::string imagePath, int width, int height, PngColours colours,
             bool* writtenFlag)
        : temporary(std::move(temporaryPath)), image(std::move(imagePath)),
          png(temporary.empty() ? image : temporary, width, height, colours), row(static_cast<std::size_t>(width)),
          written(writtenFlag)
    {
        ok = png.IsOpen();
    }
    std::string temporary;
    std::string image;
    PngRowWriter png;
    std::vector<std::uint32_t> row;
    bool* written;
    bool ok;
};

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
    Job job;
    job.bitmap = std::move(bitmapPath);
    job.image = std::move(imagePath);
    Add(std::move(job));
}

QImage PageImageQueue::TakeBand(int width, int height)
{
    std::unique_lock lock(m_mutex);
    // A few bands waiting keep the worker busy; more would only hold memory.
    m_changed.wait(lock, [this] { return m_bandsQueued < 4 || m_inline; });
    while (!m_spareBands.empty()) {
        QImage band = std::move(m_spareBands.back());
        m_spareBands.pop_back();
        if (band.width() == width && band.height() == height)
            return band;
    }
    lock.unlock();
    return QImage(width, height, QImage::Format_RGB32);
}

bool PageImageQueue::Write(const editor::PagedLayout& layout, int page, std::string imagePath, bool* written)
{
    return Write(layout, page, std::move(imagePath), written, false, kImageDpi);
}

bool PageImageQueue::Replace(const editor::PagedLayout& layout, int page, std::string imagePath, int dpi, bool* written)
{
    return Write(layout, page, std::move(imagePath), written, true, dpi);
}

bool PageImageQueue::Write(const editor::PagedLayout& layout, int page, std::string imagePath, bool* written,
                           bool replaceInOneInstant, int dpi)
{
    if (written != nullptr)
        *written = false;
    const int renderDpi = 2 * std::clamp(dpi, kMinImageDpi, kMaxImageDpi);
    const int width = layout.SheetPixelWidth(page, renderDpi);
    const int height = layout.SheetPixelHeight(page, renderDpi);
    if (dpi != renderDpi / 2 || page < 0 || page >= layout.PageCount() || width > kMaxSide || height > kMaxSide || width < 2 || height < 2) {
        if (!replaceInOneInstant)
            std::remove(imagePath.c_str());
        return false;
    }
    std::string temporary;
    if (replaceInOneInstant) {
        temporary = MakeTemporaryPathBeside(imagePath);
        if (temporary.empty())
            return true;
    }
    const int outHeight = height / 2;
    auto sink = std::make_shared<PageSink>(std::move(temporary), std::move(imagePath), width / 2, outHeight,
                                           m_colours, written);
    for (int top = 0; top < 2 * outHeight; top += kBandRows) {
        Job job;
        job.page = sink;
        job.band = TakeBand(width, std::min(kBandRows, height));
        job.pairs = std::min(kBandRows, 2 * outHeight - top) / 2;
        const bool spoilt = job.band.isNull();
        if (spoilt)
            job.pairs = -1;
        else
            layout.PaintBand(job.band, page, top, renderDpi);
        Add(std::move(job));
        if (spoilt)
            break;
    }
    Job end;
    end.page = std::move(sink);
    Add(std::move(end));
    return true;
}

void PageImageQueue::Add(Job job)
{
    {
        const std::lock_guard lock(m_mutex);
        if (job.page && job.pairs != 0)
            ++m_bandsQueued;
        m_jobs.push_back(std::move(job));
    }
    m_changed.notify_all();
    if (!m_worker.joinable() && !m_inline) {
        try {
            m_worker = std::thread(&PageImageQueue::Work, this, false);
        } catch (const std::system_error&) {
            // No second thread to be had: work here instead, now and from now on.
            m_inline = true;
        }
    }
    if (m_inline)
        Work(true);
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
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        if (!job.page) {
            ConvertPageBitmap(job.bitmap, job.image);
        } else if (job.pairs != 0) {
            PageSink& sink = *job.page;
            sink.ok = sink.ok && job.pairs > 0;
            for (int i = 0; sink.ok && i < job.pairs; ++i) {
                HalveRowPair(job.band.constScanLine(2 * i), job.band.constScanLine(2 * i + 1), 4,
                             static_cast<int>(sink.row.size()), sink.row.data());
                sink.png.WriteRow(sink.row.data());
            }
        } else {
            PageSink& sink = *job.page;
            // The writer removes its file when it fails.
            bool done = sink.png.Finish() && sink.ok;
            if (!sink.temporary.empty()) {
                if (done)
                    done = CommitTemporaryFile(sink.temporary, sink.image);
                else
                    std::remove(sink.temporary.c_str());
            } else if (!done) {
                // An image of an earlier save must not pass for this one.
                std::remove(sink.image.c_str());
            }
            if (sink.written != nullptr)
                *sink.written = done;
        }
        lock.lock();
        if (job.page && job.pairs != 0) {
            --m_bandsQueued;
            if (!job.band.isNull())
                m_spareBands.push_back(std::move(job.band));
        }
        job.page.reset();
        m_busy = false;
        m_changed.notify_all();
    }
}

bool WritePageImage(const editor::EditorDocument& document, int page, const std::string& pngPath)
{
    return WritePageImage(*editor::PagedLayout::Through(document, page), page, pngPath);
}

bool WritePageImage(const editor::PagedLayout& layout, int page, const std::string& pngPath, PngColours colours)
{
    bool written = false;
    PageImageQueue queue(colours);
    queue.Write(layout, page, pngPath, &written, true, kImageDpi);
    queue.Finish();
    return written;
}
