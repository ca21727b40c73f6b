#!/usr/bin/env python3
"""A folder run of the tool itself, as a user starts it, and its page in headless Chromium:
`brindlewick d1 d2 --json folder.json --junit junit.xml --html page.html` (with a setting of the
single-pair run, --abs-tol) on folders the fixture writer wrote. The rows the page shows after
its script ran equal the folder document's pairs and variables, in the page's order and as
"#sort=-max_abs" orders them; each differing variable has its map (every picture loads) and its
per-step plot; the run's temporary maps are gone once it ends; the JUnit report passes the
schema; a screenshot is kept in the build tree.

usage: check_tool_page.py BRINDLEWICK WRITE_TOOL_FOLDERS CHROMIUM XMLLINT JUNIT_XSD OUT_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

from check_report_page import COLUMNS, Page, chromium, expected_rows, sorted_rows

RUN = ["d1", "d2", "--json", "folder.json", "--junit", "junit.xml", "--html", "page.html",
       "--abs-tol", "0.5", "--jobs", "2"]

# What the run prints, byte for byte (the unreadable pair makes its status 2).
LINES = ("failed        bad.nc  INFILE1 (d1/bad.nc): not a netCDF file\n"
         "only_in_dir1  missing.nc\n"
         "identical     same.nc\n")


def facts_of(doc):
    """The run's facts as check_report_page reads them, from the folder's JSON document."""
    pairs = []
    for p in doc["pairs"]:
        variables = []
        for v in (p.get("result") or {}).get("variables", []):
            e = v["largest_abs"] or {}
            variables.append({
                "name": v["name"], "compared": v["cells_compared"],
                "differing": v["cells_differing"], "max_abs": e.get("difference", 0),
                "rms": v["rms"] or 0, "margin": v["margin"] or 0,
                "place": [e.get(k, 0) for k in
                          ("date", "time", "layer", "column", "row", "latitude", "longitude")],
                "has_map": v["cells_differing"] > 0})
        pairs.append({"path": p["path"], "verdict": p["verdict"], "reason": p["reason"],
                      "categories": p["categories"], "variables": variables})
    return {"dir1": doc["dir1"], "dir2": doc["dir2"], "pairs": pairs}


def main():
    tool, writer, browser, xmllint, xsd, out = sys.argv[1:7]
    shutil.rmtree(out, ignore_errors=True)
    tmp = os.path.join(out, "tmp")
    os.makedirs(tmp)
    subprocess.run([writer, out], check=True)
    env = dict(os.environ, TMPDIR=os.path.abspath(tmp))
    run = subprocess.run([tool, *RUN], cwd=out, env=env, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, check=False)
    failures = []
    stdout = run.stdout.decode()
    if run.returncode != 2 or not stdout.startswith(LINES) or run.stderr:
        failures.append("the run: status %d\n%s%s" % (run.returncode, stdout, run.stderr.decode()))
    if os.listdir(tmp):
        failures.append("temporary files left: %s" % os.listdir(tmp))
    with open(os.path.join(out, "folder.json"), encoding="utf-8") as f:
        facts = facts_of(json.load(f))
    rows = expected_rows(facts)
    maps = sum(v["has_map"] for p in facts["pairs"] for v in p["variables"])
    if maps != 2:
        failures.append("%d differing variables, not the 2 the folders hold" % maps)
    url = "file://" + os.path.abspath(os.path.join(out, "page.html"))
    with tempfile.TemporaryDirectory() as profile:
        for sorting in ["", "-max_abs"]:
            page = Page()
            dom = chromium(browser, profile, "--dump-dom", url + ("#sort=" + sorting if sorting else ""))
            page.feed(dom)
            want = [[r[c] for c in COLUMNS] for r in (sorted_rows(rows, sorting) if sorting else rows)]
            if page.rows != want:
                failures.append("rows for #sort=%s:\n  got  %s\n  want %s" % (sorting, page.rows, want))
            if page.body.get("data-images-loaded") != "%d/%d" % (maps, maps):
                failures.append("images loaded: %s of %d" % (page.body.get("data-images-loaded"),
                                                            maps))
            plots = dom.count('class="steps"')
            if dom.count("<img") != maps or plots != maps:
                failures.append("%d maps and %d plots for %d differing variables"
                                % (dom.count("<img"), plots, maps))
        shot = os.path.join(out, "page.png")
        chromium(browser, profile, "--screenshot=" + shot, "--window-size=1280,2000", url)
    with open(shot, "rb") as f:
        if f.read(8) != b"\x89PNG\r\n\x1a\n":
            failures.append("the screenshot is not a PNG")
    schema = subprocess.run([xmllint, "--noout", "--schema", xsd, os.path.join(out, "junit.xml")],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
    if schema.returncode != 0:
        failures.append("junit.xml against the schema:\n" + schema.stdout.decode())
    if failures:
        sys.exit("\n".join(failures))
    print("%d rows, %d maps, screenshot %s" % (len(rows), maps, shot))


if __name__ == "__main__":
    main()
