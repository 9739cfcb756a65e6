// The OLE2 compound file around the streams, through libgsf.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "hwp/document.h"

namespace hwp {

// Streams by path ("FileHeader", "BodyText/Section0", "\005HwpSummaryInformation",
// "DocHistory/VersionLog0"). A path ending in '/' with no data is a storage that holds
// nothing, so an empty storage survives a read and a write.
using StreamMap = std::map<std::string, std::string>;

// Reads every stream of every storage at any depth, each at most `limit` bytes. Throws
// HwpError when the bytes are not a compound file.
StreamMap ReadCompoundFile(std::string_view file, std::size_t limit);
// The same from the file at `path`, read a stream at a time (the whole file is never in
// memory at once). The BinData/ streams go to `deferred` unread: the file stays open
// (while any of them is held) and each is read when first wanted.
using DeferredStreams = std::map<std::string, SharedBytes>;
StreamMap ReadCompoundFileAt(const std::string& path, std::size_t limit, DeferredStreams& deferred);

// Streams the model reads or the writer composes: FileHeader, DocInfo, BodyText/...,
// BinData/..., PrvText and PrvImage. The document keeps every other one as read.
bool IsModelStream(const std::string& path);

// Writes the streams as a compound file, with the storages their paths name.
std::string WriteCompoundFile(const StreamMap& streams);
// Streams by path whose bytes lie elsewhere (a document's pictures), written without a copy.
using StreamViews = std::map<std::string, std::string_view>;
std::string WriteCompoundFile(const StreamViews& streams);
// Writes them as a compound file straight into the file at `path`: false when the file
// cannot be written; throws HwpError as above.
bool WriteCompoundFileAt(const StreamViews& streams, const std::string& path);

}  // namespace hwp
