// Half-size page images: a rendered page bitmap read and halved in one pass.
//
// A 600-dpi A4 page is about 4961 x 7016 pixels, 104 MB as a 24-bit BMP. Loading it
// whole and scaling it needs that much again and more (and Qt refuses images over its
// 128 MB allocation limit), so the usual bitmaps are read a few rows at a time and
// every 2 x 2 block of pixels is averaged straight into the half-size image. Bitmaps of
// other kinds go through Qt's reader and smooth scaling.
#pragma once

#include <QImage>

#include <string>

// The image of width / 2 by height / 2 (rounded down) of the bitmap at `path`, in
// QImage::Format_ARGB32, every pixel opaque; a null image when the file is missing, is
// not an image, or halves to nothing (a width or height of 1).
QImage LoadBitmapHalfSize(const std::string& path);

// Writes `image` as PNG (32-bit with alpha for an ARGB32 image) at `path`, replacing any
// file there. False when the file could not be written.
bool SavePng(const QImage& image, const std::string& path);
