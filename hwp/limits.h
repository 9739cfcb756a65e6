// What a document may ask of whoever lays it out and paints it. A damaged or hostile file
// can hold values no word processor writes (a paragraph spaced a kilometre apart, paper of
// minus two billion units, ten thousand tables in one paragraph); laying such a document
// out would take hours or overflow the text engine's fixed-point coordinates. The reader
// refuses them, naming the record, so that every later step works on a bounded document.
#pragma once

#include "hwp/document.h"

#include <cstddef>
#include <cstdint>

namespace hwp {

// The longest side of A0, the largest standard paper, and the shortest paper side taken.
constexpr HwpUnit kMaxPaperSide = 337'039;   // 1189 mm
constexpr HwpUnit kMinPaperSide = 2'835;     // 10 mm
// Paragraph margins, indent and spacing: at most a paper side either way.
constexpr HwpUnit kMaxParagraphLength = kMaxPaperSide;
constexpr std::int32_t kMaxLineSpacingPercent = 5000;
constexpr std::int32_t kMaxCharSize = 409'600;   // 4096 pt, in 1/100 pt
// An object (picture, table, shape) at most ten sheets of A0 on a side.
constexpr HwpUnit kMaxObjectSide = 10 * kMaxPaperSide;
constexpr std::size_t kMaxObjectsPerParagraph = 10'000;
// About two thousand A4 pages: what the whole document may come to, from an estimate of
// its paragraphs' lines and spacing and its objects' heights.
constexpr std::int64_t kMaxDocumentHeight = std::int64_t{2000} * 84188;

// Throws HwpError naming the first record past a limit above.
void CheckLimits(const Document& document);

}  // namespace hwp
