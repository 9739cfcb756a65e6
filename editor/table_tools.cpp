#include "editor/table_tools.h"

#include "editor/hwpctrl.h"
#include "document/table_mapping.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QSpinBox>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextTable>

#include <algorithm>
#include <vector>

namespace editor {

namespace {

constexpr char16_t kBoxCaption[] = u"<보기>";
const hwp::BorderLine kThinLine{1, 1, 0};   // solid 0.12 mm, black
const hwp::BorderLine kBoxLine{1, 6, 0};    // solid 0.4 mm

QTextCursor Caret(CHwpctrl& pane)
{
    return pane.TextView()->textCursor();
}

std::vector<double> ColumnPixels(const QTextTable& table)
{
    std::vector<double> widths;
    const QList<QTextLength> constraints = table.format().columnWidthConstraints();
    for (int c = 0; c < table.columns(); ++c) {
        const bool fixed = c < constraints.size() && constraints[c].type() == QTextLength::FixedLength;
        widths.push_back(fixed ? constraints[c].rawValue() : 80.0);
    }
    return widths;
}

void SetColumnPixels(QTextTable& table, const std::vector<double>& widths)
{
    QTextTableFormat format = table.format();
    QList<QTextLength> constraints;
    for (const double width : widths)
        constraints.push_back(QTextLength(QTextLength::FixedLength, std::max(1.0, width)));
    format.setColumnWidthConstraints(constraints);
    table.setFormat(format);
}

// A paragraph of its own for a new table at the caret: text before the caret stays in
// its paragraph.
QTextTable* InsertTableAt(CHwpctrl& pane, int rows, int columns, const hwp::BorderFillView& fill,
                          Qt::Alignment vertical)
{
    QTextCursor cursor = Caret(pane);
    cursor.beginEditBlock();
    cursor.clearSelection();
    if (cursor.positionInBlock() > 0)
        cursor.insertBlock();
    QTextBlockFormat paragraph = cursor.blockFormat();
    paragraph.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
    paragraph.clearProperty(kContinuesParagraphProperty);
    const QTextCharFormat text = cursor.charFormat();
    const double body = HwpUnitsToLayout(pane.Document().Page().BodyWidth());
    // Inside a cell the new table fits the cell's text width.
    double width = body;
    if (QTextTable* outer = cursor.currentTable()) {
        const QTextTableCell cell = outer->cellAt(cursor);
        const std::vector<double> columns = ColumnPixels(*outer);
        double cellWidth = 0;
        for (int c = cell.column(); c < cell.column() + cell.columnSpan() && c < static_cast<int>(columns.size()); ++c)
            cellWidth += columns[static_cast<std::size_t>(c)];
        const QTextTableCellFormat format = cell.format().toTableCellFormat();
        width = std::max(20.0 * columns.size(), cellWidth - format.leftPadding() - format.rightPadding());
    }
    std::vector<double> widths(static_cast<std::size_t>(columns), width / columns);
    QTextTable* table = cursor.insertTable(rows, columns, NewTextTableFormat(widths));
    QTextTableCellFormat cellFormat = NewTextTableCellFormat(fill, vertical);
    cellFormat.merge(text);
    SetCellBorderFill(cellFormat, fill);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            QTextTableCell cell = table->cellAt(r, c);
            QTextCursor inside = cell.firstCursorPosition();
            inside.setBlockFormat(paragraph);
            cell.setFormat(cellFormat);
        }
    }
    // The text engine starts the block after the table with no format of ours; text typed
    // there looks, and is saved, as the paragraph the table went into.
    QTextCursor after(table->lastCursorPosition());
    after.movePosition(QTextCursor::NextBlock);
    if (after.block().isValid() && after.block().position() > table->lastPosition()) {
        after.setBlockFormat(paragraph);
        after.setBlockCharFormat(text);
    }
    cursor.endEditBlock();
    QTextCursor first = table->cellAt(0, 0).firstCursorPosition();
    first.setCharFormat(text);
    pane.TextView()->setTextCursor(first);
    return table;
}

// The cells a command acts on: the selected ones, or the caret's.
struct CellRange {
    QTextTable* table = nullptr;
    int row = 0;
    int rows = 1;
    int column = 0;
    int columns = 1;
};

CellRange SelectedCells(CHwpctrl& pane)
{
    const QTextCursor cursor = Caret(pane);
    CellRange range;
    range.table = cursor.currentTable();
    if (!range.table)
        return range;
    if (cursor.hasComplexSelection()) {
        cursor.selectedTableCells(&range.row, &range.rows, &range.column, &range.columns);
        return range;
    }
    const QTextTableCell cell = range.table->cellAt(cursor);
    range.row = cell.row();
    range.column = cell.column();
    range.rows = cell.rowSpan();
    range.columns = cell.columnSpan();
    return range;
}

// `change(format, cell, range)` on each cell of the range.
template <typename Change>
bool ChangeCells(CHwpctrl& pane, Change change)
{
    const CellRange range = SelectedCells(pane);
    if (!range.table)
        return false;
    QTextCursor edit = Caret(pane);
    edit.beginEditBlock();
    for (int r = range.row; r < range.row + range.rows; ++r) {
        for (int c = range.column; c < range.column + range.columns; ++c) {
            QTextTableCell cell = range.table->cellAt(r, c);
            if (cell.row() != r || cell.column() != c)
                continue;
            QTextTableCellFormat format = cell.format().toTableCellFormat();
            change(format, cell, range);
            cell.setFormat(format);
        }
    }
    edit.endEditBlock();
    return true;
}

void PlaceCaret(CHwpctrl& pane, const QTextTableCell& cell)
{
    if (cell.isValid())
        pane.TextView()->setTextCursor(cell.firstCursorPosition());
}

// Tab and Shift+Tab inside a table go from cell to cell; elsewhere they type a tab.
class CellKeys : public QObject {
public:
    CellKeys(CHwpctrl& pane) : QObject(pane.TextView()), m_pane(pane) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers others = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (!tab || others != Qt::NoModifier || m_pane.TextView()->isReadOnly())
            return QObject::eventFilter(watched, event);
        const bool backwards = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
        return MoveToNextCell(m_pane, backwards) || QObject::eventFilter(watched, event);
    }

private:
    CHwpctrl& m_pane;
};

// The dialog with OK and Cancel under its rows, shown; whether it was accepted.
bool Accepted(QDialog& dialog, QFormLayout& layout)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout.addRow(buttons);
    return dialog.exec() == QDialog::Accepted;
}

bool AskTableSize(QWidget* parent, int& rows, int& columns)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("표 만들기"));
    auto* layout = new QFormLayout(&dialog);
    auto* rowBox = new QSpinBox(&dialog);
    rowBox->setRange(1, kMaxNewTableRows);
    rowBox->setValue(rows);
    rowBox->setObjectName(QStringLiteral("table_rows"));
    auto* columnBox = new QSpinBox(&dialog);
    columnBox->setRange(1, kMaxNewTableColumns);
    columnBox->setValue(columns);
    columnBox->setObjectName(QStringLiteral("table_columns"));
    layout->addRow(QStringLiteral("줄 수"), rowBox);
    layout->addRow(QStringLiteral("칸 수"), columnBox);
    if (!Accepted(dialog, *layout))
        return false;
    rows = rowBox->value();
    columns = columnBox->value();
    return true;
}

void AskCellLines(CHwpctrl& pane)
{
    QDialog dialog(&pane);
    dialog.setWindowTitle(QStringLiteral("셀 테두리"));
    auto* layout = new QFormLayout(&dialog);
    auto* sideBox = new QComboBox(&dialog);
    sideBox->setObjectName(QStringLiteral("cell_sides"));
    const std::pair<const char16_t*, CellSides> sides[] = {
        {u"모두", CellSides::All},   {u"바깥쪽", CellSides::Outside}, {u"안쪽", CellSides::Inside},
        {u"위", CellSides::Top},     {u"아래", CellSides::Bottom},    {u"왼쪽", CellSides::Left},
        {u"오른쪽", CellSides::Right}, {u"없음", CellSides::None}};
    for (const auto& [name, side] : sides)
        sideBox->addItem(QString::fromUtf16(name), static_cast<int>(side));
    auto* kindBox = new QComboBox(&dialog);
    kindBox->setObjectName(QStringLiteral("cell_line_kind"));
    kindBox->addItems({QStringLiteral("선 없음"), QStringLiteral("가는 실선 (0.12 mm)"), QStringLiteral("굵은 실선 (0.4 mm)"),
                       QStringLiteral("이중 실선 (0.5 mm)"), QStringLiteral("점선 (0.12 mm)")});
    kindBox->setCurrentIndex(1);
    // "없음" takes the lines away whatever the kind says.
    QObject::connect(sideBox, &QComboBox::currentIndexChanged, kindBox,
                     [sideBox, kindBox] { kindBox->setEnabled(sideBox->currentData().toInt() != static_cast<int>(CellSides::None)); });
    layout->addRow(QStringLiteral("적용 범위"), sideBox);
    layout->addRow(QStringLiteral("선 종류"), kindBox);
    if (!Accepted(dialog, *layout))
        return;
    const hwp::BorderLine lines[] = {{0, 0, 0}, kThinLine, kBoxLine, {8, 7, 0}, {3, 1, 0}};
    SetTableCellLines(pane, lines[std::clamp(kindBox->currentIndex(), 0, 4)],
                      static_cast<CellSides>(sideBox->currentData().toInt()));
}

void AskCellBackground(CHwpctrl& pane)
{
    const QColor color = QColorDialog::getColor(Qt::white, &pane, QStringLiteral("셀 배경"));
    if (color.isValid())
        SetTableCellBackground(pane, color == Qt::white ? std::nullopt : std::optional<QColor>(color));
}

// The commands on a table, for the "입력" menu and the context menu.
void AddTableEditing(QMenu& menu, CHwpctrl& pane)
{
    menu.addAction(QStringLiteral("줄 추가"), &pane, [&pane] { InsertTableRow(pane); });
    menu.addAction(QStringLiteral("줄 지우기"), &pane, [&pane] { RemoveTableRow(pane); });
    menu.addAction(QStringLiteral("칸 추가"), &pane, [&pane] { InsertTableColumn(pane); });
    menu.addAction(QStringLiteral("칸 지우기"), &pane, [&pane] { RemoveTableColumn(pane); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("셀 합치기"), &pane, [&pane] { MergeTableCells(pane); });
    menu.addAction(QStringLiteral("셀 나누기"), &pane, [&pane] { SplitTableCell(pane); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("셀 테두리..."), &pane, [&pane] { AskCellLines(pane); });
    menu.addAction(QStringLiteral("셀 배경..."), &pane, [&pane] { AskCellBackground(pane); });
}

} // namespace

QTextTable* InsertNewTable(CHwpctrl& pane, int rows, int columns)
{
    if (rows < 1 || rows > kMaxNewTableRows || columns < 1 || columns > kMaxNewTableColumns)
        return nullptr;
    return InsertTableAt(pane, rows, columns, hwp::SimpleBorderFill(kThinLine), Qt::AlignVCenter);
}

QTextTable* InsertBoxTable(CHwpctrl& pane)
{
    QTextTable* box = InsertTableAt(pane, 1, 1, hwp::SimpleBorderFill(kBoxLine), Qt::AlignTop);
    QTextCursor cursor = box->cellAt(0, 0).firstCursorPosition();
    cursor.beginEditBlock();
    QTextBlockFormat caption = cursor.blockFormat();
    const QTextBlockFormat content = caption;
    caption.setAlignment(Qt::AlignHCenter);
    cursor.setBlockFormat(caption);
    cursor.insertText(QString::fromUtf16(kBoxCaption));
    cursor.insertBlock(content);
    cursor.endEditBlock();
    pane.TextView()->setTextCursor(cursor);
    return box;
}

bool InsertTableRow(CHwpctrl& pane, bool below)
{
    const CellRange range = SelectedCells(pane);
    if (!range.table)
        return false;
    const int at = below ? range.row + range.rows : range.row;
    range.table->insertRows(at, 1);
    PlaceCaret(pane, range.table->cellAt(at, range.column));
    return true;
}

bool RemoveTableRow(CHwpctrl& pane)
{
    const CellRange range = SelectedCells(pane);
    if (!range.table || range.rows >= range.table->rows())
        return false;
    QTextTable* table = range.table;
    table->removeRows(range.row, range.rows);
    PlaceCaret(pane, table->cellAt(std::min(range.row, table->rows() - 1), range.column));
    return true;
}

bool InsertTableColumn(CHwpctrl& pane, bool right)
{
    const CellRange range = SelectedCells(pane);
    if (!range.table)
        return false;
    QTextTable* table = range.table;
    // The new column takes half of its neighbour: the table keeps its width.
    std::vector<double> widths = ColumnPixels(*table);
    const int neighbour = right ? range.column + range.columns - 1 : range.column;
    const int at = right ? range.column + range.columns : range.column;
    const double half = widths[static_cast<std::size_t>(neighbour)] / 2;
    table->insertColumns(at, 1);
    widths[static_cast<std::size_t>(neighbour)] = half;
    widths.insert(widths.begin() + at, half);
    SetColumnPixels(*table, widths);
    PlaceCaret(pane, table->cellAt(range.row, at));
    return true;
}

bool RemoveTableColumn(CHwpctrl& pane)
{
    const CellRange range = SelectedCells(pane);
    if (!range.table || range.columns >= range.table->columns())
        return false;
    QTextTable* table = range.table;
    // The neighbour (left, or right of the first column) takes the width: the table keeps its width.
    std::vector<double> widths = ColumnPixels(*table);
    double removed = 0;
    for (int c = range.column; c < range.column + range.columns; ++c)
        removed += widths[static_cast<std::size_t>(c)];
    table->removeColumns(range.column, range.columns);
    widths.erase(widths.begin() + range.column, widths.begin() + range.column + range.columns);
    widths[static_cast<std::size_t>(range.column > 0 ? range.column - 1 : 0)] += removed;
    SetColumnPixels(*table, widths);
    PlaceCaret(pane, table->cellAt(range.row, std::min(range.column, table->columns() - 1)));
    return true;
}

bool MergeTableCells(CHwpctrl& pane)
{
    const CellRange range = SelectedCells(pane);
    if (!range.table || range.rows * range.columns < 2 || !Caret(pane).hasComplexSelection())
        return false;
    range.table->mergeCells(range.row, range.column, range.rows, range.columns);
    PlaceCaret(pane, range.table->cellAt(range.row, range.column));
    return true;
}

bool SplitTableCell(CHwpctrl& pane)
{
    const QTextCursor cursor = Caret(pane);
    QTextTable* table = cursor.currentTable();
    if (!table)
        return false;
    const QTextTableCell cell = table->cellAt(cursor);
    const int row = cell.row();
    const int column = cell.column();
    if (cell.rowSpan() > 1 || cell.columnSpan() > 1) {
        table->splitCell(row, column, 1, 1);
        PlaceCaret(pane, table->cellAt(row, column));
        return true;
    }
    // One slot becomes two: a column beside it, joined back in the other rows.
    std::vector<double> widths = ColumnPixels(*table);
    const double half = widths[static_cast<std::size_t>(column)] / 2;
    QTextCursor edit = cursor;
    edit.beginEditBlock();
    table->insertColumns(column + 1, 1);
    widths[static_cast<std::size_t>(column)] = half;
    widths.insert(widths.begin() + column + 1, half);
    SetColumnPixels(*table, widths);
    for (int r = 0; r < table->rows();) {
        const QTextTableCell left = table->cellAt(r, column);
        const int span = std::max(1, left.rowSpan());
        // The new column inside a merged cell widened it already; other cells of the
        // split column take the new slot beside them.
        const bool covers = left.column() + left.columnSpan() > column + 1;
        if (r != row && left.row() == r && !covers)
            table->mergeCells(r, left.column(), span, left.columnSpan() + 1);
        r += span;
    }
    edit.endEditBlock();
    PlaceCaret(pane, table->cellAt(row, column + 1));
    return true;
}

bool SetTableCellLines(CHwpctrl& pane, const hwp::BorderLine& line, CellSides sides)
{
    return ChangeCells(pane, [&](QTextTableCellFormat& format, const QTextTableCell& cell, const CellRange& range) {
        const int r = cell.row(), c = cell.column();
        // Left, right, top, bottom: on the selection's outline or between its cells.
        const bool outline[4] = {c == range.column, c + cell.columnSpan() >= range.column + range.columns,
                                 r == range.row, r + cell.rowSpan() >= range.row + range.rows};
        hwp::BorderFillView fill = BorderFillShown(format, CellBorderFill(format));
        for (std::size_t side = 0; side < 4; ++side) {
            bool set = false;
            switch (sides) {
            case CellSides::All:
            case CellSides::None: set = true; break;
            case CellSides::Outside: set = outline[side]; break;
            case CellSides::Inside: set = !outline[side]; break;
            case CellSides::Left: set = side == 0 && outline[0]; break;
            case CellSides::Right: set = side == 1 && outline[1]; break;
            case CellSides::Top: set = side == 2 && outline[2]; break;
            case CellSides::Bottom: set = side == 3 && outline[3]; break;
            }
            if (set)
                fill.lines[side] = sides == CellSides::None ? hwp::BorderLine{0, 0, line.color} : line;
        }
        SetCellBorderFill(format, fill);
    });
}

bool SetTableCellBackground(CHwpctrl& pane, std::optional<QColor> color)
{
    return ChangeCells(pane, [&](QTextTableCellFormat& format, const QTextTableCell&, const CellRange&) {
        hwp::BorderFillView fill = BorderFillShown(format, CellBorderFill(format));
        fill.fillKinds |= hwp::kFillColor;
        fill.backgroundColor = color ? static_cast<hwp::ColorRef>(color->red()) |
                                           (static_cast<hwp::ColorRef>(color->green()) << 8) |
                                           (static_cast<hwp::ColorRef>(color->blue()) << 16)
                                     : hwp::kNoColor;
        fill.patternKind = -1;
        SetCellBorderFill(format, fill);
    });
}

bool MoveToNextCell(CHwpctrl& pane, bool backwards)
{
    const QTextCursor cursor = Caret(pane);
    QTextTable* table = cursor.currentTable();
    if (!table)
        return false;
    const QTextTableCell cell = table->cellAt(cursor);
    // Cells in reading order, each merged cell once.
    int row = cell.row();
    int column = cell.column();
    for (;;) {
        if (backwards) {
            if (--column < 0) {
                if (--row < 0)
                    return true;   // the first cell: nowhere to go
                column = table->columns() - 1;
            }
        } else if (column += 1; column >= table->columns()) {
            column = 0;
            if (++row >= table->rows()) {
                table->appendRows(1);
                PlaceCaret(pane, table->cellAt(table->rows() - 1, 0));
                return true;
            }
        }
        const QTextTableCell next = table->cellAt(row, column);
        if (next.row() == row && next.column() == column && next != cell) {
            PlaceCaret(pane, next);
            return true;
        }
    }
}

void InstallTableTools(CHwpctrl& pane)
{
    QMenu* insert = pane.InsertMenu();
    auto* table = new QAction(QStringLiteral("표 만들기"), &pane);
    table->setObjectName(QStringLiteral("insert_table"));
    table->setToolTip(QStringLiteral("표 만들기: 줄 수와 칸 수를 정해 표를 넣습니다"));
    QObject::connect(table, &QAction::triggered, &pane, [&pane] {
        int rows = 3;
        int columns = 3;
        if (AskTableSize(&pane, rows, columns))
            InsertNewTable(pane, rows, columns);
    });
    auto* box = new QAction(QStringLiteral("보기 상자"), &pane);
    box->setObjectName(QStringLiteral("insert_box"));
    box->setToolTip(QStringLiteral("보기 상자: <보기> 제목이 붙은 테두리 상자를 넣습니다"));
    QObject::connect(box, &QAction::triggered, &pane, [&pane] { InsertBoxTable(pane); });
    if (insert) {
        insert->addSeparator();
        insert->addAction(table);
        insert->addAction(box);
        QMenu* editing = insert->addMenu(QStringLiteral("표 고치기"));
        AddTableEditing(*editing, pane);
        QObject::connect(editing, &QMenu::aboutToShow, editing, [editing, &pane] {
            const bool inTable = pane.TextView()->textCursor().currentTable() != nullptr;
            for (QAction* action : editing->actions())
                action->setEnabled(inTable);
        });
    }
    pane.AddToolBarAction(table);
    pane.AddToolBarAction(box);
    pane.AddContextMenuFiller([&pane](QMenu& menu, const QTextCursor& at) {
        if (!at.currentTable())
            return;
        // The commands act at the caret: a click into another table or cell moves it there.
        const QTextCursor caret = pane.TextView()->textCursor();
        if (caret.currentTable() != at.currentTable() ||
            (!caret.hasComplexSelection() && at.currentTable()->cellAt(caret) != at.currentTable()->cellAt(at)))
            pane.TextView()->setTextCursor(at);
        menu.addSeparator();
        AddTableEditing(menu, pane);
    });
    pane.TextView()->installEventFilter(new CellKeys(pane));
}

} // namespace editor
