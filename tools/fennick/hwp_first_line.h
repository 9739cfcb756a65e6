// The first line of text of an HWP or HWPX document, for the picker's list.
#pragma once

#include <string>

namespace fennick {

// The first paragraph that is not blank, as people see it; empty when there is none or
// the file cannot be read (a damaged or protected document is shown without a line).
std::string ReadHwpFirstLine(const std::string& path);

} // namespace fennick
