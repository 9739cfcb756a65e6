// Prints what @ohah/hwpjs reads from an HWP file, as JSON on one line:
//   {"source":"json","texts":[[section 0 paragraph texts...], ...]}   from its to-json
//   {"source":"markdown","markdown":"..."}   when to-json fails but to-markdown reads the
//     file (its to-json cannot serialize text items of control data, such as field names)
// Exit 2 when hwpjs refuses the file.
'use strict';
const fs = require('fs');
const hwpjs = require('@ohah/hwpjs');

const bytes = fs.readFileSync(process.argv[2]);
let parsed;
try {
    parsed = JSON.parse(hwpjs.toJson(bytes));
} catch (jsonError) {
    try {
        const markdown = hwpjs.toMarkdown(bytes);
        process.stdout.write(JSON.stringify({source: 'markdown', markdown: markdown.markdown}) + '\n');
        process.exit(0);
    } catch (error) {
        process.stderr.write(`hwpjs: ${jsonError && jsonError.message ? jsonError.message : jsonError}\n`);
        process.exit(2);
    }
}
const sections = (parsed.body_text && parsed.body_text.sections) || [];
const texts = sections.map((section) => (section.paragraphs || []).map((paragraph) => {
    const record = (paragraph.records || []).find((r) => r.type === 'para_text');
    return record ? record.text : '';
}));
process.stdout.write(JSON.stringify({source: 'json', texts}) + '\n');
