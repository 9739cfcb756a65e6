#include "hwp/table.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "hwp/border_fill.h"
#include "hwp/bytes.h"
#include "hwp/paragraph_list.h"
#include "hwp/records.h"

namespace hwp {
namespace {

constexpr std::uint16_t kTableTag = tag::kTable;

[[noreturn]] void Damaged(const std::string& why)
{
    throw HwpError("damaged table: " + why);
}

[[noreturn]] void Invalid(const std::string& why)
{
    throw HwpError("invalid table: " + why);
}

std::string Slot(std::size_t row, std::size_t column)
{
    return "row " + std::to_string(row + 1) + ", column " + std::to_string(column + 1);
}

// Grid occupancy: every slot covered at most once. `fail` says whether the table came
// from a file (damaged) or from code (invalid).
void CheckGrid(const Table& table, void (*fail)(const std::string&))
{
    if (table.rows == 0 || table.columns == 0)
        fail("it has " + std::to_string(table.rows) + " rows and " + std::to_string(table.columns) + " columns");
    const std::size_t slots = std::size_t{table.rows} * table.columns;
    if (slots > kMaxTableCells)
        fail(std::to_string(table.rows) + " x " + std::to_string(table.columns) + " cells are more than the " +
             std::to_string(kMaxTableCells) + " a table may hold");
    if (table.cells.empty() || table.cells.size() > slots)
        fail(std::to_string(table.cells.size()) + " cells do not fit a grid of " + std::to_string(table.rows) + " x " +
             std::to_string(table.columns));
    std::vector<std::uint8_t> used(slots, 0);
    for (const TableCell& cell : table.cells) {
        if (cell.rowSpan == 0 || cell.columnSpan == 0)
            fail("the cell at " + Slot(cell.row, cell.column) + " spans no row or column");
        if (std::size_t{cell.row} + cell.rowSpan > table.rows || std::size_t{cell.column} + cell.columnSpan > table.columns)
            fail("the cell at " + Slot(cell.row, cell.column) + " spanning " + std::to_string(cell.rowSpan) + " x " +
                 std::to_string(cell.columnSpan) + " runs past the grid of " + std::to_string(table.rows) + " x " +
                 std::to_string(table.columns));
        for (std::size_t r = cell.row; r < std::size_t{cell.row} + cell.rowSpan; ++r) {
            for (std::size_t c = cell.column; c < std::size_t{cell.column} + cell.columnSpan; ++c) {
                std::uint8_t& slot = used[r * table.columns + c];
                if (slot)
                    fail("two cells overlap at " + Slot(r, c));
                slot = 1;
            }
        }
        if (cell.paragraphs.empty())
            fail("the cell at " + Slot(cell.row, cell.column) + " holds no paragraph");
    }
}

// ---- the records

struct CellRecords {
    std::size_t header = 0;   // index of its LIST_HEADER in Control::records
    std::size_t end = 0;      // one past its last paragraph record
};

struct ReadResult {
    Table table;
    std::vector<CellRecords> cells;
};

void ReadTableRecord(std::string_view data, Table& table)
{
    ByteReader in(data, "table record");
    const std::uint32_t bits = in.U32();
    table.pageBreak = static_cast<TablePageBreak>(bits & 3);
    table.repeatHeaderRow = bits & 4;
    table.otherBits = bits & ~7u;
    table.rows = in.U16();
    table.columns = in.U16();
    table.cellSpacing = in.I16();
    for (std::int16_t& margin : table.innerMargins)
        margin = in.I16();
}

TableCell ReadCellHeader(std::string_view data)
{
    ByteReader in(data, "table cell header");
    TableCell cell;
    in.U16();   // paragraph count: the caller checks it against the records
    cell.listHeaderExtra = in.U16();
    const std::uint32_t bits = in.U32();
    cell.verticalAlign = static_cast<CellVerticalAlign>((bits >> 5) & 3);
    cell.otherListBits = bits & ~(3u << 5);
    cell.column = in.U16();
    cell.row = in.U16();
    cell.columnSpan = in.U16();
    cell.rowSpan = in.U16();
    cell.width = in.I32();
    cell.height = in.I32();
    for (std::int16_t& margin : cell.margins)
        margin = in.I16();
    cell.borderFillId = in.U16();
    cell.rest = ToBytes(in.Take(in.Remaining()));
    return cell;
}

Bytes WriteCellHeader(const TableCell& cell)
{
    ByteWriter out;
    out.U16(static_cast<std::uint16_t>(cell.paragraphs.size()));
    out.U16(cell.listHeaderExtra);
    out.U32((cell.otherListBits & ~(3u << 5)) | ((static_cast<std::uint32_t>(cell.verticalAlign) & 3u) << 5));
    out.U16(cell.column);
    out.U16(cell.row);
    out.U16(cell.columnSpan);
    out.U16(cell.rowSpan);
    out.I32(cell.width);
    out.I32(cell.height);
    for (std::int16_t margin : cell.margins)
        out.I16(margin);
    out.U16(cell.borderFillId);
    out.Raw(cell.rest);
    return ToBytes(out.Data());
}

ReadResult ReadTableRecords(const Control& control)
{
    if (!IsTable(control))
        throw HwpError("not a table: the control is " + CtrlIdText(control.ctrlId));
    const std::vector<ObjectRecord>& records = control.records;
    if (records.empty() || records.front().tag != tag::kCtrlHeader)
        Damaged("it has no control header");
    ReadResult result;
    Table& table = result.table;
    table.object = ReadObjectProperties(View(records.front().data), "table control header");

    std::size_t i = 1;
    while (i < records.size() && !(records[i].level == 1 && records[i].tag == kTableTag))
        table.caption.push_back(records[i++]);
    if (i == records.size())
        Damaged("it has no table record");
    const std::string_view tableData = View(records[i].data);
    ReadTableRecord(tableData, table);
    // Bound the grid before reading a count from it.
    if (std::size_t{table.rows} * table.columns > kMaxTableCells || table.rows == 0 || table.columns == 0)
        CheckGrid(table, Damaged);
    ByteReader in(tableData, "table record");
    in.Skip(18);
    std::size_t cellCount = 0;
    for (std::uint16_t r = 0; r < table.rows; ++r)
        cellCount += in.U16();
    table.borderFillId = in.U16();
    if (in.Remaining() >= 2) {
        const std::uint16_t zones = in.U16();
        if (std::size_t{zones} * 10 > in.Remaining())
            Damaged("its record announces " + std::to_string(zones) + " zones but holds fewer");
        for (std::uint16_t z = 0; z < zones; ++z) {
            TableZone zone;
            zone.startColumn = in.U16();
            zone.startRow = in.U16();
            zone.endColumn = in.U16();
            zone.endRow = in.U16();
            zone.borderFillId = in.U16();
            table.zones.push_back(zone);
        }
    } else {
        table.zoneListInFile = false;
    }
    table.rest = ToBytes(in.Take(in.Remaining()));
    if (cellCount == 0 || cellCount > std::size_t{table.rows} * table.columns)
        Damaged("it lists " + std::to_string(cellCount) + " cells for a grid of " + std::to_string(table.rows) + " x " +
                std::to_string(table.columns));
    ++i;

    // All lists in one pass: reading them one by one would go over the records again each time.
    std::vector<ParagraphList> lists = ReadParagraphLists(records);
    std::size_t nextList = 0;
    table.cells.reserve(std::min(cellCount, records.size()));   // each cell needs records of its own
    for (std::size_t c = 0; c < cellCount; ++c) {
        if (i >= records.size() || records[i].level != 1 || records[i].tag != tag::kListHeader)
            Damaged("it lists " + std::to_string(cellCount) + " cells but holds " + std::to_string(c));
        TableCell cell = ReadCellHeader(View(records[i].data));
        while (nextList < lists.size() && lists[nextList].header < i)
            ++nextList;
        if (nextList == lists.size() || lists[nextList].header != i)
            Damaged("the cell at " + Slot(cell.row, cell.column) + " has no paragraph list");
        ParagraphList& list = lists[nextList];
        cell.paragraphs = std::move(list.paragraphs);
        result.cells.push_back(CellRecords{list.header, list.end});
        i = list.end;
        table.cells.push_back(std::move(cell));
    }
    table.trailing.assign(records.begin() + static_cast<std::ptrdiff_t>(i), records.end());
    CheckGrid(table, Damaged);
    return result;
}

Bytes WriteTableRecord(const Table& table)
{
    ByteWriter out;
    out.U32((table.otherBits & ~7u) | (static_cast<std::uint32_t>(table.pageBreak) & 3u) | (table.repeatHeaderRow ? 4u : 0u));
    out.U16(table.rows);
    out.U16(table.columns);
    out.I16(table.cellSpacing);
    for (std::int16_t margin : table.innerMargins)
        out.I16(margin);
    for (std::uint16_t count : RowCellCounts(table))
        out.U16(count);
    out.U16(table.borderFillId);
    if (table.zoneListInFile || !table.zones.empty()) {
        out.U16(static_cast<std::uint16_t>(std::min<std::size_t>(table.zones.size(), 0xFFFF)));
        for (std::size_t z = 0; z < table.zones.size() && z < 0xFFFF; ++z) {
            const TableZone& zone = table.zones[z];
            out.U16(zone.startColumn);
            out.U16(zone.startRow);
            out.U16(zone.endColumn);
            out.U16(zone.endRow);
            out.U16(zone.borderFillId);
        }
    }
    out.Raw(table.rest);
    return ToBytes(out.Data());
}

std::uint32_t Key(const TableCell& cell)
{
    return (std::uint32_t{cell.row} << 16) | cell.column;
}

std::vector<std::size_t> FileOrder(const Table& table)
{
    std::vector<std::size_t> order(table.cells.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const TableCell& x = table.cells[a];
        const TableCell& y = table.cells[b];
        return x.row != y.row ? x.row < y.row : x.column < y.column;
    });
    return order;
}

}  // namespace

bool IsTable(const Control& control)
{
    return control.ctrlId == kTableCtrlId;
}

bool RepeatsHeaderRows(const Control& control)
{
    if (!IsTable(control))
        return false;
    for (const ObjectRecord& record : control.records) {
        if (record.level == 1 && record.tag == kTableTag)
            return record.data.size() >= 4 && (record.data[0] & 4) != 0;
    }
    return false;
}

Table ReadTable(const Control& control)
{
    return ReadTableRecords(control).table;
}

void CheckTable(const Table& table)
{
    CheckGrid(table, Invalid);
}

Control WriteTable(const Table& table, const Document& document, const Control* original)
{
    CheckTable(table);
    ReadResult before;
    const bool haveOriginal = original && IsTable(*original);
    std::unordered_map<std::uint32_t, std::size_t> originalCells;   // by row and column
    if (haveOriginal) {
        before = ReadTableRecords(*original);
        for (std::size_t c = 0; c < before.table.cells.size(); ++c)
            originalCells.emplace(Key(before.table.cells[c]), c);
    }

    Control control = StartObjectControl(kTableCtrlId, table.object, table.caption, original);
    control.records.push_back(ObjectRecord{kTableTag, 1, WriteTableRecord(table)});

    for (std::size_t index : FileOrder(table)) {
        const TableCell& cell = table.cells[index];
        const Bytes header = WriteCellHeader(cell);
        const auto found = originalCells.find(Key(cell));
        if (found != originalCells.end() && before.table.cells[found->second].paragraphs == cell.paragraphs) {
            const CellRecords& where = before.cells[found->second];
            control.records.push_back(ObjectRecord{tag::kListHeader, 1, header});
            control.records.insert(control.records.end(),
                                   original->records.begin() + static_cast<std::ptrdiff_t>(where.header + 1),
                                   original->records.begin() + static_cast<std::ptrdiff_t>(where.end));
            continue;
        }
        const HwpUnit width = std::max<HwpUnit>(cell.width - cell.margins[0] - cell.margins[1], 1000);
        std::vector<ObjectRecord> list = WriteParagraphList(header, cell.paragraphs, 1, document, width);
        control.records.insert(control.records.end(), std::make_move_iterator(list.begin()),
                               std::make_move_iterator(list.end()));
    }
    control.records.insert(control.records.end(), table.trailing.begin(), table.trailing.end());
    return control;
}

std::vector<std::uint16_t> RowCellCounts(const Table& table)
{
    std::vector<std::uint16_t> counts(table.rows, 0);
    for (const TableCell& cell : table.cells) {
        if (cell.row < counts.size())
            ++counts[cell.row];
    }
    return counts;
}

namespace {

// Sizes of `count` tracks from the cells: single-track cells fix a track; a track no
// such cell fixes gets an equal share of what its first spanning cell leaves.
std::vector<HwpUnit> TrackSizes(const Table& table, std::size_t count, bool columns)
{
    std::vector<HwpUnit> sizes(count, 0);
    std::vector<bool> known(count, false);
    for (const TableCell& cell : table.cells) {
        const std::size_t at = columns ? cell.column : cell.row;
        const std::size_t span = columns ? cell.columnSpan : cell.rowSpan;
        if (span == 1 && at < count && !known[at]) {
            sizes[at] = columns ? cell.width : cell.height;
            known[at] = true;
        }
    }
    for (const TableCell& cell : table.cells) {
        const std::size_t at = columns ? cell.column : cell.row;
        const std::size_t span = columns ? cell.columnSpan : cell.rowSpan;
        if (at >= count || span <= 1)
            continue;
        const std::size_t last = std::min(count, at + span);
        std::int64_t left = columns ? cell.width : cell.height;
        std::size_t unknown = 0;
        for (std::size_t t = at; t < last; ++t) {
            if (known[t])
                left -= sizes[t];
            else
                ++unknown;
        }
        if (unknown == 0)
            continue;
        const auto share = static_cast<HwpUnit>(std::max<std::int64_t>(left, 0) / static_cast<std::int64_t>(unknown));
        for (std::size_t t = at; t < last; ++t) {
            if (!known[t]) {
                sizes[t] = share;
                known[t] = true;
            }
        }
    }
    return sizes;
}

}  // namespace

std::optional<TableCaption> ReadCaption(const std::vector<ObjectRecord>& records)
{
    if (records.empty() || records.front().tag != tag::kListHeader)
        return std::nullopt;
    try {
        ParagraphList list = ReadParagraphList(records, 0);
        if (list.paragraphs.empty())
            return std::nullopt;
        // After the paragraph count, a unit and the list bits: direction, width, gap.
        ByteReader in(View(records.front().data), "caption list header");
        in.Skip(8);
        TableCaption caption;
        caption.side = static_cast<CaptionSide>(in.U32() & 3u);
        caption.width = in.I32();
        caption.gap = in.I16();
        caption.paragraphs = std::move(list.paragraphs);
        return caption;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::vector<ObjectRecord> WriteCaption(const TableCaption& caption, HwpUnit textWidth, const Document& document)
{
    ByteWriter header;   // paragraph count, unit, list bits, side, width, gap, text width
    header.U16(static_cast<std::uint16_t>(caption.paragraphs.size()));
    header.U16(0);
    header.U32(0);
    header.U32(static_cast<std::uint32_t>(caption.side));
    header.I32(caption.width);
    header.I16(caption.gap);
    header.I32(textWidth);
    return WriteParagraphList(ToBytes(header.Data()), caption.paragraphs, 1, document, textWidth);
}

std::vector<HwpUnit> ColumnWidths(const Table& table)
{
    return TrackSizes(table, table.columns, true);
}

std::vector<HwpUnit> RowHeights(const Table& table)
{
    return TrackSizes(table, table.rows, false);
}

const TableCell* CellAt(const Table& table, std::uint16_t row, std::uint16_t column)
{
    for (const TableCell& cell : table.cells) {
        if (row >= cell.row && row - cell.row < cell.rowSpan && column >= cell.column && column - cell.column < cell.columnSpan)
            return &cell;
    }
    return nullptr;
}

TableCell* CellAt(Table& table, std::uint16_t row, std::uint16_t column)
{
    return const_cast<TableCell*>(CellAt(static_cast<const Table&>(table), row, column));
}

std::vector<std::u16string> CellTexts(const Table& table)
{
    std::vector<std::u16string> out;
    for (const TableCell& cell : table.cells) {
        std::u16string text;
        for (std::size_t p = 0; p < cell.paragraphs.size(); ++p) {
            if (p > 0)
                text += u'\n';
            text += cell.paragraphs[p].text;
        }
        out.push_back(std::move(text));
    }
    return out;
}

Table NewTable(std::uint16_t rows, std::uint16_t columns, HwpUnit width, std::uint16_t borderFillId,
               std::uint16_t paraShapeId, std::uint32_t charShapeId)
{
    if (rows == 0 || columns == 0 || std::size_t{rows} * columns > kMaxTableCells)
        Invalid(std::to_string(rows) + " x " + std::to_string(columns) + " cells: a table holds 1 to " +
                std::to_string(kMaxTableCells));
    Table table;
    table.object.inlineAsChar = true;
    table.object.numbering = NumberingKind::Table;
    table.object.outerMargins = {kNewTableOuterMargin, kNewTableOuterMargin, kNewTableOuterMargin, kNewTableOuterMargin};
    table.rows = rows;
    table.columns = columns;
    table.borderFillId = borderFillId;
    const HwpUnit cellWidth = std::max<HwpUnit>(width / columns, 1);
    Paragraph empty;
    empty.paraShapeId = paraShapeId;
    empty.charShapes.push_back(CharShapeRun{0, charShapeId});
    for (std::uint16_t r = 0; r < rows; ++r) {
        for (std::uint16_t c = 0; c < columns; ++c) {
            TableCell cell;
            cell.row = r;
            cell.column = c;
            cell.width = cellWidth;
            cell.height = kNewTableRowHeight;
            cell.borderFillId = borderFillId;
            cell.rest = {0, 0, 0, 0};
            const HwpUnit textWidth = cellWidth - cell.margins[0] - cell.margins[1];
            for (int b = 0; b < 4; ++b)
                cell.rest[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(textWidth) >> (8 * b));
            cell.paragraphs.push_back(empty);
            table.cells.push_back(std::move(cell));
        }
    }
    FitTableSize(table);
    return table;
}

Table NewBoxTable(Document& document, HwpUnit width, const std::u16string& caption, std::vector<Paragraph> content,
                  std::uint16_t paraShapeId, std::uint32_t charShapeId)
{
    if (paraShapeId >= document.paraShapes.size() || charShapeId >= document.charShapes.size())
        Invalid("the box refers to a para or char shape the document does not have");
    ParaShape centred = document.paraShapes[paraShapeId];
    centred.alignment = Alignment::Center;
    std::size_t centredId = 0;
    while (centredId < document.paraShapes.size() && !(document.paraShapes[centredId] == centred))
        ++centredId;
    if (centredId == document.paraShapes.size()) {
        if (centredId >= 0xFFFF)
            Invalid("the document holds the most para shapes a file can name");
        document.paraShapes.push_back(centred);
    }
    const std::uint16_t border = FindOrAddBorderFill(document, SimpleBorderFill(BorderLine{1, 6, 0}));
    Table table = NewTable(1, 1, width, border, paraShapeId, charShapeId);
    TableCell& cell = table.cells.front();
    cell.verticalAlign = CellVerticalAlign::Top;
    cell.paragraphs.front().text = caption;
    cell.paragraphs.front().paraShapeId = static_cast<std::uint16_t>(centredId);
    if (content.empty()) {
        Paragraph empty = cell.paragraphs.front();
        empty.text.clear();
        empty.paraShapeId = paraShapeId;
        content.push_back(std::move(empty));
    }
    cell.paragraphs.insert(cell.paragraphs.end(), std::make_move_iterator(content.begin()),
                           std::make_move_iterator(content.end()));
    constexpr HwpUnit kLine = 1600;   // a 10-pt line at 160 %
    const auto lines = static_cast<HwpUnit>(std::min<std::size_t>(cell.paragraphs.size(), 10000));
    cell.height = lines * kLine + cell.margins[2] + cell.margins[3];
    FitTableSize(table);
    return table;
}

void MergeCells(Table& table, std::uint16_t row, std::uint16_t column, std::uint16_t rowSpan, std::uint16_t columnSpan)
{
    if (rowSpan == 0 || columnSpan == 0 || std::size_t{row} + rowSpan > table.rows ||
        std::size_t{column} + columnSpan > table.columns)
        Invalid("cells " + Slot(row, column) + " spanning " + std::to_string(rowSpan) + " x " +
                std::to_string(columnSpan) + " leave the grid of " + std::to_string(table.rows) + " x " +
                std::to_string(table.columns));
    const auto inside = [&](const TableCell& cell) {
        return cell.row >= row && cell.row < row + rowSpan && cell.column >= column && cell.column < column + columnSpan;
    };
    for (const TableCell& cell : table.cells) {
        const bool reaches = cell.row < row + rowSpan && cell.row + cell.rowSpan > row &&
                             cell.column < column + columnSpan && cell.column + cell.columnSpan > column;
        const bool within = inside(cell) && cell.row + cell.rowSpan <= row + rowSpan &&
                            cell.column + cell.columnSpan <= column + columnSpan;
        if (reaches && !within)
            Invalid("merging cells at " + Slot(row, column) + " would cut through the merged cell at " +
                    Slot(cell.row, cell.column));
    }
    TableCell* target = CellAt(table, row, column);
    if (!target || target->row != row || target->column != column)
        Invalid("no cell starts at " + Slot(row, column));
    const std::vector<HwpUnit> widths = ColumnWidths(table);
    const std::vector<HwpUnit> heights = RowHeights(table);
    TableCell merged = *target;
    merged.rowSpan = rowSpan;
    merged.columnSpan = columnSpan;
    merged.width = std::accumulate(widths.begin() + column, widths.begin() + column + columnSpan, HwpUnit{0});
    merged.height = std::accumulate(heights.begin() + row, heights.begin() + row + rowSpan, HwpUnit{0});
    std::vector<TableCell> kept;
    std::size_t place = 0;
    for (TableCell& cell : table.cells) {
        if (!inside(cell)) {
            kept.push_back(std::move(cell));
        } else if (cell.row == row && cell.column == column) {
            place = kept.size();
            kept.emplace_back();
        } else {
            // Empty cells add nothing; others keep their text after the target's.
            const bool empty = cell.paragraphs.size() == 1 && cell.paragraphs.front().text.empty() &&
                               cell.paragraphs.front().controls.empty();
            if (!empty)
                merged.paragraphs.insert(merged.paragraphs.end(), cell.paragraphs.begin(), cell.paragraphs.end());
        }
    }
    kept[place] = std::move(merged);
    table.cells = std::move(kept);
}

void FitTableSize(Table& table)
{
    const std::vector<HwpUnit> widths = ColumnWidths(table);
    const std::vector<HwpUnit> heights = RowHeights(table);
    const std::int64_t spacing = table.cellSpacing;
    std::int64_t width = std::accumulate(widths.begin(), widths.end(), std::int64_t{0}) + spacing * (table.columns + 1);
    std::int64_t height = std::accumulate(heights.begin(), heights.end(), std::int64_t{0}) + spacing * (table.rows + 1);
    table.object.width = static_cast<HwpUnit>(std::clamp<std::int64_t>(width, 0, 0x7FFFFFFF));
    table.object.height = static_cast<HwpUnit>(std::clamp<std::int64_t>(height, 0, 0x7FFFFFFF));
}

}  // namespace hwp
