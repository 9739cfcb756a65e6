// varnel-hwp: look into HWP 5.0 documents and write them back with our writer.
//   varnel-hwp text FILE        the paragraphs, one per line, each followed by the text
//                               inside its objects (table cells, text boxes, notes, ...)
//   varnel-hwp info FILE        version, flags, table sizes and the page definition
//   varnel-hwp rewrite IN OUT   read IN and write it to OUT
#include <cstdio>
#include <string>

#include "hwp/objects.h"
#include "hwp/reader.h"
#include "hwp/writer.h"
#include "support/text.h"
#ifdef VARNEL_HWP_PAGES
#include "tools/varnel-hwp/page_commands.h"
#endif

namespace {

int Usage()
{
    std::fputs("usage: varnel-hwp text FILE\n"
               "       varnel-hwp info FILE\n"
               "       varnel-hwp rewrite IN OUT\n",
               stderr);
    return 2;
}

std::string Millimetres(hwp::HwpUnit value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f mm", value * 25.4 / 7200.0);
    return buffer;
}

void PrintText(const hwp::Document& document)
{
    for (const hwp::Section& section : document.sections) {
        for (const hwp::Paragraph& paragraph : section.paragraphs) {
            std::u16string text = paragraph.text;
            // One line per paragraph: line breaks inside a paragraph are shown as spaces.
            for (char16_t& c : text) {
                if (c == u'\n')
                    c = u' ';
            }
            std::printf("%s\n", Utf16ToUtf8(text).c_str());
            // Then the text inside its objects, a line per paragraph there.
            for (const hwp::Control& control : paragraph.controls) {
                const std::u16string inside = hwp::ControlText(control);
                if (!inside.empty())
                    std::printf("%s\n", Utf16ToUtf8(inside).c_str());
            }
        }
    }
}

void PrintInfo(const hwp::Document& document)
{
    const hwp::Version& v = document.version;
    std::printf("version: %u.%u.%u.%u\n", v.major, v.minor, v.build, v.revision);
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
    std::printf("flags: 0x%08x%s%s\n", document.headerFlags, flags.empty() ? "" : " ", flags.c_str());
    std::printf("faces:");
    static const char* langs[] = {"hangul", "latin", "hanja", "japanese", "other", "symbol", "user"};
    for (int lang = 0; lang < hwp::kLangCount; ++lang)
        std::printf(" %s %zu", langs[lang], document.faces[static_cast<std::size_t>(lang)].size());
    std::printf("\n");
    std::printf("bin data: %zu\n", document.binData.size());
    std::printf("border fills: %zu\n", document.borderFills.size());
    std::printf("char shapes: %zu\n", document.charShapes.size());
    std::printf("tab definitions: %zu\n", document.tabDefs.size());
    std::printf("numberings: %zu\n", document.numberings.size());
    std::printf("bullets: %zu\n", document.bullets.size());
    std::printf("para shapes: %zu\n", document.paraShapes.size());
    std::printf("styles: %zu\n", document.styles.size());
    std::printf("sections: %zu\n", document.sections.size());
    for (std::size_t i = 0; i < document.sections.size(); ++i) {
        const hwp::Section& section = document.sections[i];
        const hwp::PageDef& page = section.page;
        std::size_t objects = 0;
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            objects += paragraph.controls.size();
        std::printf("section %zu: %zu paragraphs, %zu objects, %u column%s\n", i, section.paragraphs.size(), objects,
                    section.columnCount, section.columnCount == 1 ? "" : "s");
        std::printf("  paper: %d x %d (%s x %s), %s\n", page.width, page.height, Millimetres(page.width).c_str(),
                    Millimetres(page.height).c_str(), page.landscape ? "landscape" : "portrait");
        std::printf("  margins: left %d, right %d, top %d, bottom %d, header %d, footer %d, gutter %d\n",
                    page.leftMargin, page.rightMargin, page.topMargin, page.bottomMargin, page.headerMargin,
                    page.footerMargin, page.gutterMargin);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
#ifdef VARNEL_HWP_PAGES
    if (const int status = RunPageCommand(argc, argv); status >= 0)
        return status;
#endif
    const std::string command = argv[1];
    try {
        if ((command == "text" || command == "info") && argc == 3) {
            const hwp::Document document = hwp::ReadDocument(argv[2]);
            if (command == "text")
                PrintText(document);
            else
                PrintInfo(document);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (command == "rewrite" && argc == 4) {
            hwp::WriteDocument(hwp::ReadDocument(argv[2]), argv[3]);
            return 0;
        }
    } catch (const hwp::HwpError& error) {
        std::fprintf(stderr, "varnel-hwp: %s\n", error.what());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "varnel-hwp: %s\n", error.what());
        return 1;
    }
    return Usage();
}
