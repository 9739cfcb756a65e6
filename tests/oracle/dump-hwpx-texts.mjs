// Prints what @ssabrojs/hwpxjs reads from each HWPX file named on the command line, one
// JSON line per file, in order:
//   {"source":"text","paragraphs":["...", ...]}   its body paragraphs' text
//   {"source":"none","error":"..."}               when it refuses the file
// Its text extraction keeps the body's paragraphs only (not the text inside tables or
// boxes) and leaves out runs that hold a control; when the body has no text at all it
// gives the package's preview text instead, reported as one paragraph.
import fs from 'fs';
import {HwpxReader} from '@ssabrojs/hwpxjs';

const separator = '\u0001';

async function read(path) {
    try {
        const reader = new HwpxReader();
        const bytes = fs.readFileSync(path);
        await reader.loadFromArrayBuffer(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength));
        const text = await reader.extractText({joinParagraphs: separator});
        return {source: 'text', paragraphs: text.split(separator)};
    } catch (error) {
        return {source: 'none', error: String(error && error.message ? error.message : error)};
    }
}

for (const path of process.argv.slice(2))
    process.stdout.write(JSON.stringify(await read(path)) + '\n');
