// PNG reading and writing for the cropper: a save crops six page images of 2480 x 3508
// pixels or more. The editor's own kind of file (8-bit RGB or RGBA, not interlaced) is
// inflated in one call by libdeflate and unfiltered here, about a tenth of what libspng's
// row-by-row decoding costs; every other kind goes through libspng. Crops are written
// with libdeflate, which on page rows is faster than zlib's fastest level and smaller.
#pragma once

#include <QImage>

#include <cstddef>
#include <string>

namespace tolvard {

// Images above this many pixels are refused: far beyond a 600-dpi A3 page, small enough
// that a damaged header cannot claim gigabytes.
inline constexpr long long kMaxPixels = 80'000'000;

// Any PNG (every colour type and bit depth, transparency chunks honoured) as RGBA8888
// pixels with the file's resolution; a null image when the file is missing, not a PNG,
// damaged or too large.
QImage ReadPng(const std::string& path);
// The same for a PNG file's bytes in memory.
QImage DecodePng(const unsigned char* data, std::size_t size);

// Writes an RGBA8888 or ARGB32 image as a 32-bit RGBA PNG with its resolution, quickly
// (unfiltered rows, libdeflate level 2). False when the image is null or the file cannot be written.
bool WritePngFile(const QImage& image, const std::string& path);

} // namespace tolvard
