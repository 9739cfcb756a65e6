// Bookmarks ('bokm'): a named place in the text that prints nothing. The control's header
// holds only its id; the name is the text item 0x4000 of the parameter set in its
// CTRL_DATA record, as a field's name is.
#pragma once

#include <optional>
#include <string>

#include "hwp/document.h"
#include "hwp/records.h"

namespace hwp {

constexpr std::uint32_t kBookmarkCtrlId = CtrlId('b', 'o', 'k', 'm');
// The character a bookmark takes in the text, an extended control's.
constexpr char16_t kBookmarkCode = 22;

// The bookmark's name (empty when its data names none or cannot be read); nothing for
// another control.
std::optional<std::u16string> ReadBookmark(const Control& control);

// A bookmark control of that name, at text index 0 until placed.
Control WriteBookmark(const std::u16string& name);

}  // namespace hwp
