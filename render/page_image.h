// Page images of the question's parts: the first page of a pane, or of the assembled
// print document, as a half-size PNG in the question's or the passage's folder.
//
// The pane's first page is painted at 600 dpi and halved into a 300-dpi, 32-bit ARGB PNG,
// band by band from the pane's document; a control that lends no document renders a
// temporary 24-bit BMP beside the image instead, which is halved the same way and
// deleted. The preview assembly (preview.h) exports every part this way; the image
// cropper then measures the PNGs and leaves its cropped print images beside them.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <string_view>
#include <vector>

#include <QImage>

#include "editor/editor_control.h"
#include "document/editor_document.h"
#include "page/page_render.h"
#include "render/png_stream.h"
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
// whatever happens. False when no PNG was written (no bitmap, not an image, a write
// error); an older PNG at `imagePath` is then removed.
bool ConvertPageBitmap(const std::string& bitmapPath, const std::string& imagePath);

// The control's first page as its PNG: painted straight from the control's document when
// it lends one (PageSource), else rendered to the bitmap and converted as above. True
// when the page was rendered (or painted): a failed conversion or write shows only as a
// missing PNG.
bool ExportPageImage(editor::EditorControl& control, const ExamRecord& record, std::string_view partName);

// Page images on the second core. Pages are painted on the caller's thread (fonts and
// layouts stay with the thread that made them), a band at a time; halving and compressing
// the bands, or converting a bitmap, is done here in the order given, while the caller
// goes on to paint the next band or the next pane. Finish (and the destructor) wait until
// every queued PNG is written and every bitmap deleted, so the files are all there before
// anything reads them.
class PageImageQueue {
public:
    // A save's images are 32-bit ARGB; the command-line tool's are grey where the page is.
    explicit PageImageQueue(PngColours colours = PngColours::Argb) : m_colours(colours) {}
    ~PageImageQueue();
    PageImageQueue(const PageImageQueue&) = delete;
    PageImageQueue& operator=(const PageImageQueue&) = delete;

    void Convert(std::string bitmapPath, std::string imagePath);
    // Paints page `page` (0-based) of `layout` now and queues its PNG for `imagePath`, as
    // WritePageImage writes it; on failure no PNG is left there, not even an older one.
    // `written`, when given, says after Finish whether the PNG was written. False when
    // the page does not exist or is too large.
    bool Write(const editor::PagedLayout& layout, int page, std::string imagePath, bool* written = nullptr);
    // As Write, at `dpi` (a save's images are kImageDpi), and the file at `imagePath` is
    // replaced in one instant or left as it was.
    bool Replace(const editor::PagedLayout& layout, int page, std::string imagePath, int dpi, bool* written);
    void Finish();

private:
    friend bool WritePageImage(const editor::PagedLayout& layout, int page, const std::string& pngPath,
                               PngColours colours);
    struct PageSink;
    struct Job {
        std::string bitmap; // a bitmap to convert, or
        std::string image;
        std::shared_ptr<PageSink> page; // a band of a page being written
        QImage band;
        int pairs = 0; // row pairs of the band; 0: the page is complete
    };
    bool Write(const editor::PagedLayout& layout, int page, std::string imagePath, bool* written,
               bool replaceInOneInstant, int dpi);
    void Add(Job job);
    QImage TakeBand(int width, int height);
    // On the worker until stopped; on the caller's thread (untilEmpty) when no worker could start.
    void Work(bool untilEmpty);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    int m_bandsQueued = 0;
    std::vector<QImage> m_spareBands;
    bool m_busy = false;
    bool m_stop = false;
    bool m_inline = false; // no worker: jobs run at once on the caller's thread
    std::thread m_worker;
    PngColours m_colours;
};

// As above, with the conversion handed to `queue` (done at once when it is null).
bool ExportPageImage(editor::EditorControl& control, const ExamRecord& record, std::string_view partName,
                     PageImageQueue* queue);

// The resolution of a save's page images: painted at twice this and halved.
constexpr int kImageDpi = 300;
// The resolutions a page image may be asked for: a 1200-dpi image is painted at 2400 dpi,
// which an A3 sheet still fits in the painter's sides.
constexpr int kMinImageDpi = 24;
constexpr int kMaxImageDpi = 1200;

// The image a save exports of page `page` (0-based) of a document: the same 600-dpi
// render and halving into the same PNG, without the bitmap file between them. Bands are
// halved and compressed on a second thread while the next band is painted. The file at
// `pngPath` is replaced in one instant, or left as it was. False when the page does not
// exist or the file cannot be written.
bool WritePageImage(const editor::EditorDocument& document, int page, const std::string& pngPath);
// The same from a copy already laid out, in 32-bit ARGB or grey where the page is grey.
bool WritePageImage(const editor::PagedLayout& layout, int page, const std::string& pngPath,
                    PngColours colours = PngColours::Argb);
