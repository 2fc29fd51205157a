"""The clustering tree in the JSON output, against SciPy: dendrogram() drawn
from our merges must be the tree SciPy draws from its own average linkage of
the same matrix."""

import json
import subprocess

import numpy as np
import pytest
from scipy.cluster.hierarchy import dendrogram, linkage
from scipy.spatial.distance import squareform

from conftest import DATA, PROGRAM


def matrix_objects(data, command):
    done = subprocess.run([PROGRAM, "--data", str(data), "--format", "json", "-e", command],
                          capture_output=True, text=True, check=True)
    found = []

    def walk(items):
        for item in items:
            if item.get("type") == "table" and "matrix" in item:
                found.append(item["matrix"])
            walk(item.get("items", []))

    walk(json.loads(done.stdout)["items"])
    return found


def values_of(matrix):
    return np.array([[np.nan if v is None else v for v in row] for row in matrix["values"]])


def assert_same_tree(ours, expected_z):
    z = np.array(ours["merges"], dtype=float)
    assert z.shape == expected_z.shape
    # Our numbering and pairing is SciPy's, height for height.
    np.testing.assert_array_equal(z[:, [0, 1, 3]], expected_z[:, [0, 1, 3]])
    np.testing.assert_allclose(z[:, 2], expected_z[:, 2], rtol=1e-12, atol=1e-12)
    drawn = dendrogram(z, no_plot=True)
    wanted = dendrogram(expected_z, no_plot=True)
    assert drawn["leaves"] == wanted["leaves"]
    assert ours["order"] == wanted["leaves"]
    np.testing.assert_allclose(drawn["icoord"], wanted["icoord"])
    np.testing.assert_allclose(drawn["dcoord"], wanted["dcoord"], rtol=1e-12, atol=1e-12)


@pytest.mark.parametrize("command", [
    "PROXIMITIES mpg TO carb /STANDARDIZE=VARIABLE RESCALE /ID=model.",
    "PROXIMITIES mpg hp wt qsec /STANDARDIZE=VARIABLE Z /MEASURE=BLOCK /ID=model.",
    "PROXIMITIES mpg TO carb /VIEW=VARIABLE /STANDARDIZE=VARIABLE Z.",
])
def test_dissimilarities_give_scipys_tree(command):
    (m,) = matrix_objects(DATA / "cars.csv", command)
    assert m["clustering"]["heights"] == "dissimilarity"
    d = values_of(m)
    expected = linkage(squareform(d, checks=False), "average")
    assert_same_tree(m["clustering"], expected)


def test_similarities_are_clustered_on_largest_minus_similarity():
    (m,) = matrix_objects(DATA / "cars.csv",
                          "PROXIMITIES mpg TO carb /VIEW=VARIABLE /MEASURE=CORRELATION.")
    assert m["kind"] == "similarity"
    assert m["clustering"]["heights"] == "largest similarity minus similarity"
    s = values_of(m)
    off = s[~np.eye(len(s), dtype=bool)]
    d = off.max() - s
    np.fill_diagonal(d, 0.0)
    assert_same_tree(m["clustering"], linkage(squareform(d, checks=False), "average"))


def test_each_split_group_has_its_own_tree():
    matrices = matrix_objects(DATA / "cars.csv",
                              "GROUP BY cyl. PROXIMITIES mpg disp hp wt qsec /STANDARDIZE=VARIABLE Z /ID=model.")
    assert len(matrices) > 1  # a group for each run of equal cyl
    for m in matrices:
        d = values_of(m)
        assert_same_tree(m["clustering"], linkage(squareform(d, checks=False), "average"))


def test_missing_similarities_are_clustered_as_the_most_unlike_pair(tmp_path):
    # Columns a and e are the same, so Kulczynski 1 divides by zero for them:
    # the pair is missing, and so is the whole diagonal. No similarity is 0,
    # so "most unlike" is not what a missing value read as 0 would give.
    data = tmp_path / "binary.csv"
    data.write_text("a,c,d,e\n1,0,1,1\n0,1,1,0\n1,0,0,1\n1,1,1,1\n0,0,1,0\n")
    (m,) = matrix_objects(data, "PROXIMITIES a c d e /VIEW=VARIABLE /MEASURE=K1.")
    s = values_of(m)
    off = ~np.eye(len(s), dtype=bool)
    assert np.isnan(s[0, 3]) and np.isnan(s[3, 0]) and np.nanmin(s[off]) > 0
    d = np.nanmax(s[off]) - s
    d[off & np.isnan(d)] = np.nanmax(d[off])
    np.fill_diagonal(d, 0.0)
    assert_same_tree(m["clustering"], linkage(squareform(d, checks=False), "average"))
