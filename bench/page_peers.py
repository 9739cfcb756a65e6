#!/usr/bin/env python3
"""One full Korean A4 page to a 300-dpi image: `varnel-hwp image` beside MuPDF's
`mutool draw -r 300` and poppler's `pdftoppm -r 300` of the same page as a PDF (made by
`varnel-hwp pdf`), whole processes, run in turns so machine load hits all alike.

    bench/page_peers.py [BUILD_DIR] [--runs N] [--compare OTHER_BUILD_DIR]

Prints the median wall and CPU (user + system, children included) time of each. The
peers come from Debian's mupdf-tools and poppler-utils; a missing one is skipped.
`--compare` runs another build's `varnel-hwp image` in the same turns (before and after
a change, under the same load).
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def timed(command):
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    error = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    if process.returncode != 0:
        sys.exit(f"{command[0]} failed ({process.returncode}): {error}")
    return wall, usage.ru_utime + usage.ru_stime


def main():
    arguments = sys.argv[1:]
    runs = 9
    if "--runs" in arguments:
        at = arguments.index("--runs")
        runs = int(arguments[at + 1])
        del arguments[at:at + 2]
    other = None
    if "--compare" in arguments:
        at = arguments.index("--compare")
        other = os.path.join(os.path.abspath(arguments[at + 1]), "tools/varnel-hwp/varnel-hwp")
        del arguments[at:at + 2]
    build = os.path.abspath(arguments[0] if arguments else "build")
    tool = os.path.join(build, "tools/varnel-hwp/varnel-hwp")
    maker = os.path.join(build, "bench/render/make_bench_page")
    for program in (tool, maker):
        if not os.access(program, os.X_OK):
            sys.exit(f"{program} is missing: build varnel-hwp and make_bench_page first")

    with tempfile.TemporaryDirectory(prefix="page-peers-") as folder:
        page = os.path.join(folder, "page.hwp")
        pdf = os.path.join(folder, "page.pdf")
        subprocess.run([maker, page], check=True)
        subprocess.run([tool, "pdf", page, pdf], check=True)
        contenders = {
            "varnel-hwp image (600 dpi, halved)": [tool, "image", page, os.path.join(folder, "ours.png")],
        }
        if other:
            contenders["varnel-hwp image (--compare build)"] = [other, "image", page, os.path.join(folder, "other.png")]
        if shutil.which("mutool"):
            contenders["mutool draw -r 300"] = ["mutool", "draw", "-q", "-r", "300", "-o",
                                                os.path.join(folder, "mupdf.png"), pdf, "1"]
        if shutil.which("pdftoppm"):
            contenders["pdftoppm -r 300 -png"] = ["pdftoppm", "-r", "300", "-f", "1", "-l", "1", "-png", pdf,
                                                  os.path.join(folder, "poppler")]
        results = {name: ([], []) for name in contenders}
        for name, command in contenders.items():
            timed(command)  # warm the page cache and the font caches
        for _ in range(runs):
            for name, command in contenders.items():
                wall, cpu = timed(command)
                results[name][0].append(wall)
                results[name][1].append(cpu)
        load = os.getloadavg()[0]
        print(f"{runs} runs each, in turns; load average {load:.1f} on {os.cpu_count()} cores")
        print(f"{'program':40} {'wall median':>12} {'CPU median':>12}")
        for name, (walls, cpus) in results.items():
            print(f"{name:40} {statistics.median(walls) * 1000:10.0f} ms {statistics.median(cpus) * 1000:10.0f} ms")


if __name__ == "__main__":
    main()
