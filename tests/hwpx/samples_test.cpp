// The HWPX documents the word processor wrote (../shared/hwpx-samples): each reads, its
// text is what an independent HWPX reader finds, it converts to an HWP file an
// independent HWP reader reads with the same text, and through HWP and back to HWPX it
// keeps its tables' cell texts, its pictures' bytes and its equations' scripts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "hwp/equation.h"
#include "hwp/kept_xml.h"
#include "hwp/object_properties.h"
#include "hwp/objects.h"
#include "hwp/picture.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/shape.h"
#include "hwp/table.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"
#include "support/json.h"
#include "support/text.h"

namespace {

namespace fs = std::filesystem;
using namespace hwp_testing;

std::vector<std::string> HwpxSamples()
{
    const char* source = std::getenv("VARNEL_SOURCE_DIR");
    std::vector<std::string> paths;
    std::error_code error;
    const fs::path folder = fs::path(source == nullptr ? "" : source) / ".." / "shared" / "hwpx-samples";
    if (source == nullptr || !fs::is_directory(folder, error))
        return paths;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".hwpx")
            paths.push_back(entry.path().lexically_normal().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// What the objects of a document hold that a conversion must keep, at any depth of
// table cells.
struct Kept {
    std::vector<std::vector<std::u16string>> cellTexts;
    std::vector<std::string> pictureBytes;
    std::vector<std::u16string> scripts;
    std::vector<std::u16string> objectTexts;   // text boxes, headers, footers, notes
};

void Collect(const hwp::Document& document, const std::vector<hwp::Paragraph>& paragraphs, Kept& kept)
{
    for (const hwp::Paragraph& paragraph : paragraphs) {
        for (const hwp::Control& control : paragraph.controls) {
            kept.objectTexts.push_back(hwp::ControlText(control));
            if (hwp::IsTable(control)) {
                const hwp::Table table = hwp::ReadTable(control);
                kept.cellTexts.push_back(hwp::CellTexts(table));
                for (const hwp::TableCell& cell : table.cells)
                    Collect(document, cell.paragraphs, kept);
            } else if (hwp::IsPicture(control)) {
                const hwp::BinDataItem* item = hwp::PictureBinData(document, hwp::ReadPicture(control));
                kept.pictureBytes.push_back(item == nullptr ? std::string("(none)") : hwp::BinDataBytes(*item));
            } else if (hwp::IsEquation(control)) {
                kept.scripts.push_back(hwp::ReadEquation(control).script);
            }
        }
    }
}

Kept KeptOf(const hwp::Document& document)
{
    Kept kept;
    for (const hwp::Section& section : document.sections)
        Collect(document, section.paragraphs, kept);
    return kept;
}

std::vector<std::vector<std::u16string>> HwpxOracle(const std::vector<std::string>& paths, bool& available)
{
    const fs::path oracle = fs::path(std::getenv("VARNEL_SOURCE_DIR")) / "tests" / "oracle";
    available = fs::exists(oracle / "node_modules" / "@ssabrojs" / "hwpxjs") &&
                std::system("node --version >/dev/null 2>&1") == 0;
    std::vector<std::vector<std::u16string>> results(paths.size());
    if (!available)
        return results;
    std::string command = "cd '" + oracle.string() + "' && node dump-hwpx-texts.mjs";
    for (const std::string& path : paths)
        command += " '" + path + "'";
    const std::string output = CommandOutput(command + " 2>/dev/null");
    std::size_t start = 0;
    for (auto& result : results) {
        const std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            break;
        const JsonOwnedPtr json = ParseJsonUtf8(std::string_view(output).substr(start, end - start));
        start = end + 1;
        const JsonObject object = JsonObjectOf(json.get());
        if (const auto found = object.find(u"paragraphs"); found != object.end()) {
            for (const auto& text : found->second->arrayValue)
                result.push_back(text->stringValue);
        }
    }
    return results;
}

// Text without white space: the oracle reads a run's text around its tabs and breaks.
std::u16string Letters(const std::u16string& text)
{
    std::u16string out;
    for (char16_t c : text) {
        if (c > u' ' && c != 0x00A0 && c != 0x2007 && c != 0x00AD)
            out += c;
    }
    return out;
}

TEST(HwpxSamples, EveryOneReadsAndItsTextIsWhatAnIndependentReaderFinds)
{
    const std::vector<std::string> paths = HwpxSamples();
    if (paths.empty())
        GTEST_SKIP() << "../shared/hwpx-samples is not there";
    bool available = false;
    const auto oracle = HwpxOracle(paths, available);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        hwp::Document document;
        ASSERT_NO_THROW(document = hwpx::ReadAnyDocument(paths[i]));
        if (!available)
            continue;
        std::vector<const hwp::Paragraph*> ours;
        for (const hwp::Section& section : document.sections) {
            for (const hwp::Paragraph& paragraph : section.paragraphs)
                ours.push_back(&paragraph);
        }
        const bool bodyHasText =
            std::any_of(ours.begin(), ours.end(), [](const auto* p) { return !Letters(p->text).empty(); });
        if (!bodyHasText)
            continue;   // the oracle gives the preview text instead
        ASSERT_EQ(oracle[i].size(), ours.size());
        for (std::size_t p = 0; p < ours.size(); ++p) {
            // It gives the text of a box inside the paragraph's text, within <>; ours is
            // the object's.
            std::u16string body = oracle[i][p];
            std::u16string inner;
            for (const hwp::Control& control : ours[p]->controls)
                inner += hwp::ControlText(control);
            for (std::size_t open; !ours[p]->controls.empty() && (open = body.find(u'<')) != std::u16string::npos;) {
                const std::size_t close = body.find(u'>', open);
                if (close == std::u16string::npos)
                    break;
                EXPECT_NE(Letters(inner).find(Letters(body.substr(open + 1, close - open - 1))), std::u16string::npos)
                    << "paragraph " << p << ": " << Utf16ToUtf8(body.substr(open, close - open + 1));
                body.erase(open, close - open + 1);
            }
            // It leaves out runs that also hold a control: its text is within ours.
            EXPECT_NE(Letters(ours[p]->text).find(Letters(body)), std::u16string::npos)
                << "paragraph " << p << ": " << Utf16ToUtf8(oracle[i][p]) << " | " << Utf16ToUtf8(ours[p]->text);
        }
    }
}

TEST(HwpxSamples, ConvertToHwpThatAnIndependentHwpReaderReadsWithTheSameText)
{
    const std::vector<std::string> paths = HwpxSamples();
    if (paths.empty())
        GTEST_SKIP() << "../shared/hwpx-samples is not there";
    ScratchFolder scratch;
    std::vector<std::string> converted;
    std::vector<hwp::Document> documents;
    for (const std::string& path : paths) {
        documents.push_back(hwpx::ReadAnyDocument(path));
        converted.push_back(scratch.File(fs::path(path).stem().string() + ".hwp"));
        hwp::WriteDocument(documents.back(), converted.back());
    }
    const std::vector<OracleResult> oracle = OracleTexts(converted);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        if (!oracle[i].available)
            GTEST_SKIP() << "the hwpjs oracle is not installed (scripts/install-test-tools)";
        // hwpjs reads an equation's version text and font name with the script's length:
        // it refuses scripts longer than those two (see the HWP equation tests).
        const std::vector<std::u16string> scripts = KeptOf(documents[i]).scripts;
        const bool longScript =
            std::any_of(scripts.begin(), scripts.end(), [](const std::u16string& script) { return script.size() > 20; });
        if (!oracle[i].parsed && longScript)
            continue;
        ASSERT_TRUE(oracle[i].parsed) << "hwpjs refused the converted file";
        if (oracle[i].fromMarkdown)
            continue;   // hwpjs's to-json fails on named fields; its Markdown is not per paragraph
        EXPECT_EQ(oracle[i].texts.size(), documents[i].sections.size());
        const auto ours = OracleView(DisplayTexts(documents[i]));
        for (std::size_t s = 0; s < std::min(ours.size(), oracle[i].texts.size()); ++s) {
            ASSERT_EQ(oracle[i].texts[s].size(), ours[s].size()) << "section " << s;
            for (std::size_t p = 0; p < ours[s].size(); ++p)
                EXPECT_EQ(Utf16ToUtf8(oracle[i].texts[s][p]), Utf16ToUtf8(ours[s][p])) << "paragraph " << p;
        }
    }
}

TEST(HwpxSamples, ThroughHwpAndBackKeepTheirTextCellsPicturesAndEquations)
{
    const std::vector<std::string> paths = HwpxSamples();
    if (paths.empty())
        GTEST_SKIP() << "../shared/hwpx-samples is not there";
    std::size_t tables = 0, pictures = 0, equations = 0;
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const hwp::Document read = hwpx::ReadAnyDocument(path);
        const hwp::Document viaHwp = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(read));
        const hwp::Document back = hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(viaHwp));
        EXPECT_EQ(DisplayTexts(back), DisplayTexts(read));
        const Kept before = KeptOf(read);
        const Kept after = KeptOf(back);
        EXPECT_EQ(after.cellTexts, before.cellTexts);
        EXPECT_EQ(after.pictureBytes, before.pictureBytes);
        EXPECT_EQ(after.scripts, before.scripts);
        EXPECT_EQ(after.objectTexts, before.objectTexts);
        tables += before.cellTexts.size();
        pictures += before.pictureBytes.size();
        equations += before.scripts.size();
        EXPECT_EQ(back.paraShapes, read.paraShapes);
        EXPECT_EQ(back.charShapes, read.charShapes);
        EXPECT_EQ(back.sections.front().page, read.sections.front().page);
    }
    EXPECT_GT(tables, 0u);
    EXPECT_GT(pictures, 0u);
    EXPECT_GT(equations, 0u);
}

TEST(HwpxSamples, TheToolPrintsAndConvertsThemByContent)
{
    const std::vector<std::string> paths = HwpxSamples();
    const auto table = std::find_if(paths.begin(), paths.end(), [](const auto& p) { return p.ends_with("SimpleTable.hwpx"); });
    if (table == paths.end())
        GTEST_SKIP() << "../shared/hwpx-samples is not there";
    ScratchFolder scratch;
    // A name that says nothing: the content tells the format.
    const std::string renamed = scratch.File("table.bin");
    fs::copy_file(*table, renamed);
    const std::string tool = VARNEL_HWP_TOOL;
    const std::string text = CommandOutput("'" + tool + "' text '" + renamed + "'");
    EXPECT_NE(text.find('5'), std::string::npos) << text;
    const std::string hwp = scratch.File("table.hwp");
    const std::string hwpx = scratch.File("table.hwpx");
    ASSERT_EQ(std::system(("'" + tool + "' convert '" + renamed + "' '" + hwp + "'").c_str()), 0);
    ASSERT_EQ(std::system(("'" + tool + "' convert '" + hwp + "' '" + hwpx + "'").c_str()), 0);
    EXPECT_TRUE(hwpx::IsHwpxFile(hwpx));
    EXPECT_EQ(CommandOutput("'" + tool + "' text '" + hwpx + "'"), text);
    EXPECT_NE(std::system(("'" + tool + "' convert '" + hwp + "' '" + scratch.File("out.txt") + "' 2>/dev/null").c_str()), 0)
        << "an output that is neither format is refused";
}

}  // namespace

TEST(HwpxSamples, ArcsPolygonsCurvesAndGroupsAreDrawingsAndGoBackWhole)
{
    if (HwpxSamples().empty())
        GTEST_SKIP() << "no HWPX samples";
    const std::string folder = fs::path(HwpxSamples().front()).parent_path().string();
    struct Case {
        const char* file;
        const char* element;
        std::optional<hwp::ShapeKind> kind;   // none: a group
        std::size_t points;
        hwp::HwpUnit width;   // the box's; the polygon's is 52.59 % of its 42520-wide column
    };
    const Case cases[] = {
        {"SimpleArc.hwpx", "<hp:arc ", hwp::ShapeKind::Arc, 3, 12450},
        {"SimplePolygon.hwpx", "<hp:polygon ", hwp::ShapeKind::Polygon, 8, 22361},
        {"SimpleCurve.hwpx", "<hp:curve ", hwp::ShapeKind::Curve, 7, 16636},
        {"SimpleContainer.hwpx", "<hp:container ", std::nullopt, 0, 17372},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const hwp::Document document = hwpx::ReadAnyDocument(folder + "/" + c.file);
        const hwp::Control* drawing = nullptr;
        for (const hwp::Paragraph& paragraph : document.sections.at(0).paragraphs)
            for (const hwp::Control& control : paragraph.controls)
                if (control.ctrlId == hwp::kDrawingCtrlId)
                    drawing = &control;
        ASSERT_NE(drawing, nullptr);
        EXPECT_EQ(hwp::ReadObjectProperties(hwp::View(drawing->records.front().data), "drawing").width, c.width);
        const std::optional<hwp::Shape> shape = hwp::ReadShape(*drawing);
        if (c.kind) {
            ASSERT_TRUE(shape);
            EXPECT_EQ(shape->kind, *c.kind);
            EXPECT_EQ(shape->points.size(), c.points);
        } else {
            EXPECT_FALSE(shape);
            // Two pictures and a line, one level below the group's component.
            std::size_t members = 0;
            for (const hwp::ObjectRecord& record : drawing->records)
                members += record.tag == hwp::tag::kShapeComponent && record.level == 2;
            EXPECT_EQ(members, 3u);
        }
        // Back into HWPX as read, once; through HWP the same.
        for (const std::string& bytes : {hwpx::WriteHwpxToBytes(document),
                                         hwpx::WriteHwpxToBytes(hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document)))}) {
            const hwp::Document again = hwpx::ReadHwpxFromBytes(bytes);
            std::size_t drawings = 0;
            for (const hwp::Paragraph& paragraph : again.sections.at(0).paragraphs)
                for (const hwp::Control& control : paragraph.controls)
                    drawings += control.ctrlId == hwp::kDrawingCtrlId && hwp::KeptXmlOf(control) &&
                                hwp::KeptXmlOf(control)->find(c.element) != std::string::npos;
            EXPECT_EQ(drawings, 1u);
        }
    }
}
