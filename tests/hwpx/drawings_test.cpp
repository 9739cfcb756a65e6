// Drawings and bookmarks an HWP file holds, written as HWPX from the model (no element as
// read goes with them) and read back: rectangles and lines of the word processor's HWP
// files (filled with colours, gradations and pictures), arcs, polygons, curves and groups
// (pictures, lines and groups inside them) keep what they draw and where their members lie,
// and bookmarks keep their names, through HWPX and on into HWP again. The packages read in
// an independent HWPX reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>
#include <filesystem>
#include <sstream>

#include "hwp/bookmark.h"
#include "hwp/bytes.h"
#include "hwp/kept_xml.h"
#include "hwp/object_properties.h"
#include "hwp/ole.h"
#include "hwp/picture.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/shape.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "hwpx/package.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"

namespace {

namespace fs = std::filesystem;
using namespace hwp_testing;

constexpr std::uint32_t kContainerId = hwp::CtrlId('$', 'c', 'o', 'n');

// The document as an HWP file holds it: written and read as HWP, without the records of
// our own that carry an element as read.
hwp::Document AsFromHwp(const hwp::Document& document)
{
    hwp::Document read = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
    for (hwp::Section& section : read.sections)
        for (hwp::Paragraph& paragraph : section.paragraphs)
            for (hwp::Control& control : paragraph.controls)
                std::erase_if(control.records, [](const hwp::ObjectRecord& record) { return record.tag == hwp::kKeptXmlTag; });
    return read;
}

const hwp::Control* FirstDrawing(const hwp::Document& document)
{
    for (const hwp::Paragraph& paragraph : document.sections.at(0).paragraphs)
        for (const hwp::Control& control : paragraph.controls)
            if (control.ctrlId == hwp::kDrawingCtrlId)
                return &control;
    return nullptr;
}

std::string Hex(const hwp::Bytes& data, std::size_t from, std::size_t to)
{
    std::string out;
    char digits[3];
    for (std::size_t i = from; i < std::min(to, data.size()); ++i) {
        std::snprintf(digits, sizeof digits, "%02x", data[i]);
        out += digits;
    }
    return out;
}

void DescribeShape(std::ostringstream& out, const hwp::Shape& shape)
{
    out << " kind " << int(shape.kind) << " arc " << int(shape.arcKind) << " points";
    for (const hwp::ShapePoint& point : shape.points)
        out << ' ' << point.x << ',' << point.y;
    out << " segments";
    for (const std::uint8_t segment : shape.segments)
        out << ' ' << int(segment);
    const hwp::Fill& fill = shape.brush;
    out << " outline " << shape.outlineColor << '/' << shape.outlineWidth << '/' << int(shape.outline) << " ends "
        << std::hex << shape.ends.Bits() << std::dec << " place " << int(shape.outlinePlace) << " fill " << fill.kinds
        << '/' << fill.face << '/' << fill.patternColor << '/' << fill.pattern;
    if (fill.gradient) {
        out << " gradient " << int(fill.gradient->kind) << '/' << fill.gradient->angle << '/' << fill.gradient->centerX
            << '/' << fill.gradient->centerY << '/' << int(fill.blendCenter);
        for (const hwp::ColorRef color : fill.gradient->colors)
            out << ' ' << color;
        out << " at";
        for (const std::int32_t position : fill.gradient->positions)
            out << ' ' << position;
    }
    if (shape.shadow)
        out << " shadow " << shape.shadow->kind << '/' << shape.shadow->color << '/' << shape.shadow->offsetX << ','
            << shape.shadow->offsetY << '/' << int(shape.shadow->alpha);
    if (fill.image)
        out << " image " << int(fill.image->mode) << '/' << fill.image->binItemId;
}

// What the two formats must agree on, in words: the object's box; per shape component (the
// object's, then each member's at any depth) its id, sizes and what its kind draws, a
// member's place in its group too (offset, flips, rotation, matrices), a picture's image.
std::string Describe(const hwp::Document& document, const hwp::Control& control)
{
    std::ostringstream out;
    const hwp::ObjectProperties object = hwp::ReadObjectProperties(hwp::View(control.records.front().data), "drawing");
    out << "box " << object.width << 'x' << object.height << " at " << object.horizontalOffset << ','
        << object.verticalOffset << " inline " << object.inlineAsChar << " wrap " << int(object.wrap) << '\n';
    const std::vector<hwp::ObjectRecord>& records = control.records;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const hwp::ObjectRecord& record = records[i];
        if (record.tag != hwp::tag::kShapeComponent || record.data.size() < 4)
            continue;
        const bool top = record.level == 1;
        const std::size_t skip = top ? 0 : 4;
        const std::uint32_t id = hwp::LittleEndianAt(record.data, 0, 4);
        out << "level " << record.level << ' ' << hwp::CtrlIdText(id) << " sizes " << Hex(record.data, 20 - skip, 36 - skip);
        if (!top) {
            // Offset, group level; flips, rotation, centre, the matrices (the version aside).
            const std::size_t end = hwp::ShapeLineInfoAt(record.data, false);
            out << " place " << Hex(record.data, 4, 14) << ' ' << Hex(record.data, 32, end == 0 ? 32 : end);
        }
        if (id == hwp::kPictureComponentId && i + 1 < records.size() && records[i + 1].tag == hwp::tag::kShapePicture) {
            // Border colour and width, corners, crop, margins, effects and the item.
            const hwp::Bytes& picture = records[i + 1].data;
            out << " picture " << Hex(picture, 0, 8) << Hex(picture, 12, 71);
            const std::uint16_t item = picture.size() >= 73 ? static_cast<std::uint16_t>(hwp::LittleEndianAt(picture, 71, 2)) : 0;
            out << " image of " << (item >= 1 && item <= document.binData.size() ? hwp::BinDataBytes(document.binData[item - 1u]).size() : 0)
                << " bytes";
        } else if (id == hwp::kOleComponentId && i + 1 < records.size() && records[i + 1].tag == hwp::tag::kShapeOle) {
            const hwp::Bytes& ole = records[i + 1].data;
            const std::uint16_t item = ole.size() >= 16 ? static_cast<std::uint16_t>(hwp::LittleEndianAt(ole, 12, 2)) : 0;
            out << " OLE " << Hex(ole, 0, 12) << Hex(ole, 14, 26) << " data of "
                << (item >= 1 && item <= document.binData.size() ? hwp::BinDataBytes(document.binData[item - 1u]).size() : 0)
                << " bytes";
        } else if (id == kContainerId) {
            const std::size_t list = hwp::ShapeLineInfoAt(record.data, top);
            out << " members " << (list + 2 <= record.data.size() ? hwp::LittleEndianAt(record.data, list, 2) : 0);
        } else if (const std::optional<hwp::Shape> shape = top ? hwp::ReadShape(control) : hwp::ReadMemberShape(records, i)) {
            DescribeShape(out, *shape);
        } else {
            out << " unread";
        }
        out << '\n';
    }
    return out.str();
}

// Every drawing of the document's first section, in order.
std::string DescribeAll(const hwp::Document& document)
{
    std::string out;
    for (const hwp::Paragraph& paragraph : document.sections.at(0).paragraphs)
        for (const hwp::Control& control : paragraph.controls)
            if (control.ctrlId == hwp::kDrawingCtrlId)
                out += Describe(document, control);
    return out;
}

// A group of `group` (as a member, its own members one level further down) and `arc`,
// the arc filled with a radial gradation: a group inside a group, as the word processor
// makes one of two groups drawn apart.
hwp::Control NestedGroup(const hwp::Control& group, const hwp::Control& arc)
{
    hwp::Control outer;
    outer.ctrlId = hwp::kDrawingCtrlId;
    outer.code = group.code;
    outer.records.push_back(group.records.front());
    hwp::Bytes component = group.records.at(1).data;
    component.resize(hwp::ShapeLineInfoAt(component, true));
    hwp::ByteWriter list;
    list.U16(2);
    list.U32(kContainerId);
    list.U32(hwp::kArcComponentId);
    const std::string& bytes = list.Data();
    component.insert(component.end(), bytes.begin(), bytes.end());
    outer.records.push_back({hwp::tag::kShapeComponent, 1, component});
    const auto lower = [&outer](const hwp::Control& member) {
        for (std::size_t i = 1; i < member.records.size(); ++i) {
            hwp::ObjectRecord record = member.records[i];
            if (record.tag == hwp::kKeptXmlTag)
                continue;
            if (i == 1)
                record.data.erase(record.data.begin(), record.data.begin() + 4);   // a member's id once
            if (record.tag == hwp::tag::kShapeComponent)   // one group deeper
                hwp::PutLittleEndianAt(record.data, 12, 2, hwp::LittleEndianAt(record.data, 12, 2) + 1);
            ++record.level;
            outer.records.push_back(std::move(record));
        }
    };
    lower(group);
    hwp::Control filled = arc;
    hwp::Bytes& arcComponent = filled.records.at(1).data;
    arcComponent.resize(hwp::ShapeLineInfoAt(arcComponent, true) + 13);
    hwp::Fill fill;
    fill.kinds = hwp::kFillGradient;
    fill.gradient = hwp::Gradient{2, 30, 40, 60, 0, {0x0000FF, 0x00FF00, 0xFF0000, 0x808080}, {0, 20, 25, 100}};
    fill.blendCenter = 70;
    fill.extra = {1, 0, 0, 0, 70};
    hwp::ByteWriter tail;
    hwp::WriteFill(tail, fill);
    arcComponent.insert(arcComponent.end(), tail.Data().begin(), tail.Data().end());
    lower(filled);
    return outer;
}

// The group with an OLE object (of the document's first item) as its last member, placed
// as its first member is.
hwp::Control WithOleMember(hwp::Control group)
{
    std::size_t first = 2;
    while (group.records.at(first).tag != hwp::tag::kShapeComponent)
        ++first;
    hwp::Bytes component = group.records[first].data;
    component.resize(hwp::ShapeLineInfoAt(component, false));
    hwp::PutLittleEndianAt(component, 0, 4, hwp::kOleComponentId);
    hwp::OleObject ole;
    ole.properties = 0x00010201;   // embedded, its content drawn, baseline 1 %
    ole.extentX = 7000;
    ole.extentY = -5000;
    ole.binItemId = 1;
    ole.borderColor = 0x123456;
    ole.borderWidth = 71;
    ole.borderProperties = 0x00000402;   // dashed, an arrow at its head
    group.records.push_back({hwp::tag::kShapeComponent, 2, component});
    group.records.push_back(hwp::WriteOleRecord(ole, 3));
    hwp::Bytes& list = group.records.at(1).data;
    const std::size_t count = hwp::ShapeLineInfoAt(list, true);
    hwp::PutLittleEndianAt(list, count, 2, hwp::LittleEndianAt(list, count, 2) + 1);
    list.resize(list.size() + 4);
    hwp::PutLittleEndianAt(list, list.size() - 4, 4, hwp::kOleComponentId);
    return group;
}

// The document with its first drawing's outline ends (kind kept) and place set, and a
// shadow after its fill, as the word processor's later builds write one.
hwp::Document Restyled(hwp::Document document, const hwp::LineEnds& ends, std::uint8_t place, const hwp::ShapeShadow& shadow)
{
    for (hwp::Paragraph& paragraph : document.sections.at(0).paragraphs)
        for (hwp::Control& control : paragraph.controls) {
            if (control.ctrlId != hwp::kDrawingCtrlId)
                continue;
            hwp::Bytes& component = control.records.at(1).data;
            const std::size_t line = hwp::ShapeLineInfoAt(component, true);
            hwp::PutLittleEndianAt(component, line + 8, 4, (hwp::LittleEndianAt(component, line + 8, 4) & 0x3F) | ends.Bits());
            component[line + 12] = place;
            hwp::ByteWriter tail;
            hwp::WriteShapeShadow(tail, shadow);
            component.insert(component.end(), tail.Data().begin(), tail.Data().end());
            return document;
        }
    return document;
}

std::string SectionXml(const std::string& package)
{
    std::string sections;
    for (const auto& [name, bytes] : hwpx::ReadPackage(package).parts)
        if (name.starts_with("Contents/section"))
            sections += bytes;
    return sections;
}

TEST(HwpxDrawings, DrawingsFromHwpAreWrittenFromTheModelAndReadBackAlike)
{
    const std::vector<std::string> samples = HwpxSamplePaths();
    if (samples.empty())
        GTEST_SKIP() << "no HWPX samples";
    const std::string folder = fs::path(samples.front()).parent_path().string();
    const auto drawingOf = [&folder](const char* file) {
        const hwp::Document document = AsFromHwp(hwpx::ReadAnyDocument(folder + "/" + file));
        return std::make_pair(document, *FirstDrawing(document));
    };
    struct Case {
        std::string name;
        hwp::Document document;
        const char* element;
        std::size_t components;   // the objects' and their members'
    };
    std::vector<Case> cases;
    // Rectangles filled with colours, gradations and pictures, lines, as the word processor
    // wrote them in HWP.
    if (const std::string hwpFolder = SamplesFolder(); !hwpFolder.empty()) {
        for (const auto& [file, element, count] : {std::tuple{"shapecomponent-rect-fill.hwp", "<hp:rect ", 6u},
                                                   {"shaperect.hwp", "<hp:rect ", 4u}, {"shapeline.hwp", "<hp:line ", 2u}})
            cases.push_back({file, hwp::ReadDocument(hwpFolder + "/" + file), element, count});
        // Arrowheads of every kind and size at either end, caps, outline places, shadows.
        const hwp::Document line = cases.back().document;
        const hwp::Document rectangle = cases.at(1).document;
        cases.push_back({"arrows", Restyled(line, {0, 1, 8, 8, 0, true, false}, 0, {}), "<hp:line ", 2});
        cases.push_back({"filled ends", Restyled(line, {1, 9, 3, 2, 6, false, true}, 0, {3, 0x123456, -300, 150, 0}), "<hp:line ", 2});
        cases.push_back({"a shadow", Restyled(rectangle, {1, 0, 0, 4, 4, true, true}, 1, {2, 0xE0BEA0, 283, 283, 10}), "<hp:shadow ", 4});
        cases.push_back({"a larger shadow", Restyled(rectangle, {0, 0, 0, 0, 0, false, false}, 2, {10, 0x00FF00, 0, 0, 255}), "<hp:rect ", 4});
    }
    for (const auto& [file, element] : {std::pair{"SimpleArc.hwpx", "<hp:arc "}, {"SimplePolygon.hwpx", "<hp:polygon "},
                                        {"SimpleCurve.hwpx", "<hp:curve "}, {"SimpleContainer.hwpx", "<hp:container "}})
        cases.push_back({file, drawingOf(file).first, element, std::string(file) == "SimpleContainer.hwpx" ? 4u : 1u});
    {
        // The group's members where the word processor placed them in it.
        std::vector<std::pair<std::int32_t, std::int32_t>> offsets;
        for (const hwp::ObjectRecord& record : drawingOf("SimpleContainer.hwpx").second.records)
            if (record.tag == hwp::tag::kShapeComponent && record.level == 2)
                offsets.emplace_back(hwp::LittleEndianAt(record.data, 4, 4), hwp::LittleEndianAt(record.data, 8, 4));
        EXPECT_EQ(offsets, (std::vector<std::pair<std::int32_t, std::int32_t>>{{0, 0}, {8650, 300}, {3050, 1575}}));
    }
    {
        // Two pictures and a line in a group, in a group with an arc.
        auto [document, group] = drawingOf("SimpleContainer.hwpx");
        const hwp::Control arc = drawingOf("SimpleArc.hwpx").second;
        for (hwp::Control& control : document.sections.at(0).paragraphs.at(0).controls)
            if (control.ctrlId == hwp::kDrawingCtrlId)
                control = NestedGroup(group, arc);
        cases.push_back({"a group in a group", document, "<hp:container ", 6});
    }
    {
        auto [document, group] = drawingOf("SimpleContainer.hwpx");
        for (hwp::Control& control : document.sections.at(0).paragraphs.at(0).controls)
            if (control.ctrlId == hwp::kDrawingCtrlId)
                control = WithOleMember(group);
        cases.push_back({"an OLE object in a group", document, "<hp:ole ", 5});
        // On its own it goes into HWPX too, an element HWPX keeps as read.
        const hwp::Control member = WithOleMember(group);
        hwp::ObjectRecord component = member.records.at(member.records.size() - 2);
        const hwp::Bytes id(component.data.begin(), component.data.begin() + 4);
        component.data.insert(component.data.begin(), id.begin(), id.end());
        component.level = 1;
        hwp::ObjectRecord ole = member.records.back();
        ole.level = 2;
        for (hwp::Control& control : document.sections.at(0).paragraphs.at(0).controls)
            if (control.ctrlId == hwp::kDrawingCtrlId)
                control.records = {member.records.front(), component, ole};
        const std::string xml = SectionXml(hwpx::WriteHwpxToBytes(AsFromHwp(document)));
        EXPECT_NE(xml.find(R"(groupLevel="0" objectType="EMBEDDED" binaryItemIDRef="image1" hasMoniker="0" drawAspect="CONTENT" eqBaseLine="1">)"),
                  std::string::npos) << xml;
    }
    ScratchFolder scratch;
    std::vector<std::string> written;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const hwp::Control* drawing = FirstDrawing(c.document);
        ASSERT_NE(drawing, nullptr);
        ASSERT_FALSE(hwp::KeptXmlOf(*drawing));
        const std::string expected = DescribeAll(c.document);
        std::size_t components = 0;
        for (std::size_t at = expected.find("level "); at != std::string::npos; at = expected.find("level ", at + 1))
            ++components;
        EXPECT_EQ(components, c.components) << expected;
        EXPECT_EQ(expected.find("unread"), std::string::npos) << expected;

        const std::string package = hwpx::WriteHwpxToBytes(c.document);
        const std::string xml = SectionXml(package);
        EXPECT_NE(xml.find(c.element), std::string::npos);
        const hwp::Document back = hwpx::ReadHwpxFromBytes(package);
        EXPECT_EQ(DescribeAll(back), expected);
        // On into HWP: the model the HWPX reader made is the one HWP keeps.
        EXPECT_EQ(DescribeAll(AsFromHwp(back)), expected);

        written.push_back(scratch.File("drawing" + std::to_string(written.size()) + ".hwpx"));
        WriteFile(written.back(), package);
    }

    const fs::path oracle = fs::path(std::getenv("VARNEL_SOURCE_DIR")) / "tests" / "oracle";
    if (!fs::exists(oracle / "node_modules" / "@ssabrojs" / "hwpxjs") || std::system("node --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the HWPX oracle is not installed (npm install in tests/oracle)";
    std::string command = "cd '" + oracle.string() + "' && node dump-hwpx-texts.mjs";
    for (const std::string& path : written)
        command += " '" + path + "'";
    std::istringstream lines(CommandOutput(command + " 2>/dev/null"));
    std::size_t read = 0;
    for (std::string line; std::getline(lines, line); ++read)
        EXPECT_EQ(line.rfind("{\"source\":\"text\"", 0), 0u) << written[read] << ": " << line;
    EXPECT_EQ(read, written.size());
}

TEST(HwpxDrawings, ShapesReadFromHwpxGoBackWithWhatTheirElementHeldBeyondTheModel)
{
    std::string path;
    for (const std::string& sample : HwpxSamplePaths())
        if (sample.ends_with("/RectInPara.hwpx"))
            path = sample;
    if (path.empty())
        GTEST_SKIP() << "no HWPX samples";
    // A see-through fill: the model has no field for it.
    const hwpx::Package package = hwpx::ReadPackage(ReadFile(path));
    std::vector<std::pair<std::string, std::string>> parts = {{"mimetype", package.parts.at("mimetype")}};
    for (auto [name, bytes] : package.parts) {
        const std::string opaque = R"(faceColor="#FFFFFF" hatchColor="#000000" alpha="0")";
        if (name == "Contents/section0.xml" && bytes.find(opaque) != std::string::npos)
            bytes.replace(bytes.find(opaque), opaque.size(), R"(faceColor="#FFFFFF" hatchColor="#000000" alpha="50")");
        if (name != "mimetype")
            parts.emplace_back(name, bytes);
    }
    const std::string again = SectionXml(hwpx::WriteHwpxToBytes(hwpx::ReadHwpxFromBytes(hwpx::WritePackage(parts))));
    EXPECT_NE(again.find(R"(alpha="50")"), std::string::npos);
    // The rectangle's matrices as the word processor wrote them, not as the model makes them.
    EXPECT_NE(again.find(R"(<hc:scaMatrix e1="1.744939" e2="0" e3="0" e4="0" e5="3.051282" e6="0"/>)"), std::string::npos);
}

// A bookmark as the word processor writes one: a header of its id alone, its name in the
// parameter set of its data record.
hwp::Control HwpBookmark(const std::u16string& name)
{
    hwp::Control control;
    control.code = 22;
    control.ctrlId = hwp::kBookmarkCtrlId;
    hwp::Bytes head(4);
    hwp::PutLittleEndianAt(head, 0, 4, hwp::kBookmarkCtrlId);
    control.records.push_back({hwp::tag::kCtrlHeader, 0, head});
    hwp::ByteWriter data;
    data.U16(0x021B);
    data.I16(1);
    data.U16(0x4000);
    data.U16(1);
    data.Text16(name);
    control.records.push_back({hwp::tag::kCtrlData, 1, hwp::ToBytes(data.Data())});
    return control;
}

TEST(HwpxDrawings, BookmarksKeepTheirNamesAndPlacesThroughHwpxAndBackIntoHwp)
{
    const std::vector<std::u16string> names = {u"첫째", u"", u"a & <b> \"c\"", u"  둘 셋  ", std::u16string(300, u'가')};
    hwp::Document document = DocumentWithTexts({u"가나다라마바사", u"둘째 문단"});
    hwp::Paragraph& first = document.sections.at(0).paragraphs.at(0);
    for (std::size_t i = 0; i < names.size(); ++i) {
        hwp::Control bookmark = HwpBookmark(names[i]);
        bookmark.position = bookmark.end = static_cast<std::uint32_t>(i);
        first.controls.push_back(bookmark);
    }
    const hwp::Document fromHwp = AsFromHwp(document);
    const std::string package = hwpx::WriteHwpxToBytes(fromHwp);
    const std::string xml = SectionXml(package);
    std::size_t elements = 0;
    for (std::size_t at = xml.find("<hp:ctrl><hp:bookmark "); at != std::string::npos; at = xml.find("<hp:ctrl><hp:bookmark ", at + 1))
        ++elements;
    EXPECT_EQ(elements, names.size());
    const hwp::Document back = hwpx::ReadHwpxFromBytes(package);
    const hwp::Document again = AsFromHwp(back);
    for (const hwp::Document* read : {&back, &again}) {
        const hwp::Paragraph& paragraph = read->sections.at(0).paragraphs.at(0);
        EXPECT_EQ(paragraph.text, first.text);
        ASSERT_EQ(paragraph.controls.size(), names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            const hwp::Control& control = paragraph.controls[i];
            EXPECT_EQ(control.ctrlId, hwp::kBookmarkCtrlId);
            EXPECT_EQ(control.code, 22);
            EXPECT_EQ(control.position, i);
            EXPECT_EQ(hwp::ReadBookmark(control), names[i]);
            // In HWP's own form: the same records the word processor writes.
            EXPECT_EQ(control.records, fromHwp.sections.at(0).paragraphs.at(0).controls.at(i).records);
        }
    }
    // An independent HWP reader reads the HWP file they are written to, text and all.
    ScratchFolder scratch;
    WriteFile(scratch.File("bookmarks.hwp"), hwp::WriteDocumentToBytes(back));
    const OracleResult oracle = OracleTexts(scratch.File("bookmarks.hwp"));
    if (!oracle.available)
        GTEST_SKIP() << "the HWP oracle is not installed (npm install in tests/oracle)";
    ASSERT_TRUE(oracle.parsed);
    if (!oracle.fromMarkdown)
        EXPECT_EQ(oracle.texts, OracleView(DisplayTexts(back)));
    else
        EXPECT_NE(oracle.markdown.find(u"둘째 문단"), std::u16string::npos);
}

}  // namespace
