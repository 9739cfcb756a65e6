// What a file holds beyond the model's text and shapes: other programs' streams and
// storages, DocInfo records, each record in the form of the file's version, tabs and
// range tags, and the preview text renewed from the content.
#include <gtest/gtest.h>

#include "hwp/container.h"
#include "hwp/preview_text.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "stream_checks.h"
#include "support/text.h"

namespace {

using namespace hwp_testing;

std::vector<hwp::Record> RecordsOf(const hwp::StreamMap& streams, const std::string& name, std::string& storage)
{
    storage = hwp::InflateRaw(streams.at(name), name.c_str());
    return hwp::ParseRecords(storage, name.c_str());
}

std::size_t SizeOfFirst(const std::vector<hwp::Record>& records, std::uint16_t tag)
{
    for (const hwp::Record& record : records) {
        if (record.tag == tag)
            return record.data.size();
    }
    return 0;
}

TEST(HwpStreams, WhatTheModelDoesNotReadComesBackAsRead)
{
    hwp::Document document = hwp::NewDocument();
    document.keptStreams = {
        {"Scripts/DefaultJScript", std::string("\x75\x8e\xbb\x0e\0\x01", 6)},
        {"Scripts/JScriptVersion", "v"},
        {"DocOptions/_LinkDoc", std::string(524, '\0')},
        {"DocHistory/VersionLog0", "history"},
        {"Custom/Inner/Deep", "three storages down"},
        {"Empty/", ""},
        {"\005HwpSummaryInformation", "the user's summary, kept as it is"},
    };
    document.docInfoRecords.push_back(hwp::ObjectRecord{hwp::tag::kMemoShape, 1, hwp::Bytes(22, 7)});
    document.docInfoRecords.push_back(hwp::ObjectRecord{hwp::tag::kBegin + 78, 0, hwp::Bytes{1, 2, 3}});
    const std::string bytes = hwp::WriteDocumentToBytes(document);

    const hwp::Document read = hwp::ReadDocumentFromBytes(bytes);
    EXPECT_EQ(read.keptStreams, document.keptStreams);
    EXPECT_EQ(read.docInfoRecords, document.docInfoRecords);
    std::string storage;
    const hwp::StreamMap streams = hwp::ReadCompoundFile(bytes, 64u << 20);
    for (const hwp::Record& record : RecordsOf(streams, "DocInfo", storage)) {
        if (record.tag == hwp::tag::kIdMappings) {
            EXPECT_EQ(static_cast<unsigned char>(record.data.at(15 * 4)), 1) << "the memo shape is counted";
        }
    }
    EXPECT_TRUE(StreamLosses(bytes, hwp::WriteDocumentToBytes(read)).empty());
}

TEST(HwpStreams, RecordsTakeTheFormOfTheDocumentsVersion)
{
    struct Case {
        hwp::Version version;
        std::size_t charShape, paraShape, paraHeader, idMappings;
    };
    const Case cases[] = {
        {{5, 0, 1, 7}, 68, 46, 22, 64},
        {{5, 0, 2, 5}, 70, 54, 22, 64},
        {{5, 0, 3, 0}, 74, 54, 22, 64},
        {{5, 0, 3, 2}, 74, 54, 24, 72},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version.Number());
        hwp::Document document = DocumentWithTexts({u"첫 문단", u"둘째"});
        document.version = c.version;
        const std::string bytes = hwp::WriteDocumentToBytes(document);
        const hwp::StreamMap streams = hwp::ReadCompoundFile(bytes, 64u << 20);
        const std::string& header = streams.at("FileHeader");
        EXPECT_EQ(header.substr(32, 4), std::string({static_cast<char>(c.version.revision), static_cast<char>(c.version.build),
                                                     static_cast<char>(c.version.minor), static_cast<char>(c.version.major)}));
        std::string docInfo, section;
        const auto infoRecords = RecordsOf(streams, "DocInfo", docInfo);
        EXPECT_EQ(SizeOfFirst(infoRecords, hwp::tag::kCharShape), c.charShape);
        EXPECT_EQ(SizeOfFirst(infoRecords, hwp::tag::kParaShape), c.paraShape);
        EXPECT_EQ(SizeOfFirst(infoRecords, hwp::tag::kIdMappings), c.idMappings);
        EXPECT_EQ(SizeOfFirst(RecordsOf(streams, "BodyText/Section0", section), hwp::tag::kParaHeader), c.paraHeader);
        const hwp::Document read = hwp::ReadDocumentFromBytes(bytes);
        EXPECT_EQ(read.version, c.version);
        EXPECT_EQ(read.charShapes, document.charShapes);
        EXPECT_EQ(read.paraShapes, document.paraShapes);
        EXPECT_EQ(read.sections.at(0).paragraphs, document.sections[0].paragraphs);
    }
}

TEST(HwpStreams, TabsKeepTheirWidthAndKindAndRangeTagsStay)
{
    hwp::Document document = DocumentWithTexts({u"L\tR\tC", u"one\ttab"});
    hwp::Paragraph& first = document.sections.front().paragraphs[0];
    first.tabs = {{0x0FA0, 0, 0x0301, 0, 0, 0}, {0x0D20, 0, 0x0002, 0, 0, 0}};
    first.rangeTags = hwp::Bytes{0, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 2};
    const hwp::Document read = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
    EXPECT_EQ(read.sections.front().paragraphs[0].tabs, first.tabs);
    EXPECT_EQ(read.sections.front().paragraphs[0].rangeTags, first.rangeTags);
    // A tab without its own width is left to the reader's measure.
    EXPECT_TRUE(read.sections.front().paragraphs[1].tabs.empty());
}

TEST(HwpStreams, PreviewTextIsTheFirstTextAsTheWordProcessorWritesIt)
{
    struct Case {
        std::vector<std::u16string> paragraphs;
        std::vector<std::u16string> cells;   // a table after the first paragraph's first character
        std::u16string expected;
    };
    const std::u16string longLine(1100, u'가');
    const Case cases[] = {
        {{u"가", u"", u"a\tb"}, {}, u"가\r\n\r\na b\r\n"},
        {{u"표끝"}, {u"A", u""}, u"표<A><>끝\r\n"},
        {{longLine}, {}, longLine.substr(0, 1022)},
    };
    for (const Case& c : cases) {
        hwp::Document document = DocumentWithTexts(c.paragraphs);
        if (!c.cells.empty()) {
            hwp::Control table = TableControl(document, c.cells);
            table.position = table.end = 1;
            document.sections.front().paragraphs[0].controls.push_back(table);
        }
        const std::string stream = hwp::PreviewTextStream(document);
        std::u16string text(stream.size() / 2, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(static_cast<unsigned char>(stream[2 * i]) | static_cast<unsigned char>(stream[2 * i + 1]) << 8);
        EXPECT_EQ(Utf16ToUtf8(text), Utf16ToUtf8(c.expected));
    }
}

}  // namespace
