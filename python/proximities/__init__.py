"""Proximities from Python.

``matrix`` computes one proximity matrix (or one per split group) from a
pandas DataFrame or a NumPy array; ``run`` runs command text and returns
every table, message and saved file. Both go through the engine and the
PROXIMITIES procedure loaded from libprox.so, exactly as the program does,
so the numbers are the program's to the last bit. See docs/python.md.
"""

from __future__ import annotations

import json
import os
import re
import warnings

import numpy as np
import pandas as pd

from . import _native

__all__ = ["matrix", "run", "Result", "Error", "ProximitiesWarning", "variable_names"]

_native.load(os.environ.get("PROXIMITIES_LIBRARY", ""))


class Error(Exception):
    """An error the engine or the procedure reported.

    ``text`` is the message, ``command`` the command it belongs to and
    ``location`` where that command was ("proximities.matrix:2" for the
    commands ``matrix`` makes); ``result`` is the whole output of ``run``.
    """

    def __init__(self, text, command=None, location=None, result=None):
        where = f" (in: {command} at {location})" if location else ""
        super().__init__(text + where)
        self.text = text
        self.command = command
        self.location = location
        self.result = result


class ProximitiesWarning(UserWarning):
    """A warning the engine or the procedure reported."""


def variable_names(headers):
    """The variable names columns headed ``headers`` get in the engine.

    Valid names are kept; others are made valid (``0`` becomes ``V0``,
    ``"fuel use"`` becomes ``fuel_use``) and all differ in more than case.
    """
    return _native.variable_names([str(h) for h in headers])


# ---- data in -------------------------------------------------------------------


def _is_number(value):
    return isinstance(value, (int, float, np.integer, np.floating)) and not isinstance(
        value, (bool, np.bool_)
    )


def _column(series):
    """A column as the engine takes it: float64 with NaN for missing values,
    or a list of texts with "" for missing ones."""
    dtype = series.dtype
    if pd.api.types.is_bool_dtype(dtype):
        values = series.to_numpy(dtype=float, na_value=np.nan)
    elif isinstance(dtype, pd.CategoricalDtype) or not (
        pd.api.types.is_numeric_dtype(dtype) or dtype == object
    ):
        return _texts(series)
    elif dtype == object:
        present = [v for v in series if not _missing(v)]
        if not all(_is_number(v) for v in present):
            return _texts(series)
        values = np.array([np.nan if _missing(v) else float(v) for v in series], dtype=float)
    else:
        values = series.to_numpy(dtype=float, na_value=np.nan)
    if np.isinf(values).any():
        raise ValueError(
            f"column {series.name!r} holds an infinite value; give a finite number or NaN"
        )
    return np.ascontiguousarray(values)


def _missing(value):
    try:
        return bool(pd.isna(value))
    except (TypeError, ValueError):  # a list or array in a cell is a value
        return False


def _texts(series):
    return ["" if _missing(v) else str(v) for v in series]


def _engine_columns(frame):
    names = variable_names(frame.columns)
    columns = [(name, _column(frame.iloc[:, k])) for k, name in enumerate(names)]
    return names, columns


# ---- output back ---------------------------------------------------------------


def _items(document):
    """Every item of the JSON document, procedures and headings opened."""
    stack = list(reversed(document["items"]))
    while stack:
        item = stack.pop()
        yield item
        stack.extend(reversed(item.get("items", [])))


def _messages(document):
    return [
        (m["severity"], m["text"], m.get("command"))
        for m in _items(document)
        if m["type"] == "message"
    ]


def _report(messages, result=None, stacklevel=3):
    """Warnings to Python's warnings; the first error raised as Error."""
    first_error = None
    for severity, text, command in messages:
        if severity == "warning":
            warnings.warn(text, ProximitiesWarning, stacklevel=stacklevel)
        elif severity == "error" and first_error is None:
            first_error = (text, command)
    if first_error is not None:
        text, command = first_error
        command = command or {}
        raise Error(text, command.get("text"), command.get("location"), result)


def _cell_value(cell):
    if cell["kind"] == "number":
        return np.nan if cell["value"] is None else cell["value"]
    return cell["text"]


def _table_frame(table):
    """A pivot table as a DataFrame: the row dimensions down the index, the
    column dimensions across (a MultiIndex where there are several)."""
    dims = table["dimensions"]
    rows = table["layout"]["rows"]
    cols = table["layout"]["columns"]

    def key(cell, which):
        return tuple(
            dims[d]["categories"][cell["position"][d]]["text"]
            if cell["position"][d] is not None
            else ""
            for d in which
        )

    row_keys, col_keys, values = {}, {}, {}
    for cell in table["cells"]:
        r, c = key(cell, rows), key(cell, cols)
        row_keys.setdefault(r, None)
        col_keys.setdefault(c, None)
        values[r, c] = _cell_value(cell)

    def index(keys, which):
        keys = list(keys)
        if len(which) == 1:
            return pd.Index([k[0] for k in keys], name=dims[which[0]]["name"])
        if not which:
            return pd.Index(["Value"] if keys else [])
        return pd.MultiIndex.from_tuples(keys, names=[dims[d]["name"] for d in which])

    frame = pd.DataFrame(
        [[values.get((r, c), np.nan) for c in col_keys] for r in row_keys],
        index=index(row_keys, rows),
        columns=index(col_keys, cols),
    )
    frame.attrs["name"] = table["name"]
    frame.attrs["title"] = table["title"]
    frame.attrs["footnotes"] = [f["text"] for f in table["footnotes"]]
    return frame


_CASE_LABEL = re.compile(r"\d+:")


def _item_labels(frame):
    """A proximity matrix labelled by its items alone: the measure over the
    columns goes to attrs["measure"], and case labels "12:Valiant" (the case
    number and the ID value) become "Valiant"."""
    if frame.attrs["name"] != "Proximity Matrix" or frame.columns.nlevels != 2:
        return frame
    frame.attrs["measure"] = frame.columns.get_level_values(0)[0]
    frame.columns = frame.columns.get_level_values(1)
    if frame.index.nlevels == 1:
        labels = [str(label) for label in frame.index]
        if all(_CASE_LABEL.match(label) for label in labels):
            stripped = [_CASE_LABEL.sub("", label, count=1) for label in labels]
            frame.index = pd.Index(stripped, name=frame.index.name)
            frame.columns = pd.Index(
                [_CASE_LABEL.sub("", str(c), count=1) for c in frame.columns],
                name=frame.columns.name,
            )
    return frame


class Result:
    """What ``run`` gives back.

    ``tables``: every table as a DataFrame, in order (``attrs["title"]`` is
    its title); ``messages``: (severity, text) pairs; ``saved``: the files
    saved; ``html``: the HTML report, which a notebook shows.
    """

    def __init__(self, document, html):
        self.document = document
        self.html = html
        self.tables = [
            _item_labels(_table_frame(t)) for t in _items(document) if t["type"] == "table"
        ]
        self.messages = [(severity, text) for severity, text, _ in _messages(document)]
        self.saved = [
            entry["text"]
            for item in _items(document)
            if item["type"] == "notes" and item["title"] == "Files Saved"
            for entry in item["entries"]
        ]

    def table(self, title):
        """The first table whose title starts with ``title``."""
        for frame in self.tables:
            if frame.attrs["title"].startswith(title):
                return frame
        raise KeyError(title)

    def _repr_html_(self):
        return self.html

    def __repr__(self):
        titles = ", ".join(t.attrs["title"] for t in self.tables)
        return f"<proximities.Result: {len(self.tables)} tables ({titles}), {len(self.messages)} messages>"


def run(commands, data=None):
    """Runs command text and returns a ``Result``.

    ``data`` is a DataFrame (its columns become the working data, renamed by
    ``variable_names`` where they are not valid names) or the path of a CSV
    file to LOAD first. Errors raise ``Error`` (with the whole result as
    ``error.result``); warnings go to Python's warnings.
    """
    columns = None
    if isinstance(data, (str, os.PathLike)):
        path = os.fspath(data).replace('"', '""')
        commands = f'LOAD "{path}".\n' + commands
    elif data is not None:
        _, columns = _engine_columns(_as_frame(data))
    out = _native.run(commands, "proximities.run", columns, html=True)
    document = json.loads(out["json"].decode("utf-8"))
    result = Result(document, out["html"].decode("utf-8"))
    _report(_messages(document), result)
    return result


# ---- matrix --------------------------------------------------------------------

# A keyword and, optionally, numbers in parentheses: nothing else may reach
# the command text.
_NUMBER = r"[-+]?\d+(?:\.\d+)?"
_MEASURE = re.compile(
    rf"\s*([A-Za-z][A-Za-z0-9]*)\s*(\(\s*{_NUMBER}(?:\s*,\s*{_NUMBER})*\s*\))?\s*\Z"
)

# The measures that take parameters, by the names of those parameters, in the
# order MEASURE takes them; the others take none. POWER(p, r) is spelt
# power= and root= because p alone would say Minkowski's single exponent.
_BINARY = ("RR", "SM", "JACCARD", "SS1", "DICE", "RT", "SS2", "K1", "SS3", "K2", "SS4", "HAMANN",
           "OCHIAI", "SS5", "PHI", "LAMBDA", "D", "Y", "Q", "BEUCLID", "SIZE", "PATTERN",
           "BSEUCLID", "BSHAPE", "DISPER", "VARIANCE", "BLWMN")
_PLAIN = ("EUCLID", "COSINE", "DEFAULT", "SEUCLID", "BLOCK", "CHEBYCHEV", "CORRELATION", "CHISQ",
          "PH2")
_PARAMETERS = {
    "POWER": ("power", "root"),
    "MINKOWSKI": ("p",),
    **{word: ("present", "absent") for word in _BINARY},
    **{word: () for word in _PLAIN},
}


def _measure_word(keyword):
    """The measure a keyword stands for, by the command language's rule (the
    whole word, or a prefix of three letters or more that fits one measure);
    None when it stands for none, which the procedure then reports."""
    keyword = keyword.upper()
    if keyword in _PARAMETERS:
        return keyword
    if len(keyword) < 3:
        return None
    words = [w for w in _PARAMETERS if w.startswith(keyword)]
    return words[0] if len(words) == 1 else None


def _whole_number(name, value):
    if isinstance(value, (bool, np.bool_)) or not isinstance(
        value, (int, float, np.integer, np.floating)
    ):
        raise TypeError(f"{name} must be a whole number, not {value!r}")
    if not float(value).is_integer():
        # The procedure would truncate it; a silently different power or
        # code is worse than a refusal.
        raise ValueError(f"{name} must be a whole number, not {value!r}")
    return int(value)


def _parameter_list(keyword, given):
    """The "(...)" that the keyword arguments of a measure make, or ""."""
    given = {name: value for name, value in given.items() if value is not None}
    if not given:
        return ""
    word = _measure_word(keyword)
    if word is None:
        return ""  # not a measure: the procedure says so, with its own hints
    takes = _PARAMETERS[word]
    wrong = [name for name in given if name not in takes]
    if wrong:
        takes_text = " and ".join(f"{name}=" for name in takes) if takes else "no parameters"
        wrong_text = ", ".join(f"{name}=" for name in wrong)
        raise ValueError(f"{word} does not take {wrong_text}; it takes {takes_text}")
    values = {name: _whole_number(name, value) for name, value in given.items()}
    if word == "POWER":
        # As POWER(p) alone: the root defaults to the power, the power to 2.
        power = values.get("power", 2)
        numbers = (power, values.get("root", power))
        if min(numbers) < 1:
            raise ValueError("power and root must be positive whole numbers")
    elif word == "MINKOWSKI":
        numbers = (values["p"],)
        if numbers[0] < 1:
            raise ValueError("p must be a positive whole number")
    else:
        # present alone leaves every other value absent, as JACCARD(p) does.
        present = values.get("present", 1)
        numbers = (present,) if "absent" not in values else (present, values["absent"])
    return "(" + ",".join(str(n) for n in numbers) + ")"


_CHOICES = {
    "view": ("case", "variable"),
    "by": ("variable", "case"),
    "missing": ("exclude", "include"),
}
_METHODS = ("Z", "SD", "RANGE", "MAX", "MEAN", "RESCALE", "NONE")


def _as_frame(data):
    if isinstance(data, pd.DataFrame):
        return data
    array = np.asarray(data)
    if array.ndim != 2:
        raise ValueError(f"data must be two-dimensional, not of shape {array.shape}")
    return pd.DataFrame(array)


def _measure_text(measure, parameters):
    """MEASURE's keyword and parameter list, from either spelling."""
    found = _MEASURE.match(measure) if isinstance(measure, str) else None
    if not found:
        raise ValueError(f"measure {measure!r} is not a measure keyword with optional (parameters)")
    keyword, listed = found.group(1).upper(), found.group(2) or ""
    from_keywords = _parameter_list(keyword, parameters)
    if listed and from_keywords:
        raise ValueError(
            f"measure {measure!r} already has its parameters; give them in the measure "
            "or as keyword arguments, not both"
        )
    return keyword + (listed or from_keywords)


def _command(names, measure, view, standardize, by, absolute, reverse, rescale, missing):
    text = measure
    for flag, word in ((absolute, "ABSOLUTE"), (reverse, "REVERSE"), (rescale, "RESCALE")):
        if flag:
            text += " " + word
    parts = [f"PROXIMITIES {' '.join(names)}", f"/VIEW={view.upper()}", f"/MEASURE={text}"]
    if standardize is not None:
        if str(standardize).upper() not in _METHODS:
            raise ValueError(f"standardize must be one of {', '.join(_METHODS)} or None")
        parts.append(f"/STANDARDIZE={by.upper()} {str(standardize).upper()}")
    parts += [f"/MISSING={missing.upper()}", "/PRINT=NONE", "/MATRIX=OUT(*)."]
    return "\n  ".join(parts)


def matrix(
    data,
    measure="EUCLID",
    *,
    p=None,
    power=None,
    root=None,
    present=None,
    absent=None,
    view="case",
    standardize=None,
    by="variable",
    absolute=False,
    reverse=False,
    rescale=False,
    id=None,
    missing="exclude",
    split=None,
):
    """The proximity matrix of a DataFrame or a 2-D array.

    measure: a keyword with its parameters as in the command language
    ("EUCLID", "MINKOWSKI(3)", "JACCARD(2,1)"), or the keyword alone with
    its parameters as keyword arguments: p for MINKOWSKI, power and root for
    POWER, present and absent for the binary measures; view: "case" (between rows)
    or "variable" (between columns); standardize: None or one of "Z", "SD",
    "RANGE", "MAX", "MEAN", "RESCALE", within each variable (by="variable")
    or each case (by="case"); absolute, reverse, rescale: the transformations
    of the result; id: a column whose values label the rows (else the
    index); missing: "exclude" or "include"; split: a column (or list of
    columns) whose values make groups, one matrix each.

    Returns a DataFrame labelled by the items (the id values or the index
    between cases, the column names between variables), a 2-D array for an
    array, or with split a dict of them keyed by group value. A case left
    out for a missing value has NaN in its row and column; a missing
    proximity is NaN.
    """
    for name, value in (("view", view), ("by", by), ("missing", missing)):
        if str(value).lower() not in _CHOICES[name]:
            raise ValueError(f"{name} must be one of {', '.join(_CHOICES[name])}")
    view, by, missing = view.lower(), by.lower(), missing.lower()
    measure = _measure_text(
        measure, dict(p=p, power=power, root=root, present=present, absent=absent)
    )
    is_array = not isinstance(data, pd.DataFrame)
    frame = _as_frame(data)
    if is_array and (id is not None or split is not None):
        raise ValueError("id and split name columns of a DataFrame")
    split_columns = [] if split is None else [split] if not isinstance(split, list) else split
    for column in split_columns + ([] if id is None else [id]):
        if column not in frame.columns:
            raise KeyError(column)
    labels = frame.index if id is None else pd.Index(frame[id])
    variables = [c for c in frame.columns if c != id and c not in split_columns]
    if not variables:
        raise ValueError("there are no variables to compute proximities from")

    order = _group_order(frame, split_columns)
    engine_frame = frame.iloc[order][split_columns + variables]
    names, columns = _engine_columns(engine_frame)
    split_names, item_names = names[: len(split_columns)], names[len(split_columns) :]
    commands = _command(item_names, measure, view, standardize, by, absolute, reverse, rescale, missing)
    if split_names:
        commands = f"GROUP BY {' '.join(split_names)}.\n" + commands

    out = _native.run(commands, "proximities.matrix", columns, matrix=True)
    _report(_messages(json.loads(out["json"].decode("utf-8"))))
    written = out["matrix"]
    groups = _Groups(engine_frame, split_columns)
    if view == "case":
        matrices = _case_matrices(written, groups, labels[order], is_array)
    else:
        matrices = _variable_matrices(written, groups, split_names, item_names, variables, is_array)
    if split_columns:
        return matrices
    if not matrices:
        n = len(frame) if view == "case" else len(variables)
        item_labels = labels if view == "case" else pd.Index(variables)
        return _labelled(np.full((n, n), np.nan), item_labels, is_array)
    return matrices[None]


def _group_order(frame, split_columns):
    """The rows to give the engine, in the order it takes them: all of them
    without split, else those with a group, sorted by group (stably)."""
    if not split_columns:
        return np.arange(len(frame))
    keep = ~frame[split_columns].isna().any(axis=1).to_numpy()
    order = np.flatnonzero(keep)
    keys = frame[split_columns].iloc[order]
    return order[np.lexsort([pd.factorize(keys[c], sort=True)[0] for c in reversed(split_columns)])]


class _Groups:
    """The split groups of the rows given to the engine: the key of each row
    (None without split) and each group's (begin, end), in the engine's order."""

    def __init__(self, engine_frame, split_columns):
        if split_columns:
            self.keys = [
                tuple(row) if len(split_columns) > 1 else row[0]
                for row in engine_frame[split_columns].itertuples(index=False)
            ]
        else:
            self.keys = [None] * len(engine_frame)
        n = len(self.keys)
        starts = [k for k in range(n) if k == 0 or self.keys[k] != self.keys[k - 1]]
        self.bounds = list(zip(starts, starts[1:] + [n]))
        self.frame, self.columns = engine_frame, split_columns


def _case_matrices(written, groups, labels, is_array):
    """Between cases: one matrix per group with enough valid cases, over all
    the group's rows, a case left out having NaN in its row and column."""
    values = written["values"]
    numbers = dict(written["leading"]).get("CASENO_", np.empty(0))
    valid = np.flatnonzero(~np.isnan(numbers))  # the padding rows have none
    cases = numbers[valid].astype(np.int64) - 1  # 0-based, in the engine's order
    matrices = {}
    for begin, end in groups.bounds:
        mine = valid[(cases >= begin) & (cases < end)]
        if not len(mine):
            continue  # too few valid cases: the procedure warned
        # Row k of a group and its k-th item column are the same case.
        at = numbers[mine].astype(np.int64) - 1 - begin
        if len(mine) == len(numbers) == end - begin and (at == np.arange(len(at))).all():
            full = values  # every case kept, one group: the matrix as written
        else:
            full = np.full((end - begin, end - begin), np.nan)
            full[np.ix_(at, at)] = values[np.ix_(mine, np.arange(len(mine)))]
        matrices[groups.keys[begin]] = _labelled(full, labels[begin:end], is_array)
    return matrices


def _variable_matrices(written, groups, split_names, item_names, variables, is_array):
    """Between variables: one matrix per group, rows and columns in the
    order of the data's columns."""
    values, varnames = written["values"], dict(written["leading"]).get("VARNAME_", [])
    if not len(varnames):
        return {}
    position = {name.lower(): k for k, name in enumerate(item_names)}
    at_columns = [position[c.lower()] for c in written["items"]]
    group_of_row = _variable_view_groups(dict(written["leading"]), split_names, groups)
    matrices = {}
    for key in dict.fromkeys(group_of_row):
        mine = [r for r, g in enumerate(group_of_row) if g == key]
        full = np.full((len(item_names), len(item_names)), np.nan)
        at_rows = [position[varnames[r].lower()] for r in mine]
        full[np.ix_(at_rows, at_columns)] = values[mine]
        matrices[key] = _labelled(full, pd.Index(variables), is_array)
    return matrices


def _variable_view_groups(leading, split_names, groups):
    """The group key of each row of a matrix between variables, found from
    the split values the engine wrote in the row."""
    rows = len(leading["VARNAME_"])
    if not split_names:
        return [None] * rows
    by_value = {}
    for begin, _ in groups.bounds:
        written = tuple(_as_written(v) for v in groups.frame[groups.columns].iloc[begin])
        by_value[written] = groups.keys[begin]
    return [
        by_value[tuple(_as_written(leading[name][r]) for name in split_names)] for r in range(rows)
    ]


def _as_written(value):
    if isinstance(value, str):
        return value.rstrip()
    if _is_number(value):
        return float(value)
    return str(value).rstrip()


def _labelled(values, labels, is_array):
    if is_array:
        return values
    return pd.DataFrame(values, index=labels.copy(), columns=labels.copy())
