#include "render/page_pdf.h"

#include "page/page_render.h"
#include "render/pdf_text_layer.h"
#include "support/files.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <fstream>

namespace {

// Fine enough that Qt's PDF coordinates do not round glyph positions visibly.
constexpr int kPdfResolution = 1200;

// The sheet of a page definition, in points, upright as laid out.
QPageLayout SheetLayout(const editor::PageSetup& page)
{
    const QPageSize size(QSizeF(page.SheetWidth() / 7200.0 * 72.0, page.SheetHeight() / 7200.0 * 72.0),
                         QPageSize::Point, QString(), QPageSize::ExactMatch);
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

// The pages of `layout`, each on the sheet of its own section.
bool PaintPages(const editor::PagedLayout& layout, QIODevice& out)
{
    QPdfWriter writer(&out);
    writer.setCreator(QStringLiteral("Varnel"));
    writer.setResolution(kPdfResolution);
    bool ok = writer.setPageLayout(SheetLayout(layout.PageOf(0)));
    QPainter painter;
    ok = ok && painter.begin(&writer);
    if (!ok)
        return false;
    const double scale = kPdfResolution / editor::kLayoutDpi;
    for (int i = 0; ok && i < layout.PageCount(); ++i) {
        // A new sheet takes the layout set before it begins.
        if (i > 0)
            ok = writer.setPageLayout(SheetLayout(layout.PageOf(i))) && writer.newPage();
        painter.save();
        painter.scale(scale, scale);
        layout.PaintPage(painter, i);
        painter.restore();
    }
    return painter.end() && ok;
}

} // namespace

bool WriteDocumentPdf(const editor::EditorDocument& document, const std::string& path)
{
    QByteArray bytes;
    {
        const editor::PagedLayout layout(document, editor::PageOutput::Pdf);
        QBuffer buffer(&bytes);
        if (!buffer.open(QIODevice::WriteOnly) || !PaintPages(layout, buffer))
            return false;
    }
    // Cleaned on its way to the file: a PDF of photographs is not copied again.
    const std::string_view pdf(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return ReplaceFileAtomically(path, [&pdf](const std::string& temporary) {
        std::ofstream file(temporary, std::ios::binary);
        const auto write = [&file](std::string_view piece) {
            file.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        };
        // A PDF the cleaning does not understand is still a PDF: written as it is.
        if (!WriteCleanPdf(pdf, write))
            write(pdf);
        file.close();
        return static_cast<bool>(file);
    });
}
