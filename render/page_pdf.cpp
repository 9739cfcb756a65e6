#include "render/page_pdf.h"

#include "page/page_render.h"
#include "support/files.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cstdio>

namespace {

// Fine enough that Qt's PDF coordinates do not round glyph positions visibly.
constexpr int kPdfResolution = 1200;

} // namespace

bool WriteDocumentPdf(const editor::EditorDocument& document, const std::string& path)
{
    const std::string temporary = MakeTemporaryPathBeside(path);
    if (temporary.empty())
        return false;
    bool ok = false;
    {
        const editor::PagedLayout layout(document, editor::PageOutput::Vector);
        QPdfWriter writer(QString::fromStdString(temporary));
        writer.setCreator(QStringLiteral("Varnel"));
        writer.setResolution(kPdfResolution);
        const editor::PageSetup& page = document.Page();
        const QPageSize size(QSizeF(page.SheetWidth() / 7200.0 * 72.0, page.SheetHeight() / 7200.0 * 72.0),
                             QPageSize::Point, QString(), QPageSize::ExactMatch);
        ok = writer.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        QPainter painter;
        ok = ok && painter.begin(&writer);
        if (ok) {
            const double scale = kPdfResolution / editor::kLayoutDpi;
            for (int i = 0; ok && i < layout.PageCount(); ++i) {
                if (i > 0)
                    ok = writer.newPage();
                painter.save();
                painter.scale(scale, scale);
                layout.PaintPage(painter, i);
                painter.restore();
            }
            ok = painter.end() && ok;
        }
    }
    if (!ok) {
        std::remove(temporary.c_str());
        return false;
    }
    return CommitTemporaryFile(temporary, path);
}
