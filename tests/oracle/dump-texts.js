// Prints what @ohah/hwpjs reads from each HWP file named on the command line, one JSON
// line per file, in order:
//   {"source":"json","texts":[[section 0 paragraph texts...], ...],
//    "inner":[[section 0 texts of the paragraphs inside objects...], ...]}   from its to-json
//   {"source":"markdown","markdown":"..."}   when to-json fails but to-markdown reads the
//     file (its to-json cannot serialize text items of control data, such as field names)
//   {"source":"none","error":"..."}   when hwpjs refuses the file
'use strict';
const fs = require('fs');
const hwpjs = require('@ohah/hwpjs');

function message(error) {
    return String(error && error.message ? error.message : error);
}

function read(path) {
    let bytes;
    try {
        bytes = fs.readFileSync(path);
    } catch (error) {
        return {source: 'none', error: message(error)};
    }
    let parsed;
    try {
        parsed = JSON.parse(hwpjs.toJson(bytes));
    } catch (jsonError) {
        try {
            return {source: 'markdown', markdown: hwpjs.toMarkdown(bytes).markdown};
        } catch (error) {
            return {source: 'none', error: message(jsonError)};
        }
    }
    const sections = (parsed.body_text && parsed.body_text.sections) || [];
    const textOf = (paragraph) => {
        const record = (paragraph.records || []).find((r) => r.type === 'para_text');
        return record ? record.text : '';
    };
    const texts = sections.map((section) => (section.paragraphs || []).map(textOf));
    // The paragraphs inside objects (cells, text boxes, notes, ...), at any depth.
    const inner = sections.map((section) => {
        const out = [];
        const walk = (value) => {
            if (Array.isArray(value)) {
                value.forEach(walk);
            } else if (value && typeof value === 'object') {
                for (const [key, child] of Object.entries(value)) {
                    if (key === 'paragraphs' && Array.isArray(child)) {
                        for (const paragraph of child) {
                            out.push(textOf(paragraph));
                            walk(paragraph.records || []);
                        }
                    } else {
                        walk(child);
                    }
                }
            }
        };
        (section.paragraphs || []).forEach((paragraph) => walk(paragraph.records || []));
        return out;
    });
    return {source: 'json', texts, inner};
}

for (const path of process.argv.slice(2))
    process.stdout.write(JSON.stringify(read(path)) + '\n');
