#!/usr/bin/env python3
"""Opens the HTML report of one command file in a headless browser and checks
what a reader would see: every table of the run with the same texts as the
JSON output, a heatmap for every proximity matrix, drawn once the page's
scripts have run, and a screenshot that is not blank.

Usage: check_report.py PROGRAM COMMAND_FILE   (run from the repository root)
Exit status 0 passed, 1 failed, 77 skipped (no browser outside CI).
"""
import html.parser
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

SKIPPED = 77
BROWSER_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run"]


def find_browser():
    for name in (os.environ.get("CHROMIUM"), "chromium", "chromium-browser"):
        if name and shutil.which(name):
            return shutil.which(name)
    return None


def browser(binary, profile, *args):
    run = subprocess.run([binary, *BROWSER_FLAGS, "--user-data-dir=" + profile, *args],
                         capture_output=True, timeout=120, check=True)
    return run.stdout.decode("utf-8", "replace")


class Page(html.parser.HTMLParser):
    """The parts of the rendered page the checks look at."""

    def __init__(self):
        super().__init__()
        self.tables = []      # pivot tables: {"caption": str, "cells": [str]}
        self.figures = []     # attributes of every heatmap figure
        self.messages = 0
        self.errors = []      # elements a script marked as failed
        self._table = None
        self._text = None     # text being collected (caption or cell)
        self._sup = 0

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        classes = (a.get("class") or "").split()
        if "data-error" in a:
            self.errors.append(a["data-error"])
        if tag == "table" and "pivot" in classes:
            self._table = {"caption": "", "cells": []}
        elif tag == "figure" and "heatmap" in classes:
            self.figures.append(a)
        elif tag == "div" and "message" in classes:
            self.messages += 1
        elif self._table is not None and tag in ("caption", "td"):
            self._text = []
        elif tag == "sup":
            self._sup += 1

    def handle_endtag(self, tag):
        if tag == "sup":
            self._sup -= 1
        elif self._table is not None and tag in ("caption", "td") and self._text is not None:
            text = "".join(self._text).strip()
            if tag == "caption":
                self._table["caption"] = text
            elif text:
                self._table["cells"].append(text)
            self._text = None
        elif tag == "table" and self._table is not None:
            self.tables.append(self._table)
            self._table = None

    def handle_data(self, data):
        if self._text is not None and self._sup == 0:
            self._text.append(data)


def json_items(items):
    for item in items:
        yield item
        yield from json_items(item.get("items", []))


def coloured_pixels(png_path):
    """Pixels whose channels differ clearly (the heatmaps; text is grey)."""
    data = open(png_path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    assert depth == 8 and colour in (2, 6), "unexpected PNG layout"
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * bpp
    previous = bytearray(stride)
    count = 0
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        row = bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for i in range(bpp, stride):
                row[i] = (row[i] + row[i - bpp]) & 0xFF
        elif kind == 2:
            row = bytearray((a + b) & 0xFF for a, b in zip(row, previous))
        elif kind == 3:
            for i in range(stride):
                left = row[i - bpp] if i >= bpp else 0
                row[i] = (row[i] + ((left + previous[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                a = row[i - bpp] if i >= bpp else 0
                b = previous[i]
                c = previous[i - bpp] if i >= bpp else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        for x in range(0, stride, bpp):
            r, g, b = row[x], row[x + 1], row[x + 2]
            if max(r, g, b) - min(r, g, b) > 60:
                count += 1
        previous = row
    return count


def main():
    program, command_file = sys.argv[1], sys.argv[2]
    binary = find_browser()
    if binary is None:
        print("no chromium found: install it (scripts/test does) or set CHROMIUM")
        return 1 if os.environ.get("CI") else SKIPPED
    failures = []
    with tempfile.TemporaryDirectory() as work:
        report = os.path.join(work, "report.html")
        made = subprocess.run([program, "--format", "html", "-o", report, command_file],
                              capture_output=True, timeout=120)
        run = subprocess.run([program, "--format", "json", command_file],
                             capture_output=True, timeout=120)
        if made.returncode != run.returncode or not os.path.exists(report):
            print(f"{command_file}: the HTML run ended with status {made.returncode}, the JSON "
                  f"run with {run.returncode}\n{made.stderr.decode('utf-8', 'replace')}")
            return 1
        expected = json.loads(run.stdout)
        # One load gives the page after its scripts ran and a screenshot: a
        # tall window at a quarter of the size holds the whole of most reports
        # in a small image that decodes quickly.
        shot = os.path.join(work, "shot.png")
        page = Page()
        page.feed(browser(binary, os.path.join(work, "profile"), "--window-size=1000,8000",
                          "--force-device-scale-factor=0.25", "--screenshot=" + shot,
                          "--dump-dom", "file://" + report))

        items = list(json_items(expected["items"]))
        tables = [i for i in items if i["type"] == "table"]
        matrices = [t for t in tables if t["name"] == "Proximity Matrix"]
        if len(page.tables) != len(tables):
            failures.append(f"{len(page.tables)} tables on the page, {len(tables)} in the run")
        for shown, table in zip(page.tables, tables):
            if shown["caption"] != table["title"]:
                failures.append(f"caption {shown['caption']!r}, expected {table['title']!r}")
            texts = [c["text"] for c in table["cells"] if c["text"]]
            if shown["cells"] != texts:
                failures.append(f"cells of {table['title']!r} differ from the run's")
        messages = sum(1 for i in items if i["type"] == "message")
        if page.messages != messages:
            failures.append(f"{page.messages} messages on the page, {messages} in the run")
        if len(page.figures) != len(matrices):
            failures.append(f"{len(page.figures)} heatmaps for {len(matrices)} proximity matrices")
        for figure in page.figures:
            if figure.get("data-ready") != "yes":
                failures.append(f"heatmap {figure.get('id')} was not set up by its script")
        failures += [f"script error: {e}" for e in page.errors]
        coloured = coloured_pixels(shot)
        if matrices and coloured < 300:
            failures.append(f"the screenshot shows no heatmap ({coloured} coloured pixels)")
    for f in failures:
        print(f"{command_file}: {f}")
    if not failures:
        print(f"{command_file}: {len(tables)} tables, {len(matrices)} heatmaps, "
              f"{coloured} coloured pixels on screen")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
