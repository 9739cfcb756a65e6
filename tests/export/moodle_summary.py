#!/usr/bin/env python3
"""One line per question of a Moodle XML quiz: type, grade, answers, files, tags.

Fails when a text refers to a file (@@PLUGINFILE@@/name) that its element does not
carry, or when a file does not decode as a PNG, JPEG or GIF image."""
import base64
import re
import sys
import xml.etree.ElementTree as ET


def text_of(html):
    parts = [re.sub(r"<[^>]+>", "", p) for p in re.findall(r"<p[^>]*>(.*?)</p>", html)]
    return "|".join(p for p in parts if p)


def files_of(element, errors):
    names = []
    for holder in element.iter():
        text = holder.find("text")
        files = {f.get("name"): f for f in holder.findall("file")}
        if text is not None and text.text:
            for name in re.findall(r"@@PLUGINFILE@@/([^\"]+)", text.text):
                if name not in files:
                    errors.append("%s refers to %s, which it does not carry" % (holder.tag, name))
        for name, f in files.items():
            data = base64.b64decode(f.text or "")
            if not (data.startswith(b"\x89PNG") or data.startswith(b"\xff\xd8") or data.startswith(b"GIF8")):
                errors.append("%s is no image" % name)
            names.append(name)
    return sorted(set(names))


def main(path):
    errors = []
    out = []
    for q in ET.parse(path).getroot().findall("question"):
        kind = q.get("type")
        line = [kind, "grade=" + q.findtext("defaultgrade")]
        if kind == "multichoice":
            line.append("single=" + q.findtext("single"))
            line.append("answers=" + ",".join(a.get("fraction") for a in q.findall("answer")))
        elif kind == "shortanswer":
            line.append("answers=" + ",".join(a.get("fraction") + ":" + a.findtext("text") for a in q.findall("answer")))
        else:
            line.append("grader=" + text_of(q.find("graderinfo").findtext("text") or "").replace("모범 답안|", "").replace("해설|", ""))
        line.append("files=" + ",".join(files_of(q, errors)))
        line.append("tags=" + ",".join(t.findtext("text") for t in q.iter("tag")))
        out.append(" ".join(line))
    if errors:
        print("\n".join(errors))
        return 1
    sys.stdout.write("".join(l + "\n" for l in out))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
