#!/usr/bin/python3
"""The first screen of the HTML report, in headless Chromium: the heatmap of
the 32 cars and its clustering tree are in view without scrolling, the notes
come below them, the rows open in the order of the average-linkage tree that
SciPy builds from the same matrix, and the toggle goes back to the own order.
A matrix of a handful of items opens in its own order.

    tests/browser/first_screen.py build/bin/proximities
"""
import json
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_report import SKIPPED, browser, find_browser  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WIDTH, HEIGHT = 1280, 900

# Runs in the outer page once the report has loaded in the frame: where the
# parts are, and the place of each row (in item order) before and after the
# toggle is switched to the own order.
PROBE = """<!doctype html><title>probe</title>
<iframe id="f" src="report.html" style="width:%dpx;height:%dpx;border:0"></iframe>
<script>
document.getElementById('f').onload = function () {
  var doc = this.contentDocument, win = this.contentWindow;
  var figure = doc.querySelector('figure.heatmap');
  function rows() {
    var texts = figure.querySelectorAll('g.row-labels text'), ys = [];
    for (var k = 0; k < texts.length; k++) ys.push(parseFloat(texts[k].getAttribute('y')));
    return ys;
  }
  function box(element) {
    if (!element) return null;
    var b = element.getBoundingClientRect();
    return {top: b.top, bottom: b.bottom, left: b.left, right: b.right};
  }
  var tree = figure.querySelector('svg.dendrogram'), centres = [];
  var labels = figure.querySelectorAll('g.row-labels text');
  for (var k = 0; k < labels.length; k++) {
    var b = labels[k].getBoundingClientRect();
    centres.push((b.top + b.bottom) / 2);
  }
  var out = {viewport: win.innerHeight, order: figure.getAttribute('data-order'),
             heatmap: box(figure.querySelector('svg.heatmap-svg')), tree: box(tree),
             merges: tree ? parseInt(tree.getAttribute('data-merges'), 10) : null,
             notes: box(doc.querySelector('table.notes')), opened: rows(), centres: centres,
             path: tree ? tree.querySelector('path').getAttribute('d') : ''};
  var own = figure.querySelector('input[value=own]');
  own.checked = true;
  own.dispatchEvent(new win.Event('change', {bubbles: true}));
  out.toggled = figure.getAttribute('data-order');
  out.own = rows();
  out.treeShown = tree ? win.getComputedStyle(tree).visibility : null;
  var p = document.createElement('p');
  p.id = 'result';
  p.textContent = JSON.stringify(out);
  document.body.appendChild(p);
};
</script>""" % (WIDTH, HEIGHT)


def probe(binary, program, work, command_file):
    subprocess.run([program, "-o", os.path.join(work, "report.html"), command_file],
                   cwd=ROOT, check=True, capture_output=True, timeout=120)
    with open(os.path.join(work, "probe.html"), "w") as f:
        f.write(PROBE)
    dom = browser(binary, os.path.join(work, "profile"), "--allow-file-access-from-files",
                  "--virtual-time-budget=5000", f"--window-size={WIDTH + 50},{HEIGHT + 50}",
                  "--dump-dom", "file://" + os.path.join(work, "probe.html"))
    found = re.search(r'<p id="result">([^<]*)</p>', dom)
    if not found:
        raise AssertionError(f"{command_file}: the probe gave no result")
    return json.loads(found.group(1).replace("&quot;", '"'))


def matrix_values(program, command_file):
    run = subprocess.run([program, "--format", "json", command_file], cwd=ROOT, check=True,
                         capture_output=True, text=True, timeout=120)
    stack = json.loads(run.stdout)["items"]
    while stack:
        item = stack.pop(0)
        if "matrix" in item:
            return item["matrix"]["values"]
        stack = item.get("items", []) + stack
    raise AssertionError("no matrix in the run")


def scipy_linkage(values):
    import numpy as np
    from scipy.cluster.hierarchy import linkage
    from scipy.spatial.distance import squareform
    return linkage(squareform(np.array(values, dtype=float), checks=False), "average")


def tree_order(values):
    """The leaves of SciPy's average-linkage tree, at each merge the child
    holding the smaller item number first."""
    from scipy.cluster.hierarchy import to_tree
    root = to_tree(scipy_linkage(values))

    def leaves(node):
        if node.is_leaf():
            return [node.id]
        a, b = leaves(node.left), leaves(node.right)
        return a + b if min(a) < min(b) else b + a
    return leaves(root)


TREE_WIDTH = 120


def tree_faults(r, values):
    """The tree as drawn against SciPy's: for each merge, in the order of the
    heights, a line from the left child across to the merge's height, down to
    the right child and back to its height. Heights run from the leaves at
    the right (4 pixels in) to the root at the left; each leaf ends at the
    middle of its row's label, a merge halfway between its children."""
    z = scipy_linkage(values)
    n = len(values)
    top = r["tree"]["top"]
    y = [c - top for c in r["centres"]] + [0.0] * (n - 1)
    level = [0.0] * (2 * n - 1)
    first = list(range(n)) + [0] * (n - 1)
    x = lambda h: TREE_WIDTH - 4 - (TREE_WIDTH - 8) * h / z[:, 2].max()
    drawn = re.findall(r"M([-\d.]+) ([-\d.]+)H([-\d.]+)V([-\d.]+)H([-\d.]+)", r["path"])
    if len(drawn) != n - 1:
        return [f"the tree draws {len(drawn)} merges for {n} items"]
    faults = []
    for k, (row, segment) in enumerate(zip(z, drawn)):
        a, b, height = int(row[0]), int(row[1]), row[2]
        left, right = (a, b) if first[a] < first[b] else (b, a)
        wanted = [x(level[left]), y[left], x(height), y[right], x(level[right])]
        got = [float(v) for v in segment]
        if any(abs(g - w) > 1.5 for g, w in zip(got, wanted)):
            faults.append(f"merge {k} drawn as {got}, expected {[round(w, 1) for w in wanted]}")
        level[n + k], y[n + k] = height, (y[left] + y[right]) / 2
        first[n + k] = min(first[left], first[right])
    return faults


def order_of(ys):
    return sorted(range(len(ys)), key=lambda i: ys[i])


def check_cars(binary, program, work):
    failures = []
    command_file = "examples/cars_distances.prox"
    r = probe(binary, program, work, command_file)
    n = len(r["opened"])
    if n != 32:
        failures.append(f"{n} row labels, expected 32")
    if r["order"] != "clustered":
        failures.append(f"the heatmap opens in the {r['order']} order")
    heatmap, tree, notes = r["heatmap"], r["tree"], r["notes"]
    if heatmap is None or not 0 <= heatmap["top"] < r["viewport"] / 2:
        failures.append(f"the heatmap is not at the top of the first screen: {heatmap}")
    if tree is None or tree["right"] > heatmap["left"] + 1 or tree["top"] >= r["viewport"]:
        failures.append(f"the tree is not in view beside the heatmap: {tree}")
    if r["merges"] != n - 1:
        failures.append(f"the tree has {r['merges']} merges for {n} items")
    if notes is None or notes["top"] < heatmap["bottom"]:
        failures.append(f"the notes are not below the heatmap: {notes}")
    values = matrix_values(program, command_file)
    if tree is not None:
        failures += tree_faults(r, values)
    expected = tree_order(values)
    if order_of(r["opened"]) != expected:
        failures.append(f"rows open as {order_of(r['opened'])}, the tree's order is {expected}")
    if r["toggled"] != "own" or order_of(r["own"]) != list(range(n)):
        failures.append(f"the toggle does not go back to the own order: {order_of(r['own'])}")
    if r["treeShown"] != "hidden":
        failures.append("the tree stays shown in the own order, where its leaves miss their rows")
    return failures


def check_handful(binary, program, work):
    r = probe(binary, program, work, "examples/arrests_correlations.prox")
    n = len(r["opened"])
    if n > 8 or r["order"] != "own" or order_of(r["opened"]) != list(range(n)):
        return [f"a matrix of {n} items opens in the {r['order']} order"]
    return []


def main():
    program = os.path.abspath(sys.argv[1])
    binary = find_browser()
    if binary is None:
        print("no chromium found: install it (scripts/test does) or set CHROMIUM")
        return 1 if os.environ.get("CI") else SKIPPED
    failures = []
    for check in (check_cars, check_handful):
        with tempfile.TemporaryDirectory() as work:
            failures += check(binary, program, work)
    for f in failures:
        print(f)
    if not failures:
        print("heatmap and tree on the first screen, notes below, the tree's order, toggle works")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
