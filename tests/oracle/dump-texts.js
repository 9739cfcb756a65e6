// Prints the paragraph texts that @ohah/hwpjs reads from an HWP file, as JSON:
// [[section 0 paragraph texts...], [section 1 ...]]. Exit 2 when hwpjs refuses the file.
'use strict';
const fs = require('fs');
const hwpjs = require('@ohah/hwpjs');

let parsed;
try {
    parsed = JSON.parse(hwpjs.toJson(fs.readFileSync(process.argv[2])));
} catch (error) {
    process.stderr.write(`hwpjs: ${error && error.message ? error.message : error}\n`);
    process.exit(2);
}
const sections = (parsed.body_text && parsed.body_text.sections) || [];
const texts = sections.map((section) => (section.paragraphs || []).map((paragraph) => {
    const record = (paragraph.records || []).find((r) => r.type === 'para_text');
    return record ? record.text : '';
}));
process.stdout.write(JSON.stringify(texts) + '\n');
