"""Shared helpers: the example data, and the program run on the same data
with its matrix written to a file, to compare with the module bit for bit."""

import os
import pathlib
import subprocess

import numpy as np
import pandas as pd
import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
DATA = ROOT / "examples" / "data"
PROGRAM = os.environ.get("PROXIMITIES_PROGRAM", str(ROOT / "build" / "bin" / "proximities"))


def read_csv(name, **options):
    # round_trip: the same doubles the engine reads from the text.
    return pd.read_csv(DATA / name, float_precision="round_trip", **options)


@pytest.fixture
def cars():
    return read_csv("cars.csv", index_col="model")


@pytest.fixture
def animals():
    return read_csv("animals.csv", index_col="animal")


@pytest.fixture
def iris():
    return read_csv("iris.csv")


@pytest.fixture
def hair_eye():
    return read_csv("hair_eye.csv", index_col="hair")


def run_program(tmp_path, commands):
    """Runs the program on command text; returns its standard output."""
    script = tmp_path / "commands.prox"
    script.write_text(commands)
    done = subprocess.run([PROGRAM, str(script)], capture_output=True, text=True, cwd=ROOT)
    assert done.returncode == 0, done.stdout + done.stderr
    return done.stdout


def program_matrices(tmp_path, csv, proximities, split=None):
    """The matrices the program writes for `PROXIMITIES <proximities>` on a
    file of examples/data: {group value or None: (case numbers or None,
    matrix)}; the case numbers are 1-based, None between variables."""
    out = tmp_path / "matrix.csv"
    group = f"GROUP BY {split}.\n" if split else ""
    run_program(
        tmp_path,
        f'LOAD "{DATA / csv}".\n{group}PROXIMITIES {proximities} /MATRIX=OUT("{out}").\n',
    )
    written = pd.read_csv(out, float_precision="round_trip", keep_default_na=False,
                          na_values=[""])
    items = list(written.columns[list(written.columns).index("VARNAME_") + 1:])
    groups = written.groupby(split, sort=False) if split else [(None, written)]
    result = {}
    for key, rows in groups:
        if "CASENO_" in rows:
            rows = rows[rows["CASENO_"].notna()]
            numbers = rows["CASENO_"].to_numpy(dtype=np.int64)
            values = rows[items[: len(rows)]].to_numpy(dtype=float)
        else:
            numbers, values = None, rows[items].to_numpy(dtype=float)
        result[key] = (numbers, values)
    return result


def assert_same_bits(actual, expected):
    """Equal to the last bit, NaN where the other is NaN."""
    actual = np.asarray(actual, dtype=float)
    expected = np.asarray(expected, dtype=float)
    assert actual.shape == expected.shape
    missing = np.isnan(expected)
    np.testing.assert_array_equal(np.isnan(actual), missing)
    same = actual[~missing].view(np.uint64) == expected[~missing].view(np.uint64)
    if not same.all():
        worst = np.argmax(~same)
        raise AssertionError(
            f"{(~same).sum()} of {same.size} values differ, the first "
            f"{actual[~missing][worst]!r} against {expected[~missing][worst]!r}"
        )
