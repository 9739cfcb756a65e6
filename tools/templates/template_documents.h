// The blank documents the panes start from, built in code so no binary is kept.
//
// Every template carries the same nine styles, numbered as the level styling runs them:
// 1 normal; 2 to 5 the elementary passage and question, passage field, options, answer
// and explanation; 6 to 9 the same for middle and high school.
#pragma once

#include "hwp/document.h"

#include <string>
#include <vector>

namespace templates {

// The file names of all templates, e.g. "sf_exam_format.hwp".
std::vector<std::string> TemplateFileNames();

// The document for one of those names; an unknown name gives an empty normal document.
hwp::Document MakeTemplateDocument(const std::string& fileName);

// A new document with the nine styles and one empty paragraph in style `styleNumber`
// (1-based).
hwp::Document MakeStyledDocument(int styleNumber);

} // namespace templates
