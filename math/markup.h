// The parsed equation (script.h) written out for other programs: presentation MathML for
// QTI items and web pages, TeX for MathJax in learning platforms. Both walk the same tree
// the layout uses, so what a reader sees elsewhere is what the page shows here.
//
// Neither writer fails: a tree the parser made always gives well-formed output (every
// character that XML forbids is dropped, braces and environments always close).
#pragma once

#include <string>
#include <string_view>

#include "math/script.h"

namespace math {

// `<math xmlns="http://www.w3.org/1998/Math/MathML" alttext="…">…</math>` in UTF-8, with
// `alttext` holding the script as written.
std::string WriteMathML(const Node& tree, std::u16string_view script);
std::string ScriptToMathML(std::u16string_view script);

// TeX for MathJax (without the \( \) around it), UTF-8.
std::string WriteTeX(const Node& tree);
std::string ScriptToTeX(std::u16string_view script);

// `text` (UTF-8) with &, <, >, " escaped and the characters XML 1.0 forbids left out.
std::string XmlEscape(std::string_view text);

}  // namespace math
