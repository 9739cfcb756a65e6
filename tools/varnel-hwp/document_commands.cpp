// varnel-hwp text and info: what a document holds, as text.
#include "tools/varnel-hwp/document_commands.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

#include "hwp/objects.h"
#include "support/text.h"

namespace {

[[gnu::format(printf, 2, 3)]] void Append(std::string& out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (size > 0) {
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(size) + 1);
        std::vsnprintf(out.data() + at, static_cast<std::size_t>(size) + 1, format, args);
        out.resize(at + static_cast<std::size_t>(size));
    }
    va_end(args);
}

std::string Millimetres(hwp::HwpUnit value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f mm", value * 25.4 / 7200.0);
    return buffer;
}

} // namespace

std::string DocumentText(const hwp::Document& document)
{
    std::string out;
    for (const hwp::Section& section : document.sections) {
        for (const hwp::Paragraph& paragraph : section.paragraphs) {
            std::u16string text = paragraph.text;
            // One line per paragraph: line breaks inside a paragraph are shown as spaces.
            for (char16_t& c : text) {
                if (c == u'\n')
                    c = u' ';
            }
            Append(out, "%s\n", Utf16ToUtf8(text).c_str());
            // Then the text inside its objects, a line per paragraph there.
            for (const hwp::Control& control : paragraph.controls) {
                const std::u16string inside = hwp::ControlText(control);
                if (!inside.empty())
                    Append(out, "%s\n", Utf16ToUtf8(inside).c_str());
            }
        }
    }
    return out;
}

std::string DocumentInfo(const hwp::Document& document)
{
    std::string out;
    const hwp::Version& v = document.version;
    Append(out, "version: %u.%u.%u.%u\n", v.major, v.minor, v.build, v.revision);
    std::string flags;
    const std::pair<std::uint32_t, const char*> names[] = {
        {hwp::kHeaderCompressed, "compressed"}, {hwp::kHeaderPassword, "password"},
        {hwp::kHeaderDistribution, "distribution"}, {hwp::kHeaderScript, "script"},
        {hwp::kHeaderDrm, "drm"}, {hwp::kHeaderXmlTemplate, "xml-template"},
        {hwp::kHeaderHistory, "history"}, {hwp::kHeaderSignature, "signature"},
        {hwp::kHeaderCertificateEncrypted, "certificate-encrypted"},
        {hwp::kHeaderCertificateDrm, "certificate-drm"}, {hwp::kHeaderCcl, "ccl"}};
    for (const auto& [bit, name] : names) {
        if (document.headerFlags & bit)
            flags += std::string(flags.empty() ? "" : " ") + name;
    }
    Append(out, "flags: 0x%08x%s%s\n", document.headerFlags, flags.empty() ? "" : " ", flags.c_str());
    Append(out, "faces:");
    static const char* langs[] = {"hangul", "latin", "hanja", "japanese", "other", "symbol", "user"};
    for (int lang = 0; lang < hwp::kLangCount; ++lang)
        Append(out, " %s %zu", langs[lang], document.faces[static_cast<std::size_t>(lang)].size());
    Append(out, "\n");
    Append(out, "bin data: %zu\n", document.binData.size());
    Append(out, "border fills: %zu\n", document.borderFills.size());
    Append(out, "char shapes: %zu\n", document.charShapes.size());
    Append(out, "tab definitions: %zu\n", document.tabDefs.size());
    Append(out, "numberings: %zu\n", document.numberings.size());
    Append(out, "bullets: %zu\n", document.bullets.size());
    Append(out, "para shapes: %zu\n", document.paraShapes.size());
    Append(out, "styles: %zu\n", document.styles.size());
    Append(out, "sections: %zu\n", document.sections.size());
    for (std::size_t i = 0; i < document.sections.size(); ++i) {
        const hwp::Section& section = document.sections[i];
        const hwp::PageDef& page = section.page;
        std::size_t objects = 0;
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            objects += paragraph.controls.size();
        Append(out, "section %zu: %zu paragraphs, %zu objects, %u column%s\n", i, section.paragraphs.size(), objects,
                    section.columnCount, section.columnCount == 1 ? "" : "s");
        Append(out, "  paper: %d x %d (%s x %s), %s\n", page.width, page.height, Millimetres(page.width).c_str(),
                    Millimetres(page.height).c_str(), page.landscape ? "landscape" : "portrait");
        Append(out, "  margins: left %d, right %d, top %d, bottom %d, header %d, footer %d, gutter %d\n",
                    page.leftMargin, page.rightMargin, page.topMargin, page.bottomMargin, page.headerMargin,
                    page.footerMargin, page.gutterMargin);
    }
    return out;
}
