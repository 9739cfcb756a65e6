// hwp::Equation: the equation control ('eqed') as the editor and the typesetter need it.
//
// In the file an equation is a kept control (hwp::Control) whose CTRL_HEADER carries the
// common object properties (placement, the size the file records) and whose EQEDIT
// record, one level below, carries the script and how it is drawn. ReadEquation takes
// those fields out of the records; WriteEquation puts them back into the same records,
// leaving every byte it does not interpret (wrapping, margins, z-order, caption, the
// rest of the properties, anything after the known EQEDIT fields) as it was.
//
//   if (hwp::IsEquation(control)) {
//       hwp::Equation eq = hwp::ReadEquation(control);   // eq.script == u"{x+1} over 2"
//       eq.script = u"sqrt {x}";
//       hwp::SetEquationBox(eq, width, ascent, descent); // what the typesetter measured
//       hwp::WriteEquation(eq, control);
//   }
//   hwp::Control fresh = hwp::NewEquationControl(eq);   // for an equation typed anew
#pragma once

#include <cstdint>
#include <string>

#include "hwp/document.h"

namespace hwp {

struct Equation {
    std::u16string script;
    std::int32_t baseSize = 1000;       // the size of its letters, 1/100 pt (1000 = 10 pt)
    ColorRef color = 0x00000000;
    // Where the baseline lies, as the file records it: a share of the box's height from
    // its top, in percent (the typesetter's ascent / height).
    std::int16_t baseline = 86;
    std::u16string versionText = u"Equation Version 60";
    std::u16string fontName = u"Latin Modern Math";
    std::uint32_t properties = 0;       // EQEDIT property bits; bit 0 set: takes a whole line

    // From the common object properties of its CTRL_HEADER.
    bool inlineAsChar = true;           // laid out as a character of its line
    HwpUnit width = 0;                  // the size the file records
    HwpUnit height = 0;
    HwpUnit verticalOffset = 0;
    HwpUnit horizontalOffset = 0;

    bool operator==(const Equation&) const = default;
};

// An 'eqed' control with its EQEDIT record.
bool IsEquation(const Control& control);

// Throws HwpError when the control is not an equation or its records are cut short.
Equation ReadEquation(const Control& control);

// Rewrites the interpreted fields in the control's records (adding an EQEDIT record when
// it has none). Throws HwpError for a control that is not an equation, or a script too
// long for the record (over 65535 UTF-16 units).
void WriteEquation(const Equation& equation, Control& control);

// A new inline equation control, as the editor inserts one.
Control NewEquationControl(const Equation& equation);

// Sets the recorded size and baseline from a typeset box: width, and the height above
// and below the baseline, in HwpUnit.
void SetEquationBox(Equation& equation, HwpUnit width, HwpUnit ascent, HwpUnit descent);

}  // namespace hwp
