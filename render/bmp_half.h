// Half-size page images: a rendered page bitmap read and halved in one pass.
//
// A 600-dpi A4 page is about 4961 x 7016 pixels, 104 MB as a 24-bit BMP. Loading it
// whole and scaling it needs that much again and more (and Qt refuses images over its
// 128 MB allocation limit), so the usual bitmaps are read a few rows at a time and
// every 2 x 2 block of pixels is averaged straight into the rows of the half-size image,
// which go to the PNG writer as they come. Bitmaps of other kinds go through Qt's reader
// and smooth scaling.
#pragma once

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>

// Receives the size of the half-size image once (false stops the reading), then each
// row of it, top row first, in QImage::Format_ARGB32 with every pixel opaque.
struct HalfRowSink {
    std::function<bool(int width, int height)> begin;
    std::function<void(const std::uint32_t* row)> row;
};

// One row of the half-size image from two rows of a bitmap: 24-bit B, G, R or 32-bit
// B, G, R, x pixels (QImage::Format_RGB32 in memory), each 2 x 2 block averaged.
void HalveRowPair(const unsigned char* top, const unsigned char* bottom, int bytesPerPixel, int outWidth,
                  std::uint32_t* out);

// False when the file is missing, is not an image, halves to nothing (a width or height
// of 1), could not be read to its end, or the sink refused it.
bool HalveBitmap(const std::string& path, const HalfRowSink& sink);

// The half-size image whole: width / 2 by height / 2, rounded down; null when HalveBitmap fails.
QImage LoadBitmapHalfSize(const std::string& path);

// The bitmap at `bitmapPath` as a half-size PNG at `pngPath` (8-bit RGBA), written
// as it is read. False, and no PNG, when either side failed.
bool HalveBitmapToPng(const std::string& bitmapPath, const std::string& pngPath);

// Writes an ARGB32 image as PNG with the same writer. False when it could not be written.
bool SavePng(const QImage& image, const std::string& path);
