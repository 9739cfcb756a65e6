// varnel-hwp text and info: what a document holds, as the text the commands print.
#pragma once

#include <string>

#include "hwp/document.h"

// The paragraphs, one a line, each followed by the text inside its objects (table cells,
// text boxes, notes, ...), a line per paragraph there.
std::string DocumentText(const hwp::Document& document);
// Version, flags, table sizes and the page definition of each section.
std::string DocumentInfo(const hwp::Document& document);
