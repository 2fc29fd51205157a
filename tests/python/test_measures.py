"""Every measure family: against SciPy where it has the measure (to rounding),
and against the program's own matrix file (to the last bit)."""

import numpy as np
import pytest
from scipy.spatial.distance import pdist, squareform
from scipy.stats import chi2_contingency

import proximities
from conftest import assert_same_bits, program_matrices

CARS = ["mpg", "cyl", "disp", "hp", "drat", "wt", "qsec", "vs", "am", "gear", "carb"]
HAIR_EYE = ["Brown", "Blue", "Hazel", "Green"]
ANIMALS = ["war", "fly", "ver", "end", "gro", "hai"]


def close(actual, expected):
    np.testing.assert_allclose(actual, expected, rtol=1e-12, atol=1e-12)


@pytest.mark.parametrize(
    "measure, expected",
    [
        ("EUCLID", lambda x: squareform(pdist(x, "euclidean"))),
        ("SEUCLID", lambda x: squareform(pdist(x, "sqeuclidean"))),
        ("BLOCK", lambda x: squareform(pdist(x, "cityblock"))),
        ("CHEBYCHEV", lambda x: squareform(pdist(x, "chebyshev"))),
        ("MINKOWSKI(3)", lambda x: squareform(pdist(x, "minkowski", p=3))),
        ("POWER(3,2)", lambda x: squareform(pdist(x, "minkowski", p=3)) ** 1.5),
        ("COSINE", lambda x: 1 - squareform(pdist(x, "cosine"))),
        ("CORRELATION", lambda x: 1 - squareform(pdist(x, "correlation"))),
    ],
)
def test_interval_measures_agree_with_scipy(cars, measure, expected):
    x = cars[CARS].to_numpy()
    got = proximities.matrix(cars, measure)
    want = expected(x)
    if measure in ("COSINE", "CORRELATION"):
        np.fill_diagonal(want, 1.0)
    close(got.to_numpy(), want)
    assert list(got.index) == list(cars.index) == list(got.columns)


@pytest.mark.parametrize(
    "measure, metric",
    [
        ("RR", "russellrao"),
        ("SM", "hamming"),
        ("JACCARD", "jaccard"),
        ("DICE", "dice"),
        ("RT", "rogerstanimoto"),
        ("SS2", "sokalsneath"),
        ("OCHIAI", "cosine"),
        ("PHI", "correlation"),
        ("Q", "yule"),
    ],
)
def test_binary_similarities_agree_with_scipy(animals, measure, metric):
    complete = animals.dropna()
    present = complete[ANIMALS].to_numpy() == 2
    got = proximities.matrix(complete, f"{measure}(2,1)").to_numpy()
    want = 1 - squareform(pdist(present, metric))
    off = ~np.eye(len(want), dtype=bool)  # self-similarity follows each measure's own rule
    close(got[off], want[off])


@pytest.mark.parametrize(
    "measure, metric", [("BEUCLID", "euclidean"), ("BSEUCLID", "sqeuclidean")]
)
def test_binary_distances_agree_with_scipy(animals, measure, metric):
    complete = animals.dropna()
    present = complete[ANIMALS].to_numpy() == 2
    got = proximities.matrix(complete, f"{measure}(2,1)").to_numpy()
    close(got, squareform(pdist(present.astype(float), metric)))


def test_chi_square_is_the_root_of_pearsons_statistic(hair_eye):
    counts = hair_eye[HAIR_EYE].to_numpy()
    n = len(counts)
    want = np.zeros((n, n))
    for i in range(n):
        for j in range(n):
            if i != j:
                want[i, j] = np.sqrt(chi2_contingency(counts[[i, j]], correction=False)[0])
    close(proximities.matrix(hair_eye, "CHISQ").to_numpy(), want)
    total = counts.sum(axis=1)
    close(
        proximities.matrix(hair_eye, "PH2").to_numpy(),
        want / np.sqrt(total[:, None] + total[None, :]),
    )


INTERVAL = ["EUCLID", "SEUCLID", "BLOCK", "CHEBYCHEV", "MINKOWSKI(3)", "POWER(4,3)", "COSINE",
            "CORRELATION"]
BINARY = ["RR", "SM", "JACCARD", "DICE", "SS1", "RT", "SS2", "K1", "SS3", "K2", "SS4", "HAMANN",
          "OCHIAI", "SS5", "PHI", "LAMBDA", "D", "Y", "Q", "BEUCLID", "SIZE", "PATTERN",
          "BSEUCLID", "BSHAPE", "DISPER", "VARIANCE", "BLWMN"]


def module_cases(matrix, numbers):
    """The module's matrix over the cases the program kept; the others must
    be all NaN."""
    values = np.asarray(matrix, dtype=float)
    at = numbers - 1
    left_out = np.setdiff1d(np.arange(len(values)), at)
    assert np.isnan(values[left_out]).all() and np.isnan(values[:, left_out]).all()
    return values[np.ix_(at, at)]


@pytest.mark.parametrize(
    "csv, variables, measure, frame",
    [("cars.csv", "mpg TO carb", m, "cars") for m in INTERVAL]
    + [("hair_eye.csv", "Brown TO Green", m, "hair_eye") for m in ("CHISQ", "PH2")]
    # (2,1): the animals file codes yes 2 and no 1, with unknowns left empty.
    + [("animals.csv", "war TO hai", f"{m}(2,1)", "animals") for m in BINARY]
    + [("animals.csv", "war TO hai", f"{m}(2)", "animals") for m in ("JACCARD", "SIZE")],
)
def test_every_measure_gives_the_programs_bits(request, tmp_path, csv, variables, measure, frame):
    data = request.getfixturevalue(frame)
    ((numbers, expected),) = program_matrices(tmp_path, csv, f"{variables} /MEASURE={measure}").values()
    assert_same_bits(module_cases(proximities.matrix(data, measure), numbers), expected)


@pytest.mark.parametrize(
    "subcommands, options",
    [
        ("/VIEW=VARIABLE /MEASURE=CORRELATION", dict(view="variable", measure="CORRELATION")),
        ("/VIEW=VARIABLE /MEASURE=EUCLID /STANDARDIZE=VARIABLE Z",
         dict(view="variable", standardize="Z")),
        ("/STANDARDIZE=VARIABLE RESCALE", dict(standardize="RESCALE")),
        ("/STANDARDIZE=CASE RANGE /MEASURE=BLOCK",
         dict(standardize="RANGE", by="case", measure="BLOCK")),
        ("/STANDARDIZE=SD /MEASURE=MINKOWSKI(3) RESCALE",
         dict(standardize="SD", measure="MINKOWSKI(3)", rescale=True)),
        ("/STANDARDIZE=MEAN /MEASURE=CORRELATION ABSOLUTE REVERSE",
         dict(standardize="MEAN", measure="CORRELATION", absolute=True, reverse=True)),
        ("/STANDARDIZE=MAX /MEASURE=COSINE REVERSE RESCALE",
         dict(standardize="MAX", measure="COSINE", reverse=True, rescale=True)),
    ],
)
def test_options_give_the_programs_bits(cars, tmp_path, subcommands, options):
    ((numbers, expected),) = program_matrices(tmp_path, "cars.csv", f"mpg TO carb {subcommands}").values()
    got = proximities.matrix(cars, **options)
    if numbers is not None:
        got = module_cases(got, numbers)
    assert_same_bits(got, expected)


def test_split_groups_give_the_programs_bits(iris, tmp_path):
    expected = program_matrices(
        tmp_path, "iris.csv", "sepal_length TO petal_width /STANDARDIZE=Z", split="species"
    )
    got = proximities.matrix(iris, standardize="Z", split="species")
    assert list(got) == list(expected) == ["setosa", "versicolor", "virginica"]
    offset = 0
    for species, (numbers, values) in expected.items():
        # The program numbers the cases through the file; the module's
        # groups are labelled by the frame's own index.
        mine = got[species]
        assert list(mine.index) == list(iris.index[iris.species == species])
        assert_same_bits(module_cases(mine, numbers - offset), values)
        offset += len(mine)
