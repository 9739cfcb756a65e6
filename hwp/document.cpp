#include "hwp/document.h"

#include <atomic>
#include <mutex>
#include <string>

#include "hwp/error.h"
#include "hwp/records.h"
#include "support/text.h"

namespace hwp {

struct SharedBytes::Held {
    std::shared_ptr<const Source> source;   // null once read (or for bytes given whole)
    std::size_t size = 0;
    std::mutex reading;
    std::atomic<bool> read{false};
    std::string bytes;
};

SharedBytes::SharedBytes(std::string bytes)
{
    if (bytes.empty())
        return;
    m_held = std::make_shared<Held>();
    m_held->size = bytes.size();
    m_held->bytes = std::move(bytes);
    m_held->read.store(true, std::memory_order_release);
}

SharedBytes::SharedBytes(std::shared_ptr<const Source> source, std::size_t size)
{
    if (size == 0 || !source)
        return;
    m_held = std::make_shared<Held>();
    m_held->source = std::move(source);
    m_held->size = size;
}

std::string_view SharedBytes::View() const
{
    if (!m_held)
        return {};
    if (!m_held->read.load(std::memory_order_acquire)) {
        const std::lock_guard lock(m_held->reading);
        if (!m_held->read.load(std::memory_order_relaxed)) {
            std::string bytes = m_held->source->Read();
            if (bytes.size() != m_held->size)
                throw HwpError("the file changed or is damaged: a stream no longer holds the bytes it did");
            m_held->bytes = std::move(bytes);
            m_held->source.reset();
            m_held->read.store(true, std::memory_order_release);
        }
    }
    return m_held->bytes;
}

std::size_t SharedBytes::size() const
{
    return m_held ? m_held->size : 0;
}

bool SharedBytes::operator==(const SharedBytes& other) const
{
    return m_held == other.m_held || (size() == other.size() && View() == other.View());
}

namespace {

// A border fill with no lines and no fill, as the word processor writes for id 1.
const Bytes& DefaultBorderFillData()
{
    static const Bytes data = [] {
        Bytes out(52, 0);
        out[26] = 1;   // diagonal kind
        out[32] = 1;   // fill kind: solid colour ...
        for (int i = 36; i < 40; ++i)
            out[static_cast<std::size_t>(i)] = 0xFF;   // ... with no background colour
        for (int i = 44; i < 48; ++i)
            out[static_cast<std::size_t>(i)] = 0xFF;   // and no pattern
        return out;
    }();
    return data;
}

std::string Where(std::size_t section, std::size_t paragraph)
{
    return "section " + std::to_string(section + 1) + ", paragraph " + std::to_string(paragraph + 1);
}

constexpr std::uint16_t kCtrlHeaderTag = 0x010 + 55;

[[noreturn]] void Bad(const std::string& message)
{
    throw HwpError("invalid document: " + message);
}

void CheckId(std::size_t id, std::size_t count, const std::string& what, const std::string& where)
{
    if (id >= count)
        Bad(where + " refers to " + what + " " + std::to_string(id) + " but there " +
            (count == 1 ? "is 1" : "are " + std::to_string(count)));
}

// The writer puts a control back as its character and records: both must be whole.
void CheckControlRecords(const Control& control, const std::string& where)
{
    const bool extended = control.code == 1 || control.code == 2 || control.code == 3 || control.code == 11 ||
                          control.code == 12 || (control.code >= 14 && control.code <= 18) ||
                          (control.code >= 21 && control.code <= 23);
    if (!extended)
        Bad(where + ": an object has the character code " + std::to_string(control.code) + ", which holds no object");
    if (control.records.empty() || control.records.front().tag != kCtrlHeaderTag || control.records.front().level != 0 ||
        control.records.front().data.size() < 4)
        Bad(where + ": an object has no control header record");
    const Bytes& head = control.records.front().data;
    const std::uint32_t id = static_cast<std::uint32_t>(head[0]) | (static_cast<std::uint32_t>(head[1]) << 8) |
                             (static_cast<std::uint32_t>(head[2]) << 16) | (static_cast<std::uint32_t>(head[3]) << 24);
    if (id != control.ctrlId)
        Bad(where + ": an object's id differs from its control header's");
    for (std::size_t i = 1; i < control.records.size(); ++i) {
        const std::uint16_t level = control.records[i].level;
        if (level == 0 || level > control.records[i - 1].level + 1 || level > 0x3FF - 64)
            Bad(where + ": the records of an object are not nested below its control header");
    }
}

}  // namespace

Document ShapeTablesOf(const Document& document)
{
    Document tables;
    tables.version = document.version;
    tables.headerFlags = document.headerFlags;
    tables.startNumbers = document.startNumbers;
    tables.faces = document.faces;
    tables.borderFills = document.borderFills;
    tables.charShapes = document.charShapes;
    tables.tabDefs = document.tabDefs;
    tables.numberings = document.numberings;
    tables.bullets = document.bullets;
    tables.paraShapes = document.paraShapes;
    tables.styles = document.styles;
    tables.docInfoRecords = document.docInfoRecords;
    return tables;
}

Document NewDocument()
{
    Document document;
    for (auto& faces : document.faces)
        faces.emplace_back().name = u"바탕";
    document.borderFills.push_back(BorderFill{DefaultBorderFillData()});
    document.charShapes.push_back(CharShape{});
    document.tabDefs.push_back(RawRecord{Bytes(8, 0)});
    document.paraShapes.push_back(ParaShape{});
    Style normal;
    normal.name = u"바탕글";
    normal.englishName = u"Normal";
    document.styles.push_back(normal);
    Section section;
    section.paragraphs.emplace_back().charShapes.push_back(CharShapeRun{});
    document.sections.push_back(std::move(section));
    // Layout as this version lays out, no compatibility options.
    document.docInfoRecords.push_back(ObjectRecord{tag::kCompatibleDocument, 0, Bytes(4, 0)});
    document.docInfoRecords.push_back(ObjectRecord{tag::kLayoutCompatibility, 1, Bytes(20, 0)});
    return document;
}

void CheckDocument(const Document& document)
{
    for (std::size_t i = 0; i < document.charShapes.size(); ++i) {
        const CharShape& shape = document.charShapes[i];
        const std::string where = "char shape " + std::to_string(i);
        for (int lang = 0; lang < kLangCount; ++lang)
            CheckId(shape.faceIds[static_cast<std::size_t>(lang)], document.faces[static_cast<std::size_t>(lang)].size(),
                    "face", where);
        CheckId(shape.borderFillId, document.borderFills.size() + 1, "border fill", where);
    }
    const std::size_t tabDefs = document.tabDefs.empty() ? 1 : document.tabDefs.size();
    for (std::size_t i = 0; i < document.paraShapes.size(); ++i) {
        const ParaShape& shape = document.paraShapes[i];
        const std::string where = "para shape " + std::to_string(i);
        CheckId(shape.tabDefId, tabDefs, "tab definition", where);
        CheckId(shape.borderFillId, document.borderFills.size() + 1, "border fill", where);
    }
    for (std::size_t i = 0; i < document.styles.size(); ++i) {
        const Style& style = document.styles[i];
        const std::string where = "style " + std::to_string(i);
        CheckId(style.paraShapeId, document.paraShapes.size(), "para shape", where);
        CheckId(style.charShapeId, document.charShapes.size(), "char shape", where);
        CheckId(style.nextStyleId, document.styles.size(), "style", where);
    }
    if (document.sections.empty())
        Bad("it has no section");
    for (std::size_t s = 0; s < document.sections.size(); ++s) {
        const Section& section = document.sections[s];
        if (section.paragraphs.empty())
            Bad("section " + std::to_string(s + 1) + " has no paragraph");
        if (section.columnCount < 1 || section.columnCount > 255)
            Bad("section " + std::to_string(s + 1) + " has " + std::to_string(section.columnCount) + " columns");
        for (std::size_t p = 0; p < section.paragraphs.size(); ++p) {
            const Paragraph& paragraph = section.paragraphs[p];
            const std::string where = Where(s, p);
            const std::size_t size = paragraph.text.size();
            CheckId(paragraph.paraShapeId, document.paraShapes.size(), "para shape", where);
            CheckId(paragraph.styleId, document.styles.size(), "style", where);
            if (paragraph.charShapes.empty() || paragraph.charShapes.front().position != 0)
                Bad(where + ": its char shapes do not start at the beginning");
            for (std::size_t r = 0; r < paragraph.charShapes.size(); ++r) {
                const CharShapeRun& run = paragraph.charShapes[r];
                CheckId(run.charShapeId, document.charShapes.size(), "char shape", where);
                if (r > 0 && (run.position <= paragraph.charShapes[r - 1].position || run.position > size))
                    Bad(where + ": its char shape runs are out of order or past the text");
            }
            std::uint32_t lastEnd = 0;
            for (const Field& field : paragraph.fields) {
                if (field.begin > field.end || field.end > size || field.begin < lastEnd)
                    Bad(where + ": the field \"" + Utf16ToUtf8(field.name) +
                        "\" lies outside the text or overlaps another");
                lastEnd = field.end;
            }
            std::uint32_t lastPosition = 0;
            for (const Control& control : paragraph.controls) {
                if (control.position > size || control.position < lastPosition)
                    Bad(where + ": an object lies outside the text or out of order");
                if (control.end < control.position || (control.end > size && control.end != kEndsInLaterParagraph))
                    Bad(where + ": a field ends outside the text");
                CheckControlRecords(control, where);
                lastPosition = control.position;
            }
            lastPosition = 0;
            for (const auto& [position, id] : paragraph.fieldEnds) {
                if (position > size || position < lastPosition)
                    Bad(where + ": a field's end lies outside the text or out of order");
                lastPosition = position;
            }
        }
        for (const Control* control : {&section.sectionDef, &section.columnDef}) {
            if (!control->records.empty())
                CheckControlRecords(*control, "section " + std::to_string(s + 1));
        }
    }
}

}  // namespace hwp
