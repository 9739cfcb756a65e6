#include "hwp/numbering.h"

#include <algorithm>
#include <utility>

#include "hwp/auto_number.h"
#include "hwp/bytes.h"

namespace hwp {
namespace {

ParaHeadInfo ReadHeadInfo(ByteReader& in)
{
    ParaHeadInfo head;
    head.properties = in.U32();
    head.widthAdjust = in.I16();
    head.textOffset = in.I16();
    head.charShapeId = in.U32();
    return head;
}

void WriteHeadInfo(ByteWriter& out, const ParaHeadInfo& head)
{
    out.U32(head.properties);
    out.I16(head.widthAdjust);
    out.I16(head.textOffset);
    out.U32(head.charShapeId);
}

Bytes Rest(ByteReader& in)
{
    return ToBytes(in.Take(in.Remaining()));
}

RawRecord ToRecord(ByteWriter& out)
{
    return RawRecord{ToBytes(out.Data())};
}

}  // namespace

HeadAlignment ParaHeadInfo::Alignment() const
{
    const std::uint32_t alignment = properties & 3;
    return alignment <= 2 ? static_cast<HeadAlignment>(alignment) : HeadAlignment::Left;
}

std::uint32_t Numbering::StartOf(std::size_t level) const
{
    std::uint32_t first = 1;
    if (level < levelStarts.size())
        first = levelStarts[level];
    else if (level == 0)
        first = start;
    return std::max<std::uint32_t>(first, 1);
}

Numbering ReadNumbering(const RawRecord& record)
{
    ByteReader in(View(record.data), "numbering record");
    Numbering numbering;
    for (NumberingLevel& level : numbering.levels) {
        level.head = ReadHeadInfo(in);
        level.format = in.Text16();
    }
    numbering.start = in.U16();
    if (in.Remaining() >= 4 * kNumberingLevels) {
        for (std::size_t i = 0; i < kNumberingLevels; ++i)
            numbering.levelStarts.push_back(in.U32());
    }
    numbering.rest = Rest(in);
    return numbering;
}

RawRecord WriteNumbering(const Numbering& numbering)
{
    ByteWriter out;
    for (const NumberingLevel& level : numbering.levels) {
        WriteHeadInfo(out, level.head);
        out.Text16(level.format);
    }
    out.U16(numbering.start);
    // Seven or none: a reader takes them by the room left.
    if (numbering.levelStarts.size() == kNumberingLevels) {
        for (std::uint32_t first : numbering.levelStarts)
            out.U32(first);
    }
    out.Raw(numbering.rest);
    return ToRecord(out);
}

std::u16string NumberingText(const Numbering& numbering, std::size_t level,
                             const std::array<std::uint32_t, kNumberingLevels>& counts)
{
    if (level >= kNumberingLevels)
        return {};
    const auto number = [&](std::size_t of) {
        return FormatNumber(counts[of], numbering.levels[of].head.NumberShape());
    };
    const std::u16string& format = numbering.levels[level].format;
    std::u16string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char16_t c = format[i];
        const char16_t next = i + 1 < format.size() ? format[i + 1] : u'\0';
        if (c == u'^' && next >= u'1' && next < u'1' + kNumberingLevels) {
            out += number(static_cast<std::size_t>(next - u'1'));
            ++i;
        } else if (c == u'^' && (next == u'n' || next == u'N')) {
            for (std::size_t of = 0; of <= level; ++of)
                out += (of == 0 ? u"" : u".") + number(of);
            if (next == u'N')
                out += u'.';
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

Bullet ReadBullet(const RawRecord& record)
{
    ByteReader in(View(record.data), "bullet record");
    Bullet bullet;
    bullet.head = ReadHeadInfo(in);
    bullet.character = static_cast<char16_t>(in.U16());
    // Picture id, brightness, contrast, effect, one more byte and the check character.
    if (in.Remaining() >= 10) {
        bullet.hasPicture = true;
        bullet.picture.binItemId = in.I32();
        for (std::uint8_t& byte : bullet.picture.info)
            byte = in.U8();
        bullet.picture.checkCharacter = static_cast<char16_t>(in.U16());
    }
    bullet.rest = Rest(in);
    return bullet;
}

RawRecord WriteBullet(const Bullet& bullet)
{
    ByteWriter out;
    WriteHeadInfo(out, bullet.head);
    out.U16(bullet.character);
    if (bullet.hasPicture) {
        out.I32(bullet.picture.binItemId);
        for (std::uint8_t byte : bullet.picture.info)
            out.U8(byte);
        out.U16(bullet.picture.checkCharacter);
    }
    out.Raw(bullet.rest);
    return ToRecord(out);
}

char16_t PrintedBulletCharacter(char16_t character)
{
    if (character < 0xF000 || character > 0xF0FF)
        return character;
    // The symbol font's codes that bullets use, and what they show.
    static constexpr std::pair<char16_t, char16_t> kSymbols[] = {
        {0x6C, u'●'}, {0x6D, u'❍'}, {0x6E, u'■'}, {0x6F, u'□'}, {0x71, u'❑'}, {0x72, u'❒'},
        {0x73, u'⬧'}, {0x74, u'⧫'}, {0x75, u'◆'}, {0x76, u'❖'}, {0x77, u'⬥'}, {0x9E, u'·'},
        {0x9F, u'•'}, {0xA0, u'▪'}, {0xA1, u'○'}, {0xA4, u'◉'}, {0xA5, u'◎'}, {0xA7, u'▪'},
        {0xA8, u'◻'}, {0xAB, u'★'}, {0xB7, u'•'}, {0xD8, u'➢'}, {0xE8, u'➔'}, {0xF0, u'⇨'},
        {0xFB, u'✗'}, {0xFC, u'✓'}, {0xFD, u'☒'}, {0xFE, u'☑'},
    };
    const char16_t code = character - 0xF000;
    for (const auto& [symbol, shown] : kSymbols) {
        if (symbol == code)
            return shown;
    }
    return u'•';
}

}  // namespace hwp
