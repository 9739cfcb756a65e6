#include "export/content_html.h"

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cmath>
#include <cstdio>

#include "document/kept_objects.h"
#include "document/table_mapping.h"
#include "export/export_error.h"
#include "hwp/equation.h"
#include "hwp/error.h"
#include "hwp/object_description.h"
#include "hwp/picture.h"
#include "math/markup.h"
#include "support/text.h"

namespace item_export {

const ImageFile& ImageStore::Add(const std::string& owner, std::string bytes, const std::string& extension,
                                 const std::string& mediaType)
{
    const auto found = m_byBytes.find(bytes);
    if (found != m_byBytes.end())
        return m_files[found->second];
    const int n = ++m_counts[owner];
    ImageFile file{owner + "-" + std::to_string(n) + "." + extension, bytes, mediaType};
    m_byBytes.emplace(std::move(bytes), m_files.size());
    m_files.push_back(std::move(file));
    return m_files.back();
}

ContentWriter::ContentWriter(Dialect dialect, ImageStore& images, std::string imagePrefix)
    : m_dialect(dialect), m_images(images), m_imagePrefix(std::move(imagePrefix))
{
}

std::vector<std::string> ContentWriter::TakeUsedImages()
{
    std::vector<std::string> used;
    used.swap(m_used);
    return used;
}

namespace {

std::string Escape(const QString& text) { return math::XmlEscape(text.toStdString()); }

std::string Hex(std::uint32_t rgb)
{
    char out[8];
    std::snprintf(out, sizeof out, "%06x", static_cast<unsigned>(rgb & 0xFFFFFF));
    return out;
}

std::uint32_t Rgb(const QColor& colour) { return static_cast<std::uint32_t>(colour.rgb() & 0xFFFFFF); }

bool IsBoxTitle(const QTextBlock& block) { return block.text().trimmed() == QStringLiteral("<보기>"); }

}  // namespace

// One Html call: the document, its range and where the output goes.
class HtmlBuilder {
public:
    HtmlBuilder(ContentWriter& writer, int from, int to, const std::string& path)
        : m_w(writer), m_from(from), m_to(to), m_path(path)
    {
    }

    std::string out;

    void Frame(QTextFrame::iterator it)
    {
        for (; !it.atEnd(); ++it) {
            if (QTextFrame* child = it.currentFrame()) {
                if (child->firstPosition() < m_from || child->firstPosition() >= m_to) continue;
                if (auto* table = qobject_cast<QTextTable*>(child)) Table(*table);
                else Frame(child->begin());
            } else {
                Block(it.currentBlock(), nullptr);
            }
        }
    }

private:
    bool Qti() const { return m_w.m_dialect == Dialect::Qti; }

    void Block(const QTextBlock& block, const char* qtiClass, const char* moodleStyle = nullptr)
    {
        const int start = block.position();
        const int end = start + block.length() - 1;
        if (end < m_from || start >= m_to || (start == m_to && m_to != m_from)) return;
        std::string inner;
        for (auto it = block.begin(); !it.atEnd(); ++it) Fragment(it.fragment(), inner);
        std::string open = "<p";
        if (Qti() && qtiClass) open += " class=\"" + std::string(qtiClass) + "\"";
        if (!Qti()) {
            if (moodleStyle) open += " style=\"" + std::string(moodleStyle) + "\"";
            else if (block.blockFormat().alignment() & Qt::AlignHCenter) open += " style=\"text-align:center\"";
            else if (block.blockFormat().alignment() & Qt::AlignRight) open += " style=\"text-align:right\"";
        }
        out += open + ">" + inner + "</p>";
    }

    void Fragment(const QTextFragment& fragment, std::string& html)
    {
        const int start = std::max(fragment.position(), m_from);
        const int end = std::min(fragment.position() + fragment.length(), m_to);
        if (start >= end) return;
        const QTextCharFormat format = fragment.charFormat();
        if (format.objectType() == editor::kKeptObjectType) {
            if (const editor::KeptObjectRef object = editor::KeptObjectOf(format)) Object(*object, format, html);
            return;
        }
        QString text = fragment.text().mid(start - fragment.position(), end - start);
        std::string body;
        for (const QString& piece : text.split(QChar(0x2028))) {
            if (!body.empty()) body += "<br/>";
            body += Escape(QString(piece).replace(QChar('\t'), QChar(' ')).remove(QChar(0xFFFC)));
        }
        if (body.empty()) return;
        html += Styled(format, body);
    }

    std::string Styled(const QTextCharFormat& format, std::string body)
    {
        const auto wrap = [&body](const std::string& open, const std::string& close) { body = open + body + close; };
        if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript) wrap("<sup>", "</sup>");
        if (format.verticalAlignment() == QTextCharFormat::AlignSubScript) wrap("<sub>", "</sub>");
        if (format.fontUnderline())
            Qti() ? wrap("<span class=\"qti-underline\">", "</span>") : wrap("<u>", "</u>");
        if (format.fontItalic()) wrap("<em>", "</em>");
        if (format.fontWeight() >= QFont::Bold) wrap("<strong>", "</strong>");
        if (format.foreground().style() != Qt::NoBrush) {
            const std::uint32_t rgb = Rgb(format.foreground().color());
            if (rgb != 0) {
                if (Qti()) {
                    m_w.m_colours.insert(rgb);
                    wrap("<span class=\"varnel-c-" + Hex(rgb) + "\">", "</span>");
                } else {
                    wrap("<span style=\"color:#" + Hex(rgb) + "\">", "</span>");
                }
            }
        }
        return body;
    }

    void Object(const editor::KeptObject& object, const QTextCharFormat& format, std::string& html)
    {
        const hwp::Control& control = object.control;
        try {
            if (hwp::IsEquation(control)) {
                const hwp::Equation equation = hwp::ReadEquation(control);
                if (Qti()) html += math::ScriptToMathML(equation.script);
                else html += math::XmlEscape("\\(" + math::ScriptToTeX(equation.script) + "\\)");
                return;
            }
            if (hwp::IsPicture(control) && object.origin) {
                Picture(hwp::ReadPicture(control), *object.origin, html);
                return;
            }
        } catch (const hwp::HwpError& error) {
            throw ExportError(m_path, std::string("개체를 읽을 수 없습니다: ") + error.what(),
                              std::string("an object cannot be read: ") + error.what());
        }
        const std::u16string text = editor::KeptObjectText(format);
        if (!text.empty()) html += Styled(format, math::XmlEscape(Utf16ToUtf8(text)));
    }

    void Picture(const hwp::Picture& picture, const hwp::Document& origin, std::string& html)
    {
        const hwp::BinDataItem* item = hwp::PictureBinData(origin, picture);
        if (!item || item->streamName.empty())
            throw ExportError(m_path, "그림의 데이터가 문서에 없습니다", "a picture's data is not in the document");
        const std::string name = item->streamName;
        std::string bytes = hwp::BinDataBytes(*item);
        hwp::ImageInfo info;
        QImage image;
        try {
            info = hwp::ReadImageInfo(bytes);
            image = QImage::fromData(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
        } catch (const hwp::HwpError&) {
        }
        if (image.isNull())
            throw ExportError(m_path, "그림 " + name + "을(를) 읽을 수 없습니다", "picture " + name + " does not decode");
        std::string extension = info.extension;
        std::string mediaType = info.format == hwp::ImageFormat::Jpeg ? "image/jpeg"
                                : info.format == hwp::ImageFormat::Gif ? "image/gif"
                                                                      : "image/png";
        if (info.format == hwp::ImageFormat::Bmp) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            bytes = png.toStdString();
            extension = "png";
        }
        const ImageFile& file = m_w.m_images.Add(m_w.m_owner, std::move(bytes), extension, mediaType);
        if (std::find(m_w.m_used.begin(), m_w.m_used.end(), file.name) == m_w.m_used.end())
            m_w.m_used.push_back(file.name);
        std::u16string alt = hwp::ObjectDescription(picture.object);
        if (alt.empty()) alt = u"그림";
        // 7200 HwpUnit to the inch, 96 pixels to the inch.
        const long width = std::lround(picture.object.width * 96.0 / 7200.0);
        const long height = std::lround(picture.object.height * 96.0 / 7200.0);
        html += "<img src=\"" + math::XmlEscape(m_w.m_imagePrefix + file.name) + "\" alt=\"" +
                math::XmlEscape(Utf16ToUtf8(alt)) + "\"";
        if (width > 0 && height > 0)
            html += " width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\"";
        html += "/>";
    }

    void CellContent(const QTextTableCell& cell, bool skipTitle)
    {
        bool first = true;
        for (auto it = cell.begin(); !it.atEnd(); ++it) {
            if (QTextFrame* child = it.currentFrame()) {
                if (auto* table = qobject_cast<QTextTable*>(child)) Table(*table);
                else Frame(child->begin());
            } else if (!(skipTitle && first && IsBoxTitle(it.currentBlock()))) {
                Block(it.currentBlock(), nullptr);
            }
            first = false;
        }
    }

    void Table(const QTextTable& table)
    {
        const QTextTableCell only = table.cellAt(0, 0);
        if (table.rows() == 1 && table.columns() == 1 && IsBoxTitle(table.document()->findBlock(only.firstPosition()))) {
            // The <보기> box: a bordered block that keeps its title.
            const std::string title = "&lt;보기&gt;";
            if (Qti()) {
                out += "<div class=\"varnel-box\"><p class=\"varnel-box-title\">" + title + "</p>";
            } else {
                out += "<div style=\"border:1px solid #000;padding:0.5em;margin:0.5em 0\">"
                       "<p style=\"text-align:center\">" + title + "</p>";
            }
            CellContent(only, true);
            out += "</div>";
            return;
        }
        out += Qti() ? "<table class=\"varnel-table\"><tbody>" : "<table style=\"border-collapse:collapse\"><tbody>";
        for (int r = 0; r < table.rows(); ++r) {
            out += "<tr>";
            for (int c = 0; c < table.columns(); ++c) {
                const QTextTableCell cell = table.cellAt(r, c);
                if (!cell.isValid() || cell.row() != r || cell.column() != c) continue;
                out += "<td" + CellAttributes(cell) + ">";
                CellContent(cell, false);
                out += "</td>";
            }
            out += "</tr>";
        }
        out += "</tbody></table>";
    }

    std::string CellAttributes(const QTextTableCell& cell)
    {
        std::string attributes;
        if (cell.rowSpan() > 1) attributes += " rowspan=\"" + std::to_string(cell.rowSpan()) + "\"";
        if (cell.columnSpan() > 1) attributes += " colspan=\"" + std::to_string(cell.columnSpan()) + "\"";
        const QTextTableCellFormat format = cell.format().toTableCellFormat();
        struct Side {
            const char* qtiClass;
            const char* css;
            double width;
            QTextFrameFormat::BorderStyle style;
            QBrush brush;
        };
        const Side sides[] = {
            {"varnel-bt", "border-top", format.topBorder(), format.topBorderStyle(), format.topBorderBrush()},
            {"varnel-br", "border-right", format.rightBorder(), format.rightBorderStyle(), format.rightBorderBrush()},
            {"varnel-bb", "border-bottom", format.bottomBorder(), format.bottomBorderStyle(), format.bottomBorderBrush()},
            {"varnel-bl", "border-left", format.leftBorder(), format.leftBorderStyle(), format.leftBorderBrush()},
        };
        std::string classes;
        std::string style = "padding:2px 4px";
        for (const Side& side : sides) {
            if (side.width <= 0 || side.style == QTextFrameFormat::BorderStyle_None) continue;
            if (Qti()) {
                classes += (classes.empty() ? "" : " ") + std::string(side.qtiClass);
            } else {
                const char* line = side.style == QTextFrameFormat::BorderStyle_Dotted   ? "dotted"
                                   : side.style == QTextFrameFormat::BorderStyle_Dashed ? "dashed"
                                   : side.style == QTextFrameFormat::BorderStyle_Double ? "double"
                                                                                        : "solid";
                const long px = std::max(1L, std::lround(side.width));
                style += ";" + std::string(side.css) + ":" + std::to_string(px) + "px " + line + " #" +
                         Hex(Rgb(side.brush.color()));
            }
        }
        if (Qti()) return classes.empty() ? attributes : attributes + " class=\"" + classes + "\"";
        return attributes + " style=\"" + style + "\"";
    }

    ContentWriter& m_w;
    int m_from;
    int m_to;
    const std::string& m_path;
};

std::string ContentWriter::Html(const QTextDocument& document, int from, int to, const std::string& path)
{
    if (to < 0) to = document.characterCount();
    HtmlBuilder builder(*this, from, to, path);
    builder.Frame(document.rootFrame()->begin());
    return builder.out;
}

std::string PackageStylesheet(const std::set<std::uint32_t>& colours)
{
    std::string css =
        ".varnel-box { border: 1px solid #000; padding: 0.5em; margin: 0.5em 0; }\n"
        ".varnel-box-title { text-align: center; }\n"
        ".varnel-table { border-collapse: collapse; }\n"
        ".varnel-table td { padding: 2px 4px; }\n"
        ".varnel-bt { border-top: 1px solid #000; }\n"
        ".varnel-br { border-right: 1px solid #000; }\n"
        ".varnel-bb { border-bottom: 1px solid #000; }\n"
        ".varnel-bl { border-left: 1px solid #000; }\n"
        ".qti-underline { text-decoration: underline; }\n";
    for (std::uint32_t rgb : colours) css += ".varnel-c-" + Hex(rgb) + " { color: #" + Hex(rgb) + "; }\n";
    return css;
}

std::vector<std::string> ParagraphTexts(const QTextDocument& document, int from, int to)
{
    if (to < 0) to = document.characterCount();
    std::vector<std::string> texts;
    for (QTextBlock block = document.findBlock(from); block.isValid() && block.position() < to; block = block.next()) {
        const int start = std::max(block.position(), from) - block.position();
        const int end = std::min(block.position() + block.length() - 1, to) - block.position();
        if (end <= start) continue;
        const QString text = block.text().mid(start, end - start).remove(QChar(0xFFFC)).trimmed();
        if (!text.isEmpty()) texts.push_back(text.toStdString());
    }
    return texts;
}

}  // namespace item_export
