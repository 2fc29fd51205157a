#!/usr/bin/python3
"""End-to-end runs on CSV files as people have them: written here the way
pandas, R and spreadsheets write them, loaded by the program with its
defaults, and the proximity matrix it saves (/MATRIX=OUT, every digit)
compared with values computed here, in plain Python, from the numbers
before they were written out.

    tests/e2e/dialects_test.py build/bin/proximities
"""
import csv
import io
import math
import os
import subprocess
import sys
import tempfile
import unittest

PROGRAM = None

# A small table: eight states (rows, with names as pandas' index) and four
# measures; None is a missing value.
STATES = ["Alabama", "Alaska", "Arizona", "Arkansas", "California", "Colorado", "Delaware",
          "Florida"]
TABLE = [
    [13.2, 236, 58, 21.2],
    [10.0, 263, 48, 44.5],
    [8.1, 294, 80, None],
    [8.8, 190, 50, 19.5],
    [9.0, 276, 91, 40.6],
    [7.9, 204, 78, 38.7],
    [5.9, None, 72, 15.8],
    [15.4, 335, 80, 31.9],
]


def euclid(x, y):
    return math.sqrt(sum((a - b) ** 2 for a, b in zip(x, y)))


def block(x, y):
    return sum(abs(a - b) for a, b in zip(x, y))


def pearson(x, y):
    n = len(x)
    mx, my = sum(x) / n, sum(y) / n
    sxy = sum((a - mx) * (b - my) for a, b in zip(x, y))
    sxx = sum((a - mx) ** 2 for a in x)
    syy = sum((b - my) ** 2 for b in y)
    return sxy / math.sqrt(sxx * syy)


def complete_rows(rows):
    """The rows without a missing value (the procedure's listwise default)."""
    return [(k, r) for k, r in enumerate(rows) if None not in r]


def columns_of(rows):
    return [list(c) for c in zip(*rows)]


def read_matrix(path):
    """The matrix file: the header and the rows of the PROX matrix."""
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    header, body = rows[0], [r for r in rows[1:] if r[0] == "PROX"]
    start = header.index("VARNAME_") + 1
    return header, body, [[float(v) for v in r[start:]] for r in body]


class Run:
    def __init__(self, proc):
        self.status = proc.returncode
        self.out = proc.stdout
        self.err = proc.stderr
        self.text = proc.stdout + proc.stderr


def run(args, cwd, stdin=None, env=None):
    proc = subprocess.run([PROGRAM] + args, cwd=cwd, input=stdin, capture_output=True, text=True,
                          env=env, timeout=120)
    return Run(proc)


class Dialects(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="prox-dialects-")
        self.dir = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def write(self, name, text):
        with open(os.path.join(self.dir, name), "w", newline="") as f:
            f.write(text)

    def assertMatrix(self, got, want, places=12):
        self.assertEqual(len(got), len(want))
        for i, (g_row, w_row) in enumerate(zip(got, want)):
            self.assertEqual(len(g_row), len(w_row))
            for j, (g, w) in enumerate(zip(g_row, w_row)):
                self.assertAlmostEqual(g, w, delta=10 ** -places * max(1.0, abs(w)),
                                       msg=f"cell {i + 1},{j + 1}")

    # ---- pandas ---------------------------------------------------------

    def pandas_text(self):
        """df.to_csv("f.csv") with the states as index and na_rep="NA" (R's
        write.csv writes NA the same way): the index column's header is empty."""
        out = io.StringIO()
        out.write(",Murder,Assault,UrbanPop,Rape\n")
        for name, row in zip(STATES, TABLE):
            out.write(name + "," + ",".join("NA" if v is None else repr(v) for v in row) + "\n")
        return out.getvalue()

    def test_pandas_export_with_index_and_NA(self):
        self.write("arrests.csv", self.pandas_text())
        r = run(["--data", "arrests.csv", "-e",
                 "PROXIMITIES Murder TO Rape /ID=rowname /PRINT=NONE /MATRIX=OUT('m.csv')."],
                self.dir)
        self.assertEqual(r.status, 0, r.text)
        self.assertIn("it is read as the string variable rowname", r.text)
        self.assertIn('Read as missing (the empty field and "NA"): 1 value of Assault, '
                      '1 value of Rape.', r.text)
        _, body, matrix = read_matrix(os.path.join(self.dir, "m.csv"))
        kept = complete_rows(TABLE)
        self.assertEqual([row[1] for row in body], [STATES[k] for k, _ in kept])
        self.assertMatrix(matrix, [[euclid(a, b) for _, b in kept] for _, a in kept])

        # ALL leaves the index column out, and says so.
        r = run(["--data", "arrests.csv", "-e",
                 "PROXIMITIES ALL /ID=rowname /PRINT=NONE /MATRIX=OUT('all.csv')."], self.dir)
        self.assertEqual(r.status, 0, r.text)
        self.assertIn("ALL stands for the numeric variables here; it leaves out the string "
                      "variable rowname.", r.out)
        _, _, everything = read_matrix(os.path.join(self.dir, "all.csv"))
        self.assertEqual(everything, matrix)

    def test_r_write_csv_quotes_every_text(self):
        out = io.StringIO()
        out.write('"","Murder","Assault","UrbanPop","Rape"\n')
        for k, row in enumerate(TABLE):
            out.write(f'"{k + 1}",' + ",".join("NA" if v is None else repr(v) for v in row) + "\n")
        self.write("r.csv", out.getvalue())
        r = run(["--data", "r.csv", "-e",
                 "PROXIMITIES Murder TO Rape /VIEW=VARIABLE /MEASURE=CORRELATION /PRINT=NONE "
                 "/MATRIX=OUT('m.csv')."], self.dir)
        self.assertEqual(r.status, 0, r.text)
        _, _, matrix = read_matrix(os.path.join(self.dir, "m.csv"))
        cols = columns_of([row for _, row in complete_rows(TABLE)])
        self.assertMatrix(matrix, [[pearson(a, b) for b in cols] for a in cols])

    # ---- spreadsheets in other locales, TSV --------------------------------

    def test_semicolons_and_decimal_commas(self):
        """What a spreadsheet in a German or French locale saves as CSV."""
        lines = ["Land;Mord;Raub;Stadt;Vergewaltigung"]
        for name, row in zip(STATES, TABLE):
            lines.append(name + ";" + ";".join("" if v is None else str(v).replace(".", ",")
                                               for v in row))
        self.write("land.csv", "\r\n".join(lines) + "\r\n")
        command = "PROXIMITIES Mord TO Vergewaltigung /PRINT=NONE /MATRIX=OUT('m.csv')."
        # Without the decimal mark the columns with fractions are text, and
        # the note says why and what to give.
        r = run(["--data", "land.csv", "-e", "DECLARE MISSING Mord = 99."], self.dir)
        self.assertIn("fields separated by semicolons", r.text)
        self.assertIn('Mord (line 2: "13,2")', r.text)
        self.assertIn("LOAD /DECIMAL=COMMA reads numbers with decimal commas.", r.text)
        self.assertNotIn("Raub (", r.text)  # whole numbers: numeric all the same

        for args in (["--data", "land.csv", "--decimal", "comma", "-e", command],
                     ["-e", "LOAD 'land.csv' /SEPARATOR=SEMICOLON /DECIMAL=COMMA.", "-e",
                      command]):
            r = run(args, self.dir)
            self.assertEqual(r.status, 0, r.text)
            self.assertIn("(fields separated by semicolons; decimal comma)", r.text)
            _, _, matrix = read_matrix(os.path.join(self.dir, "m.csv"))
            kept = complete_rows(TABLE)
            self.assertMatrix(matrix, [[euclid(a, b) for _, b in kept] for _, a in kept])

    def test_tab_separated_values(self):
        lines = ["state\tmurder\tassault\turban pop\trape"]
        for name, row in zip(STATES, TABLE):
            lines.append(name + "\t" + "\t".join("" if v is None else str(v) for v in row))
        self.write("arrests.tsv", "\n".join(lines) + "\n")
        r = run(["--data", "arrests.tsv", "-e",
                 "PROXIMITIES murder TO rape /ID=state /MEASURE=BLOCK /PRINT=NONE "
                 "/MATRIX=OUT('m.csv')."], self.dir)
        self.assertEqual(r.status, 0, r.text)
        self.assertIn("(fields separated by tabs)", r.text)
        self.assertIn('column 4 "urban pop" as urban_pop', r.text)
        _, body, matrix = read_matrix(os.path.join(self.dir, "m.csv"))
        kept = complete_rows(TABLE)
        self.assertEqual([row[1] for row in body], [STATES[k] for k, _ in kept])
        self.assertMatrix(matrix, [[block(a, b) for _, b in kept] for _, a in kept])

    def test_vertical_bars_with_the_separator_inside_quotes(self):
        lines = ['name|"a|b"|c', '"x|y"|1|2', "z|4|6", "w|0|0"]
        self.write("bars.txt", "\n".join(lines) + "\n")
        r = run(["--data", "bars.txt", "-e",
                 "PROXIMITIES a_b c /ID=name /PRINT=NONE /MATRIX=OUT('m.csv')."], self.dir)
        self.assertEqual(r.status, 0, r.text)
        _, body, matrix = read_matrix(os.path.join(self.dir, "m.csv"))
        self.assertEqual([row[1] for row in body], ["x|y", "z", "w"])
        points = [(1, 2), (4, 6), (0, 0)]
        self.assertMatrix(matrix, [[euclid(a, b) for b in points] for a in points])

    def test_missing_texts_given_on_the_command_line(self):
        """A statistics package's export: -99 for no value, NA a text."""
        lines = ["state,murder,assault"]
        for name, row in zip(STATES, TABLE):
            lines.append(name + "," + ",".join("-99" if v is None else str(v) for v in row[:2]))
        self.write("pkg.csv", "\n".join(lines) + "\n")
        self.write("job.prox", "PROXIMITIES murder assault /ID=state /PRINT=NONE "
                               "/MATRIX=OUT('m.csv').\n")
        # Each --missing takes one text: job.prox stays a command file.
        r = run(["--data", "pkg.csv", "--missing", "", "--missing", "-99", "job.prox"], self.dir)
        self.assertEqual(r.status, 0, r.text)
        self.assertIn('Read as missing (the empty field and "-99"): 1 value of assault.', r.text)
        _, body, matrix = read_matrix(os.path.join(self.dir, "m.csv"))
        kept = complete_rows([row[:2] for row in TABLE])
        self.assertEqual([row[1] for row in body], [STATES[k] for k, _ in kept])
        self.assertMatrix(matrix, [[euclid(a, b) for _, b in kept] for _, a in kept])

    # ---- headers -------------------------------------------------------------

    def test_headers_with_spaces_symbols_and_duplicates(self):
        header = ["first name", "Sales (EUR)", "x", "X", "x_2", "2019", "% share"]
        rows = [["Ann", 1.5, 2, 3, 4, 5, 6], ["Bob", 2.5, 0, 1, 7, 1, 2],
                ["Cy", 0.5, 4, 4, 4, 0, 9]]
        out = io.StringIO()
        csv.writer(out, lineterminator="\n").writerow(header)
        for row in rows:
            csv.writer(out, lineterminator="\n").writerow(row)
        self.write("h.csv", out.getvalue())
        names = ["first_name", "Sales_EUR", "x", "X_3", "x_2", "V2019", "share"]
        r = run(["--data", "h.csv", "-e",
                 f"PROXIMITIES {' '.join(names[1:])} /VIEW=VARIABLE /PRINT=NONE "
                 "/MATRIX=OUT('m.csv').", "-e", "EXPORT 'back.csv'."], self.dir)
        self.assertEqual(r.status, 0, r.text)
        self.assertIn('column 1 "first name" as first_name, column 2 "Sales (EUR)" as Sales_EUR, '
                      'column 4 "X" as X_3, column 6 "2019" as V2019, column 7 "% share" as share.',
                      r.text)
        header_out, _, matrix = read_matrix(os.path.join(self.dir, "m.csv"))
        self.assertEqual(header_out[2:], names[1:])
        cols = columns_of([row[1:] for row in rows])
        self.assertMatrix(matrix, [[euclid(a, b) for b in cols] for a in cols])
        # The header texts are kept as labels, and the names go out with EXPORT.
        with open(os.path.join(self.dir, "back.schema.json")) as f:
            schema = f.read()
        self.assertIn('"title": "Sales (EUR)"', schema)
        with open(os.path.join(self.dir, "back.csv")) as f:
            self.assertEqual(next(csv.reader(f)), names)

    # ---- standard input ----------------------------------------------------------

    def test_data_piped_on_standard_input(self):
        tmp = os.path.join(self.dir, "tmp")
        os.mkdir(tmp)
        env = dict(os.environ, TMPDIR=tmp)
        kept = complete_rows(TABLE)
        want = [[euclid(a, b) for _, b in kept] for _, a in kept]
        # Every PROXIMITIES reads the data twice or more (/STANDARDIZE needs a
        # pass of its own), and a second LOAD "-" finds them again.
        for args in (["--data", "-", "-e",
                      "PROXIMITIES Murder TO Rape /ID=rowname /PRINT=NONE /MATRIX=OUT('m.csv')."],
                     ["cmd.prox"]):
            self.write("cmd.prox", "LOAD \"-\".\n"
                       "PROXIMITIES Murder TO Rape /ID=rowname /PRINT=NONE /MATRIX=OUT('m.csv').\n"
                       "LOAD \"-\".\n"  # the same copy again
                       "PROXIMITIES Murder TO Rape /STANDARDIZE=RANGE /PRINT=NONE "
                       "/MATRIX=OUT('r.csv').\n")
            r = run(args, self.dir, stdin=self.pandas_text(), env=env)
            self.assertEqual(r.status, 0, r.text)
            self.assertIn("8 cases of 5 variables from standard input", r.text)
            _, body, matrix = read_matrix(os.path.join(self.dir, "m.csv"))
            self.assertEqual([row[1] for row in body], [STATES[k] for k, _ in kept])
            self.assertMatrix(matrix, want)
            self.assertEqual(os.listdir(tmp), [], "the copy of standard input is left behind")
        # Rescaled to 0..1 over the cases used, then the distances.
        rows = [row for _, row in kept]
        lows = [min(c) for c in columns_of(rows)]
        highs = [max(c) for c in columns_of(rows)]
        scaled = [[(v - lo) / (hi - lo) for v, lo, hi in zip(row, lows, highs)] for row in rows]
        _, _, matrix = read_matrix(os.path.join(self.dir, "r.csv"))
        self.assertMatrix(matrix, [[euclid(a, b) for b in scaled] for a in scaled])

    def test_standard_input_cannot_hold_commands_and_data(self):
        r = run(["--data", "-"], self.dir, stdin="a,b\n1,2\n")
        self.assertEqual(r.status, 2)
        self.assertIn("--data - reads the data from standard input", r.err)
        r = run([], self.dir, stdin="LOAD \"-\".\nPROXIMITIES a b.\n")
        self.assertEqual(r.status, 1)
        self.assertIn("Standard input holds the commands", r.text)
        self.assertIn("Skipped: the LOAD at <stdin>:1 failed", r.text)

    # ---- a failed LOAD -----------------------------------------------------------------

    def test_commands_after_a_failed_load_are_skipped_with_a_note(self):
        self.write("run.prox", "LOAD \"nothere.csv\".\n"
                               "DECLARE MISSING Murder = 99.\n"
                               "GROUP BY state.\n"
                               "PROXIMITIES Murder Assault /ID=state.\n"
                               "EXPORT \"out.csv\".\n")
        r = run(["run.prox"], self.dir)
        self.assertEqual(r.status, 1)
        # Once in the document and once on standard error, as every error.
        self.assertEqual(r.out.count("Error:"), 1, r.text)
        self.assertEqual(r.err.count("Error:"), 1, r.text)
        self.assertIn("The file nothere.csv does not exist.", r.text)
        self.assertEqual(r.out.count("Note: Skipped: the LOAD at run.prox:1 failed"), 4, r.text)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "out.csv")))

        r = run(["--data", "nothere.csv", "-e", "PROXIMITIES Murder Assault /ID=state."],
                self.dir)
        self.assertEqual(r.status, 1)
        self.assertNotIn("Invalid ID", r.text)
        self.assertIn("Skipped: the LOAD at --data:1 failed", r.text)

    def test_command_line_mistakes_are_usage_errors(self):
        for args in (["--separator", ";", "-e", "GROUP OFF."],
                     ["--data", "x.csv", "--separator", "semi", "-e", "GROUP OFF."],
                     ["--data", "x.csv", "--decimal", "dot", "-e", "GROUP OFF."]):
            r = run(args, self.dir)
            self.assertEqual(r.status, 2, args)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)
