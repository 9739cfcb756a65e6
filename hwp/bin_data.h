// DocInfo BIN_DATA records and the BinData/ streams they name (see bin_data.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hwp/container.h"
#include "hwp/document.h"

namespace hwp {

// Kind of a bin-data item (property bits 0..3) and its compression (bits 4..5).
enum class BinDataKind : std::uint8_t { Link = 0, Embedding = 1, Storage = 2 };

BinDataKind KindOf(const BinDataItem& item);
// The id its stream name carries; 0 for a link or a record too short to say.
std::uint16_t StreamIdOf(const BinDataItem& item);
// The item with its stream id (and the stream's name) changed to `id`.
BinDataItem WithStreamId(BinDataItem item, std::uint16_t id);

// Reads one BIN_DATA record and finds its stream among `streams` ("BinData/BIN0001.jpg").
// `compressedDocument` is the file header's flag: an item that follows it is marked with
// what it followed, so the stream stays readable whatever the next writer's flag.
// The BinData/ streams of a file read, moved out of its stream map (whose entries are left
// empty) to be shared by the items that name them.
using BinDataStreams = DeferredStreams;
BinDataStreams TakeBinDataStreams(StreamMap& streams);

BinDataItem ReadBinData(std::string_view record, const BinDataStreams& streams, bool compressedDocument);
std::string WriteBinDataRecord(const BinDataItem& item);

// The BinData/ streams no record named, to keep them as read.
std::vector<std::pair<std::string, Bytes>> UnlistedBinData(const Document& document, const BinDataStreams& streams);

// Adds the document's BinData/ streams to `streams`; the views are of the document's bytes.
void WriteBinDataStreams(const Document& document, StreamViews& streams);

}  // namespace hwp
