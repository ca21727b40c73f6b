#!/usr/bin/env python3
"""The HTML report in headless Chromium: the rows the page shows after its script ran equal the
rows worked out here from the run's facts, in the page's order (differing rows first), in the
orders that "#sort=KEY" asks for and after clicks on a header (a copy of the page with a
script that clicks); every picture loads; a screenshot is kept as an artefact.

usage: check_report_page.py WRITE_REPORT_PAGE CHROMIUM OUT_DIR
"""
import html.parser
import json
import os
import shutil
import subprocess
import sys
import tempfile

COLUMNS = ["order", "path", "variable", "verdict", "categories", "compared", "differing",
           "max_abs", "place", "rms", "margin"]
NUMERIC = {"order", "compared", "differing", "max_abs", "rms", "margin"}


def figure(x):
    """A number as the report writes it: the shortest text that reads back to it."""
    if x == int(x) and abs(x) < 1e16:
        return str(int(x))
    return repr(x)


def expected_rows(facts):
    rows = []
    for pair in facts["pairs"]:
        def own(note, categories=""):
            rows.append({"path": pair["path"], "variable": "", "verdict": pair["verdict"],
                         "categories": categories, "compared": "", "differing": "",
                         "max_abs": "", "place": note, "rms": "", "margin": ""})
        if pair["verdict"] == "failed":
            own(pair["reason"])
            continue
        if pair["verdict"].startswith("only_in_"):
            folder = facts["dir1"] if pair["verdict"] == "only_in_dir1" else facts["dir2"]
            own(pair["reason"] or "only in " + folder)
            continue
        beyond = [c for c in pair["categories"] if c != "cells"]
        if pair["verdict"] == "differ" and beyond:
            note = "differs in " + ", ".join(beyond)
            own(note + (": " + pair["reason"] if pair["reason"] else ""), ", ".join(beyond))
        elif not pair["variables"]:
            own("")
        for v in pair["variables"]:
            row = {"path": pair["path"], "variable": v["name"],
                   "verdict": "differ" if v["differing"] else "identical",
                   "categories": "cells" if v["differing"] else "",
                   "compared": str(v["compared"]), "differing": str(v["differing"]),
                   "max_abs": "", "place": "", "rms": "", "margin": ""}
            if v["differing"]:
                d, t, layer, col, r, lat, lon = v["place"]
                row.update(max_abs=figure(v["max_abs"]), rms=figure(v["rms"]),
                           margin=figure(v["margin"]),
                           place="%07d:%06d, layer %d, column %d, row %d, lat %s, lon %s"
                           % (d, t, layer, col, r, figure(lat), figure(lon)))
            rows.append(row)
    ordered = [r for r in rows if r["verdict"] != "identical"] + \
              [r for r in rows if r["verdict"] == "identical"]
    for k, r in enumerate(ordered):
        r["order"] = str(k + 1)
    return ordered


def sorted_rows(rows, sorting):
    """The order "#sort=SORTING" gives: by the key, empty values last, ties in the page's order."""
    desc = sorting.startswith("-")
    key = sorting.lstrip("-")
    def value(r):
        return float(r[key]) if key in NUMERIC else r[key]
    filled = [r for r in rows if r[key] != ""]
    empty = [r for r in rows if r[key] == ""]
    filled.sort(key=lambda r: int(r["order"]))
    filled.sort(key=value, reverse=desc)
    return filled + empty


class Page(html.parser.HTMLParser):
    """The body's attributes, the table's, and the text of each body row's cells."""
    def __init__(self):
        super().__init__()
        self.body, self.table, self.rows = {}, {}, []
        self.in_body = self.in_cell = False

    def handle_starttag(self, tag, attrs):
        if tag == "body":
            self.body = dict(attrs)
        elif tag == "table":
            self.table = dict(attrs)
        elif tag == "tbody":
            self.in_body = True
        elif tag == "tr" and self.in_body:
            self.rows.append([])
        elif tag == "td" and self.in_body:
            self.rows[-1].append("")
            self.in_cell = True

    def handle_endtag(self, tag):
        if tag == "tbody":
            self.in_body = False
        elif tag == "td":
            self.in_cell = False

    def handle_data(self, data):
        if self.in_cell:
            self.rows[-1][-1] += data


def chromium(browser, profile, *args):
    result = subprocess.run(
        ["timeout", "60", browser, "--headless=new", "--no-sandbox", "--disable-gpu",
         "--user-data-dir=" + profile, "--virtual-time-budget=10000", *args],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    if result.returncode != 0:
        sys.exit("chromium failed (%d): %s" % (result.returncode, result.stderr.decode()[-2000:]))
    return result.stdout.decode()


def main():
    writer, browser, out = sys.argv[1:4]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    subprocess.run([writer, out], check=True)
    with open(os.path.join(out, "expected.json"), encoding="utf-8") as f:
        facts = json.load(f)
    rows = expected_rows(facts)
    maps = sum(v["has_map"] for p in facts["pairs"] for v in p["variables"])
    url = "file://" + os.path.abspath(os.path.join(out, "page.html"))
    failures = []
    with tempfile.TemporaryDirectory() as profile:
        for sorting in ["", "-max_abs", "path", "margin", "-order"]:
            page = Page()
            page.feed(chromium(browser, profile, "--dump-dom", url + ("#sort=" + sorting if sorting else "")))
            want = [[r[c] for c in COLUMNS] for r in (sorted_rows(rows, sorting) if sorting else rows)]
            if page.rows != want:
                failures.append("rows for #sort=%s:\n  got  %s\n  want %s" % (sorting, page.rows, want))
            if page.table.get("data-sorted") != (sorting or "order"):
                failures.append("data-sorted for #sort=%s: %s" % (sorting, page.table.get("data-sorted")))
            if page.body.get("data-images-loaded") != "%d/%d" % (maps, maps):
                failures.append("images loaded for #sort=%s: %s of %d"
                                % (sorting, page.body.get("data-images-loaded"), maps))
        # Clicks on a header: the first sorts by its column, the second turns the order round.
        with open(os.path.join(out, "page.html"), encoding="utf-8") as f:
            text = f.read()
        clicks = ("<script>['max_abs','max_abs'].forEach(function(k,i){setTimeout(function(){"
                  "document.querySelector('th[data-key=\"'+k+'\"]').click();},100*(i+1));});"
                  "</script>\n</body>")
        with open(os.path.join(out, "clicked.html"), "w", encoding="utf-8") as f:
            f.write(text.replace("</body>", clicks))
        page = Page()
        page.feed(chromium(browser, profile, "--dump-dom",
                           "file://" + os.path.abspath(os.path.join(out, "clicked.html"))))
        want = [[r[c] for c in COLUMNS] for r in sorted_rows(rows, "-max_abs")]
        if page.rows != want or page.table.get("data-sorted") != "-max_abs":
            failures.append("two clicks on max_abs: %s\n  got  %s\n  want %s"
                            % (page.table.get("data-sorted"), page.rows, want))
        shot = os.path.join(out, "page.png")
        chromium(browser, profile, "--screenshot=" + shot, "--window-size=1280,2000", url)
    with open(shot, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[16:24] != (1280).to_bytes(4, "big") + \
            (2000).to_bytes(4, "big"):
        failures.append("the screenshot is not a 1280 x 2000 PNG")
    if failures:
        sys.exit("\n".join(failures))
    print("%d rows, %d pictures, screenshot %s" % (len(rows), maps, shot))


if __name__ == "__main__":
    main()
