// hwp::Document: an HWP 5.0 word-processor document as plain data, with no I/O.
//
// The reader (reader.h) fills it from a file, the writer (writer.h) turns it back into
// one, and the editor maps it to and from its rich-text document. Everything here is
// the format's own vocabulary, in the format's own units:
//
//   HwpUnit    lengths: 1/7200 inch (1 pt = 100 units, 1 mm ~ 283.46 units)
//   char size  1/100 pt (1000 = 10 pt)
//   ColorRef   0x00BBGGRR (red in the low byte); kNoColor (0xFFFFFFFF) means "none"
//   ids        indexes into the Document's tables, 0-based
//
// Paragraph text holds only what a reader sees; controls that occupy room in the file's
// text (section definition, fields, tables, ...) are kept beside it at a text index.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hwp {

using HwpUnit = std::int32_t;
using ColorRef = std::uint32_t;
using Bytes = std::vector<std::uint8_t>;

constexpr ColorRef kNoColor = 0xFFFFFFFFu;

// Bytes that the copies of a document share and never change in place: a picture's
// stream goes with every copy of its document (each pasted object's, the one a save
// writes), so a copy costs a pointer, not megabytes. Bytes of a file may be left where
// they are until first wanted (a document read only for its text never reads its
// pictures); reading them then throws HwpError when the file cannot give them.
class SharedBytes {
public:
    // Where bytes not read yet come from.
    class Source {
    public:
        virtual ~Source() = default;
        virtual std::string Read() const = 0;
    };

    SharedBytes() = default;
    SharedBytes(std::string bytes);
    SharedBytes(const Bytes& bytes) : SharedBytes(std::string(bytes.begin(), bytes.end())) {}
    // `size` bytes from `source`, read on the first View().
    SharedBytes(std::shared_ptr<const Source> source, std::size_t size);

    std::string_view View() const;
    bool empty() const { return !m_held; }
    std::size_t size() const;
    bool operator==(const SharedBytes& other) const;

private:
    struct Held;
    std::shared_ptr<Held> m_held;
};

// The seven language groups every face list and char shape is split by, in file order.
enum class Lang : int { Hangul = 0, Latin, Hanja, Japanese, Other, Symbol, User };
constexpr int kLangCount = 7;

template <typename T>
using PerLang = std::array<T, kLangCount>;

struct FaceName {
    std::u16string name;
    // Property bits other than the three that say which optional parts follow.
    std::uint8_t otherProperties = 0;
    // Substitute face: kind 0 unknown, 1 TrueType, 2 HFT (the format's own fonts).
    std::u16string substituteName;
    std::uint8_t substituteKind = 0;
    std::u16string defaultName;   // base face name, empty when absent
    Bytes typeInfo;               // 10-byte PANOSE-like type information, empty when absent

    bool operator==(const FaceName&) const = default;
};

// Kept byte for byte: the editor does not draw cell or paragraph borders yet, and the
// writer puts the bytes back unchanged so the ids in char and para shapes stay valid.
struct BorderFill {
    Bytes data;

    bool operator==(const BorderFill&) const = default;
};

enum class UnderlineKind : std::uint8_t { None = 0, Below = 1, Above = 2 };

struct CharShape {
    PerLang<std::uint16_t> faceIds{};          // index into Document::faces[lang]
    PerLang<std::uint8_t> ratios{100, 100, 100, 100, 100, 100, 100};   // width, %
    PerLang<std::int8_t> spacings{};           // letter spacing, % of the size
    PerLang<std::uint8_t> relativeSizes{100, 100, 100, 100, 100, 100, 100};   // %
    PerLang<std::int8_t> offsets{};            // raise or lower, % of the size
    std::int32_t size = 1000;                  // 1/100 pt
    bool italic = false;
    bool bold = false;
    UnderlineKind underline = UnderlineKind::None;
    std::uint8_t underlineShape = 0;           // line style, 0 = solid
    bool strikeOut = false;
    std::uint8_t strikeOutShape = 0;           // line style, 0 = solid
    bool superscript = false;
    bool subscript = false;
    // Property bits this model does not name (outline, shadow, emboss, emphasis marks,
    // kerning, ...), kept as read; the named fields above always win over them.
    std::uint32_t otherProperties = 0;
    std::int8_t shadowOffsetX = 10;            // %
    std::int8_t shadowOffsetY = 10;            // %
    ColorRef textColor = 0x00000000;
    ColorRef underlineColor = 0x00000000;
    ColorRef shadeColor = kNoColor;            // background behind the letters
    ColorRef shadowColor = 0x00B2B2B2;
    std::uint16_t borderFillId = 0;            // 1-based in the file; 0 = none
    ColorRef strikeOutColor = 0x00000000;

    bool operator==(const CharShape&) const = default;
};

enum class Alignment : std::uint8_t { Justify = 0, Left = 1, Right = 2, Center = 3, Distribute = 4, Divide = 5 };

// What a paragraph starts with, drawn before its text: nothing, its section's outline
// number, a number of a numbering definition or a bullet.
enum class HeadKind : std::uint8_t { None = 0, Outline = 1, Number = 2, Bullet = 3 };

enum class LineSpacingKind : std::uint8_t {
    Percent = 0,        // lineSpacing is % of the font size (160 = the usual default)
    Fixed = 1,          // lineSpacing is the line height in HwpUnit
    BetweenLines = 2,   // lineSpacing is the gap between lines in HwpUnit
    AtLeast = 3,        // lineSpacing is the minimum line height in HwpUnit
};

struct ParaShape {
    Alignment alignment = Alignment::Justify;
    // Margins, indent and spacing before and after are in HwpUnit (1000 = 10 pt); the
    // file holds twice these values and the reader and writer convert. A negative
    // indent is a hanging indent.
    std::int32_t leftMargin = 0;
    std::int32_t rightMargin = 0;
    std::int32_t indent = 0;
    std::int32_t spacingBefore = 0;
    std::int32_t spacingAfter = 0;
    LineSpacingKind lineSpacingKind = LineSpacingKind::Percent;
    std::int32_t lineSpacing = 160;
    std::uint16_t tabDefId = 0;
    // Numbering (HeadKind::Number) or bullet (HeadKind::Bullet) id, counted from 1; 0 none.
    // Outline paragraphs take their section's numbering.
    std::uint16_t numberingId = 0;
    HeadKind headKind = HeadKind::None;
    std::uint8_t headLevel = 0;   // 0-based: level 1 is 0
    std::uint16_t borderFillId = 0;  // 1-based in the file; 0 = none
    std::array<std::int16_t, 4> borderOffsets{};   // left, right, top, bottom; HwpUnit
    // Property bits this model does not name (widow control, line breaking, ...), kept as
    // read; alignment, line spacing kind and the head win over them.
    std::uint32_t otherProperties1 = 0;
    std::uint32_t properties2 = 0;
    std::uint32_t otherProperties3 = 0;

    bool operator==(const ParaShape&) const = default;
};

enum class StyleKind : std::uint8_t { Paragraph = 0, Character = 1 };

struct Style {
    std::u16string name;          // local (Korean) name, e.g. u"바탕글"
    std::u16string englishName;   // e.g. u"Normal"
    StyleKind kind = StyleKind::Paragraph;
    std::uint8_t nextStyleId = 0;
    std::int16_t langId = 1042;   // Korean
    std::uint16_t paraShapeId = 0;
    std::uint16_t charShapeId = 0;

    bool operator==(const Style&) const = default;
};

// A record kept as read for tables the model keeps as bytes (tab definitions, and
// numberings and bullets, whose parsed view is hwp/numbering.h): para shapes refer to
// them by index.
struct RawRecord {
    Bytes data;

    bool operator==(const RawRecord&) const = default;
};

struct PageDef {
    HwpUnit width = 59528;    // A4: 210 mm
    HwpUnit height = 84188;   // A4: 297 mm
    HwpUnit leftMargin = 8504;     // 30 mm
    HwpUnit rightMargin = 8504;
    HwpUnit topMargin = 5668;      // 20 mm
    HwpUnit bottomMargin = 4252;   // 15 mm
    HwpUnit headerMargin = 4252;
    HwpUnit footerMargin = 4252;
    HwpUnit gutterMargin = 0;
    bool landscape = false;   // the paper turned: width and height stay as the paper's
    std::uint8_t gutterKind = 0;   // 0 one-sided, 1 facing pages, 2 top binding

    bool operator==(const PageDef&) const = default;
};

// Break flags of a paragraph header: what starts before this paragraph. The first
// paragraph of a section never holds kBreakSection or kBreakColumns here: its place
// implies them, and the writer adds them in the file.
enum BreakFlags : std::uint8_t {
    kBreakSection = 0x01,
    kBreakColumns = 0x02,   // a new multi-column layout
    kBreakPage = 0x04,
    kBreakColumn = 0x08,
};

// A char shape starts applying at text index `position` (UTF-16 units of Paragraph::text).
struct CharShapeRun {
    std::uint32_t position = 0;
    std::uint32_t charShapeId = 0;

    bool operator==(const CharShapeRun&) const = default;
};

// A click-here field around text[begin, end): the form field a user types into,
// found by name (u"TEXT_AREA").
struct Field {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
    std::u16string name;
    // The field's command text as the file holds it, when it says more than `guide`
    // (help text, other settings); empty makes the writer compose one from `guide`.
    std::u16string command;
    std::u16string guide;     // text shown in the empty field, e.g. u"이곳을 마우스로 누르고 내용을 입력하세요."
    bool editableInForm = true;

    bool operator==(const Field&) const = default;
};

// One record of a kept object, as read. `level` counts from the object's own
// CTRL_HEADER, which is level 0 here; in the file it sits one below its paragraph
// header, so its file level is the paragraph's level + 1 + `level`.
struct ObjectRecord {
    std::uint16_t tag = 0;
    std::uint16_t level = 0;
    Bytes data;

    bool operator==(const ObjectRecord&) const = default;
};

// Control::end of a field whose end stands in a later paragraph (Paragraph::fieldEnds).
constexpr std::uint32_t kEndsInLaterParagraph = 0xFFFFFFFFu;

// A control of a paragraph that the model keeps whole (table, picture and other drawing
// objects, equation, text box, header, footer, footnote, endnote, column definition
// after the first, page number, bookmark, field other than click-here, hidden comment,
// anything unknown), standing before text index `position` of Paragraph::text.
// Controls at the same position keep their file order.
struct Control {
    std::uint32_t position = 0;
    // The control character it occupies in the file's text (2, 3, 11, 12, 14..18, 21..23,
    // eight units: code, id low, id high, four more units, code).
    char16_t code = 11;
    std::uint32_t ctrlId = 0;                // the four-letter id, e.g. CtrlId('t','b','l',' ')
    std::array<char16_t, 4> extraUnits{};    // units 3..6 of the eight, as read
    // Fields (code 3): the text index where its field-end character stands (>= position),
    // or kEndsInLaterParagraph; equal to `position` for every other control.
    std::uint32_t end = 0;
    // The whole subtree: records[0] is the CTRL_HEADER (data starting with the id), then
    // every record below it, nested paragraph lists included, in file order.
    std::vector<ObjectRecord> records;

    bool operator==(const Control&) const = default;
};

// Text conventions: u'\t' tab, u'\n' line break inside the paragraph, U+00A0 bound
// space, U+2007 fixed-width space, U+00AD hyphen; the paragraph end is implicit.
// Other characters below U+0020 never appear.
// A line as the word processor laid it out (PARA_LINE_SEG), kept for a paragraph read
// from a file so that it prints on the same breaks. Lengths in HwpUnit; `top` from the
// top of the body (of its column) on the line's page, `baseline` from the line's top.
struct LineSegment {
    std::uint32_t textStart = 0;   // index into Paragraph::text
    std::int32_t top = 0;
    std::int32_t height = 0;
    std::int32_t textHeight = 0;
    std::int32_t baseline = 0;
    std::int32_t spacing = 0;
    std::int32_t columnStart = 0;
    std::int32_t width = 0;
    std::uint32_t flags = 0;

    bool operator==(const LineSegment&) const = default;
};

// A layout, not content: two paragraphs of the same content are equal however they were
// laid out.
struct StoredLayout {
    std::vector<LineSegment> segments;

    bool operator==(const StoredLayout&) const { return true; }
};

struct Paragraph {
    std::u16string text;
    std::vector<CharShapeRun> charShapes;   // sorted by position; the first at 0
    std::uint16_t paraShapeId = 0;
    std::uint8_t styleId = 0;
    std::uint8_t breakFlags = 0;
    std::vector<Field> fields;              // sorted by begin, not overlapping
    std::vector<Control> controls;          // sorted by position
    // Ends of fields begun in an earlier paragraph, before these text indexes, with the
    // id their characters carry; sorted.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> fieldEnds;
    // The lines as stored; empty for a paragraph laid out anew (the writer then composes
    // them).
    StoredLayout lineLayout;
    // What each tab's character holds in the file besides its code (width, leader, kind),
    // in the order of the tabs of `text`; used while there are as many as tabs.
    std::vector<std::array<char16_t, 6>> tabs;
    // The paragraph's range tags as read, 12 bytes each (start and end in the file's text,
    // kind and data); kept while the text is as read.
    Bytes rangeTags;

    bool operator==(const Paragraph&) const = default;
};

struct Section {
    PageDef page;
    std::uint16_t columnCount = 1;
    HwpUnit columnGap = 0;
    std::vector<Paragraph> paragraphs;
    // The first paragraph's section and column definitions as read (footnote shapes, page
    // border fills, master pages, column lines, ...). The writer writes them back with
    // `page`, `columnCount` and `columnGap` patched in; empty records make it compose them.
    Control sectionDef;
    Control columnDef;
    bool columnDefFirst = false;   // the file had the column definition before the section's
    // Records after the last paragraph (memos and the like), levels as in the file.
    std::vector<ObjectRecord> trailer;
    // The section's settings as an HWPX file held them (its <secPr>, and the <colPr> of the
    // first paragraph), as XML text of their own: written back to HWPX with `page`,
    // `columnCount` and `columnGap` patched in. An HWP file takes only those three.
    std::string hwpxSettingsXml;
    std::string hwpxColumnsXml;

    bool operator==(const Section&) const = default;
};

struct Version {
    std::uint8_t major = 5;
    std::uint8_t minor = 0;
    std::uint8_t build = 3;
    std::uint8_t revision = 0;

    // 0xMMnnPPrr, as the file header holds it: versions compare as numbers.
    constexpr std::uint32_t Number() const
    {
        return static_cast<std::uint32_t>(major) << 24 | static_cast<std::uint32_t>(minor) << 16 |
               static_cast<std::uint32_t>(build) << 8 | revision;
    }

    bool operator==(const Version&) const = default;
};

// FileHeader property bits.
enum HeaderFlags : std::uint32_t {
    kHeaderCompressed = 0x001,
    kHeaderPassword = 0x002,
    kHeaderDistribution = 0x004,
    kHeaderScript = 0x008,
    kHeaderDrm = 0x010,
    kHeaderXmlTemplate = 0x020,
    kHeaderHistory = 0x040,
    kHeaderSignature = 0x080,
    kHeaderCertificateEncrypted = 0x100,
    kHeaderCertificateDrm = 0x400,
    kHeaderCcl = 0x800,
};

struct StartNumbers {
    std::uint16_t page = 1;
    std::uint16_t footnote = 1;
    std::uint16_t endnote = 1;
    std::uint16_t picture = 1;
    std::uint16_t table = 1;
    std::uint16_t equation = 1;

    bool operator==(const StartNumbers&) const = default;
};

// A DocInfo BIN_DATA record and the BinData/ stream it names. References to it (pictures,
// image fills, OLE objects) count from 1 in the order of Document::binData.
struct BinDataItem {
    Bytes record;              // the record as read: kind, compression, id, extension
    std::string streamName;    // e.g. "BIN0001.jpg"; empty for a linked file
    SharedBytes stream;        // as stored: compressed or not, as the record and file say
    // Its entry in the HWPX package it was read from ("BinData/ole1.ole"): kept XML names
    // it by that.
    std::string packageEntry;

    bool operator==(const BinDataItem&) const = default;
};

struct Document {
    // As read (ours for a new document): the writer stamps it in the header and writes
    // each record in the form it defines.
    Version version;
    std::uint32_t headerFlags = kHeaderCompressed;   // as read
    StartNumbers startNumbers;
    PerLang<std::vector<FaceName>> faces;
    std::vector<BorderFill> borderFills;
    std::vector<CharShape> charShapes;
    std::vector<RawRecord> tabDefs;
    std::vector<RawRecord> numberings;
    std::vector<RawRecord> bullets;
    std::vector<ParaShape> paraShapes;
    std::vector<Style> styles;
    std::vector<BinDataItem> binData;
    // BinData/ streams no record names, kept as read.
    std::vector<std::pair<std::string, Bytes>> unlistedBinData;
    std::vector<Section> sections;
    // DocInfo records the model does not hold (document data, compatibility, memo shapes,
    // forbidden characters, change tracking, ...), levels as in the file, in file order;
    // written back after the styles.
    std::vector<ObjectRecord> docInfoRecords;
    // Streams and storages of the file the model does not read (scripts, link data, summary
    // information, history, storages of other programs), by path (hwp/container.h), as
    // stored: compressed when the file is. Written back unchanged.
    std::map<std::string, std::string> keptStreams;
    // What an HWPX package held that the model does not read, written back when the
    // document is written as HWPX (an HWP file has no place for it): parts by entry name,
    // as stored (settings, preview, scripts, parts of other programs), and elements of the
    // header (compatibility, document options, change tracking, ...) as XML text of their
    // own, those of its list of shapes apart.
    std::map<std::string, std::string> hwpxParts;
    std::vector<std::string> hwpxHeadXml;
    std::vector<std::string> hwpxRefListXml;

    bool operator==(const Document&) const = default;
};

// A document ready to type into: one face per language group, one border fill, one
// char shape (10 pt), one tab definition, one para shape, the style u"바탕글"
// ("Normal"), one section on A4 portrait with one empty paragraph, and the compatibility
// records of the version we write.
Document NewDocument();

// The document's version, flags, start numbers and every shape table (faces, border
// fills, char shapes, tab definitions, numberings, bullets, para shapes, styles, and the
// DocInfo records the model does not hold), with no section, no bin data and no kept
// stream: what paragraphs and kept objects refer to by id.
Document ShapeTablesOf(const Document& document);

// Throws HwpError when the document cannot be a valid file: an id that points nowhere
// (face, char shape, para shape, style, border fill, tab definition), no section, a
// char-shape run list that does not start at 0 or is not sorted, fields or controls
// outside their paragraph's text or out of order, a control without its header record.
void CheckDocument(const Document& document);

}  // namespace hwp
