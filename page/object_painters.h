// The painters of the kept objects that the pane and the page images draw for real:
// pictures (the image from the document's bin data, cut to its crop), equations (typeset
// and drawn as glyphs) and tables (cell backgrounds, ruling lines and the cells' text).
// Each caches what it computed (decoded images, typeset equations, laid-out cells) so a
// repaint or the next page band does not compute it again; the caches are shared by
// every thread that paints.
#pragma once

#include "hwp/document.h"

#include "hwp/border_fill.h"

#include <QPointF>

#include <memory>
#include <vector>

class QPaintDevice;
class QPainter;

class QTextBlock;

namespace editor {

class EditorDocument;

// `paragraphs` of `origin` laid out for print `width` layout pixels wide on `device` (96
// dpi), as table cells are; `height` gets their height. Null when they cannot be mapped.
std::unique_ptr<EditorDocument> LayOutParagraphs(const hwp::Document& origin,
                                                 const std::vector<hwp::Paragraph>& paragraphs, double width,
                                                 QPaintDevice& device, double& height);

// A ruling line of the file's kind, width and colour from `from` to `to` (layout pixels),
// at least a device pixel wide.
void PaintRuledLine(QPainter& painter, const hwp::BorderLine& line, QPointF from, QPointF to);

// The lines a paragraph laid in columns of its own (stored_breaks.h) rules between them,
// `line` down the middle of each gap, for the block whose layout `origin` places.
void PaintColumnRules(QPainter& painter, const QTextBlock& block, QPointF origin, const hwp::BorderLine& line);

// Registers the three painters, replacing what was registered for their ids.
// InstallKeptObjectHandler calls it once for the program.
void RegisterObjectPainters();

} // namespace editor
