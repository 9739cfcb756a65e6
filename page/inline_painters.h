// Painters of the objects that stand in a line like characters and print text of their
// own: ruby text over or under its base (HWPX's kept elements and HWP's ruby controls),
// characters composed into one, and form objects (buttons, check and radio boxes, combo
// and list boxes, edit fields). Any other kept element keeps the default box, a ruby
// control whose record is cut short its main text.
#pragma once

#include "document/kept_objects.h"
#include "hwpx/inline_objects.h"

#include <optional>

namespace editor {

// Registers them over the painters their ids had, which draw the rest: after the control
// painters, which RegisterObjectPainters calls first.
void RegisterInlinePainters();

// The ruby an HWP ruby control holds: its main and sub text, where the sub text goes and
// its size. Nullopt when the record is cut short.
std::optional<hwpx::Ruby> ReadRubyControl(const hwp::Control& control);

} // namespace editor
