// document/: the document behind a pane, headless. Who calls it: the pane (editor/)
// shows and edits it, page/ lays it out and paints it, varnel-hwp reads and writes
// files through it.
//
// A tour:
//   - editor_document.h  EditorDocument: Qt rich text plus what HWP keeps beside the text
//                        (numbered styles, click-here fields, page definition; here);
//   - hwp_mapping.h      hwp::Document <-> EditorDocument, and reading and writing files;
//   - kept_objects.h     every control of a file as one object character of the text,
//                        and the registry of the painters that size and draw it;
//   - table_mapping.h    a file's table <-> a table of the text engine, cell by cell;
//   - table_rows.h       rows at least as tall as the file's cells;
//   - paragraph_heads.h  numbers, bullets and outline numbers before paragraphs, counted,
//                        given their room and drawn (for the pane and the page).
// Nothing here includes page/ or editor/.
#pragma once

#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include "hwp/document.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace editor {

// Lengths of the page in HWP units (1/7200 inch); the defaults are A4 portrait with the
// margins HWP documents start with.
struct PageSetup {
    std::int32_t paperWidth = 59528;
    std::int32_t paperHeight = 84188;
    std::int32_t marginLeft = 8504;
    std::int32_t marginRight = 8504;
    std::int32_t marginTop = 5668;
    std::int32_t marginBottom = 4252;
    std::int32_t marginHeader = 4252;
    std::int32_t marginFooter = 4252;
    std::int32_t marginGutter = 0;
    bool landscape = false;

    // The sheet as laid out, with width and height swapped for landscape.
    std::int32_t SheetWidth() const { return landscape ? paperHeight : paperWidth; }
    std::int32_t SheetHeight() const { return landscape ? paperWidth : paperHeight; }
    std::int64_t BodyLeft() const { return std::int64_t{marginLeft} + marginGutter; }
    std::int64_t BodyTop() const { return std::int64_t{marginTop} + marginHeader; }
    std::int32_t BodyWidth() const;
    std::int32_t BodyHeight() const;
};

// Rich text is laid out in pixels of a 96-dpi device whatever the screen, so the pane,
// the caret indicator and the page images break lines alike.
constexpr double kLayoutDpi = 96.0;
inline double HwpUnitsToLayout(double units) { return units * kLayoutDpi / 7200.0; }
inline double LayoutToHwpUnits(double pixels) { return pixels * 7200.0 / kLayoutDpi; }

// Block property holding the 0-based style index of a paragraph.
constexpr int kStyleIndexProperty = QTextFormat::UserProperty + 1;
// Char property holding the HWP face name that the shown Nanum family stands in for.
constexpr int kFaceNameProperty = QTextFormat::UserProperty + 2;

// A paragraph style: applying it sets the paragraph's format and its characters' format.
struct TextStyle {
    QString name;
    QString englishName;
    QTextCharFormat charFormat;
    QTextBlockFormat blockFormat;
    int kind = 0;          // 0 paragraph style, 1 character style
    int nextStyle = 0;     // style of the paragraph typed after this one
    int languageId = 1042;
};

// A click-here field. The start cursor keeps its place when text is typed at it and the
// end cursor moves on, so text typed into an empty field lands inside it.
struct FieldRange {
    QString name;
    QString command;       // as the file held it; empty lets the writer compose one
    QString guide;         // text shown while the field is empty
    bool editableInForm = true;
    QTextCursor start;
    QTextCursor end;
};

// The Nanum family that stands in for an HWP face name.
QString NanumFamilyFor(const QString& hwpFace);

class EditorDocument {
public:
    EditorDocument();
    EditorDocument(const EditorDocument&) = delete;
    EditorDocument& operator=(const EditorDocument&) = delete;

    QTextDocument& Text() { return *m_text; }
    const QTextDocument& Text() const { return *m_text; }

    std::vector<TextStyle>& Styles() { return m_styles; }
    const std::vector<TextStyle>& Styles() const { return m_styles; }
    PageSetup& Page() { return m_page; }
    const PageSetup& Page() const { return m_page; }
    // The HWP document this one was read from (a new one when none): its tables of faces,
    // borders, tabs and numberings are written back so what the pane cannot show survives.
    const hwp::Document& Origin() const { return *m_origin; }
    const std::shared_ptr<const hwp::Document>& OriginRef() const { return m_origin; }
    void SetOrigin(std::shared_ptr<const hwp::Document> origin) { m_origin = std::move(origin); }

    // Applies style `index` (0-based) to every paragraph that `cursor` touches. False when
    // there is no such style.
    bool ApplyStyle(int index, const QTextCursor& cursor);
    // Index of the style with that name, or -1.
    int FindStyle(const QString& name) const;

    // Fields, in document order of their start.
    const std::vector<FieldRange>& Fields() const { return m_fields; }
    // Adds a field over [startPosition, endPosition) and returns it for its details.
    FieldRange& AddField(const QString& name, int startPosition, int endPosition);
    const FieldRange* FindField(const QString& name) const;
    // Where a field ends: a field lives in one paragraph, so text typed at its end past a
    // paragraph break is no longer part of it.
    int FieldEnd(const FieldRange& field) const;
    // The field whose range holds `position`, or null.
    const FieldRange* FieldAt(int position) const;

    // Text, fields and the undo history go; styles and page stay.
    void Clear();

    // The char format new and cleared documents type with: the first style's, else a
    // 10-point Nanum Myeongjo.
    QTextCharFormat DefaultCharFormat() const;

private:
    std::unique_ptr<QTextDocument> m_text;
    std::vector<TextStyle> m_styles;
    std::vector<FieldRange> m_fields;
    PageSetup m_page;
    std::shared_ptr<const hwp::Document> m_origin;
};

} // namespace editor
