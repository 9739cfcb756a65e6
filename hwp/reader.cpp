#include "hwp/reader.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "hwp/bin_data.h"
#include "hwp/bytes.h"
#include "hwp/container.h"
#include "hwp/docinfo.h"
#include "hwp/limits.h"
#include "hwp/preview_text.h"
#include "hwp/records.h"
#include "hwp/section.h"

namespace hwp {
namespace {

constexpr std::size_t kStreamLimit = 64u << 20;
// What all record streams together may unpack to: far more than any document needs,
// little enough that a small file cannot claim the machine's memory.
constexpr std::size_t kUnpackedBudget = 256u << 20;
// Far more than any document needs, few enough that a damaged count cannot run away.
constexpr std::size_t kMaxSections = 4096;

std::string StreamText(const StreamMap& streams, const std::string& name, bool compressed, std::size_t& budget)
{
    const auto found = streams.find(name);
    if (found == streams.end())
        throw HwpError("not a complete HWP 5.0 document: the stream " + name + " is missing");
    std::string text = compressed ? InflateRaw(found->second, name.c_str(), std::min(kStreamLimit, budget)) : found->second;
    if (text.size() > budget)
        throw HwpError("damaged document: its streams unpack to more than " + std::to_string(kUnpackedBudget >> 20) + " MB");
    budget -= text.size();
    return text;
}

Document ReadDocumentFromStreams(StreamMap streams, BinDataStreams binData = {})
{
    const auto header = streams.find("FileHeader");
    if (header == streams.end())
        throw HwpError("not an HWP 5.0 document: the FileHeader stream is missing");
    if (header->second.size() < 40 || header->second.compare(0, 17, "HWP Document File") != 0)
        throw HwpError("not an HWP 5.0 document: the file header has no HWP signature");

    Document document;
    ByteReader in(header->second, "FileHeader");
    in.Skip(32);
    const std::uint32_t version = in.U32();
    document.version = Version{static_cast<std::uint8_t>(version >> 24), static_cast<std::uint8_t>(version >> 16),
                               static_cast<std::uint8_t>(version >> 8), static_cast<std::uint8_t>(version)};
    document.headerFlags = in.U32();
    if (document.version.major != 5)
        throw HwpError("unsupported HWP version " + std::to_string(document.version.major) + "." +
                       std::to_string(document.version.minor) + ": only 5.x documents can be read");
    if (document.headerFlags & kHeaderPassword)
        throw HwpError("the document is protected by a password; it cannot be opened");
    if (document.headerFlags & kHeaderDistribution)
        throw HwpError("the document is a distribution document, whose content is encrypted; it cannot be opened");
    if (document.headerFlags & (kHeaderDrm | kHeaderCertificateEncrypted | kHeaderCertificateDrm))
        throw HwpError("the document is protected by DRM or a certificate; it cannot be opened");
    const bool compressed = document.headerFlags & kHeaderCompressed;

    std::size_t budget = kUnpackedBudget;
    binData.merge(TakeBinDataStreams(streams));
    const std::size_t declared = ReadDocInfo(StreamText(streams, "DocInfo", compressed, budget), document, binData);
    document.unlistedBinData = UnlistedBinData(document, binData);
    for (const auto& [path, data] : streams) {
        if (!IsModelStream(path) && !(path == "\005HwpSummaryInformation" && IsTitleOnlySummary(data)))
            document.keptStreams.emplace(path, data);
    }
    std::size_t count = 0;
    while (count < kMaxSections && streams.count("BodyText/Section" + std::to_string(count)))
        ++count;
    if (count == 0)
        throw HwpError("not a complete HWP 5.0 document: the stream BodyText/Section0 is missing");
    if (declared != 0 && declared < count)
        count = declared;   // streams past the announced count are not part of the text
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = "BodyText/Section" + std::to_string(i);
        document.sections.push_back(ReadSection(StreamText(streams, name, compressed, budget), i, document));
    }
    // Ids that point nowhere would only fail later, in whoever uses the document.
    CheckDocument(document);
    CheckLimits(document);
    return document;
}

}  // namespace

Document ReadDocumentFromBytes(std::string_view bytes)
{
    return ReadDocumentFromStreams(ReadCompoundFile(bytes, kStreamLimit));
}

Document ReadDocument(const std::string& path)
{
    try {
        BinDataStreams binData;
        StreamMap streams = ReadCompoundFileAt(path, kStreamLimit, binData);
        return ReadDocumentFromStreams(std::move(streams), std::move(binData));
    } catch (const HwpError& error) {
        throw HwpError(path + ": " + error.what());
    }
}

}  // namespace hwp
