"""Measure parameters as keyword arguments: the same doubles as the command
language's "(...)" spelling, and clear refusals of what a measure does not
take."""

import numpy as np
import pandas as pd
import pytest
from scipy.spatial.distance import pdist, squareform

import proximities
from conftest import assert_same_bits

CARS = ["mpg", "cyl", "disp", "hp", "drat", "wt", "qsec"]


@pytest.mark.parametrize(
    "spelt, keyword, parameters",
    [
        ("MINKOWSKI(3)", "MINKOWSKI", dict(p=3)),
        ("MINKOWSKI(1)", "minkowski", dict(p=1.0)),  # a whole float is a whole number
        ("MINKOWSKI(4)", "MINK", dict(p=np.int64(4))),  # an abbreviation, a NumPy integer
        ("POWER(3,2)", "POWER", dict(power=3, root=2)),
        ("POWER(4)", "POWER", dict(power=4)),  # the root defaults to the power
        ("POWER(2,1)", "POWER", dict(root=1)),  # the power to 2
    ],
)
def test_power_parameters_give_the_same_bits(cars, spelt, keyword, parameters):
    assert_same_bits(
        proximities.matrix(cars[CARS], keyword, **parameters),
        proximities.matrix(cars[CARS], spelt),
    )


@pytest.mark.parametrize(
    "spelt, keyword, parameters",
    [
        ("JACCARD(2,1)", "JACCARD", dict(present=2, absent=1)),
        ("JACCARD(2)", "JACCARD", dict(present=2)),  # every other value absent
        ("SIZE(2,1)", "size", dict(present=2, absent=1)),
        ("BSEUCLID(1,2)", "BSEUCLID", dict(present=1, absent=2)),
        ("K1(1,2)", "K1", dict(absent=2)),  # the present value defaults to 1
        ("Q(2,1)", "Q", dict(absent=1, present=2)),
    ],
)
def test_binary_parameters_give_the_same_bits(animals, spelt, keyword, parameters):
    assert_same_bits(
        proximities.matrix(animals, keyword, **parameters),
        proximities.matrix(animals, spelt),
    )


def test_keyword_parameters_compute_the_measure_they_name(cars, animals):
    x = cars[CARS].to_numpy()
    np.testing.assert_allclose(
        proximities.matrix(cars[CARS], "POWER", power=3, root=1).to_numpy(),
        squareform(pdist(x, "minkowski", p=3)) ** 3,
        rtol=1e-12,
    )
    complete = animals.dropna()
    present = complete.to_numpy() == 2
    got = proximities.matrix(complete, "JACCARD", present=2, absent=1).to_numpy()
    want = 1 - squareform(pdist(present, "jaccard"))
    np.fill_diagonal(want, 1.0)
    np.testing.assert_allclose(got, want, rtol=1e-12, atol=1e-12)


def test_measures_without_parameters_take_none(hair_eye):
    got = proximities.matrix(hair_eye, "CHISQ")
    assert got.shape == (len(hair_eye), len(hair_eye))
    with pytest.raises(ValueError, match=r"CHISQ does not take p=; it takes no parameters"):
        proximities.matrix(hair_eye, "CHISQ", p=2)
    with pytest.raises(ValueError, match=r"EUCLID does not take present=, absent="):
        proximities.matrix(hair_eye, "euclid", present=1, absent=0)


@pytest.mark.parametrize(
    "keyword, parameters, error, message",
    [
        ("MINKOWSKI", dict(power=3), ValueError, r"MINKOWSKI does not take power=; it takes p="),
        ("POWER", dict(p=3), ValueError, r"POWER does not take p=; it takes power= and root="),
        ("JACCARD", dict(p=2), ValueError, r"takes present= and absent="),
        ("MINKOWSKI(3)", dict(p=3), ValueError, r"not both"),
        ("MINKOWSKI", dict(p=2.5), ValueError, r"p must be a whole number"),
        ("MINKOWSKI", dict(p=0), ValueError, r"p must be a positive"),
        ("POWER", dict(power=2, root=-1), ValueError, r"power and root must be positive"),
        ("MINKOWSKI", dict(p="3"), TypeError, r"p must be a whole number"),
        ("JACCARD", dict(present=True), TypeError, r"present must be a whole number"),
    ],
)
def test_parameters_a_measure_cannot_take_are_refused(cars, keyword, parameters, error, message):
    with pytest.raises(error, match=message):
        proximities.matrix(cars[CARS], keyword, **parameters)


def test_an_unknown_measure_with_parameters_is_the_procedures_error(cars):
    with pytest.raises(proximities.Error, match="MINKOWSKY"):
        proximities.matrix(cars[CARS], "MINKOWSKY", p=3)


def test_columns_named_like_keywords_keep_their_labels():
    # TO and ALL are words of a variable list; LOAD's header rule renames
    # them, and the result is labelled with the names given.
    x = np.random.default_rng(7).normal(size=(6, 3))
    frame = pd.DataFrame(x, columns=["to", "all", "x"], index=list("abcdef"))
    between_variables = proximities.matrix(frame, "CORRELATION", view="variable")
    assert list(between_variables.index) == ["to", "all", "x"] == list(between_variables.columns)
    np.testing.assert_allclose(between_variables.to_numpy(), np.corrcoef(x.T), rtol=1e-12)
    between_cases = proximities.matrix(frame, "BLOCK")
    assert list(between_cases.index) == list("abcdef")
    np.testing.assert_allclose(between_cases.to_numpy(), squareform(pdist(x, "cityblock")),
                               rtol=1e-12)
    grouped = proximities.matrix(frame.assign(TO=[1, 1, 1, 2, 2, 2]), split="TO")
    assert sorted(grouped) == [1, 2]
    np.testing.assert_allclose(grouped[2].to_numpy(), squareform(pdist(x[3:])), rtol=1e-12)
