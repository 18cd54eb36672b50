#!/usr/bin/env python3
"""The page of `ringward-check report --html`: a scripted run of the Linux program writes
"Calls Received.txt" over three days (the middle one without calls), the checker writes the
page, and the page must parse as XML, stand on its own (no outside resource), and show in its
chart and tables the calls the script made.

    report_page.py RINGWARD_CHECK RINGWARD
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
LISTS = {"Accept Always.txt": "555-010-4477\n", "Block.txt": "555-019\n900\nP\n"}
# (seconds after the start, number, blocked); the start is 12/07/2026 14:47:28.
CALLS = [(60, "555-010-4477", False), (120, "555-019-8811", True), (180, "P", True),
         (240, "1-900-555-0142", True), (300, "555-012-3456", False),
         (2 * 86400, "555-019-8811", True), (2 * 86400 + 60, "555-010-4477", False)]
DAYS = {"2026-12-07": (2, 3), "2026-12-08": (0, 0), "2026-12-09": (1, 1)}  # allowed, blocked


def wave(path):
    data = bytes(800)
    fmt = (1).to_bytes(2, "little") + (1).to_bytes(2, "little") + (8000).to_bytes(4, "little") \
        + (16000).to_bytes(4, "little") + (2).to_bytes(2, "little") + (16).to_bytes(2, "little")
    body = b"WAVE" + b"fmt " + len(fmt).to_bytes(4, "little") + fmt + b"data" + \
        len(data).to_bytes(4, "little") + data
    with open(path, "wb") as f:
        f.write(b"RIFF" + len(body).to_bytes(4, "little") + body)


def check(condition, what):
    if not condition:
        sys.exit("report page: " + what)


def main(checker, program):
    work = tempfile.mkdtemp(prefix="ringward-report-")
    try:
        check_page(os.path.abspath(checker), os.path.abspath(program), work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def check_page(checker, program, work):
    for name, text in LISTS.items():
        with open(os.path.join(work, name), "w") as f:
            f.write(text)
    for name in ("ZapMessage.wav", "AnonCallerMessage.wav"):
        wave(os.path.join(work, name))
    script = ["boxes auto", "at 1 press start"]
    script += ['at %d call number="%s" name="CALLER"' % (t, n) for t, n, _ in CALLS]
    script += ["at %d press stop" % (3 * 86400), "at %d press exit" % (3 * 86400 + 1)]
    with open(os.path.join(work, "script.txt"), "w") as f:
        f.write("\n".join(script) + "\n")
    run = subprocess.run([program, "--script", "script.txt"], cwd=work, capture_output=True,
                         timeout=60)
    check(run.returncode == 0, "the program's run failed: %r" % run.stderr)
    run = subprocess.run([checker, "report", "--html", "page.html"], cwd=work,
                         capture_output=True, text=True, timeout=60)
    check(run.returncode == 0, "report failed: %r" % run.stderr)

    text = open(os.path.join(work, "page.html"), encoding="utf-8").read()
    check(text.startswith("<!DOCTYPE html>"), "the page is HTML")
    check(not re.search(r"(src|href)=|@import|url\(", text), "the page loads nothing else")
    page = ET.fromstring(text[text.index("<html"):])  # well-formed, or this raises

    days = {g.get("data-date"): (int(g.get("data-allowed")), int(g.get("data-blocked")))
            for g in page.iter(SVG + "g") if g.get("class") == "day"}
    check(days == DAYS, "the chart's days: %r" % days)
    for g in page.iter(SVG + "g"):
        if g.get("class") == "day":
            heights = [float(r.get("height")) for r in g.iter(SVG + "rect")]
            check(all(h >= 0 for h in heights) and (sum(heights) > 0) == (sum(days[g.get(
                "data-date")]) > 0), "bars as tall as their calls: %r" % heights)

    def rows(table_class):
        table = next(t for t in page.iter("table") if t.get("class") == table_class)
        return [[cell.text for cell in tr] for tr in table.iter("tr")][1:]

    check(rows("days") == [["12/07/2026", "5", "2", "3", "60%"], ["12/09/2026", "2", "1", "1", "50%"]],
          "the table of days: %r" % rows("days"))
    check(sum(int(r[1]) for r in rows("hours")) == len(CALLS), "the hours hold every call")
    top = [r[:3] for r in rows("numbers")]
    check(top[:2] == [["555-010-4477", "2", "0"], ["555-019-8811", "2", "2"]] and len(top) == 5,
          "the most frequent numbers, the latest call first among equals: %r" % top)
    summary = next(p for p in page.iter("p") if p.get("class") == "summary").text
    check(summary.startswith("7 calls from 12/07/2026 ") and "4 blocked (57%)" in summary,
          "the summary: %r" % summary)
    print("report page: ok (%d days, %d calls)" % (len(days), len(CALLS)))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
