#include "bench/documents/bench_documents.h"

#include "bench/render/full_page.h"
#include "document/editor_document.h"
#include "document/hwp_mapping.h"
#include "editor/picture_tools.h"
#include "hwp/border_fill.h"
#include "hwp/table.h"
#include "hwp/writer.h"
#include "tools/templates/template_documents.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>
#include <QTextCursor>

#include <algorithm>
#include <vector>

namespace bench_documents {
namespace {

// Eight photographs made once, each used again under another comment (a file keeps
// one copy of equal pictures): making one costs far more than a page.
QByteArray PhotographAt(int index)
{
    static const std::vector<QByteArray> photographs = [] {
        std::vector<QByteArray> made;
        for (quint32 seed = 1; seed <= 8; ++seed)
            made.push_back(Photograph(seed));
        return made;
    }();
    const QByteArray& photograph = photographs[static_cast<std::size_t>(index) % photographs.size()];
    const QByteArray note = QByteArray::number(index);
    QByteArray comment("\xFF\xFE", 2);   // a COM segment right after the start of image
    comment.append(char(0)).append(char(note.size() + 2)).append(note);
    return photograph.left(2) + comment + photograph.mid(2);
}

bool WritePictures(int count, const std::string& path, std::string& error)
{
    auto document = editor::ToEditorDocument(templates::MakeStyledDocument(6));
    QTextCursor cursor(&document->Text());
    for (int i = 0; i < count; ++i) {
        cursor.insertText(QStringLiteral("%1. 다음 사진은 어느 지역의 모습인가?").arg(i + 1));
        cursor.insertBlock();
        QString complaint;
        if (!editor::InsertPictureAt(cursor, PhotographAt(i), document->Page().BodyWidth(), complaint)) {
            error = complaint.toStdString();
            return false;
        }
        cursor.insertBlock();
    }
    return editor::WriteHwpFile(*document, path);
}

// One ruled table of `rows` rows and five columns, its first row of header cells, which
// the file asks to repeat on every page the table runs onto.
bool WriteTable(int rows, const std::string& path, std::string& error)
{
    hwp::Document document = hwp::NewDocument();
    const std::uint16_t ruled = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 3, 0}));
    hwp::Table table = hwp::NewTable(static_cast<std::uint16_t>(rows), 5, 42000, ruled);
    table.repeatHeaderRow = true;
    table.pageBreak = hwp::TablePageBreak::Cell;
    static const char16_t* const headings[] = {u"번호", u"물체", u"질량", u"부피", u"밀도"};
    for (hwp::TableCell& cell : table.cells) {
        cell.height = hwp::kNewTableRowHeight;
        std::u16string& text = cell.paragraphs.front().text;
        if (cell.row == 0) {
            text = headings[cell.column];
            cell.otherListBits |= hwp::kHeaderCellBit;
        } else {
            const std::string value = std::to_string(cell.row * 5 + cell.column);
            text = cell.column == 1 ? u"돌멩이" : u"질량 " + std::u16string(value.begin(), value.end()) + u" kg";
        }
    }
    hwp::FitTableSize(table);
    hwp::Paragraph& paragraph = document.sections[0].paragraphs.front();
    paragraph.controls.push_back(hwp::WriteTable(table, document));
    paragraph.controls.back().position = static_cast<std::uint32_t>(paragraph.text.size());
    paragraph.controls.back().end = paragraph.controls.back().position;
    try {
        hwp::WriteDocument(document, path);
    } catch (const std::exception& failure) {
        error = failure.what();
        return false;
    }
    return true;
}

}  // namespace

QByteArray Photograph(quint32 seed)
{
    constexpr qsizetype kTargetBytes = 2'000'000;
    QImage image(2400, 1600, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    int grain = 60;
    QByteArray bytes;
    for (int attempt = 0; attempt < 6; ++attempt) {
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int n = static_cast<int>(random.bounded(grain * 2 + 1)) - grain;
                line[x] = qRgb(std::clamp(x / 10 + n + int(seed % 50), 0, 255), std::clamp(y / 7 + n, 0, 255),
                               std::clamp(160 - x / 20 + n, 0, 255));
            }
        }
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPG", 90);
        if (bytes.size() > kTargetBytes * 105 / 100)
            grain = grain * 3 / 4;
        else if (bytes.size() < kTargetBytes * 95 / 100)
            grain = grain * 4 / 3 + 1;
        else
            break;
    }
    return bytes;
}

bool KindFromName(const std::string& name, Kind& kind)
{
    if (name == "text")
        kind = Kind::TextPages;
    else if (name == "table")
        kind = Kind::TableRows;
    else if (name == "pictures")
        kind = Kind::Pictures;
    else
        return false;
    return true;
}

bool WriteDocument(Kind kind, int count, const std::string& path, std::string& error)
{
    switch (kind) {
    case Kind::TextPages: {
        // Fifteen paragraphs of four sentences fill an A4 page of the passage style.
        auto document = bench_pages::FullKoreanPage(15 * count);
        if (!editor::WriteHwpFile(*document, path)) {
            error = "cannot write " + path;
            return false;
        }
        return true;
    }
    case Kind::TableRows:
        return WriteTable(count, path, error);
    case Kind::Pictures:
        if (!WritePictures(count, path, error)) {
            if (error.empty())
                error = "cannot write " + path;
            return false;
        }
        return true;
    }
    return false;
}

}  // namespace bench_documents
