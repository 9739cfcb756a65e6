// Prints the equation scripts @ohah/hwpjs reads from each HWP file named on the command
// line, one JSON line per file: {"scripts":[...]} in document order, or {"error":"..."}.
'use strict';
const fs = require('fs');
const hwpjs = require('@ohah/hwpjs');

function collect(value, out) {
    if (Array.isArray(value)) {
        for (const item of value) collect(item, out);
    } else if (value && typeof value === 'object') {
        if (value.eqedit && typeof value.eqedit.script === 'string') out.push(value.eqedit.script);
        for (const key of Object.keys(value)) collect(value[key], out);
    }
}

for (const path of process.argv.slice(2)) {
    try {
        const scripts = [];
        collect(JSON.parse(hwpjs.toJson(fs.readFileSync(path))), scripts);
        process.stdout.write(JSON.stringify({scripts}) + '\n');
    } catch (error) {
        process.stdout.write(JSON.stringify({error: String(error && error.message ? error.message : error)}) + '\n');
    }
}
