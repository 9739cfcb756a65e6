// PNG reading and writing for the cropper, through libspng: a save crops six or more
// page images of up to 4960 x 7016 pixels, and Qt's PNG codec spends about 300 ms on
// each one's decode and encode.
#pragma once

#include <QImage>

#include <string>

namespace tolvard {

// Images above this many pixels are refused: far beyond a 600-dpi A3 page, small enough
// that a damaged header cannot claim gigabytes.
inline constexpr long long kMaxPixels = 80'000'000;

// Any PNG (every colour type and bit depth, transparency chunks honoured) as RGBA8888
// pixels with the file's resolution; a null image when the file is missing, not a PNG,
// damaged or too large.
QImage ReadPng(const std::string& path);

// Writes an RGBA8888 or ARGB32 image as a 32-bit RGBA PNG with its resolution, quickly
// (Up filter, fastest deflate). False when the image is null or the file cannot be written.
bool WritePngFile(const QImage& image, const std::string& path);

} // namespace tolvard
