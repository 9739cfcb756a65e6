#include "hwp/writer.h"

#include <cstdio>

#include "hwp/bin_data.h"
#include "hwp/bytes.h"
#include "hwp/container.h"
#include "hwp/docinfo.h"
#include "hwp/preview_text.h"
#include "hwp/records.h"
#include "hwp/section.h"
#include "support/files.h"

namespace hwp {
namespace {

const std::string kSummaryStream = "\005HwpSummaryInformation";

// Header bits that no longer hold for what we write: the writer neither encrypts nor signs.
constexpr std::uint32_t kHeaderNotWritten = kHeaderPassword | kHeaderDistribution | kHeaderDrm | kHeaderSignature |
                                            kHeaderCertificateEncrypted | kHeaderCertificateDrm;

std::string FileHeader(const Document& document)
{
    ByteWriter out;
    out.Raw(std::string_view("HWP Document File"));
    out.Zeros(32 - 17);
    out.U32(document.version.Number());
    out.U32(document.headerFlags & ~kHeaderNotWritten);
    out.Zeros(256 - out.Size());
    return out.Data();
}

// A property set holding the title (the first words of the text) as UTF-16 text, under
// the format's own FMTID, as the summary stream other software lists.
std::string SummaryInformation(const std::u16string& title)
{
    static const unsigned char fmtid[16] = {0x60, 0xB6, 0xA2, 0x9F, 0x61, 0x10, 0xD4, 0x11,
                                            0xB4, 0xC6, 0x00, 0x60, 0x97, 0xC0, 0x9D, 0x8C};
    const std::string_view id(reinterpret_cast<const char*>(fmtid), sizeof fmtid);
    ByteWriter property;
    property.U32(0x1F);   // VT_LPWSTR
    property.U32(static_cast<std::uint32_t>(title.size() + 1));
    property.Units(title);
    property.U16(0);
    while (property.Size() % 4)
        property.U8(0);
    ByteWriter codepage;
    codepage.U32(0x02);   // VT_I2
    codepage.U16(1200);   // UTF-16
    codepage.U16(0);

    ByteWriter section;
    const std::uint32_t headerSize = 8 + 2 * 8;
    section.U32(headerSize + static_cast<std::uint32_t>(codepage.Size() + property.Size()));
    section.U32(2);
    section.U32(1);   // PID_CODEPAGE
    section.U32(headerSize);
    section.U32(2);   // PIDSI_TITLE
    section.U32(headerSize + static_cast<std::uint32_t>(codepage.Size()));
    section.Raw(codepage.Data());
    section.Raw(property.Data());

    ByteWriter out;
    out.U16(0xFFFE);
    out.U16(0);
    out.U32(0x00020105);
    out.Raw(id);
    out.U32(1);
    out.Raw(id);
    out.U32(48);
    out.Raw(section.Data());
    return out.Data();
}

// The document's streams: those composed here in `owned`, its pictures' as views of its
// own bytes.
StreamViews ComposeStreams(const Document& document, const std::string& previewImage, StreamMap& owned)
{
    CheckDocument(document);
    if (document.charShapes.empty() || document.paraShapes.empty() || document.styles.empty())
        throw HwpError("invalid document: it needs at least one char shape, para shape and style");
    if (document.version.major != 5)
        throw HwpError("invalid document: only HWP 5.x documents can be written");
    // Kept streams are stored as the file stored them: the records go with them,
    // compressed when the file was.
    const bool compressed = document.headerFlags & kHeaderCompressed;
    const auto pack = [compressed](std::string records) { return compressed ? DeflateRaw(records) : records; };
    StreamMap& streams = owned;
    for (const auto& [path, data] : document.keptStreams) {
        if (!IsModelStream(path))
            streams[path] = data;
    }
    streams["FileHeader"] = FileHeader(document);
    streams["DocInfo"] = pack(WriteDocInfo(document));
    std::uint32_t fieldIds = 0x5B1FEA00;
    for (std::size_t i = 0; i < document.sections.size(); ++i)
        streams["BodyText/Section" + std::to_string(i)] = pack(WriteSection(document.sections[i], document, fieldIds));
    if (!streams.count(kSummaryStream))
        streams[kSummaryStream] = SummaryInformation(PreviewTitle(document));
    streams["PrvText"] = PreviewTextStream(document);
    if (!previewImage.empty())
        streams["PrvImage"] = previewImage;
    StreamViews views;
    WriteBinDataStreams(document, views);
    for (const auto& [path, data] : streams)
        views[path] = data;
    return views;
}

}  // namespace

std::string WriteDocumentToBytes(const Document& document, const std::string& previewImage)
{
    StreamMap owned;
    return WriteCompoundFile(ComposeStreams(document, previewImage, owned));
}

void WriteDocument(const Document& document, const std::string& path, const std::string& previewImage)
{
    StreamMap owned;
    StreamViews streams;
    try {
        streams = ComposeStreams(document, previewImage, owned);
    } catch (const HwpError& error) {
        throw HwpError(path + ": " + error.what());
    }
    // Straight into the file: a document's pictures are not copied into one more buffer.
    std::string failure;
    const bool written = ReplaceFileAtomically(path, [&](const std::string& temporary) {
        try {
            return WriteCompoundFileAt(streams, temporary);
        } catch (const HwpError& error) {
            failure = error.what();
            return false;
        }
    });
    if (!failure.empty())
        throw HwpError(path + ": " + failure);
    if (!written)
        throw HwpError(path + ": the document cannot be written there (missing folder, no permission or disk full)");
}

}  // namespace hwp
