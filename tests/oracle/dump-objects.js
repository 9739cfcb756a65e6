// Prints the tables and pictures @ohah/hwpjs reads from each HWP file named on the
// command line, one JSON line per file, in order:
//   {"source":"json","tables":[{"rows":R,"columns":C,"borderFillId":B,"cells":[{"row":..,"column":..,
//     "rowSpan":..,"columnSpan":..,"borderFillId":..,"text":"paragraphs joined by \n"}]}],
//    "pictures":[{"binDataId":N,"width":W,"height":H,"extension":"png","storageId":S,"bytes":"base64"}]}
//   {"source":"none","error":"..."}   when hwpjs refuses the file
// Tables and pictures are listed in the order a walk of the document meets them, outer
// objects before the objects in their cells.
'use strict';
const fs = require('fs');
const hwpjs = require('@ohah/hwpjs');

function paragraphText(paragraph) {
    const record = (paragraph.records || []).find((r) => r.type === 'para_text');
    return record ? record.text : '';
}

function readTable(header) {
    const child = (header.children || []).find((c) => c.type === 'table');
    if (!child)
        return null;
    const attributes = child.table.attributes;
    return {
        rows: attributes.row_count,
        columns: attributes.col_count,
        borderFillId: attributes.border_fill_id,
        cells: (child.table.cells || []).map((cell) => ({
            row: cell.cell_attributes.row_address,
            column: cell.cell_attributes.col_address,
            rowSpan: cell.cell_attributes.row_span,
            columnSpan: cell.cell_attributes.col_span,
            borderFillId: cell.cell_attributes.border_fill_id,
            text: (cell.paragraphs || []).map(paragraphText).join('\n'),
        })),
    };
}

function findPicture(node) {
    if (!node || typeof node !== 'object')
        return null;
    if (node.type === 'shape_component_picture')
        return node.shape_component_picture;
    for (const child of node.children || []) {
        const found = findPicture(child);
        if (found)
            return found;
    }
    return null;
}

function walk(node, out) {
    if (Array.isArray(node)) {
        for (const item of node)
            walk(item, out);
        return;
    }
    if (!node || typeof node !== 'object')
        return;
    if (node.type === 'ctrl_header' && String(node.ctrl_id).trim() === 'tbl') {
        const table = readTable(node);
        if (table)
            out.tables.push(table);
    } else if (node.type === 'ctrl_header' && String(node.ctrl_id).trim() === 'gso') {
        const picture = findPicture(node);
        if (picture)
            out.pictures.push({binDataId: picture.picture_info.bindata_id, width: node.width, height: node.height});
    }
    for (const key of Object.keys(node))
        walk(node[key], out);
}

function read(path) {
    let parsed;
    try {
        parsed = JSON.parse(hwpjs.toJson(fs.readFileSync(path)));
    } catch (error) {
        return {source: 'none', error: String(error && error.message ? error.message : error)};
    }
    const out = {source: 'json', tables: [], pictures: []};
    walk(parsed.body_text, out);
    const items = (parsed.doc_info && parsed.doc_info.bin_data) || [];
    const streams = (parsed.bin_data && parsed.bin_data.items) || [];
    for (const picture of out.pictures) {
        const item = items[picture.binDataId - 1];
        if (item && item.embedding) {
            picture.extension = item.embedding.extension;
            picture.storageId = item.embedding.binary_data_id;
            const stream = streams.find((s) => s.index === picture.storageId);
            if (stream)
                picture.bytes = stream.data;
        }
    }
    return out;
}

for (const path of process.argv.slice(2))
    process.stdout.write(JSON.stringify(read(path)) + '\n');
