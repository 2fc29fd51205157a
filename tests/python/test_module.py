"""What the module adds around the procedure: data in, labels out, missing
values, groups, errors and warnings, run(), memory and Ctrl-C."""

import os
import signal
import threading
import time
import warnings

import numpy as np
import pandas as pd
import pytest
from scipy.spatial.distance import pdist, squareform

import proximities


def euclid(x):
    return squareform(pdist(np.asarray(x, dtype=float)))


def close(actual, expected):
    np.testing.assert_allclose(actual, expected, rtol=1e-12, atol=1e-12)


# ---- data in, labels out -------------------------------------------------------


def test_an_array_gives_an_array():
    x = np.random.default_rng(1).normal(size=(7, 3))
    got = proximities.matrix(x)
    assert type(got) is np.ndarray and got.shape == (7, 7)
    close(got, euclid(x))


def test_rows_are_labelled_by_the_index_or_the_id_column(cars):
    by_index = proximities.matrix(cars[["mpg", "hp"]])
    assert list(by_index.index) == list(cars.index) == list(by_index.columns)
    frame = cars[["mpg", "hp"]].reset_index()
    by_id = proximities.matrix(frame, id="model")
    assert list(by_id.index) == list(cars.index)
    close(by_id.to_numpy(), by_index.to_numpy())


def test_columns_that_are_not_names_are_renamed_and_keep_their_labels():
    x = np.random.default_rng(2).normal(size=(5, 4))
    frame = pd.DataFrame(x, columns=[0, "fuel use", "fuel_use", "2nd"])
    assert proximities.variable_names(frame.columns) == ["V0", "fuel_use_2", "fuel_use", "V2nd"]
    got = proximities.matrix(frame, "CORRELATION", view="variable")
    assert list(got.index) == [0, "fuel use", "fuel_use", "2nd"] == list(got.columns)
    close(got.to_numpy(), np.corrcoef(x.T))


def test_the_variable_view_is_between_columns(cars):
    got = proximities.matrix(cars[["mpg", "hp", "wt"]], view="variable")
    assert list(got.index) == ["mpg", "hp", "wt"]
    close(got.to_numpy(), euclid(cars[["mpg", "hp", "wt"]].to_numpy().T))


def test_missing_values_leave_their_case_out_as_nan():
    x = np.random.default_rng(3).normal(size=(6, 3))
    frame = pd.DataFrame(x, columns=list("abc"), index=list("pqrstu"))
    frame["b"] = frame["b"].astype(object)
    frame.loc["q", "a"] = np.nan
    frame.loc["s", "b"] = None
    frame["c"] = pd.array(frame["c"], dtype="Float64")
    frame.loc["t", "c"] = pd.NA
    got = proximities.matrix(frame)
    assert list(got.index) == list("pqrstu")
    values = got.to_numpy()
    gone = [1, 3, 4]
    assert np.isnan(values[gone]).all() and np.isnan(values[:, gone]).all()
    kept = [0, 2, 5]
    close(values[np.ix_(kept, kept)], euclid(x[kept]))


def test_a_missing_proximity_is_nan():
    # Kulczynski 1 is a / (b + c): missing for two cases that never differ,
    # and on the diagonal.
    frame = pd.DataFrame([[1, 1, 0, 0], [1, 1, 0, 0], [1, 0, 1, 0]], columns=list("abcd"))
    got = proximities.matrix(frame, "K1").to_numpy()
    assert np.isnan(np.diag(got)).all()
    assert np.isnan(got[0, 1]) and np.isnan(got[1, 0])
    assert got[0, 2] == got[2, 1] == 0.5  # a = 1, b = c = 1


def test_booleans_and_categories_are_values():
    frame = pd.DataFrame(
        {
            "x": [True, False, True, True],
            "y": [False, False, True, True],
            "kind": pd.Categorical(["a", "b", "a", "b"]),
        }
    )
    got = proximities.matrix(frame, "JACCARD", split="kind")
    assert set(got) == {"a", "b"}
    # a: rows 0 and 2 share x; y only in row 2.
    assert got["a"].iloc[0, 1] == pytest.approx(0.5)
    with pytest.raises(proximities.Error, match="kind"):
        proximities.matrix(frame, "JACCARD")  # a string variable is no binary variable


def test_infinite_values_are_refused():
    with pytest.raises(ValueError, match="infinite"):
        proximities.matrix(np.array([[1.0, np.inf], [2.0, 3.0]]))


# ---- measures, groups, standardization ----------------------------------------


def test_measure_parameters_and_transformations(cars):
    x = cars[["mpg", "hp", "wt"]]
    close(
        proximities.matrix(x, "minkowski(1)").to_numpy(),
        squareform(pdist(x.to_numpy(), "cityblock")),
    )
    d = euclid(x)
    off = ~np.eye(len(d), dtype=bool)
    low, high = d[off].min(), d[off].max()
    got = proximities.matrix(x, rescale=True).to_numpy()
    close(got[off], (d[off] - low) / (high - low))
    with pytest.raises(ValueError, match="measure"):
        proximities.matrix(x, "EUCLID /PRINT=NONE")


def test_split_groups_are_keyed_by_their_values(iris):
    shuffled = iris.sample(frac=1.0, random_state=4)  # groups need not be sorted
    got = proximities.matrix(shuffled, split="species")
    assert sorted(got) == ["setosa", "versicolor", "virginica"]
    for species, frame in got.items():
        rows = shuffled[shuffled.species == species]
        assert list(frame.index) == list(rows.index)
        close(frame.to_numpy(), euclid(rows.drop(columns="species")))


def test_split_groups_between_variables(iris):
    got = proximities.matrix(iris, "CORRELATION", view="variable", split="species")
    for species, frame in got.items():
        rows = iris[iris.species == species].drop(columns="species")
        assert list(frame.index) == list(rows.columns)
        close(frame.to_numpy(), np.corrcoef(rows.to_numpy().T))


@pytest.mark.parametrize(
    "method, by, transform",
    [
        ("Z", "variable", lambda x: (x - x.mean(0)) / x.std(0, ddof=1)),
        ("RESCALE", "variable", lambda x: (x - x.min(0)) / (x.max(0) - x.min(0))),
        ("RANGE", "variable", lambda x: x / (x.max(0) - x.min(0))),
        ("MAX", "variable", lambda x: x / x.max(0)),
        ("MEAN", "variable", lambda x: x / x.mean(0)),
        ("SD", "variable", lambda x: x / x.std(0, ddof=1)),
        ("Z", "case", lambda x: (x - x.mean(1, keepdims=True)) / x.std(1, ddof=1, keepdims=True)),
        ("RESCALE", "case",
         lambda x: (x - x.min(1, keepdims=True)) / np.ptp(x, axis=1, keepdims=True)),
    ],
)
def test_standardization(cars, method, by, transform):
    x = cars[["mpg", "disp", "hp", "wt"]].to_numpy()
    got = proximities.matrix(cars[["mpg", "disp", "hp", "wt"]], standardize=method, by=by)
    close(got.to_numpy(), euclid(transform(x)))


# ---- errors and warnings -------------------------------------------------------


def test_an_error_raises_with_its_text_and_location(cars):
    with pytest.raises(proximities.Error) as caught:
        proximities.matrix(cars, "MINKOWSKI(0)")
    error = caught.value
    assert "MINKOWSKI" in error.command
    assert error.location.startswith("proximities.matrix:")
    assert error.text and error.text in str(error)


def test_a_warning_reaches_pythons_warnings():
    frame = pd.DataFrame({"g": [1, 1, 1, 2], "x": [1.0, 2.0, 4.0, 3.0], "y": [0.0, 1.0, 1.0, 2.0]})
    with pytest.warns(proximities.ProximitiesWarning, match="(?i)too few valid"):
        got = proximities.matrix(frame, split="g")
    assert list(got) == [1]  # the group of one case has no matrix
    close(got[1].to_numpy(), euclid(frame[["x", "y"]].iloc[:3]))


# ---- run -----------------------------------------------------------------------


def test_run_returns_tables_messages_saved_files_and_the_report(cars, tmp_path):
    out = tmp_path / "distances.csv"
    result = proximities.run(
        f'PROXIMITIES mpg hp wt /MEASURE=BLOCK /MATRIX=OUT("{out}").', data=cars.reset_index()
    )
    summary = result.table("Case Processing Summary")
    assert summary.loc["Valid"].iloc[0] == len(cars)
    matrix = result.table("Proximity Matrix")
    assert matrix.shape == (len(cars), len(cars))
    close(
        matrix.to_numpy(dtype=float),
        squareform(pdist(cars[["mpg", "hp", "wt"]].to_numpy(), "cityblock")),
    )
    assert result.saved == [str(out)] and out.exists()
    html = result._repr_html_()
    assert "<html" in html.lower() and "Proximity Matrix" in html


def test_run_loads_a_file_and_raises_on_errors():
    path = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "data", "arrests.csv")
    result = proximities.run("PROXIMITIES Murder TO Rape /VIEW=VARIABLE /MEASURE=COSINE.", path)
    assert [severity for severity, _ in result.messages] == ["note"]
    with pytest.raises(proximities.Error, match="NoSuch") as caught:
        proximities.run("PROXIMITIES NoSuch.", path)
    assert caught.value.result.messages[-1][0] == "error"


# ---- memory and Ctrl-C ---------------------------------------------------------


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def test_a_thousand_calls_leave_memory_flat():
    frame = pd.DataFrame(np.random.default_rng(5).normal(size=(40, 6)),
                         columns=[f"c{k}" for k in range(6)])
    frame.iloc[3, 2] = np.nan
    for _ in range(100):  # warm up the allocator and the caches
        proximities.matrix(frame, "CORRELATION", standardize="Z")
    before = resident_bytes()
    for _ in range(1000):
        proximities.matrix(frame, "CORRELATION", standardize="Z")
    grown = resident_bytes() - before
    assert grown < 4 << 20, f"resident memory grew by {grown} bytes over 1000 calls"


def test_ctrl_c_interrupts_a_long_computation():
    x = np.random.default_rng(6).normal(size=(4000, 200))
    main = threading.main_thread().ident
    # The timer fires only if the computation runs without the GIL.
    timer = threading.Timer(0.5, signal.pthread_kill, (main, signal.SIGINT))
    started = time.monotonic()
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            proximities.matrix(x, "MINKOWSKI(3)")
    finally:
        timer.cancel()
    assert time.monotonic() - started < 30
    # The engine is usable again afterwards.
    close(proximities.matrix(x[:5, :3]), euclid(x[:5, :3]))
