// hwp::Document <-> EditorDocument: what the pane shows of an HWP file and what it
// writes back.
//
// Char shapes become char formats (faces shown in Nanum, the HWP face name kept), para
// shapes block formats, styles TextStyles, click-here fields FieldRanges, the first
// section's page definition the PageSetup. Every kept control (table, picture, header,
// field, ...) is one object character at its text position and every later section
// starts with one (document/kept_objects.h); writing back imports each control into the
// new document (hwp::ImportControl), so untouched objects come back byte for byte and
// objects pasted from another pane's document keep the shapes they refer to.
#pragma once

#include "document/editor_document.h"
#include "document/stored_lines.h"
#include "hwp/border_fill.h"
#include "hwp/document.h"

#include <QColor>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace editor {

// Tables the text engine can lay out are shown as its tables, to be edited cell by cell
// (document/table_mapping.h), or all tables stay kept objects drawn whole (for documents
// assembled from others, where nothing is edited).
enum class TablesShown { AsTables, AsObjects };

// The page a section's page definition describes.
PageSetup PageSetupOf(const hwp::PageDef& page);

// A document only printed from (page images, PDF) is never laid out itself: each print
// copy lays its own clone out. Its layout stays off; turn it on before showing it.
enum class PaneLayout { Live, Off };

std::unique_ptr<EditorDocument> ToEditorDocument(const hwp::Document& document,
                                                 TablesShown tables = TablesShown::AsTables,
                                                 PaneLayout layout = PaneLayout::Live);
// `laid`: the lines the print layout gave the blocks (PagedLayout::LaidLines), written for
// every paragraph that no longer holds the lines it was read with, so that the file prints
// as the pane does; without them the writer estimates its own.
hwp::Document ToHwpDocument(const EditorDocument& document, const LaidOutLines* laid = nullptr);

// Null when the file is missing, unreadable or not an HWP document we can read.
std::unique_ptr<EditorDocument> ReadHwpFile(const std::string& path, TablesShown tables = TablesShown::AsTables);
// Replaces the file in one instant; false when it cannot be written. `previewImage`: the
// picture of page 1 the file carries (page/preview_image.h); none when empty.
bool WriteHwpFile(const EditorDocument& document, const std::string& path, const std::string& previewImage = {},
                  const LaidOutLines* laid = nullptr);
// The same as an HWPX package, with what the pane's file held and the model does not read;
// `previewPng`: the picture of page 1 (none keeps the file's own); `laid` as above.
bool WriteHwpxFile(const EditorDocument& document, const std::string& path, const std::string& previewPng = {},
                   const LaidOutLines* laid = nullptr);

// Block property: what a paragraph held in the file beside its text (its tabs' widths and
// kinds, its range tags), given back to it while its text stays as read.
constexpr int kParagraphAsReadProperty = QTextFormat::UserProperty + 43;
struct ParagraphAsRead {
    std::u16string text;
    std::vector<std::array<char16_t, 6>> tabs;
    hwp::Bytes rangeTags;
};
using ParagraphAsReadRef = std::shared_ptr<const ParagraphAsRead>;

// The para shape a block format was made from (with what the format says differently
// left out); none for a format not read from a file.
std::optional<hwp::ParaShape> ParaShapeOf(const QTextBlockFormat& format);
// The text engine's proportional height a para shape's percent line spacing is read as.
double ProportionalHeightOf(std::int32_t percent);
// The char format char shape `id` of `document` shows as; the default one when there is
// no such shape.
QTextCharFormat CharFormatOf(const hwp::Document& document, std::uint32_t id);

// HWP colours (0x00BBGGRR) and the text engine's.
QColor FromColorRef(hwp::ColorRef color);
hwp::ColorRef ToColorRef(const QColor& color);
// The border fill `id` (counted from 1; 0 is none) of `document`; none when it is missing
// or cannot be read.
std::optional<hwp::BorderFillView> BorderFillAt(const hwp::Document& document, std::uint16_t id);

} // namespace editor

Q_DECLARE_METATYPE(editor::ParagraphAsReadRef)
