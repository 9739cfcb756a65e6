#include "document/editor_document.h"

#include "document/cell_edit_layout.h"
#include "document/face_metrics.h"

#include "document/kept_objects.h"
#include "document/table_mapping.h"

#include <QTextBlock>
#include <QTextTable>

#include <algorithm>

namespace editor {

namespace {

// Values come from files: sums are taken wide, and the body is at least a quarter inch.
std::int32_t BodyLength(std::int64_t length)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(length, 7200 / 4, 0x7FFFFFFF));
}

} // namespace

std::int32_t PageSetup::BodyWidth() const
{
    return BodyLength(std::int64_t{SheetWidth()} - marginLeft - marginRight - marginGutter);
}

std::int32_t PageSetup::BodyHeight() const
{
    return BodyLength(std::int64_t{SheetHeight()} - marginTop - marginHeader - marginBottom - marginFooter);
}

QString NanumFamilyFor(const QString& hwpFace)
{
    static const char* const gothicHints[] = {"고딕", "돋움", "굴림", "맑은", "헤드라인", "gothic", "dotum",
                                              "gulim", "sans", "arial", "helvetica", "verdana", "malgun"};
    const QString face = hwpFace.toLower();
    if (face.startsWith(QLatin1String("nanum")) || face.startsWith(QStringLiteral("나눔")))
        return face.contains(QStringLiteral("고딕")) || face.contains(QLatin1String("gothic"))
                   ? QStringLiteral("NanumGothic")
                   : QStringLiteral("NanumMyeongjo");
    for (const char* hint : gothicHints) {
        if (face.contains(QString::fromUtf8(hint)))
            return QStringLiteral("NanumGothic");
    }
    return QStringLiteral("NanumMyeongjo");
}

EditorDocument::EditorDocument()
    : m_text(std::make_unique<QTextDocument>()), m_origin(std::make_shared<hwp::Document>(hwp::NewDocument()))
{
    m_text->setDocumentMargin(0);
    m_text->setUseDesignMetrics(true);
    m_text->setUndoRedoEnabled(true);
    // Before any text: the layout, once set, is not laid out again for it.
    InstallCellEditLayout(*m_text);
    InstallKeptObjectHandler(*m_text);
}

namespace {

// What the teacher marks inside a paragraph; a style leaves these as they are.
constexpr int kEmphasisProperties[] = {
    QTextFormat::FontWeight,       QTextFormat::FontItalic,     QTextFormat::FontUnderline,
    QTextFormat::TextUnderlineStyle, QTextFormat::TextUnderlineColor, QTextFormat::FontStrikeOut,
    QTextFormat::TextVerticalAlignment, QTextFormat::ForegroundBrush, QTextFormat::BackgroundBrush,
};

// The style's look for one run of text, with the run's own emphasis where it differs from
// what the paragraph's old style gave it.
QTextCharFormat StyledRun(const QTextCharFormat& style, const QTextCharFormat& run, const QTextCharFormat* oldStyle)
{
    QTextCharFormat result = style;
    for (const int property : kEmphasisProperties) {
        if (!run.hasProperty(property))
            continue;
        if (oldStyle != nullptr && oldStyle->hasProperty(property) && oldStyle->property(property) == run.property(property))
            continue;
        result.setProperty(property, run.property(property));
    }
    return result;
}

} // namespace

bool EditorDocument::ApplyStyle(int index, const QTextCursor& cursor)
{
    if (index < 0 || index >= static_cast<int>(m_styles.size()))
        return false;
    const TextStyle& style = m_styles[static_cast<std::size_t>(index)];
    QTextBlockFormat blockFormat = style.blockFormat;
    blockFormat.setProperty(kStyleIndexProperty, index);

    QTextBlock first = m_text->findBlock(std::min(cursor.selectionStart(), cursor.selectionEnd()));
    const QTextBlock last = m_text->findBlock(std::max(cursor.selectionStart(), cursor.selectionEnd()));
    QTextCursor edit(m_text.get());
    edit.beginEditBlock();
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        edit.setPosition(block.position());
        // Paragraphs inside a table belong to the table, which stays as it is.
        if (edit.currentTable() == nullptr) {
            const QTextBlockFormat old = block.blockFormat();
            const int oldIndex = old.hasProperty(kStyleIndexProperty) ? old.intProperty(kStyleIndexProperty) : -1;
            const QTextCharFormat* oldStyle = oldIndex >= 0 && oldIndex < static_cast<int>(m_styles.size())
                                                  ? &m_styles[static_cast<std::size_t>(oldIndex)].charFormat
                                                  : nullptr;
            struct Run {
                int from, to;
                QTextCharFormat format;
            };
            std::vector<Run> runs;
            for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                // Objects (pictures, tables, equations kept whole) carry their data in
                // their format: never touched.
                if (!fragment.isValid() || fragment.charFormat().isImageFormat() || fragment.charFormat().objectType() != 0)
                    continue;
                runs.push_back({fragment.position(), fragment.position() + fragment.length(),
                                StyledRun(style.charFormat, fragment.charFormat(), oldStyle)});
            }
            edit.setBlockFormat(blockFormat);
            SetBlockCharFormatKeepingCell(edit, StyledRun(style.charFormat, block.charFormat(), oldStyle));
            for (const Run& run : runs) {
                edit.setPosition(run.from);
                edit.setPosition(run.to, QTextCursor::KeepAnchor);
                edit.setCharFormat(run.format);
            }
        }
        if (block == last)
            break;
    }
    edit.endEditBlock();
    return true;
}

int EditorDocument::FindStyle(const QString& name) const
{
    for (std::size_t i = 0; i < m_styles.size(); ++i) {
        if (m_styles[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
}

FieldRange& EditorDocument::AddField(const QString& name, int startPosition, int endPosition)
{
    FieldRange field;
    field.name = name;
    field.start = QTextCursor(m_text.get());
    field.start.setPosition(std::clamp(startPosition, 0, m_text->characterCount() - 1));
    field.start.setKeepPositionOnInsert(true);
    field.end = QTextCursor(m_text.get());
    field.end.setPosition(std::clamp(endPosition, field.start.position(), m_text->characterCount() - 1));
    const auto at = std::find_if(m_fields.begin(), m_fields.end(), [&](const FieldRange& other) {
        return other.start.position() > field.start.position();
    });
    return *m_fields.insert(at, std::move(field));
}

const FieldRange* EditorDocument::FindField(const QString& name) const
{
    for (const FieldRange& field : m_fields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

int EditorDocument::FieldEnd(const FieldRange& field) const
{
    const QTextBlock block = m_text->findBlock(field.start.position());
    const int blockEnd = block.isValid() ? block.position() + block.length() - 1 : field.start.position();
    return std::clamp(field.end.position(), field.start.position(), blockEnd);
}

const FieldRange* EditorDocument::FieldAt(int position) const
{
    for (const FieldRange& field : m_fields) {
        if (field.start.position() <= position && position <= FieldEnd(field))
            return &field;
    }
    return nullptr;
}

void EditorDocument::Clear()
{
    m_fields.clear();
    m_text->clear();
    QTextCursor cursor(m_text.get());
    if (!m_styles.empty()) {
        QTextBlockFormat blockFormat = m_styles.front().blockFormat;
        blockFormat.setProperty(kStyleIndexProperty, 0);
        cursor.setBlockFormat(blockFormat);
    }
    cursor.setBlockCharFormat(DefaultCharFormat());
    m_text->clearUndoRedoStacks();
    m_text->setModified(false);
}

QTextCharFormat EditorDocument::DefaultCharFormat() const
{
    if (!m_styles.empty())
        return m_styles.front().charFormat;
    QTextCharFormat format;
    format.setFontFamilies({QStringLiteral("NanumMyeongjo")});
    format.setFontPointSize(10);
    format.setProperty(kFaceNameProperty, QStringLiteral("바탕"));
    FitToFace(format);
    return format;
}

} // namespace editor
