// The OLE2 compound file around the streams, through libgsf.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace hwp {

// Streams by path ("FileHeader", "BodyText/Section0", "\005HwpSummaryInformation").
using StreamMap = std::map<std::string, std::string>;

// Reads the streams under the root and under the storages named in `storages` (one
// level deep), each at most `limit` bytes. Throws HwpError when the bytes are not a
// compound file.
StreamMap ReadCompoundFile(std::string_view file, const std::vector<std::string>& storages, std::size_t limit);

// Writes the streams (paths with at most one '/') as a compound file.
std::string WriteCompoundFile(const StreamMap& streams);

}  // namespace hwp
