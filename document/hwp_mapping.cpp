#include "document/hwp_mapping.h"

#include "document/face_metrics.h"
#include "document/character_breaks.h"

#include "hwp/border_fill.h"

#include "document/kept_objects.h"
#include "document/line_spacing.h"
#include "document/stored_lines.h"
#include "document/paragraph_heads.h"
#include "document/table_mapping.h"
#include "hwp/objects.h"
#include "hwp/reader.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"
#include "hwp/writer.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <type_traits>

namespace editor {

namespace {

// The shape a format came from, byte for byte, so saving keeps what the format cannot
// express (outline, emphasis marks, tab and numbering ids, ...).
constexpr int kBaseCharShapeProperty = QTextFormat::UserProperty + 3;
constexpr int kBaseParaShapeProperty = QTextFormat::UserProperty + 4;
// The HWP face names of all seven language groups, when read from a file.
constexpr int kFaceNamesProperty = QTextFormat::UserProperty + 5;
// The id the shape had in the document it was read from: an untouched shape keeps its id,
// so the ids inside kept objects still name the same shapes.
constexpr int kBaseCharShapeIdProperty = QTextFormat::UserProperty + 6;
constexpr int kBaseParaShapeIdProperty = QTextFormat::UserProperty + 7;

// The control character of a field's start; its end is a second object character.
constexpr char16_t kFieldBeginCode = 3;

// The id a field's end character carries: the field's own without its leading '%'.
std::uint32_t FieldEndId(const hwp::Control& field)
{
    return field.ctrlId & 0x00FFFFFFu;
}

// Percent line spacing of HWP counts from the font size; Qt's proportional height counts
// from the font's own line height, which for the Nanum faces is about 1.25 times the size.
constexpr double kPercentToProportional = 0.8;

template <typename Shape>
QByteArray ShapeBytes(const Shape& shape)
{
    static_assert(std::is_trivially_copyable_v<Shape>);
    return QByteArray(reinterpret_cast<const char*>(&shape), sizeof shape);
}

template <typename Shape>
bool ShapeFromBytes(const QVariant& value, Shape& shape)
{
    const QByteArray bytes = value.toByteArray();
    if (bytes.size() != static_cast<qsizetype>(sizeof shape))
        return false;
    std::memcpy(&shape, bytes.constData(), sizeof shape);
    return true;
}

QString ToQString(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

std::u16string ToU16(const QString& text)
{
    return text.toStdU16String();
}

QString FaceNameOf(const hwp::Document& document, int lang, std::uint16_t id)
{
    const auto& faces = document.faces[static_cast<std::size_t>(lang)];
    if (id < faces.size())
        return ToQString(faces[id].name);
    return {};
}

QTextCharFormat CharFormatFrom(const hwp::Document& document, const hwp::CharShape& shape)
{
    QTextCharFormat format;
    QStringList names;
    for (int lang = 0; lang < hwp::kLangCount; ++lang)
        names.push_back(FaceNameOf(document, lang, shape.faceIds[static_cast<std::size_t>(lang)]));
    const QString hangul = names.front().isEmpty() ? QStringLiteral("바탕") : names.front();
    format.setFontFamilies({NanumFamilyFor(hangul)});
    format.setProperty(kFaceNameProperty, hangul);
    format.setProperty(kFaceNamesProperty, names);
    // Sizes from a file are kept within what a word processor offers (4096 pt).
    const double points = std::max(1, shape.size) / 100.0 * std::max<int>(1, shape.relativeSizes[0]) / 100.0;
    format.setFontPointSize(std::clamp(points, 1.0, 4096.0));
    format.setFontWeight(shape.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(shape.italic);
    format.setFontUnderline(shape.underline != hwp::UnderlineKind::None);
    format.setFontStrikeOut(shape.strikeOut);
    if (shape.superscript)
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (shape.subscript)
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    format.setForeground(FromColorRef(shape.textColor));
    if (shape.shadeColor != hwp::kNoColor)
        format.setBackground(FromColorRef(shape.shadeColor));
    if (shape.spacings[0] != 0)
        format.setProperty(kFileLetterSpacingProperty, static_cast<double>(std::max(50, 100 + shape.spacings[0])));
    if (shape.ratios[0] != 100 && shape.ratios[0] > 0)
        format.setFontStretch(shape.ratios[0]);
    FitToFace(format);
    format.setProperty(kBaseCharShapeProperty, ShapeBytes(shape));
    return format;
}

// A line height in layout pixels, no taller than a page.
double LineLength(std::int32_t units)
{
    return HwpUnitsToLayout(std::clamp<std::int32_t>(units, 0, 84188));
}

QTextBlockFormat BlockFormatFrom(const hwp::ParaShape& shape)
{
    QTextBlockFormat format;
    switch (shape.alignment) {
    case hwp::Alignment::Left: format.setAlignment(Qt::AlignLeft); break;
    case hwp::Alignment::Right: format.setAlignment(Qt::AlignRight); break;
    case hwp::Alignment::Center: format.setAlignment(Qt::AlignHCenter); break;
    default: format.setAlignment(Qt::AlignJustify); break;
    }
    const double indent = HwpUnitsToLayout(shape.indent);
    if (shape.indent < 0) {
        // Hanging: the first line starts at the margin, the others further in.
        format.setLeftMargin(HwpUnitsToLayout(shape.leftMargin) - indent);
        format.setTextIndent(indent);
    } else {
        format.setLeftMargin(HwpUnitsToLayout(shape.leftMargin));
        format.setTextIndent(indent);
    }
    format.setRightMargin(HwpUnitsToLayout(shape.rightMargin));
    format.setTopMargin(HwpUnitsToLayout(shape.spacingBefore));
    format.setBottomMargin(HwpUnitsToLayout(shape.spacingAfter));
    switch (shape.lineSpacingKind) {
    case hwp::LineSpacingKind::Percent:
        format.setLineHeight(ProportionalHeightOf(shape.lineSpacing), QTextBlockFormat::ProportionalHeight);
        break;
    case hwp::LineSpacingKind::Fixed:
        format.setLineHeight(LineLength(shape.lineSpacing), QTextBlockFormat::FixedHeight);
        break;
    case hwp::LineSpacingKind::BetweenLines:
        format.setLineHeight(LineLength(shape.lineSpacing), QTextBlockFormat::LineDistanceHeight);
        break;
    case hwp::LineSpacingKind::AtLeast:
        format.setLineHeight(LineLength(shape.lineSpacing), QTextBlockFormat::MinimumHeight);
        break;
    }
    format.setProperty(kBaseParaShapeProperty, ShapeBytes(shape));
    return format;
}

// A tab definition (properties u32, count i32, then per stop its position u32 in HwpUnit,
// kind u8 0 left 1 right 2 centre 3 decimal, fill u8 and two reserved bytes) as the text
// engine's tab stops; none for a record it cannot read whole.
QList<QTextOption::Tab> TabsOf(const hwp::Bytes& data)
{
    QList<QTextOption::Tab> tabs;
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                                          static_cast<std::uint32_t>(data[at + 3]) << 24);
    };
    if (data.size() < 8)
        return tabs;
    const std::uint32_t count = u32(4);
    if (count > 256 || data.size() < 8 + 8 * std::size_t{count})
        return tabs;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t at = 8 + 8 * std::size_t{i};
        static const QTextOption::TabType kKinds[] = {QTextOption::LeftTab, QTextOption::RightTab,
                                                      QTextOption::CenterTab, QTextOption::DelimiterTab};
        const QTextOption::TabType kind = kKinds[std::min<std::uint8_t>(data[at + 4], 3)];
        tabs.append(QTextOption::Tab(HwpUnitsToLayout(std::min<std::uint32_t>(u32(at), 84188)), kind,
                                     kind == QTextOption::DelimiterTab ? QChar(u'.') : QChar()));
    }
    return tabs;
}

hwp::Bytes TabDefBytes(const QList<QTextOption::Tab>& tabs)
{
    hwp::Bytes data(8 + 8 * static_cast<std::size_t>(tabs.size()), 0);
    auto put = [&](std::size_t at, std::uint32_t value) {
        for (int k = 0; k < 4; ++k)
            data[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(value >> (8 * k));
    };
    put(4, static_cast<std::uint32_t>(tabs.size()));
    for (qsizetype i = 0; i < tabs.size(); ++i) {
        const std::size_t at = 8 + 8 * static_cast<std::size_t>(i);
        put(at, static_cast<std::uint32_t>(std::max(0L, std::lround(LayoutToHwpUnits(tabs[i].position)))));
        const QTextOption::TabType type = tabs[i].type;
        data[at + 4] = type == QTextOption::RightTab ? 1 : type == QTextOption::CenterTab ? 2
                                                        : type == QTextOption::DelimiterTab ? 3 : 0;
    }
    return data;
}

bool Near(double a, double b)
{
    return std::abs(a - b) < 0.01;
}

std::int32_t ToUnits(double pixels)
{
    return static_cast<std::int32_t>(std::lround(LayoutToHwpUnits(pixels)));
}

// Writes into `shape` (the base the format came from) what the format says differently;
// the room of a paragraph head is none of it.
hwp::ParaShape ParaShapeFrom(const QTextBlockFormat& shown, const hwp::ParaShape& base)
{
    const QTextBlockFormat format = WithoutCharacterLinesRoom(WithoutCharSizeSpacing(WithoutHeadRoom(shown)));
    hwp::ParaShape shape = base;
    const QTextBlockFormat reference = BlockFormatFrom(base);
    const Qt::Alignment horizontal = format.alignment() & Qt::AlignHorizontal_Mask;
    if (horizontal != (reference.alignment() & Qt::AlignHorizontal_Mask)) {
        if (horizontal == Qt::AlignHCenter)
            shape.alignment = hwp::Alignment::Center;
        else if (horizontal == Qt::AlignRight || horizontal == Qt::AlignTrailing)
            shape.alignment = hwp::Alignment::Right;
        else if (horizontal == Qt::AlignJustify)
            shape.alignment = hwp::Alignment::Justify;
        else
            shape.alignment = hwp::Alignment::Left;
    }
    if (!Near(format.leftMargin(), reference.leftMargin()) || !Near(format.textIndent(), reference.textIndent())) {
        if (format.textIndent() < 0) {
            shape.indent = ToUnits(format.textIndent());
            shape.leftMargin = ToUnits(format.leftMargin() + format.textIndent());
        } else {
            shape.indent = ToUnits(format.textIndent());
            shape.leftMargin = ToUnits(format.leftMargin());
        }
    }
    if (!Near(format.rightMargin(), reference.rightMargin()))
        shape.rightMargin = ToUnits(format.rightMargin());
    if (!Near(format.topMargin(), reference.topMargin()))
        shape.spacingBefore = ToUnits(format.topMargin());
    if (!Near(format.bottomMargin(), reference.bottomMargin()))
        shape.spacingAfter = ToUnits(format.bottomMargin());
    if (format.lineHeightType() != reference.lineHeightType() || !Near(format.lineHeight(), reference.lineHeight())) {
        switch (format.lineHeightType()) {
        case QTextBlockFormat::ProportionalHeight:
            shape.lineSpacingKind = hwp::LineSpacingKind::Percent;
            shape.lineSpacing = static_cast<std::int32_t>(std::lround(format.lineHeight() / kPercentToProportional));
            break;
        case QTextBlockFormat::FixedHeight:
            shape.lineSpacingKind = hwp::LineSpacingKind::Fixed;
            shape.lineSpacing = ToUnits(format.lineHeight());
            break;
        case QTextBlockFormat::MinimumHeight:
            shape.lineSpacingKind = hwp::LineSpacingKind::AtLeast;
            shape.lineSpacing = ToUnits(format.lineHeight());
            break;
        case QTextBlockFormat::LineDistanceHeight:
            shape.lineSpacingKind = hwp::LineSpacingKind::BetweenLines;
            shape.lineSpacing = ToUnits(format.lineHeight());
            break;
        default:
            shape.lineSpacingKind = hwp::LineSpacingKind::Percent;
            shape.lineSpacing = 160;
            break;
        }
    }
    return shape;
}

// Collects the tables of the document being written; equal shapes share one id.
class ShapeTables {
public:
    ShapeTables(const EditorDocument& source, hwp::Document& target) : m_target(target)
    {
        const hwp::Document& origin = source.Origin();
        m_origin = &origin;
        m_target.faces = origin.faces;
        m_target.borderFills = origin.borderFills;
        m_target.tabDefs = origin.tabDefs;
        m_target.numberings = origin.numberings;
        m_target.bullets = origin.bullets;
        m_target.startNumbers = origin.startNumbers;
        // Read ids stay what they were; shapes for new text are added after them.
        m_target.charShapes = origin.charShapes;
        m_target.paraShapes = origin.paraShapes;
        if (!origin.charShapes.empty())
            m_defaultChar = origin.charShapes.front();
        if (!origin.paraShapes.empty())
            m_defaultPara = origin.paraShapes.front();
        for (auto& faces : m_target.faces) {
            if (faces.empty()) {
                hwp::FaceName face;
                face.name = u"바탕";
                faces.push_back(face);
            }
        }
    }

    std::uint32_t CharShapeId(const QTextCharFormat& format)
    {
        hwp::CharShape base = m_defaultChar;
        const bool hasBase = ShapeFromBytes(format.property(kBaseCharShapeProperty), base);
        hwp::CharShape shape = base;

        QStringList names = format.property(kFaceNamesProperty).toStringList();
        QString hangul = format.stringProperty(kFaceNameProperty);
        const QStringList families = format.fontFamilies().toStringList();
        if (hangul.isEmpty() && !families.isEmpty())
            hangul = families.front();
        if (names.size() != hwp::kLangCount || names.front() != hangul) {
            names.clear();
            for (int lang = 0; lang < hwp::kLangCount; ++lang)
                names.push_back(hangul.isEmpty() ? QStringLiteral("바탕") : hangul);
        }
        for (int lang = 0; lang < hwp::kLangCount; ++lang)
            shape.faceIds[static_cast<std::size_t>(lang)] = FaceId(lang, names[lang]);

        // Compare with what the base shape shows, so untouched values keep their exact
        // file form.
        const QTextCharFormat reference = hasBase ? CharFormatFrom(m_target, base) : QTextCharFormat();
        const double points = format.fontPointSize() > 0 ? format.fontPointSize() : 10.0;
        if (!hasBase || !Near(points, reference.fontPointSize())) {
            const double relative = std::max<int>(1, shape.relativeSizes[0]) / 100.0;
            shape.size = std::clamp(static_cast<std::int32_t>(std::lround(points * 100 / relative)), 100, 409600);
        }
        shape.bold = format.fontWeight() >= QFont::DemiBold;
        shape.italic = format.fontItalic();
        if (!format.fontUnderline())
            shape.underline = hwp::UnderlineKind::None;
        else if (shape.underline == hwp::UnderlineKind::None)
            shape.underline = hwp::UnderlineKind::Below;
        shape.strikeOut = format.fontStrikeOut();
        shape.superscript = format.verticalAlignment() == QTextCharFormat::AlignSuperScript;
        shape.subscript = format.verticalAlignment() == QTextCharFormat::AlignSubScript;
        if (format.hasProperty(QTextFormat::ForegroundBrush) && format.foreground().style() != Qt::NoBrush)
            shape.textColor = ToColorRef(format.foreground().color());
        else
            shape.textColor = 0;
        if (format.hasProperty(QTextFormat::BackgroundBrush) && format.background().style() != Qt::NoBrush)
            shape.shadeColor = ToColorRef(format.background().color());
        else
            shape.shadeColor = hwp::kNoColor;
        if (shape.borderFillId > m_target.borderFills.size())
            shape.borderFillId = 0;
        return Intern(m_target.charShapes, shape, format.property(kBaseCharShapeIdProperty));
    }

    std::uint16_t ParaShapeId(const QTextBlockFormat& format)
    {
        hwp::ParaShape base = m_defaultPara;
        ShapeFromBytes(format.property(kBaseParaShapeProperty), base);
        hwp::ParaShape shape = ParaShapeFrom(format, base);
        // A paragraph from another file numbers with that file's numbering or bullet.
        const HeadSourceRef source = format.property(kHeadSourceProperty).value<HeadSourceRef>();
        if (source && source.get() != m_origin)
            shape.numberingId = hwp::ImportHead(*source, shape.headKind, shape.numberingId, m_target);
        if (shape.tabDefId >= m_target.tabDefs.size())
            shape.tabDefId = 0;
        // Tab stops set in the pane (options laid out in columns) get a definition of their own.
        const QList<QTextOption::Tab> tabs = format.tabPositions();
        const hwp::Bytes* current = shape.tabDefId < m_target.tabDefs.size() ? &m_target.tabDefs[shape.tabDefId].data : nullptr;
        if (!tabs.isEmpty() && (!current || TabsOf(*current) != tabs)) {
            const hwp::RawRecord wanted{TabDefBytes(tabs)};
            const auto found = std::find(m_target.tabDefs.begin(), m_target.tabDefs.end(), wanted);
            shape.tabDefId = static_cast<std::uint16_t>(found - m_target.tabDefs.begin());
            if (found == m_target.tabDefs.end()) {
                if (m_target.tabDefs.empty()) // the writer's default first definition stays first
                    m_target.tabDefs.push_back(hwp::RawRecord{hwp::Bytes(8, 0)});
                shape.tabDefId = static_cast<std::uint16_t>(m_target.tabDefs.size());
                m_target.tabDefs.push_back(wanted);
            }
        }
        if (shape.borderFillId > m_target.borderFills.size())
            shape.borderFillId = 0;
        // Numbering and bullet ids are 1-based in the file; one that points nowhere goes.
        const std::size_t numberings = std::max(m_target.numberings.size(), m_target.bullets.size());
        if (shape.numberingId > numberings)
            shape.numberingId = 0;
        return static_cast<std::uint16_t>(Intern(m_target.paraShapes, shape, format.property(kBaseParaShapeIdProperty)));
    }

private:
    std::uint16_t FaceId(int lang, const QString& name)
    {
        auto& faces = m_target.faces[static_cast<std::size_t>(lang)];
        const std::u16string wanted = ToU16(name);
        for (std::size_t i = 0; i < faces.size(); ++i) {
            if (faces[i].name == wanted)
                return static_cast<std::uint16_t>(i);
        }
        hwp::FaceName face;
        face.name = wanted;
        faces.push_back(face);
        return static_cast<std::uint16_t>(faces.size() - 1);
    }

    template <typename Shape>
    static std::uint32_t Intern(std::vector<Shape>& table, const Shape& shape, const QVariant& readId)
    {
        bool known = false;
        const qulonglong id = readId.toULongLong(&known);
        if (known && id < table.size() && table[id] == shape)
            return static_cast<std::uint32_t>(id);
        const auto found = std::find(table.begin(), table.end(), shape);
        if (found != table.end())
            return static_cast<std::uint32_t>(found - table.begin());
        table.push_back(shape);
        return static_cast<std::uint32_t>(table.size() - 1);
    }

    hwp::Document& m_target;
    const hwp::Document* m_origin = nullptr;
    hwp::CharShape m_defaultChar;
    hwp::ParaShape m_defaultPara;
};

// A unit of paragraph text as the model wants it: line breaks '\n', no other control
// characters (an object character without an object is a space).
char16_t ModelUnit(QChar c)
{
    const char16_t unit = c.unicode();
    if (unit == QChar::LineSeparator || unit == u'\n')
        return u'\n';
    if (unit == u'\t')
        return u'\t';
    if (unit < 0x20 || unit == QChar::ParagraphSeparator || unit == QChar::ObjectReplacementCharacter)
        return u' ';
    return unit;
}

// A section's definitions refer to border fills and bin data of the document they were
// read from.
void ImportDefinitions(const hwp::Document& from, hwp::Section& section, hwp::Document& to)
{
    if (!section.sectionDef.records.empty())
        section.sectionDef = hwp::ImportControl(from, section.sectionDef, to);
    if (!section.columnDef.records.empty())
        section.columnDef = hwp::ImportControl(from, section.columnDef, to);
}

template <typename DocumentT, typename Visit>
void ForEachControl(DocumentT& document, Visit visit)
{
    for (auto& section : document.sections) {
        if (!section.sectionDef.records.empty())
            visit(section.sectionDef);
        if (!section.columnDef.records.empty())
            visit(section.columnDef);
        for (auto& paragraph : section.paragraphs) {
            for (auto& control : paragraph.controls)
                visit(control);
        }
    }
}

// A bin data item by what it holds: the same picture under another stream id is the same.
// Its stream stands in as a digest (length and 64-bit FNV-1a), so the keys and the probe
// below cost bytes, not a copy of every picture; two streams taken for one by the digest
// only keep an item that could have gone.
hwp::Bytes StreamDigest(const hwp::SharedBytes& shared)
{
    const std::string_view stream = shared.View();
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : stream)
        hash = (hash ^ static_cast<std::uint8_t>(byte)) * 1099511628211ull;
    hwp::Bytes digest(16);
    for (std::size_t i = 0; i < 8; ++i) {
        digest[i] = static_cast<std::uint8_t>(hash >> (8 * i));
        digest[8 + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(stream.size()) >> (8 * i));
    }
    return digest;
}

hwp::Bytes BinDataKey(const hwp::BinDataItem& item)
{
    return item.stream.empty() ? item.record : StreamDigest(item.stream);
}

// What bin data the objects of `document` refer to, as ImportControl follows them.
std::set<hwp::Bytes> ReferencedBinData(const hwp::Document& document)
{
    hwp::Document light = hwp::ShapeTablesOf(document);
    for (const hwp::BinDataItem& item : document.binData) {
        hwp::BinDataItem digest{item.record, item.streamName, {}, {}};
        if (!item.stream.empty())
            digest.stream = StreamDigest(item.stream);
        light.binData.push_back(std::move(digest));
    }
    hwp::Document probe = hwp::ShapeTablesOf(document);
    ForEachControl(document, [&](const hwp::Control& control) { hwp::ImportControl(light, control, probe); });
    std::set<hwp::Bytes> keys;
    for (const hwp::BinDataItem& item : probe.binData)
        keys.insert(item.stream.empty() ? item.record : hwp::Bytes(item.stream.View().begin(), item.stream.View().end()));
    return keys;
}

// The bin data of the document read is written whole, so objects keep their bin data ids
// (untouched objects stay byte for byte). What only deleted objects used goes. Bin data
// that no object visibly refers to even in the document read (a reference ImportControl
// does not follow) keeps the whole list as it is: renumbering would break that reference.
void DropBinDataOfDeletedObjects(hwp::Document& document, const hwp::Document& origin)
{
    if (origin.binData.empty() || document.binData.size() < origin.binData.size())
        return;
    const std::set<hwp::Bytes> before = ReferencedBinData(origin);
    const std::set<hwp::Bytes> now = ReferencedBinData(document);
    bool unused = false;
    for (std::size_t i = 0; i < origin.binData.size(); ++i) {
        const hwp::Bytes key = BinDataKey(document.binData[i]);
        if (before.count(key) == 0)
            return;
        unused = unused || now.count(key) == 0;
    }
    if (unused)
        hwp::DropUnusedBinData(document);
}

// Reads a document into a pane's text, paragraph by paragraph. Each kept control becomes
// one object character before its text index; a kept field's end one more at its end.
class PaneReader {
public:
    PaneReader(const hwp::Document& source, TablesShown tablesShown, PaneLayout layout)
        : m_result(std::make_unique<EditorDocument>()), m_tablesShown(tablesShown)
    {
        if (layout == PaneLayout::Off)
            m_result->Text().setLayoutEnabled(false);
        m_result->SetOrigin(std::make_shared<hwp::Document>(source));
        m_origin = m_result->OriginRef();
        MakeFormats();
    }

    std::unique_ptr<EditorDocument> Read()
    {
        ReadStyles();
        ReadPage();
        QTextDocument& text = m_result->Text();
        QTextCursor cursor(&text);
        cursor.beginEditBlock();
        ReadSections(cursor);
        if (m_firstParagraph)
            cursor.setBlockCharFormat(m_result->DefaultCharFormat());
        cursor.endEditBlock();
        ParagraphHeads(text, m_origin).FitRooms(text);
        AddFields();
        text.clearUndoRedoStacks();
        text.setModified(false);
        return std::move(m_result);
    }

private:
    struct PendingField {
        const hwp::Field* field;
        int start;
        int end;
    };
    struct OpenField {
        std::size_t end;
        KeptObjectRef field;
    };
    // One paragraph's text on its way into the pane: what is typed is gathered and
    // inserted with its char format when the format changes or an object comes.
    struct Run {
        QTextCursor& at;
        QTextCharFormat current;
        QString pending;
        std::vector<OpenField> openFields;

        void Flush()
        {
            if (!pending.isEmpty())
                at.insertText(pending, current);
            pending.clear();
        }
        void InsertObject(const QTextCharFormat& format)
        {
            Flush();
            at.insertText(QString(QChar::ObjectReplacementCharacter), format);
        }
        // Fields that end at or before `index` get their end character.
        void CloseFields(std::size_t index)
        {
            for (auto it = openFields.begin(); it != openFields.end();) {
                if (it->end <= index) {
                    InsertObject(KeptFieldEndFormat(current, it->field));
                    it = openFields.erase(it);
                } else {
                    ++it;
                }
            }
        }
    };

    const hwp::Document& Document() const { return m_result->Origin(); }

    void MakeFormats()
    {
        const hwp::Document& document = Document();
        m_charFormats.reserve(document.charShapes.size());
        for (const hwp::CharShape& shape : document.charShapes) {
            m_charFormats.push_back(CharFormatFrom(document, shape));
            m_charFormats.back().setProperty(kBaseCharShapeIdProperty,
                                             static_cast<qulonglong>(m_charFormats.size() - 1));
        }
        m_blockFormats.reserve(document.paraShapes.size());
        for (const hwp::ParaShape& shape : document.paraShapes) {
            m_blockFormats.push_back(BlockFormatFrom(shape));
            if (shape.tabDefId < document.tabDefs.size()) {
                if (const QList<QTextOption::Tab> tabs = TabsOf(document.tabDefs[shape.tabDefId].data); !tabs.isEmpty())
                    m_blockFormats.back().setTabPositions(tabs);
            }
            m_blockFormats.back().setProperty(kBaseParaShapeIdProperty,
                                              static_cast<qulonglong>(m_blockFormats.size() - 1));
            if (shape.headKind != hwp::HeadKind::None)
                m_blockFormats.back().setProperty(kHeadSourceProperty, QVariant::fromValue<HeadSourceRef>(m_origin));
        }
    }

    QTextCharFormat CharFormat(std::uint32_t id) const
    {
        return id < m_charFormats.size() ? m_charFormats[id] : m_result->DefaultCharFormat();
    }
    QTextBlockFormat BlockFormat(std::uint32_t id) const
    {
        return id < m_blockFormats.size() ? m_blockFormats[id] : QTextBlockFormat();
    }

    void ReadStyles()
    {
        for (const hwp::Style& style : Document().styles) {
            TextStyle textStyle;
            textStyle.name = ToQString(style.name);
            textStyle.englishName = ToQString(style.englishName);
            textStyle.charFormat = CharFormat(style.charShapeId);
            textStyle.blockFormat = BlockFormat(style.paraShapeId);
            textStyle.kind = static_cast<int>(style.kind);
            textStyle.nextStyle = style.nextStyleId;
            textStyle.languageId = style.langId;
            m_result->Styles().push_back(textStyle);
        }
    }

    // The first section's page is the pane's.
    void ReadPage()
    {
        if (Document().sections.empty())
            return;
        m_result->Page() = PageSetupOf(Document().sections.front().page);
    }

    // Every section after the first starts with a character that carries its definition.
    void ReadSections(QTextCursor& cursor)
    {
        const std::vector<hwp::Section>& sections = Document().sections;
        for (std::size_t sectionIndex = 0; sectionIndex < sections.size(); ++sectionIndex) {
            const hwp::Section& section = sections[sectionIndex];
            KeptSectionRef sectionStart;
            if (sectionIndex > 0) {
                auto kept = std::make_shared<KeptSection>();
                kept->section = section;
                kept->section.paragraphs.clear();
                kept->origin = m_origin;
                sectionStart = std::move(kept);
            }
            for (const hwp::Paragraph& paragraph : section.paragraphs) {
                InsertParagraph(cursor, paragraph, m_firstParagraph, std::move(sectionStart), 0);
                sectionStart.reset();
            }
        }
    }

    // One paragraph at `at`: it takes the block `at` stands in when `first`, a new block
    // otherwise. Tables the pane shows as tables of the text engine take their cells'
    // paragraphs one level deeper; the block after a table continues its paragraph.
    void InsertParagraph(QTextCursor& at, const hwp::Paragraph& paragraph, bool first, KeptSectionRef sectionStart,
                         int depth)
    {
        QTextBlockFormat format = BlockFormat(paragraph.paraShapeId);
        format.setProperty(kStyleIndexProperty, static_cast<int>(paragraph.styleId));
        if (!paragraph.tabs.empty() || !paragraph.rangeTags.empty()) {
            auto asRead = std::make_shared<const ParagraphAsRead>(
                ParagraphAsRead{paragraph.text, paragraph.tabs, paragraph.rangeTags});
            const void* address = asRead.get();
            SetReference(format, kParagraphAsReadProperty, QVariant::fromValue<ParagraphAsReadRef>(std::move(asRead)),
                         address);
        }
        if ((paragraph.breakFlags & hwp::kBreakPage) != 0 && !m_firstParagraph && depth == 0)
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        if (const int columns = paragraph.breakFlags & (hwp::kBreakColumn | hwp::kBreakColumns); columns != 0 && depth == 0)
            format.setProperty(kColumnBreakFlagsProperty, columns);
        // Breaks inside a cell are nothing the pane lays out; they are kept as read.
        if (depth > 0 && paragraph.breakFlags != 0)
            format.setProperty(kCellBreakFlagsProperty, static_cast<int>(paragraph.breakFlags));
        const QTextCharFormat firstFormat =
            CharFormat(paragraph.charShapes.empty() ? 0 : paragraph.charShapes.front().charShapeId);
        // The text engine needs a block after a table; where the paragraph holding the
        // table ends with it, the next paragraph takes that block, so it stands right
        // under the table as it does on paper.
        const QTextBlock block = at.block();
        if (!first && block.length() == 1 && block.blockFormat().boolProperty(kContinuesParagraphProperty))
            first = true;
        if (first) {
            at.setBlockFormat(format);
            SetBlockCharFormatKeepingCell(at, firstFormat);
        } else {
            at.insertBlock(format, firstFormat);
        }
        m_firstParagraph = false;
        if (sectionStart)
            at.insertText(QString(QChar::ObjectReplacementCharacter),
                          SectionStartFormat(firstFormat, std::move(sectionStart)));
        const QTextBlock own = at.block();
        const std::vector<int> lineStarts = InsertText(at, paragraph, format, firstFormat, depth);
        // Lines as stored hold for a paragraph of one block, in the body or a cell.
        if (at.block() == own)
            AttachStoredLines(at, paragraph, lineStarts);
    }

    // The paragraph's text, its char shapes, controls and field ends, in text order;
    // then its click-here fields at the positions their text landed on. Returns where each
    // text index landed, before the objects that stand at it.
    std::vector<int> InsertText(QTextCursor& at, const hwp::Paragraph& paragraph, const QTextBlockFormat& format,
                                const QTextCharFormat& firstFormat, int depth)
    {
        const std::u16string& raw = paragraph.text;
        std::vector<int> shown(raw.size() + 1, 0);
        std::vector<int> before(raw.size() + 1, 0);
        Run run{at, firstFormat, {}, {}};
        std::size_t shape = 0;
        std::size_t nextControl = 0;
        std::size_t nextFieldEnd = 0;
        for (std::size_t i = 0; i <= raw.size(); ++i) {
            while (shape < paragraph.charShapes.size() && paragraph.charShapes[shape].position <= i) {
                run.Flush();
                run.current = CharFormat(paragraph.charShapes[shape].charShapeId);
                ++shape;
            }
            before[i] = at.position() + static_cast<int>(run.pending.size());
            for (; nextFieldEnd < paragraph.fieldEnds.size() && paragraph.fieldEnds[nextFieldEnd].first <= i;
                 ++nextFieldEnd)
                run.InsertObject(KeptFieldEndFormat(run.current, LaterFieldEnd(paragraph.fieldEnds[nextFieldEnd].second)));
            run.CloseFields(i);
            while (nextControl < paragraph.controls.size() && paragraph.controls[nextControl].position <= i)
                InsertControl(run, paragraph.controls[nextControl++], format, i, raw.size(), depth);
            shown[i] = at.position() + static_cast<int>(run.pending.size());
            if (i == raw.size())
                break;
            const char16_t unit = raw[i];
            run.pending += unit == u'\n' ? QChar(QChar::LineSeparator) : QChar(unit);
        }
        run.Flush();
        run.CloseFields(raw.size());
        for (const hwp::Field& field : paragraph.fields) {
            const std::size_t begin = std::min<std::size_t>(field.begin, raw.size());
            const std::size_t end = std::clamp<std::size_t>(field.end, begin, raw.size());
            m_fields.push_back({&field, shown[begin], shown[end]});
        }
        return before;
    }

    // The end of a field begun in an earlier paragraph, found by the id it carries; one
    // whose start is nowhere keeps its id alone.
    KeptObjectRef LaterFieldEnd(std::uint32_t id)
    {
        for (auto later = m_laterEnds.rbegin(); later != m_laterEnds.rend(); ++later) {
            if (FieldEndId((*later)->control) == id) {
                KeptObjectRef field = *later;
                m_laterEnds.erase(std::next(later).base());
                return field;
            }
        }
        hwp::Control alone;
        alone.code = kFieldBeginCode;
        alone.ctrlId = id;
        return std::make_shared<const KeptObject>(KeptObject{alone, m_origin});
    }

    // A control at text index `index` of a paragraph `length` long.
    void InsertControl(Run& run, const hwp::Control& control, const QTextBlockFormat& format, std::size_t index,
                       std::size_t length, int depth)
    {
        auto kept = std::make_shared<const KeptObject>(KeptObject{control, m_origin});
        run.Flush();
        if (m_tablesShown == TablesShown::AsTables) {
            if (const std::optional<hwp::Table> table = TableToShow(control, depth)) {
                InsertShownTable(run, *table, std::move(kept), format, index < length, depth);
                return;
            }
        }
        run.InsertObject(KeptObjectFormat(run.current, kept));
        if (control.code == kFieldBeginCode && control.end == hwp::kEndsInLaterParagraph) {
            m_laterEnds.push_back(std::move(kept));
        } else if (control.code == kFieldBeginCode) {
            run.openFields.push_back({std::clamp<std::size_t>(control.end, index, length), std::move(kept)});
            run.CloseFields(index);
        }
    }

    // A table of the text engine, with its caption on a line of its own next to it: a
    // line separator of the caption's (no save writes it) parts it from the paragraph's
    // text. `textFollows` when the paragraph goes on after the table.
    void InsertShownTable(Run& run, const hwp::Table& table, KeptObjectRef kept, const QTextBlockFormat& format,
                          bool textFollows, int depth)
    {
        QTextCursor& at = run.at;
        const KeptObjectRef caption = ShownCaption(table, kept->control, m_origin);
        const bool captionAbove = caption && ShownCaptionAbove(*caption);
        const QString objectCharacter(QChar::ObjectReplacementCharacter);
        const QString separator(QChar::LineSeparator);
        if (captionAbove)
            at.insertText(at.positionInBlock() > 0 ? separator + objectCharacter : objectCharacter,
                          KeptObjectFormat(run.current, caption));
        InsertTextTable(at, table, kept, Document(),
                        [&](QTextCursor& inside, const std::vector<hwp::Paragraph>& paragraphs) {
                            bool firstInCell = true;
                            for (const hwp::Paragraph& cellParagraph : paragraphs) {
                                InsertParagraph(inside, cellParagraph, firstInCell, nullptr, depth + 1);
                                firstInCell = false;
                            }
                        });
        QTextBlockFormat continuation = format;
        continuation.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
        continuation.setProperty(kContinuesParagraphProperty, true);
        at.setBlockFormat(continuation);
        SetBlockCharFormatKeepingCell(at, run.current);
        if (caption && !captionAbove)
            at.insertText(textFollows ? objectCharacter + separator : objectCharacter,
                          KeptObjectFormat(run.current, caption));
    }

    void AddFields()
    {
        for (const PendingField& pending : m_fields) {
            FieldRange& field = m_result->AddField(ToQString(pending.field->name), pending.start, pending.end);
            field.command = ToQString(pending.field->command);
            field.guide = ToQString(pending.field->guide);
            field.editableInForm = pending.field->editableInForm;
        }
    }

    std::unique_ptr<EditorDocument> m_result;
    std::shared_ptr<const hwp::Document> m_origin;
    TablesShown m_tablesShown;
    std::vector<QTextCharFormat> m_charFormats;
    std::vector<QTextBlockFormat> m_blockFormats;
    std::vector<PendingField> m_fields;
    // Kept fields whose end stands in a later paragraph, in the order they began.
    std::vector<KeptObjectRef> m_laterEnds;
    bool m_firstParagraph = true;
};

// Writes a pane's text back as a document: styles, the sections' definitions and the
// paragraphs, assembled from the blocks (a paragraph with a table in it is several
// blocks) and the tables' cells.
class HwpAssembler {
public:
    HwpAssembler(const EditorDocument& source, const LaidOutLines* laid)
        : m_source(source), m_laid(laid), m_origin(source.Origin()), m_tables(source, m_document)
    {
        m_document.version = m_origin.version;
        m_document.headerFlags = m_origin.headerFlags;
        // Streams no record names are nobody's to drop; bin data that objects use comes
        // with the objects. So do the file's other streams and the DocInfo records the
        // model does not read.
        m_document.unlistedBinData = m_origin.unlistedBinData;
        m_document.binData = m_origin.binData;
        m_document.keptStreams = m_origin.keptStreams;
        m_document.docInfoRecords = m_origin.docInfoRecords;
        m_document.hwpxParts = m_origin.hwpxParts;
        m_document.hwpxHeadXml = m_origin.hwpxHeadXml;
        m_document.hwpxRefListXml = m_origin.hwpxRefListXml;
    }

    hwp::Document Assemble()
    {
        WriteStyles();
        StartFirstSection();
        Collect(m_source.Text().rootFrame()->begin(), nullptr);
        if (m_section.paragraphs.empty()) {
            hwp::Paragraph empty;
            empty.charShapes.push_back({0, 0});
            m_section.paragraphs.push_back(empty);
        }
        m_document.sections.push_back(std::move(m_section));
        // A field whose end was deleted ends with its paragraph.
        for (const LaterEnd& later : m_laterEnds) {
            if (!later.found) {
                hwp::Paragraph& paragraph = m_document.sections[later.section].paragraphs[later.paragraph];
                paragraph.controls[later.control].end = static_cast<std::uint32_t>(paragraph.text.size());
            }
        }
        DropBinDataOfDeletedObjects(m_document, m_origin);
        return std::move(m_document);
    }

private:
    // A kept field left open at its paragraph's end: its end stands in a later one, or
    // was deleted.
    struct LaterEnd {
        KeptObjectRef field;
        std::size_t section;
        std::size_t paragraph;
        std::size_t control;
        bool found;
    };
    struct OpenField {
        KeptObjectRef field;
        std::size_t control;
    };
    // A paragraph being assembled from its blocks: the block it starts with and, after
    // each table standing in it, the block that continues it.
    struct Assembly {
        hwp::Paragraph paragraph;
        ParagraphAsReadRef asRead;
        QTextCharFormat firstCharFormat;
        KeptSectionRef startsSection;
        std::vector<OpenField> openFields;
    };

    void WriteStyles()
    {
        for (const TextStyle& style : m_source.Styles()) {
            hwp::Style out;
            out.name = ToU16(style.name);
            out.englishName = ToU16(style.englishName);
            out.kind = style.kind == 1 ? hwp::StyleKind::Character : hwp::StyleKind::Paragraph;
            out.nextStyleId = static_cast<std::uint8_t>(std::clamp(style.nextStyle, 0, 255));
            out.langId = static_cast<std::int16_t>(style.languageId);
            out.charShapeId = static_cast<std::uint16_t>(m_tables.CharShapeId(style.charFormat));
            out.paraShapeId = m_tables.ParaShapeId(style.blockFormat);
            m_document.styles.push_back(out);
        }
        if (m_document.styles.empty()) {
            hwp::Style normal;
            normal.name = u"바탕글";
            normal.englishName = u"Normal";
            normal.charShapeId = static_cast<std::uint16_t>(m_tables.CharShapeId(m_source.DefaultCharFormat()));
            normal.paraShapeId = m_tables.ParaShapeId(QTextBlockFormat());
            m_document.styles.push_back(normal);
        }
        m_styleCount = static_cast<int>(std::min<std::size_t>(m_document.styles.size(), 256));
        for (hwp::Style& style : m_document.styles) {
            if (style.nextStyleId >= m_styleCount)
                style.nextStyleId = 0;
        }
    }

    // The first section's definition as read (what the model keeps beside the page), the
    // page as the pane has it.
    void StartFirstSection()
    {
        if (!m_origin.sections.empty()) {
            m_section = m_origin.sections.front();
            m_section.paragraphs.clear();
            ImportDefinitions(m_origin, m_section, m_document);
        }
        const PageSetup& page = m_source.Page();
        hwp::PageDef& out = m_section.page;
        out.width = page.paperWidth;
        out.height = page.paperHeight;
        out.leftMargin = page.marginLeft;
        out.rightMargin = page.marginRight;
        out.topMargin = page.marginTop;
        out.bottomMargin = page.marginBottom;
        out.headerMargin = page.marginHeader;
        out.footerMargin = page.marginFooter;
        out.gutterMargin = page.marginGutter;
        out.landscape = page.landscape;
    }

    Assembly Start(const QTextBlock& block)
    {
        Assembly assembly;
        const QTextBlockFormat format = block.blockFormat();
        assembly.paragraph.paraShapeId = m_tables.ParaShapeId(format);
        const int styleId = format.hasProperty(kStyleIndexProperty) ? format.intProperty(kStyleIndexProperty) : 0;
        assembly.paragraph.styleId = static_cast<std::uint8_t>(styleId >= 0 && styleId < m_styleCount ? styleId : 0);
        if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            assembly.paragraph.breakFlags |= hwp::kBreakPage;
        if (QTextCursor(block).currentTable())
            assembly.paragraph.breakFlags |= static_cast<std::uint8_t>(format.intProperty(kCellBreakFlagsProperty));
        else
            assembly.paragraph.breakFlags |= static_cast<std::uint8_t>(format.intProperty(kColumnBreakFlagsProperty));
        assembly.asRead = format.property(kParagraphAsReadProperty).value<ParagraphAsReadRef>();
        assembly.firstCharFormat = block.charFormat();
        // A cell's first block shares its char format with the cell: the cell's background
        // is no shading of the paragraph's letters.
        if (const QTextTable* table = QTextCursor(block).currentTable();
            table && table->cellAt(block.position()).firstPosition() == block.position())
            assembly.firstCharFormat.clearProperty(QTextFormat::BackgroundBrush);
        return assembly;
    }

    // The block's text and objects onto the paragraph, then the click-here fields that
    // start in it. Object characters take no room in the model's text, their controls
    // stand beside it.
    void Append(const QTextBlock& block, Assembly& assembly)
    {
        const int blockStart = block.position();
        // Position in the block -> text index.
        std::vector<std::uint32_t> textIndex(static_cast<std::size_t>(block.length()), 0);
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid())
                AppendFragment(fragment, static_cast<std::size_t>(fragment.position() - blockStart), textIndex,
                               assembly);
        }
        textIndex.back() = static_cast<std::uint32_t>(assembly.paragraph.text.size());
        AppendFields(blockStart, blockStart + block.length() - 1, textIndex, assembly.paragraph);
        assembly.paragraph.lineLayout.segments = ModelLineSegments(block, textIndex, m_laid);
    }

    void AppendFragment(const QTextFragment& fragment, std::size_t offset, std::vector<std::uint32_t>& textIndex,
                        Assembly& assembly)
    {
        hwp::Paragraph& paragraph = assembly.paragraph;
        const QTextCharFormat charFormat = fragment.charFormat();
        const QString fragmentText = fragment.text();
        const bool objects = charFormat.objectType() == kKeptObjectType;
        std::optional<std::uint32_t> shapeId;
        for (qsizetype k = 0; k < fragmentText.size(); ++k) {
            const auto at = static_cast<std::uint32_t>(paragraph.text.size());
            textIndex[offset + static_cast<std::size_t>(k)] = at;
            if (objects && fragmentText[k] == QChar::ObjectReplacementCharacter) {
                AppendObject(charFormat, at, assembly);
                continue;
            }
            // The line separator that puts a shown caption on a line of its own is the
            // caption's, written with its table.
            if (objects && fragmentText[k] == QChar::LineSeparator) {
                if (const KeptObjectRef object = KeptObjectOf(charFormat); object && IsShownCaption(*object))
                    continue;
            }
            if (!shapeId)
                shapeId = m_tables.CharShapeId(WithoutKeptObject(charFormat));
            if (paragraph.charShapes.empty() || paragraph.charShapes.back().charShapeId != *shapeId)
                paragraph.charShapes.push_back({at, *shapeId});
            paragraph.text.push_back(ModelUnit(fragmentText[k]));
        }
    }

    // An object character at text index `at`: a kept control, a field's end or the start
    // of a section.
    void AppendObject(const QTextCharFormat& charFormat, std::uint32_t at, Assembly& assembly)
    {
        hwp::Paragraph& paragraph = assembly.paragraph;
        if (const KeptObjectRef object = KeptObjectOf(charFormat)) {
            // Written with its table, as read.
            if (IsShownCaption(*object))
                return;
            hwp::Control control = hwp::ImportControl(*object->origin, object->control, m_document);
            control.position = at;
            control.end = at;
            if (control.code == kFieldBeginCode)
                assembly.openFields.push_back({object, paragraph.controls.size()});
            paragraph.controls.push_back(std::move(control));
        } else if (const KeptObjectRef field = KeptFieldEndOf(charFormat)) {
            CloseField(field, at, assembly);
        } else if (const KeptSectionRef kept = SectionStartOf(charFormat); kept && !assembly.startsSection) {
            assembly.startsSection = kept;
        }
    }

    // The latest open start of that field, in this paragraph or an earlier one; an end
    // whose start is gone goes too, one read without its start stays.
    void CloseField(const KeptObjectRef& field, std::uint32_t at, Assembly& assembly)
    {
        hwp::Paragraph& paragraph = assembly.paragraph;
        auto& openFields = assembly.openFields;
        for (auto open = openFields.rbegin(); open != openFields.rend(); ++open) {
            if (open->field == field) {
                paragraph.controls[open->control].end = at;
                openFields.erase(std::next(open).base());
                return;
            }
        }
        for (auto later = m_laterEnds.rbegin(); later != m_laterEnds.rend(); ++later) {
            if (later->field == field && !later->found) {
                later->found = true;
                paragraph.fieldEnds.emplace_back(at, FieldEndId(field->control));
                return;
            }
        }
        if (field->control.records.empty())
            paragraph.fieldEnds.emplace_back(at, field->control.ctrlId);
    }

    // The click-here fields that start in the block [blockStart, blockEnd].
    void AppendFields(int blockStart, int blockEnd, const std::vector<std::uint32_t>& textIndex,
                      hwp::Paragraph& paragraph) const
    {
        for (const FieldRange& range : m_source.Fields()) {
            const int begin = range.start.position();
            if (begin < blockStart || begin > blockEnd)
                continue;
            const int end = std::clamp(m_source.FieldEnd(range), begin, blockEnd);
            hwp::Field field;
            field.name = ToU16(range.name);
            field.command = ToU16(range.command);
            field.guide = ToU16(range.guide);
            field.editableInForm = range.editableInForm;
            field.begin = textIndex[static_cast<std::size_t>(begin - blockStart)];
            field.end = textIndex[static_cast<std::size_t>(end - blockStart)];
            if (!paragraph.fields.empty() && paragraph.fields.back().end > field.begin)
                continue;
            paragraph.fields.push_back(field);
        }
    }

    void Close(Assembly& assembly)
    {
        hwp::Paragraph& paragraph = assembly.paragraph;
        if (paragraph.charShapes.empty())
            paragraph.charShapes.push_back({0, m_tables.CharShapeId(WithoutKeptObject(assembly.firstCharFormat))});
        paragraph.charShapes.front().position = 0;
        if (assembly.asRead && assembly.asRead->text == paragraph.text) {
            paragraph.tabs = assembly.asRead->tabs;
            paragraph.rangeTags = assembly.asRead->rangeTags;
        }
    }

    // Body paragraphs: a section character starts a new section with its paragraph (the
    // first paragraph of the document always belongs to the first section).
    void FinishBody(Assembly& assembly)
    {
        Close(assembly);
        if (assembly.startsSection && !m_section.paragraphs.empty()) {
            m_document.sections.push_back(std::move(m_section));
            m_section = assembly.startsSection->section;
            m_section.paragraphs.clear();
            ImportDefinitions(*assembly.startsSection->origin, m_section, m_document);
        }
        for (const OpenField& open : assembly.openFields) {
            assembly.paragraph.controls[open.control].end = hwp::kEndsInLaterParagraph;
            m_laterEnds.push_back(
                {open.field, m_document.sections.size(), m_section.paragraphs.size(), open.control, false});
        }
        m_section.paragraphs.push_back(std::move(assembly.paragraph));
    }

    // Paragraphs in a table's cell: a field left open ends with its paragraph.
    void FinishCell(Assembly& assembly, std::vector<hwp::Paragraph>& out)
    {
        Close(assembly);
        for (const OpenField& open : assembly.openFields)
            assembly.paragraph.controls[open.control].end = static_cast<std::uint32_t>(assembly.paragraph.text.size());
        out.push_back(std::move(assembly.paragraph));
    }

    // The blocks and frames from `it` on; `cell` collects a cell's paragraphs, null for
    // the body. Frames other than tables (from pasted rich text) give their blocks as
    // paragraphs of their own.
    void Collect(QTextFrame::iterator it, std::vector<hwp::Paragraph>* cell)
    {
        std::optional<Assembly> open;
        const auto finish = [&] {
            if (!open)
                return;
            if (cell)
                FinishCell(*open, *cell);
            else
                FinishBody(*open);
            open.reset();
        };
        bool afterTable = false;
        for (; !it.atEnd(); ++it) {
            if (QTextFrame* frame = it.currentFrame()) {
                auto* table = qobject_cast<QTextTable*>(frame);
                if (!table) {
                    finish();
                    Collect(frame->begin(), cell);
                    afterTable = false;
                    continue;
                }
                if (!open)
                    open = Start(m_source.Text().findBlock(frame->firstPosition() - 1));
                AppendTable(*table, open->paragraph);
                afterTable = true;
                continue;
            }
            const QTextBlock block = it.currentBlock();
            if (!block.isValid())
                continue;
            if (!(afterTable && open && block.blockFormat().boolProperty(kContinuesParagraphProperty))) {
                finish();
                open = Start(block);
            }
            Append(block, *open);
            afterTable = false;
        }
        finish();
    }

    // A table of the text engine as a control at the paragraph's end so far.
    void AppendTable(const QTextTable& table, hwp::Paragraph& paragraph)
    {
        hwp::Control control = TableControlFrom(table, m_document, [&](const QTextTableCell& inCell) {
            std::vector<hwp::Paragraph> paragraphs;
            Collect(inCell.begin(), &paragraphs);
            return paragraphs;
        });
        control.position = static_cast<std::uint32_t>(paragraph.text.size());
        control.end = control.position;
        paragraph.controls.push_back(std::move(control));
    }

    const EditorDocument& m_source;
    const LaidOutLines* m_laid;
    const hwp::Document& m_origin;
    hwp::Document m_document;
    ShapeTables m_tables;
    hwp::Section m_section;
    std::vector<LaterEnd> m_laterEnds;
    int m_styleCount = 0;
};

} // namespace

PageSetup PageSetupOf(const hwp::PageDef& page)
{
    PageSetup setup;
    setup.paperWidth = page.width;
    setup.paperHeight = page.height;
    setup.marginLeft = page.leftMargin;
    setup.marginRight = page.rightMargin;
    setup.marginTop = page.topMargin;
    setup.marginBottom = page.bottomMargin;
    setup.marginHeader = page.headerMargin;
    setup.marginFooter = page.footerMargin;
    setup.marginGutter = page.gutterMargin;
    setup.landscape = page.landscape;
    return setup;
}

std::unique_ptr<EditorDocument> ToEditorDocument(const hwp::Document& source, TablesShown tablesShown,
                                                 PaneLayout layout)
{
    return PaneReader(source, tablesShown, layout).Read();
}

hwp::Document ToHwpDocument(const EditorDocument& source, const LaidOutLines* laid)
{
    return HwpAssembler(source, laid).Assemble();
}

std::unique_ptr<EditorDocument> ReadHwpFile(const std::string& path, TablesShown tables)
{
    try {
        return ToEditorDocument(hwpx::ReadAnyDocument(path), tables);
    } catch (const std::exception&) {
        // HwpError for a damaged or refused file; anything else the reader lets through
        // must not take the pane down either.
        return nullptr;
    }
}

bool WriteHwpFile(const EditorDocument& document, const std::string& path, const std::string& previewImage,
                  const LaidOutLines* laid)
{
    try {
        hwp::WriteDocument(ToHwpDocument(document, laid), path, previewImage);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool WriteHwpxFile(const EditorDocument& document, const std::string& path, const std::string& previewPng,
                   const LaidOutLines* laid)
{
    try {
        hwpx::WriteHwpx(ToHwpDocument(document, laid), path, previewPng);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

double ProportionalHeightOf(std::int32_t percent)
{
    return std::clamp(percent * kPercentToProportional, 10.0, 4000.0);
}

std::optional<hwp::ParaShape> ParaShapeOf(const QTextBlockFormat& format)
{
    hwp::ParaShape shape;
    if (!ShapeFromBytes(format.property(kBaseParaShapeProperty), shape))
        return std::nullopt;
    return shape;
}

QTextCharFormat CharFormatOf(const hwp::Document& document, std::uint32_t id)
{
    if (id >= document.charShapes.size())
        return CharFormatFrom(document, hwp::CharShape{});
    return CharFormatFrom(document, document.charShapes[id]);
}

QColor FromColorRef(hwp::ColorRef color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

hwp::ColorRef ToColorRef(const QColor& color)
{
    return static_cast<hwp::ColorRef>(color.red()) | (static_cast<hwp::ColorRef>(color.green()) << 8) |
           (static_cast<hwp::ColorRef>(color.blue()) << 16);
}

std::optional<hwp::BorderFillView> BorderFillAt(const hwp::Document& document, std::uint16_t id)
{
    if (id == 0 || id > document.borderFills.size())
        return std::nullopt;
    try {
        return hwp::ReadBorderFill(document.borderFills[id - 1]);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace editor
