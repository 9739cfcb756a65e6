#!/usr/bin/env python3
"""Writes seed archives for fuzz_unpack into the folder given as the only argument."""
import io
import os
import sys
import zipfile


def archive(method, members):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        for name, data in members:
            z.writestr(name, data)
    return buffer.getvalue()


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    text = b"<hwp document>" * 40
    seeds = {
        "stored": archive(zipfile.ZIP_STORED, [("obj-exam.hwp", text), ("text.hwp", b"")]),
        "deflated": archive(zipfile.ZIP_DEFLATED, [("obj-exam.hwp", text), ("sub/obj-answer.hwp", text[::-1])]),
        "folders": archive(zipfile.ZIP_DEFLATED, [("sub/", b""), ("sub/deeper/", b""), ("sub/deeper/x", b"x")]),
        "dotted": archive(zipfile.ZIP_STORED, [("./a", b"a"), ("sub/../b", b"b")]),
        "empty": archive(zipfile.ZIP_STORED, []),
    }
    # Entry lists for the 'E' mode of the target: name NUL data NUL ...
    seeds["entries-plain"] = b"Eobj-exam.hwp\0document\0sub/x\0x"
    seeds["entries-climb"] = b"Ea/../b\0b\0../c\0c\0/abs\0d"
    for name, data in seeds.items():
        with open(os.path.join(out, name + ".zip"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
