#!/usr/bin/python3
"""End-to-end runs of the matrix outputs: --format csv (a labelled square per
matrix, one file per split-file group), --format long (item pairs), the
"matrix" object of the JSON output (validated against
docs/matrix-output.schema.json) and the words of a matrix file's sidecar.
Every matrix is compared with values computed here with NumPy and SciPy.

    tests/e2e/matrix_formats_test.py build/bin/proximities
"""
import io
import json
import os
import subprocess
import sys
import tempfile
import unittest

import jsonschema
import numpy as np
import pandas as pd
from scipy.spatial.distance import cdist, pdist, squareform

PROGRAM = None
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CARS = os.path.join(ROOT, "examples", "data", "cars.csv")
IRIS = os.path.join(ROOT, "examples", "data", "iris.csv")
SCHEMA = os.path.join(ROOT, "docs", "matrix-output.schema.json")


def run(args, cwd=None, check=True):
    done = subprocess.run([PROGRAM] + args, capture_output=True, text=True, cwd=cwd)
    if check and done.returncode != 0:
        raise AssertionError(f"exit {done.returncode}: {done.stderr}")
    return done


def cars_z_distances(columns):
    cars = pd.read_csv(CARS, index_col="model")[columns]
    z = (cars - cars.mean()) / cars.std(ddof=1)
    return pd.DataFrame(squareform(pdist(z.to_numpy())), index=cars.index, columns=cars.index)


def same_bits(a, b):
    a = np.asarray(a, dtype=float)
    b = np.asarray(b, dtype=float)
    return a.shape == b.shape and np.array_equal(np.isnan(a), np.isnan(b)) and np.array_equal(
        np.nan_to_num(a).view(np.uint64), np.nan_to_num(b).view(np.uint64))


class SquareCsv(unittest.TestCase):
    def test_labelled_square_reads_back_as_the_matrix(self):
        out = run(["--data", CARS, "--format", "csv", "-e",
                   "PROXIMITIES mpg hp wt /ID=model /STANDARDIZE=Z."]).stdout
        d = pd.read_csv(io.StringIO(out), index_col=0)
        expected = cars_z_distances(["mpg", "hp", "wt"])
        self.assertEqual(list(d.index), list(expected.index))
        self.assertEqual(list(d.columns), list(expected.index))
        np.testing.assert_allclose(d.to_numpy(), expected.to_numpy(), rtol=1e-12, atol=1e-12)

    def test_values_are_the_matrix_files_bits(self):
        with tempfile.TemporaryDirectory() as tmp:
            run(["--data", CARS, "-o", "d.csv", "-e",
                 'PROXIMITIES mpg hp wt /ID=model /MEASURE=MINKOWSKI(3) /MATRIX=OUT("m.csv").'],
                cwd=tmp)
            square = pd.read_csv(os.path.join(tmp, "d.csv"), index_col=0)
            saved = pd.read_csv(os.path.join(tmp, "m.csv"))
            items = [c for c in saved.columns if c[:3] == "VAR" and c[3:].isdigit()]
            self.assertTrue(same_bits(square.to_numpy(), saved[items].to_numpy()))
            self.assertEqual(list(square.index), list(saved["ID"]))

    def test_missing_values_are_empty_fields_and_labels_are_quoted(self):
        data = 'name,a,b\n"x, the first",1,0\ny,1,1\n"z ""q""",0,0\n'
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "bin.csv")
            with open(path, "w") as f:
                f.write(data)
            # Kulczynski 1 has no value on the diagonal, nor where nothing differs.
            out = run(["--data", path, "--format", "csv", "-e",
                       "PROXIMITIES a b /ID=name /MEASURE=K1."]).stdout
        d = pd.read_csv(io.StringIO(out), index_col=0)
        self.assertEqual(list(d.index), ["x, the first", "y", 'z "q"'])
        self.assertTrue(np.isnan(np.diag(d.to_numpy())).all())
        self.assertIn(",,", out.splitlines()[1] + ",")

    def test_variables_without_id_use_names_and_cases_use_numbers(self):
        out = run(["--data", CARS, "--format", "csv", "-e",
                   "PROXIMITIES mpg hp wt /VIEW=VARIABLE /MEASURE=CORRELATION."]).stdout
        d = pd.read_csv(io.StringIO(out), index_col=0)
        cars = pd.read_csv(CARS)[["mpg", "hp", "wt"]]
        self.assertEqual(list(d.index), ["mpg", "hp", "wt"])
        np.testing.assert_allclose(d.to_numpy(), cars.corr().to_numpy(), rtol=1e-12)
        out = run(["--data", CARS, "--format", "csv", "-e", "PROXIMITIES mpg hp."]).stdout
        d = pd.read_csv(io.StringIO(out), index_col=0)
        self.assertEqual(list(d.index), list(range(1, 33)))

    def test_one_file_per_group_with_a_note_for_each(self):
        with tempfile.TemporaryDirectory() as tmp:
            done = run(["--data", IRIS, "-o", "dist.csv", "-e",
                        "GROUP BY species.", "-e", "PROXIMITIES sepal_length TO petal_width."],
                       cwd=tmp)
            self.assertEqual(sorted(os.listdir(tmp)), ["dist-1.csv", "dist-2.csv", "dist-3.csv"])
            self.assertIn("dist-2.csv (species = versicolor)", done.stderr)
            iris = pd.read_csv(IRIS)
            for k, species in enumerate(["setosa", "versicolor", "virginica"], start=1):
                d = pd.read_csv(os.path.join(tmp, f"dist-{k}.csv"), index_col=0)
                x = iris[iris.species == species].iloc[:, :4].to_numpy()
                np.testing.assert_allclose(d.to_numpy(), cdist(x, x), rtol=1e-12, atol=1e-13)

    def test_several_matrices_to_standard_output_are_an_error(self):
        done = run(["--data", IRIS, "--format", "csv", "-e", "GROUP BY species.", "-e",
                    "PROXIMITIES sepal_length TO petal_width."], check=False)
        self.assertEqual(done.returncode, 1)
        self.assertIn("one CSV matrix", done.stderr)
        self.assertEqual(len(pd.read_csv(io.StringIO(done.stdout), index_col=0)), 50)

    def test_extension_chooses_the_format_and_contradictions_are_usage_errors(self):
        with tempfile.TemporaryDirectory() as tmp:
            run(["--data", CARS, "-o", "x.CSV", "-e", "PROXIMITIES mpg hp."], cwd=tmp)
            self.assertEqual(len(pd.read_csv(os.path.join(tmp, "x.CSV"), index_col=0)), 32)
            done = run(["--data", CARS, "-o", "x.csv", "--format", "json", "-e",
                        "PROXIMITIES mpg hp."], cwd=tmp, check=False)
            self.assertEqual(done.returncode, 2)
            done = run(["--data", CARS, "--diagonal", "-e", "PROXIMITIES mpg hp."], check=False)
            self.assertEqual(done.returncode, 2)


class LongForm(unittest.TestCase):
    def test_lower_triangle_with_group_columns(self):
        out = run(["--data", IRIS, "--format", "long", "-e", "GROUP BY species.", "-e",
                   "PROXIMITIES sepal_length TO petal_width /MEASURE=BLOCK."]).stdout
        rows = pd.read_csv(io.StringIO(out))
        self.assertEqual(list(rows.columns), ["species", "item1", "item2", "value"])
        self.assertEqual(len(rows), 3 * 50 * 49 // 2)
        iris = pd.read_csv(IRIS)
        for species, g in rows.groupby("species"):
            x = iris[iris.species == species].iloc[:, :4].to_numpy()
            first = iris.index[iris.species == species][0]
            d = cdist(x, x, "cityblock")
            i = g.item1.to_numpy() - first - 1
            j = g.item2.to_numpy() - first - 1
            self.assertTrue((i > j).all())
            np.testing.assert_allclose(g.value.to_numpy(), d[i, j], rtol=1e-12, atol=1e-13)

    def test_diagonal_on_request_from_the_extension(self):
        with tempfile.TemporaryDirectory() as tmp:
            run(["--data", CARS, "-o", "pairs.long.csv", "--diagonal", "-e",
                 "PROXIMITIES mpg hp wt /ID=model /VIEW=VARIABLE."], cwd=tmp)
            rows = pd.read_csv(os.path.join(tmp, "pairs.long.csv"))
        self.assertEqual(list(rows.columns), ["item1", "item2", "value"])
        self.assertEqual(len(rows), 6)
        self.assertEqual(rows[rows.item1 == rows.item2].value.tolist(), [0.0, 0.0, 0.0])
        cars = pd.read_csv(CARS)[["mpg", "hp", "wt"]].to_numpy().T
        d = squareform(pdist(cars))
        names = {"mpg": 0, "hp": 1, "wt": 2}
        got = [d[names[a], names[b]] for a, b in zip(rows.item1, rows.item2)]
        np.testing.assert_allclose(rows.value.to_numpy(), got, rtol=1e-12)


def matrices_of(document):
    found = []

    def walk(items):
        for item in items:
            if item.get("type") == "table" and "matrix" in item:
                found.append(item["matrix"])
            walk(item.get("items", []))

    walk(document["items"])
    return found


class JsonMatrix(unittest.TestCase):
    def setUp(self):
        with open(SCHEMA) as f:
            self.schema = json.load(f)

    def matrices(self, *commands, data=CARS):
        args = ["--data", data, "--format", "json"]
        for c in commands:
            args += ["-e", c]
        found = matrices_of(json.loads(run(args).stdout))
        for m in found:
            jsonschema.validate(m, self.schema)
        return found

    def test_the_dataframe_recipe_gives_the_matrix(self):
        [m] = self.matrices("PROXIMITIES mpg hp wt /ID=model /STANDARDIZE=Z.")
        d = pd.DataFrame(m["values"], index=m["labels"], columns=m["labels"])
        expected = cars_z_distances(["mpg", "hp", "wt"])
        self.assertEqual(list(d.index), list(expected.index))
        np.testing.assert_allclose(d.to_numpy(), expected.to_numpy(), rtol=1e-12, atol=1e-12)
        self.assertEqual(m["case_numbers"], list(range(1, 33)))
        self.assertEqual(m["measure"]["keyword"], "EUCLID")
        self.assertEqual(m["kind"], "dissimilarity")
        self.assertEqual(m["standardization"], {"method": "Z", "direction": "variable"})
        self.assertEqual(m["transformations"], [])

    def test_measure_transformations_and_kind(self):
        [m] = self.matrices("PROXIMITIES mpg hp wt /VIEW=VAR /STAND=CASE RANGE "
                            "/MEASURE=MINK(3) REVERSE RESCALE.")
        self.assertEqual(m["measure"]["keyword"], "MINKOWSKI")
        self.assertEqual(m["measure"]["parameters"], [3])
        self.assertEqual(m["measure"]["name"], "Minkowski (3) Distance")
        self.assertEqual(m["transformations"], ["reverse", "rescale"])
        self.assertEqual(m["kind"], "similarity")
        self.assertEqual(m["standardization"], {"method": "RANGE", "direction": "case"})
        self.assertEqual(m["view"], "variable")
        self.assertIsNone(m["case_numbers"])
        self.assertEqual(m["labels"], ["mpg", "hp", "wt"])

    def test_missing_values_are_null(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "bin.csv")
            with open(path, "w") as f:
                f.write("a,b,c\n1,0,1\n1,1,0\n0,0,1\n")
            # Kulczynski 1 has no value on the diagonal: a / (b + c) with b + c = 0.
            [m] = self.matrices("PROXIMITIES a b c /VIEW=VARIABLE /MEASURE=K1.", data=path)
        self.assertEqual([m["values"][i][i] for i in range(3)], [None, None, None])
        x = np.array([[1, 0, 1], [1, 1, 0], [0, 0, 1]], dtype=bool)
        a = (x[:, 0] & x[:, 1]).sum()
        mismatches = (x[:, 0] != x[:, 1]).sum()
        self.assertEqual(m["values"][1][0], a / mismatches)

    def test_groups(self):
        found = self.matrices("GROUP BY species.", "PROXIMITIES sepal_length TO petal_width "
                              "/MEASURE=CORRELATION.", data=IRIS)
        self.assertEqual([m["group"] for m in found],
                         [[{"variable": "species", "value": s}]
                          for s in ["setosa", "versicolor", "virginica"]])
        iris = pd.read_csv(IRIS)
        x = iris[iris.species == "virginica"].iloc[:, :4].to_numpy()
        np.testing.assert_allclose(found[2]["values"], np.corrcoef(x), rtol=1e-12, atol=1e-12)


class SidecarWords(unittest.TestCase):
    def sidecar(self, command, data=CARS):
        with tempfile.TemporaryDirectory() as tmp:
            run(["--data", data, "-e", command + ' /MATRIX=OUT("m.csv").'], cwd=tmp)
            with open(os.path.join(tmp, "m.schema.json")) as f:
                return json.load(f)

    def test_default_measure_and_standardization_in_words(self):
        s = self.sidecar("PROXIMITIES mpg hp wt /STANDARDIZE=Z")
        m = s["matrix"]
        self.assertEqual(m["measure"], {"keyword": "EUCLID", "parameters": [],
                                        "name": "Euclidean Distance"})
        self.assertEqual(m["kind"], "dissimilarity")
        self.assertEqual(m["standardization"], {"method": "Z", "direction": "variable"})
        self.assertEqual(m["view"], "case")
        self.assertEqual(m["groups"][0]["labels"][:2], ["Case 1", "Case 2"])
        item = next(f for f in s["fields"] if f["name"] == "VAR1")
        self.assertEqual(item["printFormat"], {"width": 10, "decimals": 4})
        self.assertTrue(item["proximities"])
        self.assertNotIn("attribute", item)

    def test_transformed_similarities_between_variables(self):
        m = self.sidecar("PROXIMITIES mpg hp wt /VIEW=VARIABLE /MEASURE=CORR ABSOLUTE REVERSE")
        m = m["matrix"]
        self.assertEqual(m["measure"]["keyword"], "CORRELATION")
        self.assertEqual(m["transformations"], ["absolute", "reverse"])
        self.assertEqual(m["kind"], "dissimilarity")
        self.assertEqual(m["groups"], [{"split": [], "labels": ["mpg", "hp", "wt"]}])

    def test_item_titles_name_the_cases_left_after_listwise_exclusion(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "gaps.csv")
            with open(path, "w") as f:
                f.write("a,b\n1,2\n,3\n4,5\n6,\n7,9\n")
            run(["--data", path, "-e", 'PROXIMITIES a b /MATRIX=OUT("m.csv").'], cwd=tmp)
            rows = pd.read_csv(os.path.join(tmp, "m.csv"))
            with open(os.path.join(tmp, "m.schema.json")) as f:
                fields = {f["name"]: f for f in json.load(f)["fields"]}
        self.assertEqual(list(rows.CASENO_), [1, 3, 5])
        titles = [fields[f"VAR{k}"]["title"] for k in (1, 2, 3)]
        self.assertEqual(titles, ["Case 1", "Case 3", "Case 5"])
        self.assertEqual(titles, [label.strip() for label in rows.ID])

    def test_old_style_sidecar_still_reads(self):
        with tempfile.TemporaryDirectory() as tmp:
            run(["--data", CARS, "-e", 'PROXIMITIES mpg hp wt /VIEW=VARIABLE /MEASURE=CORR '
                 'RESCALE /MATRIX=OUT("m.csv").'], cwd=tmp)
            sidecar = os.path.join(tmp, "m.schema.json")
            with open(sidecar) as f:
                schema = json.load(f)
            del schema["matrix"]
            for field in schema["fields"]:
                for key in ("printFormat", "writeFormat"):
                    if key in field:
                        field[key] = {"type": 5, **field[key]}
                if field.pop("proximities", False):
                    field["attribute"] = 3
            with open(sidecar, "w") as f:
                json.dump(schema, f)
            out = run(["--format", "json", "-e",
                       'PROXIMITIES /MATRIX=IN("m.csv") /VIEW=VARIABLE.'], cwd=tmp).stdout
        [m] = matrices_of(json.loads(out))
        self.assertEqual(m["labels"], ["mpg", "hp", "wt"])
        self.assertEqual(m["kind"], "similarity")
        self.assertEqual(m["transformations"], ["rescale"])

    def test_new_sidecar_reads_back(self):
        with tempfile.TemporaryDirectory() as tmp:
            run(["--data", CARS, "-e",
                 'PROXIMITIES mpg hp wt /ID=model /MEASURE=BLOCK /MATRIX=OUT("m.csv").'], cwd=tmp)
            out = run(["--format", "csv", "-e", 'PROXIMITIES /MATRIX=IN("m.csv").'],
                      cwd=tmp).stdout
        d = pd.read_csv(io.StringIO(out), index_col=0)
        cars = pd.read_csv(CARS, index_col="model")[["mpg", "hp", "wt"]]
        np.testing.assert_allclose(d.to_numpy(), cdist(cars, cars, "cityblock"), rtol=1e-12)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
