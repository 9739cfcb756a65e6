// Auto numbers, notes and headers read from their controls, and the number shapes.
#include "tests/hwp/hwp_testing.h"

#include "hwp/auto_number.h"
#include "hwp/notes.h"
#include "hwp/reader.h"

#include <gtest/gtest.h>

namespace {

namespace shape = hwp::number_shape;

std::string SamplePath(const std::string& name)
{
    const std::string folder = hwp_testing::SamplesFolder();
    return folder.empty() ? std::string() : folder + "/" + name;
}

std::vector<const hwp::Control*> TopControls(const hwp::Document& document, std::uint32_t ctrlId)
{
    std::vector<const hwp::Control*> found;
    for (const hwp::Section& section : document.sections)
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            for (const hwp::Control& control : paragraph.controls)
                if (control.ctrlId == ctrlId)
                    found.push_back(&control);
    return found;
}

hwp::Control HeaderOnly(std::uint32_t ctrlId, hwp::Bytes data)
{
    hwp::Control control;
    control.ctrlId = ctrlId;
    control.records.push_back({hwp::tag::kCtrlHeader, 0, std::move(data)});
    return control;
}

TEST(NumberShapes, EachShapeWritesItsLettersAndFallsBackToDigits)
{
    EXPECT_EQ(hwp::FormatNumber(0, shape::kCircledDigits), u"0");
    EXPECT_EQ(hwp::FormatNumber(12, shape::kDigits), u"12");
    EXPECT_EQ(hwp::FormatNumber(3, shape::kCircledDigits), u"③");
    EXPECT_EQ(hwp::FormatNumber(21, shape::kCircledDigits), u"㉑");
    EXPECT_EQ(hwp::FormatNumber(51, shape::kCircledDigits), u"51");
    EXPECT_EQ(hwp::FormatNumber(14, shape::kUpperRoman), u"XIV");
    EXPECT_EQ(hwp::FormatNumber(9, shape::kLowerRoman), u"ix");
    EXPECT_EQ(hwp::FormatNumber(2, shape::kUpperLatin), u"B");
    EXPECT_EQ(hwp::FormatNumber(27, shape::kLowerLatin), u"aa");
    EXPECT_EQ(hwp::FormatNumber(1, shape::kCircledUpperLatin), u"Ⓐ");
    EXPECT_EQ(hwp::FormatNumber(3, shape::kHangul), u"다");
    EXPECT_EQ(hwp::FormatNumber(15, shape::kHangul), u"가") << "the fourteen letters start again";
    EXPECT_EQ(hwp::FormatNumber(2, shape::kCircledHangul), u"㉯");
    EXPECT_EQ(hwp::FormatNumber(3, shape::kJamo), u"ㄷ");
    EXPECT_EQ(hwp::FormatNumber(1, shape::kCircledJamo), u"㉠");
    EXPECT_EQ(hwp::FormatNumber(23, shape::kHangulWords), u"이십삼");
    EXPECT_EQ(hwp::FormatNumber(110, shape::kHanjaDigits), u"百十");
    EXPECT_EQ(hwp::FormatNumber(2, shape::kCircledHanja), u"㊁");
    EXPECT_EQ(hwp::FormatNumber(2, shape::kHeavenlyStems), u"을");
    EXPECT_EQ(hwp::FormatNumber(5, shape::kFourSymbols), u"**");
    EXPECT_EQ(hwp::FormatNumber(3, shape::kUserSymbol, u'#'), u"###");
    EXPECT_EQ(hwp::FormatNumber(3, 0x7F), u"3") << "a shape the format does not define";
}

TEST(AutoNumbers, ReadWithPrefixAndSuffixAndWrittenBackOverTheSameBytes)
{
    // kind table (4), circled digits (shape 1), superscript; number 7; prefix '(' suffix ')'.
    const hwp::Control control = HeaderOnly(hwp::kAutoNumberCtrlId, {'o', 'n', 't', 'a', 0x14, 0x10, 0, 0, 7, 0, 0,
                                                                     0, '(', 0, ')', 0, 0xAB, 0xCD});
    const std::optional<hwp::AutoNumber> number = hwp::ReadAutoNumber(control);
    ASSERT_TRUE(number);
    EXPECT_EQ(number->Kind(), static_cast<int>(hwp::NumberKind::Table));
    EXPECT_EQ(number->Shape(), shape::kCircledDigits);
    EXPECT_TRUE(number->Superscript());
    EXPECT_EQ(number->Text(), u"(⑦)");

    hwp::Control written = control;
    hwp::WriteAutoNumber(written, *number);
    EXPECT_EQ(written, control) << "the bytes past the known fields stay";
    hwp::AutoNumber changed = *number;
    changed.number = 9;
    hwp::WriteAutoNumber(written, changed);
    EXPECT_EQ(hwp::ReadAutoNumber(written)->number, 9);
    EXPECT_EQ(written.records.front().data.size(), control.records.front().data.size());

    EXPECT_FALSE(hwp::ReadAutoNumber(HeaderOnly(hwp::kAutoNumberCtrlId, {'o', 'n', 't', 'a', 1, 0})))
        << "a header cut short";
    EXPECT_FALSE(hwp::ReadAutoNumber(HeaderOnly(hwp::kNewNumberCtrlId, hwp::Bytes(16, 0))));
}

TEST(PageNumberPositions, PlaceAndShapeComeFromTheProperties)
{
    // lower roman, bottom centre; prefix '-', suffix '-'.
    const hwp::Control control =
        HeaderOnly(hwp::kPageNumberPositionCtrlId, {'p', 'n', 'g', 'p', 0x03, 0x05, 0, 0, 0, 0, '-', 0, '-', 0, '-', 0});
    const std::optional<hwp::PageNumberPosition> position = hwp::ReadPageNumberPosition(control);
    ASSERT_TRUE(position);
    EXPECT_EQ(position->Place(), hwp::PageNumberPlace::BottomCenter);
    EXPECT_EQ(position->Text(4), u"-iv-");
    const std::optional<hwp::NewNumber> restart =
        hwp::ReadNewNumber(HeaderOnly(hwp::kNewNumberCtrlId, {'o', 'n', 'w', 'n', 0, 0, 0, 0, 5, 0}));
    ASSERT_TRUE(restart);
    EXPECT_EQ(restart->Kind(), static_cast<int>(hwp::NumberKind::Page));
    EXPECT_EQ(restart->number, 5);
}

TEST(Notes, TheSampleNotesHoldTheirNumberAndTextAndTheSectionItsShapes)
{
    const std::string path = SamplePath("footnote-endnote.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    const hwp::Document document = hwp::ReadDocument(path);
    const std::vector<const hwp::Control*> footnotes = TopControls(document, hwp::kFootnoteCtrlId);
    const std::vector<const hwp::Control*> endnotes = TopControls(document, hwp::kEndnoteCtrlId);
    ASSERT_EQ(footnotes.size(), 2u);
    ASSERT_EQ(endnotes.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::optional<hwp::Note> note = hwp::ReadNote(*footnotes[i]);
        ASSERT_TRUE(note);
        EXPECT_FALSE(note->endnote);
        EXPECT_EQ(note->number, i + 1);
        EXPECT_EQ(note->ReferenceText(), i == 0 ? u"1)" : u"2)");
        ASSERT_FALSE(note->paragraphs.empty());
        // The note's text starts with its own number, an auto number of kind footnote.
        ASSERT_FALSE(note->paragraphs.front().controls.empty());
        const std::optional<hwp::AutoNumber> own = hwp::ReadAutoNumber(note->paragraphs.front().controls.front());
        ASSERT_TRUE(own);
        EXPECT_EQ(own->Kind(), static_cast<int>(hwp::NumberKind::Footnote));
        EXPECT_EQ(own->Text(), note->ReferenceText());
        EXPECT_TRUE(hwp::ReadNote(*endnotes[i])->endnote);
    }
    const hwp::NoteShape footnoteShape = hwp::ReadNoteShape(document.sections.front().sectionDef, false);
    EXPECT_EQ(footnoteShape.suffix, u')');
    EXPECT_EQ(footnoteShape.start, 1);
    EXPECT_EQ(footnoteShape.lineKind, 1);
    EXPECT_EQ(hwp::ReadNoteShape(document.sections.front().sectionDef, true).separatorLength, 12280);

    hwp::Control cut = *footnotes[0];
    cut.records.resize(2);   // the list header without its paragraph
    EXPECT_FALSE(hwp::ReadNote(cut));
}

TEST(HeadersAndFooters, TheSampleHeaderPrintsOnEveryPageAndItsFooterOnOddPagesAtTheBottom)
{
    const std::string path = SamplePath("headerfooter.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    const hwp::Document document = hwp::ReadDocument(path);
    const std::vector<const hwp::Control*> headers = TopControls(document, hwp::kHeaderCtrlId);
    const std::vector<const hwp::Control*> footers = TopControls(document, hwp::kFooterCtrlId);
    ASSERT_EQ(headers.size(), 1u);
    ASSERT_EQ(footers.size(), 1u);
    const std::optional<hwp::HeaderFooter> header = hwp::ReadHeaderFooter(*headers[0]);
    const std::optional<hwp::HeaderFooter> footer = hwp::ReadHeaderFooter(*footers[0]);
    ASSERT_TRUE(header && footer);
    EXPECT_FALSE(header->footer);
    EXPECT_TRUE(footer->footer);
    EXPECT_TRUE(header->PrintsOn(1) && header->PrintsOn(2));
    EXPECT_TRUE(footer->PrintsOn(3));
    EXPECT_FALSE(footer->PrintsOn(2));
    EXPECT_EQ(header->width, 42520) << "the body's width";
    EXPECT_EQ(header->height, 4252) << "the header margin";
    EXPECT_EQ(header->VerticalAlign(), 0);
    EXPECT_EQ(footer->VerticalAlign(), 2);
    ASSERT_FALSE(header->paragraphs.empty());
    EXPECT_EQ(header->paragraphs.front().text.substr(0, 6), u"Header");
    EXPECT_FALSE(hwp::ReadHeaderFooter(HeaderOnly(hwp::kHeaderCtrlId, {'d', 'a', 'e', 'h', 0, 0, 0, 0})))
        << "no paragraphs";
}

} // namespace
