// What writing a file back must keep of the one read: every stream and storage, the
// streams not renewed from the content byte for byte, the DocInfo records tag by tag.
// Shared by the rewrite and the pane tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "hwp/container.h"
#include "hwp/document.h"
#include "hwp/records.h"

namespace hwp_testing {

// What a writer composes anew: the header, the record streams and the previews.
inline bool IsRenewedStream(const std::string& path)
{
    return path == "FileHeader" || path == "DocInfo" || path.rfind("BodyText/", 0) == 0 || path == "PrvText" ||
           path == "PrvImage";
}

inline std::map<std::uint16_t, std::size_t> DocInfoTagCounts(const hwp::StreamMap& streams)
{
    const std::string& header = streams.at("FileHeader");
    const bool compressed = header.size() > 36 && (static_cast<unsigned char>(header[36]) & hwp::kHeaderCompressed);
    const std::string& docInfo = streams.at("DocInfo");
    const std::string records = compressed ? hwp::InflateRaw(docInfo, "DocInfo") : docInfo;
    std::map<std::uint16_t, std::size_t> counts;
    for (const hwp::Record& record : hwp::ParseRecords(records, "DocInfo"))
        ++counts[record.tag];
    return counts;
}

// Every loss found, in words, between two files' bytes; empty when `written` keeps what
// `original` held. With
// `sameCounts` false a tag may have more records than before (a pane adds the shapes of
// what was typed), never fewer.
inline std::vector<std::string> StreamLosses(const std::string& originalBytes, const std::string& writtenBytes,
                                             bool sameCounts = true)
{
    const hwp::StreamMap original = hwp::ReadCompoundFile(originalBytes, 64u << 20);
    const hwp::StreamMap written = hwp::ReadCompoundFile(writtenBytes, 64u << 20);
    std::vector<std::string> losses;
    for (const auto& [path, data] : original) {
        const auto found = written.find(path);
        if (found == written.end())
            losses.push_back("no " + path);
        else if (!IsRenewedStream(path) && found->second != data)
            losses.push_back(path + " changed");
    }
    const auto before = DocInfoTagCounts(original);
    const auto after = DocInfoTagCounts(written);
    for (const auto& [tag, count] : before) {
        const auto found = after.find(tag);
        const std::size_t now = found == after.end() ? 0 : found->second;
        if (sameCounts ? now != count : now < count)
            losses.push_back("DocInfo tag " + std::to_string(tag) + ": " + std::to_string(count) + " records, now " +
                             std::to_string(now));
    }
    return losses;
}

}  // namespace hwp_testing
