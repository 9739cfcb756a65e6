// The documents whose cost should grow with what a page holds: N pages of Korean prose,
// one table of N rows and five columns, N photographs of about 2 MB one to a page.
#pragma once

#include <QByteArray>

#include <string>

namespace bench_documents {

enum class Kind { TextPages, TableRows, Pictures };

// "text", "table", "pictures"; false for another word.
bool KindFromName(const std::string& name, Kind& kind);

// Writes the document of `kind` with `count` pages, rows or pictures to `path` as HWP.
// Needs a QGuiApplication (the pictures are encoded, the text is laid out by the pane's
// document). False, with `error` set, when it cannot be written.
bool WriteDocument(Kind kind, int count, const std::string& path, std::string& error);

// A photograph-like JPEG of 2400 x 1600 pixels (smooth shades under a fine grain) of about
// 2 MB; each seed gives another image, so none shares a decode.
QByteArray Photograph(quint32 seed);

}  // namespace bench_documents
