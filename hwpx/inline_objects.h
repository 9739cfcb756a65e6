// What prints of the inline objects an HWPX document holds that the model keeps as XML
// (hwp/kept_xml.h): ruby text over or under its base (덧말), characters composed into one
// (글자 겹침), and form objects (buttons, check and radio boxes, combo and list boxes, edit
// fields). The XML stays as read and goes back so; this reads it for painting only.
#pragma once

#include "hwp/document.h"

#include <optional>
#include <string_view>

#include <QString>

namespace hwpx {

struct Ruby {
    QString base;
    QString ruby;
    bool below = false;   // under the base rather than over it
    int sizePercent = 50; // of the base's size
};

// The shape drawn around composed characters.
enum class ComposeFrame { None, Circle, Square, Triangle, ReversedTriangle, Diamond };

struct Composed {
    QString chars;
    ComposeFrame frame = ComposeFrame::None;
    bool overlap = true;  // on one another; else side by side in one character's room
    int sizeStep = 0;     // the characters' size, steps of 10 % from the text's
};

enum class FormKind { Button, CheckBox, RadioButton, ComboBox, ListBox, Edit };

struct FormObject {
    FormKind kind = FormKind::Button;
    QString text;         // caption, or the edit field's or combo box's text
    bool checked = false;
    hwp::ColorRef foreground = 0;
    hwp::ColorRef background = 0xFFFFFF;
    hwp::HwpUnit width = 0;
    hwp::HwpUnit height = 0;
    bool asChar = true;
    bool frame = true;
    bool printable = true;
};

struct InlineObject {
    std::optional<Ruby> ruby;
    std::optional<Composed> composed;
    std::optional<FormObject> form;
};

// The object `xml` (one kept element) describes, or nullopt for any other element or XML
// that does not parse.
std::optional<InlineObject> ReadInlineObject(std::string_view xml);

}  // namespace hwpx
