// Numberings and bullets: the head text a level prints for its numbers, what symbol-font
// bullets print, records (and the samples' heads) read and written back byte for byte,
// and a numbering carried into another document with the char shape its heads print in.
#include <gtest/gtest.h>

#include <filesystem>

#include "hwp/auto_number.h"
#include "hwp/bytes.h"
#include "hwp/numbering.h"
#include "hwp/objects.h"
#include "hwp/reader.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "support/text.h"

namespace {

using hwp::number_shape::kCircledDigits;
using hwp::number_shape::kCircledHangul;
using hwp::number_shape::kDigits;
using hwp::number_shape::kHangul;
using hwp::number_shape::kHangulWords;
using hwp::number_shape::kJamo;
using hwp::number_shape::kLowerLatin;
using hwp::number_shape::kLowerRoman;
using hwp::number_shape::kUpperLatin;
using hwp::number_shape::kUpperRoman;

// Seven levels whose formats and shapes a case sets.
hwp::Numbering Levels(std::initializer_list<std::pair<std::u16string, std::uint8_t>> levels)
{
    hwp::Numbering numbering;
    std::size_t i = 0;
    for (const auto& [format, shape] : levels) {
        numbering.levels[i].format = format;
        numbering.levels[i].head.properties = 0x0C | (static_cast<std::uint32_t>(shape) << 5);
        ++i;
    }
    return numbering;
}

TEST(Numbering, HeadTextsFillEachLevelsNumberInItsOwnShape)
{
    // The word processor's usual outline: 1. 가. 1) 가) (1) (가) ①
    const hwp::Numbering usual = Levels({{u"^1.", kDigits}, {u"^2.", kHangul}, {u"^3)", kDigits}, {u"^4)", kHangul},
                                         {u"(^5)", kDigits}, {u"(^6)", kHangul}, {u"^7", kCircledDigits}});
    const hwp::Numbering roman = Levels({{u"^1.", kUpperRoman}, {u"^2.", kUpperLatin}, {u"^3.", kDigits},
                                         {u"^4)", kLowerRoman}, {u"^5)", kLowerLatin}, {u"^6)", kJamo},
                                         {u"^7", kCircledHangul}});
    const hwp::Numbering paths = Levels({{u"제^1장", kDigits}, {u"^1.^2", kHangulWords}, {u"^N", kDigits},
                                         {u"^n 항", kDigits}, {u"^^8^", kDigits}, {u"", kDigits}});
    struct Case {
        const hwp::Numbering& numbering;
        std::size_t level;
        std::array<std::uint32_t, hwp::kNumberingLevels> counts;
        std::u16string head;
    };
    const Case cases[] = {
        {usual, 0, {3}, u"3."},
        {usual, 1, {3, 2}, u"나."},
        {usual, 2, {3, 2, 12}, u"12)"},
        {usual, 3, {1, 1, 1, 15}, u"가)"},   // past 하 the syllables start again
        {usual, 4, {1, 1, 1, 1, 7}, u"(7)"},
        {usual, 5, {1, 1, 1, 1, 1, 3}, u"(다)"},
        {usual, 6, {1, 1, 1, 1, 1, 1, 20}, u"⑳"},
        {roman, 0, {4}, u"IV."},
        {roman, 1, {4, 28}, u"BB."},
        {roman, 3, {1, 1, 1, 9}, u"ix)"},
        {roman, 4, {1, 1, 1, 1, 3}, u"c)"},
        {roman, 5, {1, 1, 1, 1, 1, 4}, u"ㄹ)"},
        {roman, 6, {1, 1, 1, 1, 1, 1, 2}, u"㉯"},
        {paths, 0, {2}, u"제2장"},
        {paths, 1, {2, 23}, u"2.이십삼"},     // a placeholder of level 1 in level 1's shape
        {paths, 2, {2, 3, 4}, u"2.삼.4."},    // ^N: the path to this level and a last '.'
        {paths, 3, {1, 1, 1, 5}, u"1.일.1.5 항"},
        {paths, 4, {1, 1, 1, 1, 1}, u"^^8^"}, // no level 8, nor a code after the last '^'
        {paths, 5, {1, 1, 1, 1, 1, 1}, u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf16ToUtf8(hwp::NumberingText(c.numbering, c.level, c.counts)), Utf16ToUtf8(c.head))
            << "level " << c.level;
}

TEST(Numbering, SymbolFontBulletsPrintAsTheCharactersTheyShow)
{
    const std::pair<char16_t, char16_t> cases[] = {
        {0xF06C, u'●'}, {0xF06E, u'■'}, {0xF075, u'◆'}, {0xF09F, u'•'}, {0xF0D8, u'➢'},
        {0xF0FC, u'✓'}, {0xF0EE, u'•'} /* unknown symbol: a plain bullet */, {u'◇', u'◇'}, {u'-', u'-'},
    };
    for (const auto& [stored, printed] : cases)
        EXPECT_EQ(hwp::PrintedBulletCharacter(stored), printed) << std::hex << static_cast<int>(stored);
}

TEST(Numbering, RecordsComeBackByteForByte)
{
    std::vector<hwp::RawRecord> numberings;
    std::vector<hwp::RawRecord> bullets;
    // Newer files: start numbers per level, levels 8 to 10 after them; picture bullets.
    hwp::Numbering newer = Levels({{u"^1.", kDigits}, {u"(^2)", kHangul}});
    newer.levelStarts = {3, 1, 1, 1, 1, 1, 5};
    newer.rest = {0x0C, 0, 0, 0, 0, 0, 0x32, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0x5E, 0, 1, 0, 0, 0};
    numberings.push_back(hwp::WriteNumbering(newer));
    hwp::Bullet picture;
    picture.hasPicture = true;
    picture.picture = {2, {0, 0, 1, 0}, u'☑'};
    bullets.push_back(hwp::WriteBullet(picture));
    hwp_testing::ScratchFolder scratch;
    for (const std::string& path : hwp_testing::SamplePaths()) {
        if (path.find("password") != std::string::npos)
            continue;
        const hwp::Document document = hwp::ReadDocument(path);
        numberings.insert(numberings.end(), document.numberings.begin(), document.numberings.end());
        bullets.insert(bullets.end(), document.bullets.begin(), document.bullets.end());
        // As `varnel-hwp rewrite` does: the heads para shapes ask for stay what they were.
        hwp::WriteDocument(document, scratch.File("rewritten.hwp"));
        const hwp::Document rewritten = hwp::ReadDocument(scratch.File("rewritten.hwp"));
        EXPECT_EQ(rewritten.paraShapes, document.paraShapes) << path;
        EXPECT_EQ(rewritten.numberings, document.numberings) << path;
        EXPECT_EQ(rewritten.bullets, document.bullets) << path;
    }
    for (const hwp::RawRecord& record : numberings)
        EXPECT_EQ(hwp::WriteNumbering(hwp::ReadNumbering(record)), record);
    for (const hwp::RawRecord& record : bullets)
        EXPECT_EQ(hwp::WriteBullet(hwp::ReadBullet(record)), record);
    EXPECT_EQ(hwp::ReadNumbering(numberings.front()).StartOf(0), 3u);
    EXPECT_EQ(hwp::ReadNumbering(numberings.front()).StartOf(6), 5u);
    EXPECT_EQ(hwp::ReadBullet(bullets.front()).picture.binItemId, 2);
    EXPECT_THROW(hwp::ReadNumbering(hwp::RawRecord{hwp::Bytes(20, 0)}), hwp::HwpError);
    EXPECT_THROW(hwp::ReadBullet(hwp::RawRecord{hwp::Bytes(13, 0)}), hwp::HwpError);
}

TEST(Numbering, AnotherDocumentsNumberingComesWithTheCharShapeItsHeadsPrintIn)
{
    hwp::Document from = hwp::NewDocument();
    hwp::CharShape bold;
    bold.bold = true;
    from.charShapes.push_back(bold);
    hwp::Numbering numbering = Levels({{u"^1.", kDigits}});
    numbering.levels[0].head.charShapeId = 1;
    from.numberings.push_back(hwp::WriteNumbering(numbering));
    from.bullets.push_back(hwp::WriteBullet(hwp::Bullet{}));

    hwp::Document to = hwp::NewDocument();
    hwp::CharShape big;
    big.size = 2000;
    to.charShapes.push_back(big);
    to.numberings.push_back(hwp::WriteNumbering(Levels({{u"(^1)", kDigits}})));

    const std::uint16_t id = hwp::ImportHead(from, hwp::HeadKind::Number, 1, to);
    ASSERT_EQ(id, 2);
    const hwp::Numbering imported = hwp::ReadNumbering(to.numberings.at(1));
    EXPECT_EQ(imported.levels[0].format, u"^1.");
    EXPECT_EQ(to.charShapes.at(imported.levels[0].head.charShapeId), bold);
    EXPECT_EQ(hwp::ImportHead(from, hwp::HeadKind::Number, 1, to), 2) << "imported once";
    EXPECT_EQ(hwp::ImportHead(from, hwp::HeadKind::Bullet, 1, to), 1);
    EXPECT_EQ(hwp::ImportHead(from, hwp::HeadKind::Bullet, 7, to), 0) << "no such bullet";
    EXPECT_EQ(to.bullets.size(), 1u);
}

}  // namespace
