#!/usr/bin/python3
"""The writers that format rows on worker threads: a matrix file, --format
csv and long, the JSON matrix, and EXPORT give the same bytes with one and
with four threads, and their values are the distances SciPy computes, row
for row (so a block written out of order fails). The matrices are large
enough to span several blocks of rows.

    tests/e2e/parallel_writers_test.py build/bin/proximities
"""
import io
import json
import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np
import pandas as pd
from scipy.spatial.distance import pdist, squareform

PROGRAM = None
ITEMS = 300  # over 200 rows a block for 300 values: two blocks at the least


def run(args, cwd):
    done = subprocess.run([PROGRAM] + args, capture_output=True, cwd=cwd)
    if done.returncode != 0:
        raise AssertionError(f"exit {done.returncode}: {done.stderr.decode()}")
    return done.stdout


class ParallelWriters(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        rng = np.random.default_rng(20261207)
        # Values of 17 significant digits and a few tiny and huge ones, so
        # that the texts are of every length up to the longest.
        x = rng.standard_normal((ITEMS, 3)) * np.array([1.0, 1e-300, 1e300])
        cls.data = pd.DataFrame(x, columns=["a", "b", "c"])
        cls.data["name"] = [f"item {k}" for k in range(ITEMS)]
        cls.path = os.path.join(cls.tmp.name, "data.csv")
        cls.data.to_csv(cls.path, index=False)  # repr: every digit
        # BLOCK on the first variable alone: one subtraction, exact in double.
        a = cls.data[["a"]].to_numpy()
        cls.expected = squareform(pdist(a, "cityblock"))

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def both(self, args, output=None):
        texts = []
        for threads in ("1", "4"):
            out = run(["--threads", threads, "--data", self.path] + args, self.tmp.name)
            if output:
                with open(os.path.join(self.tmp.name, output), "rb") as f:
                    out = f.read()
            texts.append(out)
        self.assertGreater(len(texts[0]), 0)
        self.assertEqual(texts[0], texts[1], "one and four threads differ")
        return texts[0].decode()

    def assert_matrix(self, values):
        values = np.asarray(values, dtype=float)
        self.assertEqual(values.shape, (ITEMS, ITEMS))
        np.testing.assert_allclose(values, self.expected, rtol=1e-12, atol=1e-12)

    def test_matrix_file(self):
        text = self.both(["-e", 'PROXIMITIES a /ID=name /MEASURE=BLOCK /PRINT=NONE '
                                '/MATRIX=OUT("m.csv").'], output="m.csv")
        m = pd.read_csv(io.StringIO(text))
        self.assertEqual(list(m["ID"]), list(self.data["name"]))
        self.assert_matrix(m[[c for c in m.columns if c[:3] == "VAR" and c[3:].isdigit()]].to_numpy())

    def test_square_csv(self):
        text = self.both(["--format", "csv", "-e", "PROXIMITIES a /ID=name /MEASURE=BLOCK."])
        d = pd.read_csv(io.StringIO(text), index_col=0)
        self.assertEqual(list(d.index), list(self.data["name"]))
        self.assert_matrix(d.to_numpy())

    def test_long_csv(self):
        text = self.both(["--format", "long", "-e", "PROXIMITIES a /ID=name /MEASURE=BLOCK."])
        d = pd.read_csv(io.StringIO(text))
        index = {name: k for k, name in enumerate(self.data["name"])}
        i = d["item1"].map(index).to_numpy()
        j = d["item2"].map(index).to_numpy()
        # Pairs in row order: item1 by item1, item2 rising within each.
        order = np.lexsort((j, i))
        np.testing.assert_array_equal(order, np.arange(len(d)))
        self.assertTrue((i > j).all() or (i >= j).all())
        np.testing.assert_allclose(d["value"].to_numpy(), self.expected[i, j], rtol=1e-12, atol=1e-12)
        self.assertGreaterEqual(len(d), ITEMS * (ITEMS - 1) // 2)

    def test_json_matrix(self):
        text = self.both(["--format", "json", "-e", "PROXIMITIES a /ID=name /MEASURE=BLOCK."])
        tables = [t for t in walk(json.loads(text)) if t.get("matrix")]
        self.assertEqual(len(tables), 1)
        m = tables[0]["matrix"]
        self.assertEqual(m["labels"], list(self.data["name"]))
        self.assert_matrix(m["values"])

    def test_export_keeps_every_digit(self):
        text = self.both(["-e", 'EXPORT "out.csv".'], output="out.csv")
        back = pd.read_csv(io.StringIO(text), float_precision="round_trip")
        for column in ("a", "b", "c"):
            # Python's float() reads the texts; the bits must be the data's.
            np.testing.assert_array_equal(back[column].to_numpy(), self.data[column].to_numpy())


def walk(item):
    if isinstance(item, dict):
        if item.get("type") == "table":
            yield item
        for child in item.get("items", []):
            yield from walk(child)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
