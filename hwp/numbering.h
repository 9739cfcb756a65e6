// Paragraph heads as the DocInfo defines them: NUMBERING records (per level, the head
// text of numbered and outline paragraphs, e.g. u"^1." or u"(^5)", and the number shape
// that level counts in) and BULLET records (a bullet character, or a picture). The
// document keeps both as the records' bytes (Document::numberings, bullets); this is
// their parsed view, read and written side by side: WriteNumbering(ReadNumbering(r)) is r
// byte for byte, and so for bullets.
//
// Which paragraph has which head is its para shape's business (ParaShape::headKind,
// headLevel, numberingId; outline paragraphs take their section's numbering). Counting
// them across a document is the page's and the pane's (document/paragraph_heads.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "hwp/document.h"

namespace hwp {

// A head's char shape id that means "the paragraph's own char shape".
constexpr std::uint32_t kOwnCharShape = 0xFFFFFFFFu;

enum class HeadAlignment : std::uint8_t { Left = 0, Center = 1, Right = 2 };

// The twelve bytes each numbering level and each bullet starts with.
struct ParaHeadInfo {
    // Bits 0..1 alignment in its width, 2 width of the head's own text, 3 auto indent
    // (the paragraph's later lines line up with the text after the head), 4 text offset
    // as a length (else % of the char size), 5..9 number shape (hwp/auto_number.h).
    std::uint32_t properties = 0x0C;
    std::int16_t widthAdjust = 0;   // HwpUnit added to the head's width
    std::int16_t textOffset = 50;   // room between head and text: % or HwpUnit, by bit 4
    std::uint32_t charShapeId = kOwnCharShape;

    bool operator==(const ParaHeadInfo&) const = default;

    HeadAlignment Alignment() const;
    bool AutoIndent() const { return (properties & 0x08) != 0; }
    bool OffsetIsLength() const { return (properties & 0x10) != 0; }
    std::uint8_t NumberShape() const { return static_cast<std::uint8_t>((properties >> 5) & 0x1F); }
};

constexpr std::size_t kNumberingLevels = 7;

struct NumberingLevel {
    ParaHeadInfo head;
    // What the head prints: ^1..^7 stand for the numbers of levels 1..7, each in its own
    // level's number shape; ^n for the numbers of levels 1 to this one joined by '.', ^N
    // the same with a '.' after it. Empty: no head at this level.
    std::u16string format;

    bool operator==(const NumberingLevel&) const = default;
};

struct Numbering {
    std::array<NumberingLevel, kNumberingLevels> levels{};
    std::uint16_t start = 1;                  // the first number of level 1
    std::vector<std::uint32_t> levelStarts;   // from 5.0.2.5 on, one per level; else empty
    Bytes rest;                               // what follows (newer files' levels 8..10), as read

    bool operator==(const Numbering&) const = default;

    // The number level `level` (0-based) counts from; at least 1.
    std::uint32_t StartOf(std::size_t level) const;
};

// Throws HwpError when the record is too short for its seven levels and start number.
Numbering ReadNumbering(const RawRecord& record);
RawRecord WriteNumbering(const Numbering& numbering);

// The head of a paragraph at `level` (0-based): that level's format with its
// placeholders filled from `counts`, the current number of every level.
std::u16string NumberingText(const Numbering& numbering, std::size_t level,
                             const std::array<std::uint32_t, kNumberingLevels>& counts);

// What newer files add to a bullet: a picture in place of the character.
struct BulletPicture {
    std::int32_t binItemId = 0;               // 1-based into Document::binData; 0 none
    std::array<std::uint8_t, 4> info{};       // brightness, contrast, effect and one more, as read
    char16_t checkCharacter = 0;              // a check bullet's checked character

    bool operator==(const BulletPicture&) const = default;
};

struct Bullet {
    ParaHeadInfo head;
    char16_t character = 0x25CF;
    bool hasPicture = false;   // the file holds the picture fields (whether used or not)
    BulletPicture picture;
    Bytes rest;                // as read

    bool operator==(const Bullet&) const = default;
};

// Throws HwpError when the record is too short for its head and character.
Bullet ReadBullet(const RawRecord& record);
RawRecord WriteBullet(const Bullet& bullet);

// What a character bullet prints. Files name symbol-font bullets in the private use area
// (U+F000 + the symbol font's code); those become the Unicode characters they show.
char16_t PrintedBulletCharacter(char16_t character);

}  // namespace hwp
