#include "document/table_mapping.h"

#include "document/editor_document.h"
#include "document/fill_brush.h"
#include "document/hwp_mapping.h"
#include "document/table_rows.h"
#include "hwp/objects.h"

#include <QTextCursor>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace editor {

namespace {

// Ruling lines narrower than this (0.2 mm) are shown this wide, so a 0.1 mm line of the
// file stays visible on screen; the file's width is what is kept and written.
constexpr double kMinShownLine = 0.75;
// A new cell's height: one 10-pt line and its margins, as hwp::NewTable makes them.
// Columns of a table pasted from elsewhere without fixed widths.
constexpr double kDefaultColumnPixels = 80;

bool Near(double a, double b)
{
    return std::abs(a - b) < 0.01;
}

std::int16_t ToMargin(double pixels)
{
    return static_cast<std::int16_t>(std::clamp<long>(std::lround(LayoutToHwpUnits(pixels)), 0, 0x7FFF));
}

QTextFrameFormat::BorderStyle StyleOf(std::uint8_t kind)
{
    switch (static_cast<hwp::LineKind>(kind)) {
    case hwp::LineKind::None: return QTextFrameFormat::BorderStyle_None;
    case hwp::LineKind::Dash:
    case hwp::LineKind::LongDash: return QTextFrameFormat::BorderStyle_Dashed;
    case hwp::LineKind::Dot:
    case hwp::LineKind::Circle: return QTextFrameFormat::BorderStyle_Dotted;
    case hwp::LineKind::DashDot: return QTextFrameFormat::BorderStyle_DotDash;
    case hwp::LineKind::DashDotDot: return QTextFrameFormat::BorderStyle_DotDotDash;
    case hwp::LineKind::Double:
    case hwp::LineKind::ThinThick:
    case hwp::LineKind::ThickThin:
    case hwp::LineKind::ThinThickThin: return QTextFrameFormat::BorderStyle_Double;
    default: return QTextFrameFormat::BorderStyle_Solid;
    }
}

std::uint8_t KindOf(QTextFrameFormat::BorderStyle style)
{
    switch (style) {
    case QTextFrameFormat::BorderStyle_None: return 0;
    case QTextFrameFormat::BorderStyle_Dashed: return 2;
    case QTextFrameFormat::BorderStyle_Dotted: return 3;
    case QTextFrameFormat::BorderStyle_DotDash: return 4;
    case QTextFrameFormat::BorderStyle_DotDotDash: return 5;
    case QTextFrameFormat::BorderStyle_Double: return 8;
    default: return 1;
    }
}

// The width index whose width is nearest `pixels`.
std::uint8_t WidthIndexOf(double pixels)
{
    const double units = LayoutToHwpUnits(pixels);
    std::uint8_t best = 0;
    for (std::uint8_t i = 1; i < 16; ++i) {
        if (std::abs(hwp::BorderLineWidth(i) - units) < std::abs(hwp::BorderLineWidth(best) - units))
            best = i;
    }
    return best;
}

double ShownWidth(const hwp::BorderLine& line)
{
    if (line.kind == 0)
        return 0;
    return std::max(kMinShownLine, HwpUnitsToLayout(hwp::BorderLineWidth(line.width)));
}

struct Side {
    double width;
    QTextFrameFormat::BorderStyle style;
    QColor color;
};

Side SideOf(const QTextTableCellFormat& format, int side)
{
    switch (side) {
    case 0: return {format.leftBorder(), format.leftBorderStyle(), format.leftBorderBrush().color()};
    case 1: return {format.rightBorder(), format.rightBorderStyle(), format.rightBorderBrush().color()};
    case 2: return {format.topBorder(), format.topBorderStyle(), format.topBorderBrush().color()};
    default: return {format.bottomBorder(), format.bottomBorderStyle(), format.bottomBorderBrush().color()};
    }
}

hwp::BorderFillView DefaultCellFill()
{
    return hwp::SimpleBorderFill(hwp::BorderLine{1, 1, 0});
}

// Cells must cover the grid exactly: a slot no cell covers has no cell of the text
// engine to stand for.
bool CoversGrid(const hwp::Table& table)
{
    std::size_t covered = 0;
    for (const hwp::TableCell& cell : table.cells)
        covered += std::size_t{cell.rowSpan} * cell.columnSpan;
    return covered == std::size_t{table.rows} * table.columns;
}

// Whether the pane's paragraphs of a cell say what the cell's original paragraphs say:
// the same text, runs and controls, shapes equal but for the border fill they name
// (text brought from another document keeps the id it had there).
bool SameAsRead(const std::vector<hwp::Paragraph>& shown, const std::vector<hwp::Paragraph>& read,
                const hwp::Document& document)
{
    if (shown.size() != read.size())
        return false;
    const auto charShape = [&](std::uint32_t id) {
        hwp::CharShape shape = id < document.charShapes.size() ? document.charShapes[id] : hwp::CharShape{};
        shape.borderFillId = 0;
        return shape;
    };
    const auto paraShape = [&](std::uint16_t id) {
        hwp::ParaShape shape = id < document.paraShapes.size() ? document.paraShapes[id] : hwp::ParaShape{};
        shape.borderFillId = 0;
        return shape;
    };
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const hwp::Paragraph& a = shown[i];
        const hwp::Paragraph& b = read[i];
        if (a.text != b.text || a.breakFlags != b.breakFlags || a.fields != b.fields || a.fieldEnds != b.fieldEnds ||
            a.controls.size() != b.controls.size() || a.charShapes.size() != b.charShapes.size() ||
            !(paraShape(a.paraShapeId) == paraShape(b.paraShapeId)))
            return false;
        for (std::size_t k = 0; k < a.controls.size(); ++k) {
            if (a.controls[k].position != b.controls[k].position || a.controls[k].records != b.controls[k].records)
                return false;
        }
        for (std::size_t k = 0; k < a.charShapes.size(); ++k) {
            if (a.charShapes[k].position != b.charShapes[k].position ||
                !(charShape(a.charShapes[k].charShapeId) == charShape(b.charShapes[k].charShapeId)))
                return false;
        }
    }
    return true;
}

// Rows whose cells need more than the file's height grow to it; the cells spanning them
// with them. `needed` is per cell of `table`, 0 for a cell that asks nothing. Whether a
// row grew.
bool GrowRows(hwp::Table& table, const std::vector<hwp::HwpUnit>& needed)
{
    std::vector<hwp::HwpUnit> heights = hwp::RowHeights(table);
    bool grown = false;
    for (int pass = 0; pass < 2; ++pass) {
        // One-row cells first: a merged cell takes what its rows already give.
        for (std::size_t i = 0; i < table.cells.size() && i < needed.size(); ++i) {
            const hwp::TableCell& cell = table.cells[i];
            if ((cell.rowSpan == 1) != (pass == 0) || needed[i] <= 0 || cell.row >= heights.size())
                continue;
            const std::size_t last = std::min<std::size_t>(heights.size(), std::size_t{cell.row} + cell.rowSpan) - 1;
            std::int64_t sum = 0;
            for (std::size_t r = cell.row; r <= last; ++r)
                sum += heights[r];
            if (needed[i] > sum) {
                heights[last] += static_cast<hwp::HwpUnit>(needed[i] - sum);
                grown = true;
            }
        }
    }
    if (!grown)
        return false;
    for (hwp::TableCell& cell : table.cells) {
        std::int64_t sum = 0;
        for (std::size_t r = cell.row; r < heights.size() && r < std::size_t{cell.row} + cell.rowSpan; ++r)
            sum += heights[r];
        cell.height = static_cast<hwp::HwpUnit>(std::clamp<std::int64_t>(sum, 1, 0x7FFFFFFF));
    }
    return true;
}

} // namespace

std::optional<hwp::Table> TableToShow(const hwp::Control& control, int depth)
{
    if (!hwp::IsTable(control) || depth >= kMaxShownTableDepth)
        return std::nullopt;
    hwp::Table table;
    try {
        table = hwp::ReadTable(control);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const hwp::ObjectProperties& placement = table.object;
    // A table the text flows around, over or under, or one placed on the page, has no
    // place between two blocks of the text engine.
    const bool inFlow = placement.inlineAsChar ||
                        (placement.wrap == hwp::TextWrap::TopAndBottom && placement.vertRelTo == hwp::VertRelTo::Paragraph);
    if (!inFlow || table.rows == 0 || table.columns == 0 || table.cells.size() > kMaxShownTableCells ||
        !CoversGrid(table))
        return std::nullopt;
    return table;
}

KeptObjectRef ShownCaption(const hwp::Table& table, const hwp::Control& control, std::shared_ptr<const hwp::Document> origin)
{
    if (table.caption.empty() || control.records.empty() || !hwp::ReadCaption(table.caption))
        return nullptr;
    // The table's header (its width) and the caption's records, for the painter.
    hwp::Control shown;
    shown.code = control.code;
    shown.ctrlId = kShownCaptionCtrlId;
    shown.records.push_back(control.records.front());
    // A header of its own id, so that the object imports into another document as any.
    hwp::Bytes& header = shown.records.front().data;
    if (header.size() < 4)
        return nullptr;
    for (std::size_t b = 0; b < 4; ++b)
        header[b] = static_cast<std::uint8_t>(kShownCaptionCtrlId >> (8 * b));
    shown.records.insert(shown.records.end(), table.caption.begin(), table.caption.end());
    return std::make_shared<const KeptObject>(KeptObject{std::move(shown), std::move(origin)});
}

bool IsShownCaption(const KeptObject& object)
{
    return object.control.ctrlId == kShownCaptionCtrlId;
}

bool ShownCaptionAbove(const KeptObject& object)
{
    if (!IsShownCaption(object) || object.control.records.size() < 2)
        return false;
    const std::vector<hwp::ObjectRecord> records(object.control.records.begin() + 1, object.control.records.end());
    const std::optional<hwp::TableCaption> caption = hwp::ReadCaption(records);
    return caption && (caption->side == hwp::CaptionSide::Top || caption->side == hwp::CaptionSide::Left);
}

void ShowBorderFill(QTextTableCellFormat& format, const hwp::BorderFillView& fill)
{
    const auto& lines = fill.lines;
    format.setLeftBorder(ShownWidth(lines[0]));
    format.setLeftBorderStyle(StyleOf(lines[0].kind));
    format.setLeftBorderBrush(FromColorRef(lines[0].color));
    format.setRightBorder(ShownWidth(lines[1]));
    format.setRightBorderStyle(StyleOf(lines[1].kind));
    format.setRightBorderBrush(FromColorRef(lines[1].color));
    format.setTopBorder(ShownWidth(lines[2]));
    format.setTopBorderStyle(StyleOf(lines[2].kind));
    format.setTopBorderBrush(FromColorRef(lines[2].color));
    format.setBottomBorder(ShownWidth(lines[3]));
    format.setBottomBorderStyle(StyleOf(lines[3].kind));
    format.setBottomBorderBrush(FromColorRef(lines[3].color));
    if (const std::optional<QBrush> gradient = CellGradientBrush(fill))
        format.setBackground(*gradient);
    else if (const std::optional<hwp::ColorRef> background = fill.Background())
        format.setBackground(FromColorRef(*background));
    else
        format.clearBackground();
}

hwp::BorderFillView BorderFillShown(const QTextTableCellFormat& format, const hwp::BorderFillView& base)
{
    QTextTableCellFormat reference;
    ShowBorderFill(reference, base);
    hwp::BorderFillView view = base;
    for (int side = 0; side < 4; ++side) {
        const Side now = SideOf(format, side);
        const Side was = SideOf(reference, side);
        if (Near(now.width, was.width) && now.style == was.style && now.color == was.color)
            continue;
        hwp::BorderLine& line = view.lines[static_cast<std::size_t>(side)];
        if (now.width <= 0 || now.style == QTextFrameFormat::BorderStyle_None) {
            line.kind = 0;
            continue;
        }
        line.kind = KindOf(now.style);
        line.width = WidthIndexOf(now.width);
        line.color = ToColorRef(now.color);
    }
    const bool hadBackground = reference.hasProperty(QTextFormat::BackgroundBrush);
    const bool hasBackground = format.hasProperty(QTextFormat::BackgroundBrush) && format.background().style() != Qt::NoBrush;
    if (hasBackground != hadBackground || (hasBackground && format.background().color() != reference.background().color())) {
        view.fillKinds |= hwp::kFillColor;
        view.backgroundColor = hasBackground ? ToColorRef(format.background().color()) : hwp::kNoColor;
        if (!hasBackground)
            view.patternKind = -1;
    }
    return view;
}

hwp::BorderFillView CellBorderFill(const QTextTableCellFormat& format)
{
    const QByteArray bytes = format.property(kCellBorderFillProperty).toByteArray();
    if (!bytes.isEmpty()) {
        try {
            return hwp::ReadBorderFill(hwp::BorderFill{hwp::Bytes(bytes.begin(), bytes.end())});
        } catch (const std::exception&) {
        }
    }
    return DefaultCellFill();
}

void SetCellBorderFill(QTextTableCellFormat& format, const hwp::BorderFillView& fill)
{
    const hwp::BorderFill written = hwp::WriteBorderFill(fill);
    format.setProperty(kCellBorderFillProperty,
                       QByteArray(reinterpret_cast<const char*>(written.data.data()), static_cast<qsizetype>(written.data.size())));
    ShowBorderFill(format, fill);
}

void SetBlockCharFormatKeepingCell(QTextCursor& cursor, const QTextCharFormat& format)
{
    QTextTable* table = cursor.currentTable();
    const QTextTableCell cell = table ? table->cellAt(cursor) : QTextTableCell();
    if (!cell.isValid() || cell.firstPosition() != cursor.block().position()) {
        cursor.setBlockCharFormat(format);
        return;
    }
    const QTextTableCellFormat before = cell.format().toTableCellFormat();
    QTextTableCellFormat after;
    after.merge(format);
    // What only a cell has, and the background, which for the first block is the cell's.
    const QMap<int, QVariant> properties = before.properties();
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        const int id = it.key();
        const bool ofCell = id == QTextFormat::BackgroundBrush || id == QTextFormat::TableCellRowSpan ||
                            id == QTextFormat::TableCellColumnSpan ||
                            (id >= QTextFormat::TableCellTopPadding && id <= QTextFormat::TableCellRightPadding) ||
                            (id >= QTextFormat::TableCellTopBorder && id <= QTextFormat::TableCellRightBorderBrush) ||
                            id == QTextFormat::TextVerticalAlignment || id == kTableCellProperty ||
                            id == kReferenceHashProperty || id == kCellBorderFillProperty || id == kCellExtraTopProperty ||
                            id == kCellExtraBottomProperty;
        if (ofCell)
            after.setProperty(id, it.value());
    }
    cursor.setBlockCharFormat(after);
}

QTextTableFormat NewTextTableFormat(const std::vector<double>& widths)
{
    QTextTableFormat format;
    format.setBorderCollapse(true);
    format.setBorder(0);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_None);
    format.setCellSpacing(0);
    format.setCellPadding(0);
    // A new table stands with the room around it that a save gives it; a table read keeps
    // its own.
    format.setMargin(HwpUnitsToLayout(hwp::kNewTableOuterMargin));
    format.setAlignment(Qt::AlignLeft);
    QList<QTextLength> constraints;
    for (const double width : widths)
        constraints.push_back(QTextLength(QTextLength::FixedLength, std::max(1.0, width)));
    format.setColumnWidthConstraints(constraints);
    return format;
}

QTextTableCellFormat NewTextTableCellFormat(const hwp::BorderFillView& fill, Qt::Alignment vertical)
{
    QTextTableCellFormat format;
    const hwp::TableCell cell;
    format.setLeftPadding(HwpUnitsToLayout(cell.margins[0]));
    format.setRightPadding(HwpUnitsToLayout(cell.margins[1]));
    format.setTopPadding(HwpUnitsToLayout(cell.margins[2]));
    format.setBottomPadding(HwpUnitsToLayout(cell.margins[3]));
    format.setVerticalAlignment(vertical == Qt::AlignTop      ? QTextCharFormat::AlignTop
                                : vertical == Qt::AlignBottom ? QTextCharFormat::AlignBottom
                                                              : QTextCharFormat::AlignMiddle);
    SetCellBorderFill(format, fill);
    return format;
}

void InsertTextTable(QTextCursor& cursor, const hwp::Table& table, KeptObjectRef object, const hwp::Document& origin,
                     const CellFiller& fill)
{
    std::vector<double> widths;
    for (const hwp::HwpUnit width : hwp::ColumnWidths(table))
        widths.push_back(HwpUnitsToLayout(std::max<hwp::HwpUnit>(width, 1)));
    QTextTableFormat format = NewTextTableFormat(widths);
    const void* address = object.get();
    SetReference(format, kTableControlProperty, QVariant::fromValue(std::move(object)), address);
    const auto& margins = table.object.outerMargins;
    format.setLeftMargin(HwpUnitsToLayout(std::max<std::int16_t>(0, margins[0])));
    format.setRightMargin(HwpUnitsToLayout(std::max<std::int16_t>(0, margins[1])));
    format.setTopMargin(HwpUnitsToLayout(std::max<std::int16_t>(0, margins[2])));
    format.setBottomMargin(HwpUnitsToLayout(std::max<std::int16_t>(0, margins[3])));
    // A table standing as a character goes where its paragraph's alignment puts it.
    const Qt::Alignment paragraph = cursor.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
    if (table.object.inlineAsChar)
        format.setAlignment(paragraph == Qt::AlignHCenter ? Qt::AlignHCenter
                            : paragraph == Qt::AlignRight ? Qt::AlignRight
                                                          : Qt::AlignLeft);
    else
        format.setAlignment(table.object.horzAlign == 1 ? Qt::AlignHCenter
                            : table.object.horzAlign == 2 ? Qt::AlignRight
                                                          : Qt::AlignLeft);
    // Cells apart: the table's own border fill shows between and around them.
    if (table.cellSpacing > 0) {
        format.setBorderCollapse(false);
        format.setCellSpacing(HwpUnitsToLayout(table.cellSpacing));
        if (const std::optional<hwp::BorderFillView> own = BorderFillAt(origin, table.borderFillId)) {
            const hwp::BorderLine& line = own->lines[2];
            format.setBorder(ShownWidth(line));
            format.setBorderStyle(StyleOf(line.kind));
            format.setBorderBrush(FromColorRef(line.color));
            if (const std::optional<hwp::ColorRef> background = own->Background())
                format.setBackground(FromColorRef(*background));
        }
    }

    QTextTable* shown = cursor.insertTable(table.rows, table.columns, format);
    // Text first, merges next, formats last: the char format of a cell's first block is
    // where the text engine keeps the cell's format (spans included), and filling a
    // cell sets it.
    for (const hwp::TableCell& cell : table.cells) {
        QTextCursor inside = shown->cellAt(cell.row, cell.column).firstCursorPosition();
        fill(inside, cell.paragraphs);
    }
    for (const hwp::TableCell& cell : table.cells) {
        if (cell.rowSpan == 1 && cell.columnSpan == 1)
            continue;
        // Merging joins the cell's last block with the covered (empty) cells' blocks, and
        // the joined block keeps the format of the last of them.
        const QTextBlock last = shown->cellAt(cell.row, cell.column).lastCursorPosition().block();
        for (int r = cell.row; r < cell.row + cell.rowSpan; ++r) {
            for (int c = cell.column; c < cell.column + cell.columnSpan; ++c) {
                if (r == cell.row && c == cell.column)
                    continue;
                QTextCursor covered = shown->cellAt(r, c).firstCursorPosition();
                covered.setBlockFormat(last.blockFormat());
            }
        }
        shown->mergeCells(cell.row, cell.column, cell.rowSpan, cell.columnSpan);
    }
    for (const hwp::TableCell& cell : table.cells) {
        QTextTableCell place = shown->cellAt(cell.row, cell.column);
        QTextTableCellFormat cellFormat = place.format().toTableCellFormat();
        cellFormat.setLeftPadding(HwpUnitsToLayout(std::max<std::int16_t>(0, cell.margins[0])));
        cellFormat.setRightPadding(HwpUnitsToLayout(std::max<std::int16_t>(0, cell.margins[1])));
        cellFormat.setTopPadding(HwpUnitsToLayout(std::max<std::int16_t>(0, cell.margins[2])));
        cellFormat.setBottomPadding(HwpUnitsToLayout(std::max<std::int16_t>(0, cell.margins[3])));
        cellFormat.setVerticalAlignment(cell.verticalAlign == hwp::CellVerticalAlign::Top      ? QTextCharFormat::AlignTop
                                        : cell.verticalAlign == hwp::CellVerticalAlign::Bottom ? QTextCharFormat::AlignBottom
                                                                                               : QTextCharFormat::AlignMiddle);
        if (const std::optional<hwp::BorderFillView> view = BorderFillAt(origin, cell.borderFillId)) {
            const hwp::Bytes& bytes = origin.borderFills[cell.borderFillId - 1u].data;
            cellFormat.setProperty(kCellBorderFillProperty,
                                   QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
            ShowBorderFill(cellFormat, *view);
        } else {
            ShowBorderFill(cellFormat, hwp::SimpleBorderFill(hwp::BorderLine{0, 0, 0}));
        }
        auto kept = std::make_shared<hwp::TableCell>(cell);
        kept->paragraphs.clear();
        const void* address = kept.get();
        SetReference(cellFormat, kTableCellProperty, QVariant::fromValue(TableCellRef(std::move(kept))), address);
        place.setFormat(cellFormat);
    }
    cursor.setPosition(shown->lastPosition() + 1);
}

namespace {

// The table control a shown table was read from, imported into `document`, and the table
// it holds; neither for a new table or one that cannot be read.
struct TableAsRead {
    std::optional<hwp::Control> control;
    std::optional<hwp::Table> table;
};

TableAsRead ReadShownTable(const QTextTableFormat& format, hwp::Document& document)
{
    const KeptObjectRef kept = format.property(kTableControlProperty).value<KeptObjectRef>();
    TableAsRead read;
    if (!kept || !kept->origin)
        return read;
    try {
        read.control = hwp::ImportControl(*kept->origin, kept->control, document);
        read.table = hwp::ReadTable(*read.control);
    } catch (const std::exception&) {
        return {};
    }
    return read;
}

std::vector<hwp::HwpUnit> ShownColumnWidths(const QTextTableFormat& format, std::size_t columns)
{
    const QList<QTextLength> constraints = format.columnWidthConstraints();
    std::vector<hwp::HwpUnit> widths(columns, 0);
    for (std::size_t c = 0; c < widths.size(); ++c) {
        double pixels = kDefaultColumnPixels;
        if (c < static_cast<std::size_t>(constraints.size()) &&
            constraints[static_cast<qsizetype>(c)].type() == QTextLength::FixedLength)
            pixels = constraints[static_cast<qsizetype>(c)].rawValue();
        widths[c] = static_cast<hwp::HwpUnit>(std::max(1L, std::lround(LayoutToHwpUnits(pixels))));
    }
    return widths;
}

// Whether the grid is the one read: the same rows and columns, widths within a unit.
bool SameGrid(const std::optional<hwp::Table>& before, const hwp::Table& table,
              const std::vector<hwp::HwpUnit>& widths)
{
    if (!before || before->rows != table.rows || before->columns != table.columns)
        return false;
    const std::vector<hwp::HwpUnit> was = hwp::ColumnWidths(*before);
    for (std::size_t c = 0; c < widths.size(); ++c) {
        if (c >= was.size() || std::abs(was[c] - widths[c]) > 1)
            return false;
    }
    return true;
}

// The cell's margins from its padding; a cell that moved or changed its span also its
// width from the columns, its height per row and the text width it records.
void PlaceCell(hwp::TableCell& cell, const QTextTableCellFormat& cellFormat, const hwp::TableCell* stored,
               bool samePlace, const std::vector<hwp::HwpUnit>& widths)
{
    const double padding[4] = {cellFormat.leftPadding(), cellFormat.rightPadding(), FileTopPadding(cellFormat),
                               FileBottomPadding(cellFormat)};
    for (std::size_t side = 0; side < 4; ++side) {
        if (!stored || !Near(padding[side], HwpUnitsToLayout(std::max<std::int16_t>(0, cell.margins[side]))))
            cell.margins[side] = ToMargin(padding[side]);
    }
    if (samePlace)
        return;
    hwp::HwpUnit width = 0;
    for (std::size_t k = cell.column; k < std::size_t{cell.column} + cell.columnSpan && k < widths.size(); ++k)
        width += widths[k];
    cell.width = width;
    const hwp::HwpUnit perRow =
        stored ? std::max<hwp::HwpUnit>(1, stored->height / std::max<int>(1, stored->rowSpan)) : hwp::kNewTableRowHeight;
    cell.height = perRow * cell.rowSpan;
    // The text width after the border fill id, when the cell records one.
    if (cell.rest.size() >= 4) {
        const auto text =
            static_cast<std::uint32_t>(std::max<hwp::HwpUnit>(0, cell.width - cell.margins[0] - cell.margins[1]));
        for (std::size_t b = 0; b < 4; ++b)
            cell.rest[b] = static_cast<std::uint8_t>(text >> (8 * b));
    }
}

void SetCellAlignment(hwp::TableCell& cell, const QTextTableCellFormat& cellFormat)
{
    switch (cellFormat.verticalAlignment()) {
    case QTextCharFormat::AlignTop: cell.verticalAlign = hwp::CellVerticalAlign::Top; break;
    case QTextCharFormat::AlignBottom: cell.verticalAlign = hwp::CellVerticalAlign::Bottom; break;
    case QTextCharFormat::AlignMiddle: cell.verticalAlign = hwp::CellVerticalAlign::Center; break;
    default: break;
    }
}

// A cell keeps the border fill it was read with while its lines and fill are unchanged.
void SetCellBorderFill(hwp::TableCell& cell, const QTextTableCellFormat& cellFormat, const hwp::TableCell* stored,
                       hwp::Document& document)
{
    const hwp::BorderFillView base = CellBorderFill(cellFormat);
    const hwp::BorderFillView view = BorderFillShown(cellFormat, base);
    const QByteArray keptBytes = cellFormat.property(kCellBorderFillProperty).toByteArray();
    bool sameFill = stored && view == base && stored->borderFillId >= 1 &&
                    stored->borderFillId <= document.borderFills.size();
    if (sameFill) {
        const hwp::Bytes& data = document.borderFills[stored->borderFillId - 1u].data;
        sameFill = QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size())) == keptBytes;
    }
    if (!sameFill)
        cell.borderFillId = hwp::FindOrAddBorderFill(document, view);
}

// The cell at `place` as it will be written. `needed` gets the height its text asks for:
// the file's heights stand for untouched text, which other programs lay out in their own
// fonts; the height of new or edited text is what the pane lays out.
hwp::TableCell CellFrom(const QTextTableCell& place, const TableAsRead& asRead, bool sameGrid,
                        const std::vector<hwp::HwpUnit>& widths, hwp::Document& document, const CellReader& read,
                        std::vector<hwp::HwpUnit>& needed)
{
    const QTextTableCellFormat cellFormat = place.format().toTableCellFormat();
    const TableCellRef stored = cellFormat.property(kTableCellProperty).value<TableCellRef>();
    hwp::TableCell cell = stored ? *stored : hwp::TableCell{};
    cell.row = static_cast<std::uint16_t>(place.row());
    cell.column = static_cast<std::uint16_t>(place.column());
    cell.rowSpan = static_cast<std::uint16_t>(place.rowSpan());
    cell.columnSpan = static_cast<std::uint16_t>(place.columnSpan());
    const bool samePlace = stored && sameGrid && stored->row == cell.row && stored->column == cell.column &&
                           stored->rowSpan == cell.rowSpan && stored->columnSpan == cell.columnSpan;
    PlaceCell(cell, cellFormat, stored.get(), samePlace, widths);
    SetCellAlignment(cell, cellFormat);
    SetCellBorderFill(cell, cellFormat, stored.get(), document);
    cell.paragraphs = read(place);
    // An untouched cell keeps its paragraphs as read (their styles and border fills
    // imported with the table).
    bool untouched = false;
    if (samePlace) {
        const hwp::TableCell* was = hwp::CellAt(*asRead.table, cell.row, cell.column);
        if (was && was->row == cell.row && was->column == cell.column &&
            SameAsRead(cell.paragraphs, was->paragraphs, document)) {
            cell.paragraphs = was->paragraphs;
            untouched = true;
        }
    }
    needed.push_back(untouched ? 0 : static_cast<hwp::HwpUnit>(std::lround(LayoutToHwpUnits(FileCellHeight(place)))));
    return cell;
}

// Rows grown for their text; a new grid drops the zones outside it and takes its size
// from the cells, the grid read only grows in height.
void FitTableToCells(hwp::Table& table, const std::vector<hwp::HwpUnit>& needed, bool sameGrid)
{
    const bool grown = GrowRows(table, needed);
    if (!sameGrid) {
        std::erase_if(table.zones, [&](const hwp::TableZone& zone) {
            return zone.endRow >= table.rows || zone.endColumn >= table.columns;
        });
        hwp::FitTableSize(table);
    } else if (grown) {
        const std::vector<hwp::HwpUnit> heights = hwp::RowHeights(table);
        const std::int64_t height = std::accumulate(heights.begin(), heights.end(), std::int64_t{0}) +
                                    std::int64_t{table.cellSpacing} * (table.rows + 1);
        table.object.height = static_cast<hwp::HwpUnit>(std::clamp<std::int64_t>(height, 0, 0x7FFFFFFF));
    }
}

} // namespace

hwp::Control TableControlFrom(const QTextTable& shown, hwp::Document& document, const CellReader& read)
{
    const QTextTableFormat format = shown.format();
    const TableAsRead asRead = ReadShownTable(format, document);
    hwp::Table table;
    if (asRead.table) {
        table = *asRead.table;
    } else {
        table = hwp::NewTable(1, 1, 1000, 1);
        table.borderFillId = 0;
    }
    table.rows = static_cast<std::uint16_t>(shown.rows());
    table.columns = static_cast<std::uint16_t>(shown.columns());
    table.cells.clear();
    const std::vector<hwp::HwpUnit> widths = ShownColumnWidths(format, table.columns);
    const bool sameGrid = SameGrid(asRead.table, table, widths);

    std::vector<hwp::HwpUnit> needed;   // per cell written, 0: as the file has it
    for (int r = 0; r < shown.rows(); ++r) {
        for (int c = 0; c < shown.columns(); ++c) {
            const QTextTableCell place = shown.cellAt(r, c);
            if (place.isValid() && place.row() == r && place.column() == c)
                table.cells.push_back(CellFrom(place, asRead, sameGrid, widths, document, read, needed));
        }
    }
    FitTableToCells(table, needed, sameGrid);
    if (table.borderFillId == 0)
        table.borderFillId = table.cells.empty() ? 1 : table.cells.front().borderFillId;
    return hwp::WriteTable(table, document, asRead.control ? &*asRead.control : nullptr);
}

int RepeatedHeaderRows(const QTextTable& table)
{
    const KeptObjectRef kept = table.format().property(kTableControlProperty).value<KeptObjectRef>();
    if (!kept || !hwp::RepeatsHeaderRows(kept->control))
        return 0;
    const auto isHeader = [](const QTextTableCell& cell) {
        const TableCellRef read = cell.format().property(kTableCellProperty).value<TableCellRef>();
        return read && hwp::IsHeaderCell(*read);
    };
    int rows = 0;
    for (; rows < table.rows() - 1; ++rows) {
        bool all = true;
        for (int column = 0; column < table.columns() && all; ++column)
            all = isHeader(table.cellAt(rows, column));
        if (!all)
            break;
    }
    // A cell merged down past the last header row would print cut in two.
    for (bool cut = true; cut && rows > 0;) {
        cut = false;
        for (int column = 0; column < table.columns() && !cut; ++column) {
            const QTextTableCell cell = table.cellAt(rows - 1, column);
            cut = cell.row() + cell.rowSpan() > rows;
        }
        rows -= cut ? 1 : 0;
    }
    return rows;
}

} // namespace editor
