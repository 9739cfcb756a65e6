#include "hwp/preview_text.h"

#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/paragraph.h"
#include "hwp/paragraph_list.h"
#include "hwp/table.h"

namespace hwp {
namespace {

// The most the word processor's own files hold.
constexpr std::size_t kPreviewUnits = 1022;

void AppendParagraph(std::u16string& out, const Paragraph& paragraph);

// Paragraphs of a cell or a text box run on with spaces between them.
std::u16string Joined(const std::vector<Paragraph>& paragraphs)
{
    std::u16string out;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            out += u' ';
        AppendParagraph(out, paragraphs[i]);
    }
    return out;
}

// A table shows each cell's text in angle brackets, a row per line; a drawing object its
// text box's; captions, notes, headers, pictures and equations show nothing.
std::u16string ObjectText(const Control& control)
{
    std::u16string out;
    try {
        if (IsTable(control)) {
            const Table table = ReadTable(control);
            for (std::size_t i = 0; i < table.cells.size(); ++i) {
                if (i > 0 && table.cells[i].row != table.cells[i - 1].row)
                    out += u"\r\n";
                out += u'<' + Joined(table.cells[i].paragraphs) + u'>';
            }
        } else if (control.ctrlId == kDrawing) {
            // A caption's list stands right below the control header; a text box's below
            // its shape.
            for (const ParagraphList& list : ReadParagraphLists(control.records)) {
                if (control.records[list.header].level > 1)
                    out += u'<' + Joined(list.paragraphs) + u'>';
            }
        }
    } catch (const HwpError&) {
        return {};   // an object the reader would refuse shows no text
    }
    return out;
}

void AppendParagraph(std::u16string& out, const Paragraph& paragraph)
{
    std::size_t next = 0;
    for (std::size_t i = 0; i <= paragraph.text.size() && out.size() <= kPreviewUnits; ++i) {
        for (; next < paragraph.controls.size() && paragraph.controls[next].position == i; ++next)
            out += ObjectText(paragraph.controls[next]);
        if (i == paragraph.text.size())
            break;
        const char16_t c = paragraph.text[i];
        if (c == u'\t')
            out += u' ';
        else if (c == u'\n')
            out += u"\r\n";
        else
            out += c;
    }
}

std::u16string PreviewText(const Document& document)
{
    std::u16string out;
    for (const Section& section : document.sections) {
        for (const Paragraph& paragraph : section.paragraphs) {
            AppendParagraph(out, paragraph);
            out += u"\r\n";
            if (out.size() > kPreviewUnits)
                break;
        }
    }
    if (out.size() > kPreviewUnits) {
        std::size_t cut = kPreviewUnits;
        if (out[cut - 1] >= 0xD800 && out[cut - 1] < 0xDC00)
            --cut;   // never half a surrogate pair
        out.resize(cut);
    }
    return out;
}

}  // namespace

std::string PreviewTextStream(const Document& document)
{
    ByteWriter out;
    out.Units(PreviewText(document));
    return out.Data();
}

std::u16string PreviewTitle(const Document& document)
{
    std::u16string text = PreviewText(document);
    text = text.substr(0, text.find(u'\r'));
    if (text.size() > 80)
        text.resize(80);
    return text;
}

bool IsTitleOnlySummary(std::string_view stream)
{
    try {
        ByteReader in(stream, "summary information");
        in.Skip(44);
        const std::uint32_t section = in.U32();
        if (section < 48 || section > stream.size())
            return false;
        ByteReader properties(stream.substr(section), "summary information");
        properties.U32();   // size
        return properties.U32() <= 2;
    } catch (const HwpError&) {
        return false;
    }
}

}  // namespace hwp
