#!/usr/bin/python3
"""The row labels of a wide table stay in view when it is scrolled sideways:
the HTML report of a matrix of 32 cars opened in headless Chromium in a
narrow window, inside a page that scrolls the matrix's table to its far
right and reports where its first row label and first value then are.

    tests/browser/sticky_labels.py build/bin/proximities
"""
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_report import SKIPPED, browser, find_browser  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Runs in the outer page once the report has loaded in the frame.
PROBE = """<!doctype html><title>probe</title>
<iframe id="f" src="report.html" style="width:600px;height:800px"></iframe>
<script>
document.getElementById('f').onload = function () {
  var doc = this.contentDocument, out = 'no wide table';
  var boxes = doc.querySelectorAll('.table-scroll');
  for (var k = 0; k < boxes.length; k++) {
    var box = boxes[k];
    if (box.scrollWidth <= box.clientWidth + 50) continue;
    box.scrollLeft = box.scrollWidth;
    var label = box.querySelector('tbody th'), cell = box.querySelector('tbody td');
    var left = box.getBoundingClientRect().left;
    out = 'scrolled ' + box.scrollLeft + ' label ' +
          Math.round(label.getBoundingClientRect().left - left) + ' cell ' +
          Math.round(cell.getBoundingClientRect().left - left);
    break;
  }
  var p = document.createElement('p');
  p.id = 'result';
  p.textContent = out;
  document.body.appendChild(p);
};
</script>"""


def main():
    program = sys.argv[1]
    binary = find_browser()
    if binary is None:
        print("no chromium found: install it (scripts/test does) or set CHROMIUM")
        return 1 if os.environ.get("CI") else SKIPPED
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([program, "-o", os.path.join(work, "report.html"),
                        os.path.join(ROOT, "examples", "cars_distances.prox")],
                       cwd=ROOT, check=True, capture_output=True, timeout=120)
        probe = os.path.join(work, "probe.html")
        with open(probe, "w") as f:
            f.write(PROBE)
        dom = browser(binary, os.path.join(work, "profile"), "--allow-file-access-from-files",
                      "--virtual-time-budget=5000", "--window-size=700,900", "--dump-dom",
                      "file://" + probe)
    found = re.search(r'<p id="result">([^<]*)</p>', dom)
    if not found:
        print("the probe gave no result")
        return 1
    result = found.group(1)
    match = re.fullmatch(r"scrolled (\d+) label (-?\d+) cell (-?\d+)", result)
    if not match:
        print(f"the probe says: {result}")
        return 1
    scrolled, label, cell = (int(g) for g in match.groups())
    # Scrolled far to the right, the first value has gone out to the left,
    # and the label is still at the left edge of the box.
    ok = scrolled > 0 and cell < 0 and abs(label) <= 1
    print(f"{result}: {'row labels stay' if ok else 'row labels scroll away'}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
