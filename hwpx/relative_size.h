// Object sizes an HWPX file gives as a share of a length of the page (an <hp:sz> whose
// widthRelTo or heightRelTo is PAPER, PAGE, COLUMN or PARA): the value is then hundredths
// of a percent of the paper, the page's body, the column or the paragraph. The section
// reader turns them into lengths, which the model holds (as absolute sizes, the one
// reading every HWP reader agrees on); the section writer turns them back into the
// file's shares. Called by section_reader.cpp and section_writer.cpp only.
#pragma once

#include <cstdint>
#include <optional>

#include "hwp/document.h"
#include "hwpx/xml.h"

namespace hwpx {

// What a size may be a share of, in HwpUnit, for the section and paragraph an object
// stands in. Widths: 0 paper, 1 page, 2 column, 3 paragraph (4 absolute); heights:
// 0 paper, 1 page (2 absolute), as the model numbers its bases.
struct SizeBases {
    hwp::HwpUnit paperWidth = 0;
    hwp::HwpUnit paperHeight = 0;
    hwp::HwpUnit pageWidth = 0;
    hwp::HwpUnit pageHeight = 0;
    hwp::HwpUnit columnWidth = 0;
    hwp::HwpUnit paragraphWidth = 0;

    // 0 for the absolute basis and for codes out of range.
    hwp::HwpUnit Width(std::uint8_t basis) const;
    hwp::HwpUnit Height(std::uint8_t basis) const;
};

// The section's paper, body and first column (columns of equal width, as they are laid
// out); the paragraph as wide as the column.
SizeBases SectionBases(const hwp::Section& section);
// The paragraph's width: the column less the paragraph's left and right margins, the
// column when the shape is unknown or leaves no room.
SizeBases ParagraphBases(SizeBases bases, const hwp::Document& document, std::uint16_t paraShapeId);

// The length `share` (hundredths of a percent) of `base` stands for; nullopt for a
// negative share, one over 1000 %, or a base that is no length: the value is then taken
// as a length, as it would be without a basis.
std::optional<hwp::HwpUnit> LengthOfShare(long long share, hwp::HwpUnit base);
// The share of `base` that `length` is; nullopt when it is out of that range.
std::optional<long long> ShareOfLength(hwp::HwpUnit length, hwp::HwpUnit base);

// An <hp:sz> as the model gives it (`ours`, lengths of absolute bases) made relative again
// where the element read (`kept`) was: the file's own values where they still stand for
// the model's lengths, so an unchanged object writes back as read; a new share of the same
// basis where the object was resized or the page changed.
void RestoreRelativeSize(XmlNode& ours, const XmlNode& kept, const SizeBases& bases);

}  // namespace hwpx
