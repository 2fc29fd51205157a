#!/ usr / bin / python3
"""Writes expected.json: the proximity matrices that PROXIMITIES must print
for small data sets, worked out here from the definitions of the measures,
the standardizations and the transformations, with nothing taken from the
C++ code or from what it printed.

Run it from anywhere (needs NumPy: apt-get install python3-numpy):
    tests/data/measures/make_expected.py
and commit expected.json with it. tests/unit/measures/measure_values_test.cpp reads
the file, runs every case through the procedure and compares each printed
cell, its number format, the measure label and the footnote.
"""

import json
import math
import os
from fractions import Fraction

import numpy as np

MISSING = None  # a cell the table must show as missing

#-- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- data sets
#Every data set lists variable names and rows; None is an empty(missing)
#field.The case numbers shown for VIEW = CASE are the row numbers, rejected
#rows included.

#Interval data in quarters, so that the sums of squares, of absolute
#differences and of fourth powers are exact in doubles.Row 3 and column v4
#are all zero(no norm for the cosine, no variance for the correlation);
#row 2 has mean 0 and row 8 maximum 0 with negative values; column v2 has
#mean 0(also as a running mean, in this order of rows) and column v3
#maximum 0 with negative values.Row 7 has a missing value.
INTERVAL = (["v1", "v2", "v3", "v4", "v5"], [
    [1.5, 1.5, -0.5, 0, 3],
    [4, -1.5, -2.5, 0, 0],
    [0, 0, 0, 0, 0],
    [-2, 2.5, -1.25, 0, 5.5],
    [3.25, -2.5, -1.5, 0, 2],
    [0.75, 0, -4.5, 0, -2.25],
    [2, None, 1, 0, 1],
    [-1, 0, -0.25, 0, -3],
])

#Counts : row 3 and column c4 all zero; row 6 has a negative count(rejected
#by the count measures).
COUNTS = (["c1", "c2", "c3", "c4", "c5"], [
    [3, 0, 5, 0, 2],
    [1, 4, 2, 0, 6],
    [0, 0, 0, 0, 0],
    [7, 2, 0, 0, 1],
    [2, 9, 4, 0, 3],
    [5, 1, 3, 0, -1],
    [0, 3, 0, 0, 8],
])

#Binary 1 / 0 : rows 1 and 5 alike; rows 4 and 6 never present; columns b1 and
#b4 alike over the valid rows; columns b6 and b7 never present.Rows 8 and 9
#hold 2 and 1.7 : rejected when the absent value 0 is given, and with the
#present value alone 2 counts as absent and 1.7 as present(integer part 1).
BINARY = (["b1", "b2", "b3", "b4", "b5", "b6", "b7"], [
    [1, 0, 1, 1, 0, 0, 0],
    [0, 1, 1, 0, 1, 0, 0],
    [1, 1, 0, 1, 1, 0, 0],
    [0, 0, 0, 0, 0, 0, 0],
    [1, 0, 1, 1, 0, 0, 0],
    [0, 0, 0, 0, 0, 0, 0],
    [1, 1, 1, 1, 1, 0, 0],
    [1, 2, 0, 1, 0, 0, 0],
    [1.7, 0, 1, 0, 1, 0, 0],
])

#The same table coded 2 = present, 1 = absent; rows 8 and 9 hold 0 and 2.5
#(rejected with the values 2 and 1 given; with the present value 2 alone, 0
#counts as absent and 2.5 as present).
BINARY21 = (BINARY[0], [[{1: 2, 0: 1}[v] for v in row] for row in BINARY[1][:7]] + [
    [2, 0, 1, 2, 1, 1, 1],
    [2.5, 1, 2, 1, 2, 1, 1],
])

#Correlations all negative, between the rows and between the columns.
NEGATIVE = (["x", "y", "z"], [[1, 2, 4], [2, 4, 1], [4, 1, 2]])

#One valid case only(VIEW = VARIABLE).
SINGLE = (["x", "y", "z"], [[1, 4, 2.5], [3, None, 1]])


def large_sets():
    """Larger tables, so that the blocks of pairs and of features in the
    computation are filled and have remainders: 19 cases by 10 variables."""
    rng = np.random.default_rng(20240611)
    cases, variables = 19, 10
    names = ["w%d" % (k + 1) for k in range(variables)]
    interval = rng.integers(-40, 41, size=(cases, variables)) / 4.0
    interval[:, 7] = -1.0  # a constant variable
    interval[5, :] = -1.0  # a constant case
    counts = rng.integers(0, 10, size=(cases, variables)).astype(float)
    counts[4, :] = 0
    counts[:, 2] = 0
    counts[11, 6] = -2  # rejected
    binary = (rng.random((cases, variables)) < 0.45).astype(float)
    binary[:, 3] = 1  # always present
    binary[:, 8] = 0  # never present
    binary[9, :] = 0
    binary[9, 3] = 1
    binary[13, 1] = 3  # rejected with the absent value given
    return {
        "interval_large": (names, interval.tolist()),
        "counts_large": (names, counts.tolist()),
        "binary_large": (names, binary.tolist()),
    }


DATASETS = {
    "interval": INTERVAL,
    "counts": COUNTS,
    "binary": BINARY,
    "binary21": BINARY21,
    "negative": NEGATIVE,
    "single": SINGLE,
}
DATASETS.update(large_sets())


def number_text(v):
    if v is None:
        return ""
    if float(v) == int(v):
        return str(int(v))
    return repr(float(v))


def inline_data(dataset):
    names, rows = dataset
    lines = ["INLINE.", ",".join(names)]
    lines += [",".join(number_text(v) for v in row) for row in rows]
    lines.append("END INLINE.")
    return "\n".join(lines) + "\n"

#-- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- - \
    the catalogue
#code : (printed name, kind, cell format).Kind S : similarity, D:
#dissimilarity.The formats are the builder's: coefficient, correlation,
#general, significance, count(the plain number format).
CATALOGUE = {
    1: ("Euclidean Distance", "D", "coefficient"),
    2: ("Cosine of Vectors of Values", "S", "correlation"),
    3: (None, "D", "coefficient"),  # Minkowski (p) or Power (p,r)
    4: ("Squared Euclidean Distance", "D", "coefficient"),
    5: ("City Block Distance", "D", "coefficient"),
    6: ("Chebychev Distance", "D", "coefficient"),
    7: ("Correlation between Vectors of Values", "S", "correlation"),
    8: ("Chi-square between Sets of Frequencies", "D", "significance"),
    9: ("Phi-square between Sets of Frequencies", "D", "general"),
    10: ("Russell and Rao Measure", "S", "significance"),
    11: ("Simple matching Measure", "S", "significance"),
    12: ("Jaccard Measure", "S", "significance"),
    13: ("Sokal and Sneath Measure 1", "S", "significance"),
    14: ("Dice (Czekanowski or Sorenson) Measure", "S", "significance"),
    15: ("Rogers and Tanimoto Measure", "S", "significance"),
    16: ("Sokal and Sneath Measure 2", "S", "significance"),
    17: ("Kulczynski Measure 1", "S", "general"),
    18: ("Sokal and Sneath Measure 3", "S", "general"),
    19: ("Kulczynski Measure 2", "S", "significance"),
    20: ("Sokal and Sneath Measure 4", "S", "significance"),
    21: ("Hamann Measure", "S", "correlation"),
    22: ("Ochiai Measure", "S", "significance"),
    23: ("Sokal and Sneath Measure 5", "S", "significance"),
    24: ("Fourfold Point Correlation", "S", "correlation"),
    25: ("Goodman and Kruskal's Lambda", "S", "significance"),
    26: ("Anderberg's D", "S", "significance"),
    27: ("Yule's Y Coefficient of Colligation", "S", "correlation"),
    28: ("Yule's Q", "S", "correlation"),
    29: ("Binary Euclidean Distance", "D", "general"),
    30: ("Size Difference", "D", "general"),
    31: ("Pattern Difference", "D", "significance"),
    32: ("Binary Squared Euclidean Distance", "D", "count"),
    33: ("Binary Shape Difference", "D", "general"),
    34: ("Dispersion Measure", "D", "correlation"),
    35: ("Variance Measure", "D", "coefficient"),
    36: ("Binary Lance-and-Williams Nonmetric...", "D", "significance"),
}


class Measure:
    """One MEASURE subcommand: its keyword text as typed, its code and
    parameters, and the transformation keywords that follow it."""

    def __init__(self, text, code, p=None, r=None, present=1, absent=0,
                 absolute=False, reverse=False, rescale=False):
        self.text, self.code = text, code
        self.p, self.r = p, r
        self.present, self.absent = present, absent  # absent None: not given
        self.absolute, self.reverse, self.rescale = absolute, reverse, rescale

    def is_binary(self):
        return 10 <= self.code <= 36

    def is_counts(self):
        return self.code in (8, 9)

    def power(self):
        return {1: (2, 2), 3: (self.p, self.r), 4: (2, 1), 5: (1, 1)}.get(self.code)

    def typed(self):
        words = [self.text]
        words += ["ABSOLUTE"] * self.absolute + ["REVERSE"] * self.reverse
        words += ["RESCALE"] * self.rescale
        return " ".join(words)

    def label(self):
        name = CATALOGUE[self.code][0]
        if self.code == 3:
            name = ("Minkowski (%d) Distance" % self.p if self.p == self.r
                    else "Power (%d,%d) Distance" % (self.p, self.r))
        prefixes = ["Rescaled"] * self.rescale + ["Reversed"] * self.reverse
        prefixes += ["Absolute"] * self.absolute
        return " ".join(prefixes + [name])

    def cell_format(self):
        return "coefficient" if self.rescale else CATALOGUE[self.code][2]


BINARY_KEYWORDS = ["RR", "SM", "JACCARD", "SS1", "DICE", "RT", "SS2", "K1", "SS3", "K2",
                   "SS4", "HAMANN", "OCHIAI", "SS5", "PHI", "LAMBDA", "D", "Y", "Q",
                   "BEUCLID", "SIZE", "PATTERN", "BSEUCLID", "BSHAPE", "DISPER",
                   "VARIANCE", "BLWMN"]


def every_measure():
    """Each of the 36 codes once, MINKOWSKI and POWER in several forms (the
    exponent above the root and below it) and DEFAULT beside SEUCLID, in
    their default forms."""
    measures = [
        Measure("EUCLID", 1), Measure("COSINE", 2),
        Measure("MINKOWSKI(3)", 3, 3, 3), Measure("POWER(4,1)", 3, 4, 1),
        Measure("POWER(3,2)", 3, 3, 2), Measure("POWER(2,3)", 3, 2, 3),
        Measure("POWER(2,2)", 3, 2, 2),
        Measure("POWER", 3, 2, 2), Measure("MINKOWSKI(13)", 3, 13, 13),
        Measure("SEUCLID", 4), Measure("DEFAULT", 4), Measure("BLOCK", 5),
        Measure("CHEBYCHEV", 6), Measure("CORRELATION", 7), Measure("CHISQ", 8),
        Measure("PH2", 9),
    ]
    measures += [Measure(k, 10 + i) for i, k in enumerate(BINARY_KEYWORDS)]
    return measures


def binary_measure(keyword, present, absent=None):
    params = "%d" % present if absent is None else "%d,%d" % (present, absent)
    return Measure("%s(%s)" % (keyword, params), 10 + BINARY_KEYWORDS.index(keyword),
                   present=present, absent=absent)

#-- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- the measures
def power_distance(x, p, r):
    """(sum over features of |x_i - x_j|^p)^(1/r); no root when r is 1."""
    d = np.abs(x[:, None, :] - x[None, :, :])
    s = np.sum(d ** p, axis=2)
    if r > 1:
        s = np.where(s > 0, s, 0.0) ** (1.0 / r)
    return s


def chebychev(x):
    return np.max(np.abs(x[:, None, :] - x[None, :, :]), axis=2)


def cosine(x):
    norm = np.sqrt(np.sum(x * x, axis=1))
    m = np.zeros((len(x), len(x)))
    for i in range(len(x)):
        for j in range(len(x)):
            if norm[i] > 0 and norm[j] > 0:
                m[i, j] = np.dot(x[i], x[j]) / (norm[i] * norm[j])
    np.fill_diagonal(m, 1.0)
    return m


def correlation(x):
    """Pearson's correlation across the features; 0 with an item without
    variance."""
    c = x - x.mean(axis=1, keepdims=True)
    ss = np.sum(c * c, axis=1)
    m = np.zeros((len(x), len(x)))
    for i in range(len(x)):
        for j in range(len(x)):
            if ss[i] > 0 and ss[j] > 0:
                m[i, j] = np.dot(c[i], c[j]) / math.sqrt(ss[i] * ss[j])
    np.fill_diagonal(m, 1.0)
    return m


def pearson_chisq(u, v):
    """Pearson's chi-square of the 2 by F table with rows u and v, from the
    expected counts; features where both are 0 have no expected count."""
    ru, rv = u.sum(), v.sum()
    total = ru + rv
    chi = 0.0
    for fu, fv in zip(u, v):
        column = fu + fv
        if column == 0:
            continue
        eu, ev = ru * column / total, rv * column / total
        chi += (fu - eu) ** 2 / eu + (fv - ev) ** 2 / ev
    return chi


def counts_measure(x, code):
    """Chi-square (8) or phi-square (9) between the items' frequencies; 0
    for a pair with an item whose total is 0; 0 on the diagonal."""
    n = len(x)
    m = np.zeros((n, n))
    for i in range(n):
        for j in range(n):
            if i == j or x[i].sum() <= 0 or x[j].sum() <= 0:
                continue
            chi = pearson_chisq(x[i], x[j])
            if chi <= 0:
                continue
            m[i, j] = math.sqrt(chi) if code == 8 else math.sqrt(chi / (x[i].sum() + x[j].sum()))
    return m


def ratio(num, den):
    return MISSING if den <= 0 else num / den


def binary_pair(code, a, b, c, d):
    """One binary measure of a pair from its 2 by 2 table."""
    n = a + b + c + d
    if n <= 0:
        return MISSING
    big_m = max(a, b) + max(a, c) + max(c, d) + max(b, d)
    big_k = max(a + b, c + d) + max(a + c, b + d)
    four = (a + b) * (a + c) * (b + d) * (c + d)
    four_ok = min(a + b, a + c, b + d, c + d) > 0
    if code == 10:
        return a / n
    if code == 11:
        return (a + d) / n
    if code == 12:
        return ratio(a, a + b + c)
    if code == 13:
        return ratio(2 * (a + d), 2 * (a + d) + b + c)
    if code == 14:
        return ratio(2 * a, 2 * a + b + c)
    if code == 15:
        return ratio(a + d, a + d + 2 * (b + c))
    if code == 16:
        return ratio(a, a + 2 * (b + c))
    if code == 17:
        return ratio(a, b + c)
    if code == 18:
        return ratio(a + d, b + c)
    if code == 19:
        if a + b <= 0 or a + c <= 0:
            return MISSING
        return (a / (a + b) + a / (a + c)) / 2
    if code == 20:
        if not four_ok:
            return MISSING
        return (a / (a + b) + a / (a + c) + d / (b + d) + d / (c + d)) / 4
    if code == 21:
        return (a - b - c + d) / n
    if code == 22:
        if a + b <= 0 or a + c <= 0:
            return MISSING
        return math.sqrt(a / (a + b) * (a / (a + c)))
    if code == 23:
        return a * d / math.sqrt(four) if four_ok else MISSING
    if code == 24:
        return (a * d - b * c) / math.sqrt(four) if four_ok else MISSING
    if code == 25:
        return ratio(big_m - big_k, 2 * n - big_k)
    if code == 26:
        return (big_m - big_k) / (2 * n)
    if code == 27:
        return ratio(math.sqrt(a * d) - math.sqrt(b * c), math.sqrt(a * d) + math.sqrt(b * c))
    if code == 28:
        return ratio(a * d - b * c, a * d + b * c)
    if code == 29:
        return math.sqrt(b + c)
    if code == 30:
        return (b - c) ** 2 / n ** 2
    if code == 31:
        return b * c / n ** 2
    if code == 32:
        return b + c
    if code == 33:
        return (n * (b + c) - (b - c) ** 2) / n ** 2
    if code == 34:
        return (a * d - b * c) / n ** 2
    if code == 35:
        return (b + c) / (4 * n)
    if code == 36:
        return ratio(b + c, 2 * a + b + c)
    raise ValueError(code)

def binary_self(code, a, d):
    """An item with itself: a features present, d absent."""
    n = a + d
    if n <= 0 or code in (17, 18):
        return MISSING
    if code == 10:
        return a / n
    if code == 26:
        return min(a, d) / n
    if code == 34:
        return a * d / n ** 2
    return 1.0 if code <= 28 else 0.0


def binary_measure_matrix(x, code, present):
    """present: a feature counts as present when its value, truncated toward
    zero, is the present value."""
    flags = (np.trunc(x) == present).astype(int)
    f = x.shape[1]
    a = flags @ flags.T
    total = flags.sum(axis=1)
    n = len(x)
    m = [[MISSING] * n for _ in range(n)]
    for i in range(n):
        m[i][i] = binary_self(code, float(total[i]), float(f - total[i]))
        for j in range(n):
            if i != j:
                aa = float(a[i, j])
                b, c = float(total[i]) - aa, float(total[j]) - aa
                m[i][j] = binary_pair(code, aa, b, c, f - aa - b - c)
    return m


def compute(measure, items):
    code = measure.code
    if measure.power():
        m = power_distance(items, *measure.power())
        np.fill_diagonal(m, 0.0)
    elif code == 6:
        m = chebychev(items)
    elif code == 2:
        m = cosine(items)
    elif code == 7:
        m = correlation(items)
    elif measure.is_counts():
        m = counts_measure(items, code)
    else:
        return binary_measure_matrix(items, code, measure.present)
    return [[float(v) for v in row] for row in m]

#-- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- cases and screening
def passes_binary(v, measure):
    return v == measure.present or v == measure.absent


def valid_rows(dataset, measure):
    """The rows that take part, with their row numbers: no missing value,
    and for the binary measures with an absent value given only the present
    and absent values, for the count measures no negative count."""
    kept = []
    for number, row in enumerate(dataset[1], start=1):
        if any(v is None for v in row):
            continue
        if measure.is_binary() and measure.absent is not None:
            if not all(passes_binary(v, measure) for v in row):
                continue
        if measure.is_counts() and any(v < 0 for v in row):
            continue
        kept.append((number, [float(v) for v in row]))
    return kept

#-- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- - \
    standardization
METHODS = ["Z", "SD", "RANGE", "MAX", "MEAN", "RESCALE"]


def standardize_vector(x, method):
    """Standardization of one vector with its own statistics (a case's
    values, or a variable's values over the stored cases)."""
    x = np.array(x, dtype=float)
    n = len(x)
    if method in ("Z", "SD"):
        if n <= 1:
            return x
        mean = x.sum() / n
        sd = math.sqrt(np.sum((x - mean) ** 2) / (n - 1))
        if method == "Z":
            x = x - mean
        return x / sd if sd > 0 else x
    lo, hi = x.min(), x.max()
    if method == "RANGE":
        return x / (hi - lo) if hi - lo > 0 else x
    if method == "MAX":
        if abs(hi) > 0:
            return x / hi
        if abs(lo) > 0:
            return x / abs(lo) + 1
        return x
    if method == "MEAN":
        mean = x.sum() / n
        assert mean == 0 or abs(mean) > 1e-9 * np.max(np.abs(x)), "a mean of 0 up to rounding"
        return x / mean if abs(mean) > 0 else x + 1
    if method == "RESCALE":
        return (x - lo) / (hi - lo) if hi - lo > 0 else np.full(n, 0.5)
    raise ValueError(method)

def running_mean(x, grouping):
    """The mean updated case by case: m := x/(w+1) + m*w/(w+1), with the
    last product formed either way round."""
    m = 0.0
    for w, v in enumerate(x):
        m = v / (w + 1) + (m * w / (w + 1) if grouping else m * (w / (w + 1)))
    return m


def standardize_streamed_variable(x, method):
    """Standardization of one variable when the cases are not stored
    (VIEW=VARIABLE): location and scale from one pass over the cases, with a
    running mean and sum of squared deviations, then applied to each case.
    One valid case gives Z scores of 0."""
    x = np.array(x, dtype=float)
    n = len(x)
    if method in ("Z", "SD"):
        mean, ss = 0.0, 0.0
        for w, v in enumerate(x):
            d = v - mean
            mean = v / (w + 1) + mean * w / (w + 1)
            ss += (w / (w + 1)) * d * d
        scale = 1.0
        if n > 1:
            sd = math.sqrt(ss / (n - 1))
            scale = 1 / sd if sd > 0 else 1.0
        return (x - mean) * scale if method == "Z" else x * scale
    if method == "MEAN":
        means = (running_mean(x, True), running_mean(x, False))
        mean = means[0]
        assert (means[0] == 0) == (means[1] == 0), "the mean's test for 0 depends on rounding"
        assert mean == 0 or abs(mean) > 1e-9 * np.max(np.abs(x)), "a mean of 0 up to rounding"
        return x / mean if abs(mean) > 0 else x + 1
    return standardize_vector(x, method)  # min and max are found the same way


def standardize(x, method, by_case, view):
    if by_case:
        return np.array([standardize_vector(row, method) for row in x])
    one = standardize_vector if view == "CASE" else standardize_streamed_variable
    return np.array([one(column, method) for column in x.T]).T

#-- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- transformations
def transform(m, measure):
    """ABSOLUTE, then REVERSE, then RESCALE on the values off the diagonal
    (missing values left alone); returns the matrix and its footnote."""
    n = len(m)
    direction = -1 if CATALOGUE[measure.code][1] == "S" else 1
    absolute_values = False
    off = [(i, j) for i in range(n) for j in range(n) if i != j and m[i][j] is not MISSING]
    if measure.absolute:
        negative = any(m[i][j] < 0 for i, j in off)
        non_negative = any(m[i][j] >= 0 for i, j in off)
        for i, j in off:
            m[i][j] = abs(m[i][j])
        absolute_values = negative and non_negative
        if negative and not non_negative:
            direction = -direction
    if measure.reverse:
        for i, j in off:
            m[i][j] = -m[i][j]
        direction = -direction
    if measure.rescale and off:
        lo = min(m[i][j] for i, j in off)
        hi = max(m[i][j] for i, j in off)
        width = hi - lo if hi - lo != 0 else 1.0
        for i, j in off:
            m[i][j] = (m[i][j] - lo) / width
    kind = "similarity" if direction == -1 else "dissimilarity"
    article = "an absolute " if absolute_values else "a "
    return m, "This is %s%s matrix" % (article, kind)

#-- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- a case
EXACT_CODES = {4, 5, 6, 32}  # sums of exact values, or maxima


def exact_math(measure, items):
    """Integer-valued and power-of-two data make some measures exact in
    doubles: the same values from rational arithmetic prove it."""
    q = [[Fraction(v) for v in row] for row in items]
    n = len(q)
    out = [[0.0] * n for _ in range(n)]
    for i in range(n):
        for j in range(n):
            d = [abs(u - v) for u, v in zip(q[i], q[j])]
            if measure.code == 6:
                out[i][j] = max(d)
            elif measure.code == 32:
                p = measure.present
                out[i][j] = sum(1 for u, v in zip(q[i], q[j])
                                if (math.trunc(u) == p) != (math.trunc(v) == p))
            else:
                out[i][j] = sum(e ** measure.power()[0] for e in d)
    return out


def is_exact(measure, method):
    if method:
        return False
    if measure.code == 3:
        return measure.r == 1
    return measure.code in EXACT_CODES


def make_case(dataset_name, measure, view, method=None, by_case=False):
    dataset = DATASETS[dataset_name]
    names = dataset[0]
    rows = valid_rows(dataset, measure)
    x = np.array([values for _, values in rows])
#Binary measures are never standardized, nor counts with Z.
    used = method if not measure.is_binary() and not (measure.is_counts() and method == "Z") else None
    if used:
        x = standardize(x, used, by_case, view)
    items = x if view == "CASE" else x.T
    labels = [str(number) for number, _ in rows] if view == "CASE" else names
    m = compute(measure, items)
    exact = is_exact(measure, used)
    if exact:
        assert exact_math(measure, items) == m, "not exact: " + measure.text
    m, footnote = transform(m, measure)
    command = "PROXIMITIES %s TO %s /VIEW=%s /MEASURE=%s" % (
        names[0], names[-1], "CASE" if view == "CASE" else "VARIABLE", measure.typed())
    name = "%s VIEW=%s" % (measure.typed(), view)
    if method:
        command += " /STANDARDIZE=%s %s" % ("CASE" if by_case else "VARIABLE", method)
        name += " STANDARDIZE=%s %s" % ("CASE" if by_case else "VARIABLE", method)
    for row in m:
        for v in row:
            assert v is MISSING or math.isfinite(v)
    return {
        "name": name + " on " + dataset_name,
        "code": measure.code,
        "view": view,
        "dataset": dataset_name,
        "commands": command + ".\n",
        "label": measure.label(),
        "footnote": footnote,
        "format": measure.cell_format(),
        "items": labels,
        "exact": exact,
        "values": m,
    }


def family_data(measure):
    if measure.is_binary():
        return "binary"
    return "counts" if measure.is_counts() else "interval"


LARGE_BINARY = {10, 12, 17, 24, 30, 34}


def all_cases():
    cases = []
    views = ["CASE", "VARIABLE"]
    for measure in every_measure():
        for view in views:
            cases.append(make_case(family_data(measure), measure, view))
#The binary measures share their counting, which a few of them
#try on the larger table.
            if not measure.is_binary() or measure.code in LARGE_BINARY:
                cases.append(make_case(family_data(measure) + "_large", measure, view))
    explicit = [
        ("binary21", binary_measure("JACCARD", 2, 1)),
        ("binary21", binary_measure("SM", 2, 1)),
        ("binary21", binary_measure("PHI", 2, 1)),
        ("binary21", binary_measure("BLWMN", 2)),
        ("binary21", binary_measure("D", 2)),
        ("binary", binary_measure("DICE", 1)),
        ("binary", binary_measure("RR", 1)),
        ("binary", binary_measure("K1", 1, 0)),
        ("binary", binary_measure("SIZE", 1)),
        ("binary_large", binary_measure("OCHIAI", 1)),
        ("binary_large", binary_measure("SS5", 1, 0)),
    ]
    transformed = [
        ("interval", Measure("EUCLID", 1, reverse=True)),
        ("interval", Measure("SEUCLID", 4, rescale=True)),
        ("interval", Measure("CORRELATION", 7, absolute=True)),
        ("interval", Measure("COSINE", 2, absolute=True, reverse=True, rescale=True)),
        ("interval", Measure("POWER(3,2)", 3, 3, 2, reverse=True, rescale=True)),
        ("interval", Measure("CHEBYCHEV", 6, absolute=True)),
        ("negative", Measure("CORRELATION", 7, absolute=True)),
        ("negative", Measure("CORRELATION", 7, reverse=True)),
        ("counts", Measure("PH2", 9, rescale=True)),
        ("binary", Measure("PHI", 24, rescale=True)),
        ("binary", Measure("JACCARD", 12, reverse=True, rescale=True)),
        ("binary", Measure("BSEUCLID", 32, rescale=True)),
        ("binary", Measure("DISPER", 34, absolute=True)),
        ("binary_large", Measure("Y", 27, absolute=True, rescale=True)),
    ]
    for dataset, measure in explicit + transformed:
        for view in views:
            cases.append(make_case(dataset, measure, view))
    for method in METHODS:
        for by_case in (False, True):
            for view in views:
#Distances see scale, cosines location and sign.
                for measure in (Measure("SEUCLID", 4), Measure("COSINE", 2)):
                    cases.append(make_case("interval", measure, view, method, by_case))
    for view in views:  # binary measures are never standardized
        cases.append(make_case("binary", Measure("JACCARD", 12), view, "RANGE"))
    for method, by_case in (("Z", False), ("Z", True), ("MEAN", False)):
        cases.append(make_case("single", Measure("EUCLID", 1), "VARIABLE", method, by_case))
    for method in ("MAX", "RESCALE", "Z"):  # Z is not used with counts
        for view in views:
            cases.append(make_case("counts", Measure("CHISQ", 8), view, method))
    return cases


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    document = {
        "about": "Written by make_expected.py; do not edit.",
        "datasets": {name: inline_data(d) for name, d in DATASETS.items()},
        "cases": all_cases(),
    }
    with open(os.path.join(here, "expected.json"), "w") as out:
        out.write("{\n")
        out.write('"about": %s,\n' % json.dumps(document["about"]))
        out.write('"datasets": %s,\n' % json.dumps(document["datasets"], indent=1))
        out.write('"cases": [\n')
        out.write(",\n".join(json.dumps(c) for c in document["cases"]))
        out.write("\n]}\n")
    print("%d cases" % len(document["cases"]))


if __name__ == "__main__":
    main()
