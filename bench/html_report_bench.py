"""The HTML report of a large folder run in headless Chromium: the page's size and how long it
takes to load.

    python3 bench/html_report_bench.py build/tests/write_folder_reports [PAIRS VARIABLES]

write_folder_reports (built with the tests) writes the page of PAIRS pairs (default 32) of
VARIABLES differing variables each (default 20), every one with a difference map of a
100 x 80 grid and 25 steps. The page is loaded RUNS times (default 3) in a fresh headless
Chromium; each run reports the page's own figure (data-ready-ms: from the start of loading to
every picture loaded, which the page's script notes) and the browser's wall time, beside the
wall time for an empty page (the browser's own start and stop). Best of the runs.
"""

import os
import re
import subprocess
import sys
import tempfile
import time


def load(url, profile):
    start = time.perf_counter()
    out = subprocess.run(
        ["timeout", "120", "chromium", "--headless=new", "--no-sandbox", "--disable-gpu",
         "--user-data-dir=" + profile, "--dump-dom", url],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True).stdout.decode()
    wall = time.perf_counter() - start
    body = re.search(r"<body[^>]*>", out)
    ready = re.search(r'data-ready-ms="(\d+)"', body.group(0)) if body else None
    loaded = re.search(r'data-images-loaded="(\d+)/(\d+)"', body.group(0)) if body else None
    return wall, int(ready.group(1)) if ready else None, loaded.groups() if loaded else None


def main():
    writer = sys.argv[1]
    pairs, variables = (sys.argv[2], sys.argv[3]) if len(sys.argv) > 3 else ("32", "20")
    runs = int(os.environ.get("RUNS", "3"))
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "page")
        os.makedirs(out)
        start = time.perf_counter()
        subprocess.run([writer, out, pairs, variables], check=True)
        written = time.perf_counter() - start
        page = os.path.join(out, "page.html")
        empty = os.path.join(tmp, "empty.html")
        with open(empty, "w", encoding="utf-8") as f:
            f.write("<!DOCTYPE html><title>empty</title>")
        best_page, best_ready, best_empty, loaded = None, None, None, None
        for _ in range(runs):
            with tempfile.TemporaryDirectory() as profile:
                wall, ready, loaded = load("file://" + page, profile)
            with tempfile.TemporaryDirectory() as profile:
                empty_wall, _, _ = load("file://" + empty, profile)
            best_page = wall if best_page is None else min(best_page, wall)
            best_empty = empty_wall if best_empty is None else min(best_empty, empty_wall)
            if ready is not None:
                best_ready = ready if best_ready is None else min(best_ready, ready)
        maps = [f for f in os.listdir(out) if f.endswith(".png")]
        map_bytes = sum(os.path.getsize(os.path.join(out, f)) for f in maps)
        print("%s pairs x %s variables: page %.2f MB (%d maps, %.1f KB each on average); "
              "maps and page written in %.1f s" % (pairs, variables, os.path.getsize(page) / 1e6,
                                                   len(maps), map_bytes / 1024 / max(len(maps), 1),
                                                   written))
        print("pictures loaded: %s of %s" % loaded if loaded else "pictures loaded: not reported")
        print("in the page, start of loading to every picture loaded: %s ms (best of %d)"
              % (best_ready, runs))
        print("Chromium wall: %.2f s for the page, %.2f s for an empty page" % (best_page,
                                                                           best_empty))


if __name__ == "__main__":
    main()
