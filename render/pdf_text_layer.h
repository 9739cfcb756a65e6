// The text layer of the PDFs Qt writes, made fit for text extraction.
//
// Qt's PDF writer gives each embedded font a map from its glyphs back to text, and takes
// for every glyph the lowest code point the font maps to it. Fonts that map the control
// characters to their space glyph (NanumGothic maps U+0001..U+001F so) make every space of
// that font read as U+0001: text extraction hands out control characters.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Rewrites, in `pdf` as Qt's writer made it, every glyph-to-text map entry that gives a
// control character, a line or paragraph separator or an object replacement character to
// give a space, and the cross-reference table to match. Leaves `pdf` alone and returns
// false when it is not laid out as that writer lays it out (classic cross-reference table,
// maps as plain streams).
bool CleanPdfTextLayer(std::string& pdf);

// The same without a second copy of `pdf` in memory: the cleaned PDF (or `pdf` itself
// when nothing needs cleaning) goes out through `write` a piece at a time. False, with
// nothing written, when `pdf` is not laid out as the writer lays it out.
bool WriteCleanPdf(std::string_view pdf, const std::function<void(std::string_view)>& write);
