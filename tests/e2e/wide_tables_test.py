#!/usr/bin/python3
"""Tables wider than the page, as the program prints them: the 32 × 32
distances between the cars of examples/data/cars.csv in blocks of columns
at widths 80 and 40, checked line by line against distances computed here;
labels with wide and combining characters; --width 0; a reader that stops
after two lines (`| head -2`) and an output that cannot be written.

    tests/e2e/wide_tables_test.py build/bin/proximities
"""
import csv
import fcntl
import math
import os
import pty
import re
import select
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import unicodedata
import unittest

PROGRAM = None
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
CARS = os.path.join(ROOT, "examples", "data", "cars.csv")
CARS_COMMANDS = 'PROXIMITIES mpg TO carb /STANDARDIZE=VARIABLE RESCALE /ID=model.'


def run(*args, **kwargs):
    return subprocess.run([PROGRAM, *args], capture_output=True, text=True, cwd=ROOT, **kwargs)


def display_width(text):
    """Terminal columns, by Python's own Unicode data: wide characters two,
    combining marks none."""
    width = 0
    for c in text:
        if unicodedata.combining(c):
            continue
        width += 2 if unicodedata.east_asian_width(c) in ("W", "F") else 1
    return width


def matrix_lines(output):
    """The lines of the table titled "Proximity Matrix", up to its footnote."""
    lines = output.split("\n")
    start = next(i for i, line in enumerate(lines) if line.startswith("Proximity Matrix"))
    end = next(i for i in range(start, len(lines)) if lines[i].startswith("[a]"))
    return lines[start + 1:end]


def blocks_of(lines):
    """The blocks of a table: runs of lines separated by a blank line."""
    blocks, current = [], []
    for line in lines:
        if line == "":
            blocks.append(current)
            current = []
        else:
            current.append(line)
    blocks.append(current)
    return blocks


def rescaled_distances():
    """Euclidean distances between the cars, each variable rescaled to 0..1,
    and the cars' labels."""
    with open(CARS, newline="") as f:
        rows = list(csv.reader(f))
    # Each case is labelled by its number and its model: "1:Mazda RX4".
    models = [f"{k}:{r[0]}" for k, r in enumerate(rows[1:], start=1)]
    values = [[float(x) for x in r[1:]] for r in rows[1:]]
    columns = list(zip(*values))
    lows = [min(c) for c in columns]
    spans = [max(c) - min(c) for c in columns]
    scaled = [[(x - lo) / s for x, lo, s in zip(r, lows, spans)] for r in values]
    distance = [[math.dist(a, b) for b in scaled] for a in scaled]
    return models, distance


class CarsInBlocks(unittest.TestCase):
    def check_blocks(self, width):
        result = run("--data", CARS, "-e", CARS_COMMANDS, "--width", str(width))
        self.assertEqual(result.returncode, 0, result.stderr)
        models, distance = rescaled_distances()
        seen = {}
        lines = matrix_lines(result.stdout)
        stub = max(len(m) for m in models)
        blocks = blocks_of(lines)
        self.assertGreater(len(blocks), 1)
        for block in blocks:
            # The measure's label, the column labels, then every car in order.
            self.assertEqual(block[0].strip(), "Euclidean Distance")
            header, body = block[1], block[2:]
            columns = re.split(r"\s{2,}", header.strip())
            self.assertTrue(set(columns) <= set(models), columns)
            self.assertEqual(len(body), len(models))
            # No line is longer than the page, unless the block is one column
            # that does not fit beside the row labels even alone.
            if len(columns) > 1 or stub + 2 + len(columns[0]) <= width:
                for line in block:
                    self.assertLessEqual(len(line), width, line)
            # Each number ends where its column label ends.
            ends = [m.end() for m in re.finditer(r"\S+(?: \S+)*", header)]
            for model, line in zip(models, body):
                self.assertTrue(line.startswith(model + "  "), line)
                cells = list(re.finditer(r"\S+", line[len(model):]))
                self.assertEqual([len(model) + c.end() for c in cells], ends, line)
                for column, cell in zip(columns, cells):
                    key = (model, column)
                    self.assertNotIn(key, seen)
                    seen[key] = cell.group()
        self.assertEqual(len(seen), len(models) ** 2)
        for (a, b), text in seen.items():
            exact = distance[models.index(a)][models.index(b)]
            self.assertRegex(text, r"^\d+\.\d{3}$")
            self.assertLessEqual(abs(float(text) - exact), 0.0005 + 1e-9, (a, b, text))
        # Every block takes as many columns as fit: the next one would not.
        for block, following in zip(blocks, blocks[1:]):
            label = re.split(r"\s{2,}", following[1].strip())[0]
            widest = max(len(label), *(len(seen[(m, label)]) for m in models))
            self.assertGreater(max(len(line) for line in block) + 2 + widest, width, label)
        return blocks

    def test_width_80(self):
        self.check_blocks(80)

    def test_width_40(self):
        blocks = self.check_blocks(40)
        # "16:Lincoln Continental" takes 22, so most blocks hold one car.
        self.assertGreater(len(blocks), 16)

    def test_width_0_is_one_block(self):
        result = run("--data", CARS, "-e", CARS_COMMANDS, "--width", "0")
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = matrix_lines(result.stdout)
        self.assertEqual(len(blocks_of(lines)), 1)
        self.assertEqual(len(lines), 2 + 32)
        self.assertEqual(len(re.split(r"\s{2,}", lines[1].strip())), 32)

    def test_not_a_terminal_means_80(self):
        default = run("--data", CARS, "-e", CARS_COMMANDS)
        self.assertEqual(default.stdout, run("--data", CARS, "-e", CARS_COMMANDS,
                                             "--width", "80").stdout)

    def test_a_terminal_sets_the_width(self):
        master, slave = pty.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 50, 0, 0))
        process = subprocess.Popen([PROGRAM, "--data", CARS, "-e", CARS_COMMANDS],
                                   stdout=slave, stderr=subprocess.PIPE, cwd=ROOT)
        os.close(slave)
        chunks = []
        while True:
            try:
                data = os.read(master, 65536)
            except OSError:  # EIO: the program closed the terminal
                break
            if not data:
                break
            chunks.append(data)
        os.close(master)
        self.assertEqual(process.wait(), 0)
        shown = b"".join(chunks).decode().replace("\r\n", "\n")
        self.assertEqual(shown, run("--data", CARS, "-e", CARS_COMMANDS, "--width", "50").stdout)
        self.assertGreater(len(blocks_of(matrix_lines(shown))), 1)

    def test_bad_widths_are_usage_errors(self):
        for width in ("-3", "abc", "2.5"):
            result = run("--data", CARS, "-e", CARS_COMMANDS, "--width", width)
            self.assertEqual(result.returncode, 2, width)
            self.assertIn("--width", result.stderr)


class WideCharacters(unittest.TestCase):
    def test_labels_align_by_their_width_on_screen(self):
        cities = ["\u6771\u4eac", "Cafe\u0301", "Paris", "\u00c5s"]  # 東京, Café decomposed, Ås
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "cities.csv")
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write("city,x,y\n")
                for k, city in enumerate(cities):
                    f.write(f"{city},{k * 1.5},{k * k}\n")
            for width in (0, 30):
                result = run("--data", path, "-e", "PROXIMITIES x y /ID=city.",
                             "--width", str(width))
                self.assertEqual(result.returncode, 0, result.stderr)
                for block in blocks_of(matrix_lines(result.stdout)):
                    header, body = block[1], block[2:]
                    ends = [display_width(m.group()) + display_width(header[:m.start()])
                            for m in re.finditer(r"\S+", header)]
                    self.assertEqual(len(body), len(cities))
                    labels = [f"{k}:{city}" for k, city in enumerate(cities, start=1)]
                    for city, line in zip(labels, body):
                        self.assertTrue(line.startswith(city), line)
                        cells = list(re.finditer(r"\d+\.\d{3}", line))
                        self.assertEqual([display_width(line[:c.end()]) for c in cells], ends,
                                         line)
                        if width:
                            self.assertLessEqual(display_width(line), width)


class ReaderStopsEarly(unittest.TestCase):
    def test_head_ends_the_run_quietly(self):
        # A matrix of 3,000 cases prints 9 million cells; a second command
        # would write a file if the run went on.
        with tempfile.TemporaryDirectory() as work:
            data = os.path.join(work, "big.csv")
            with open(data, "w") as f:
                f.write("a,b,c\n")
                for i in range(3000):
                    f.write(f"{i % 17},{i % 29},{i % 7}\n")
            after = os.path.join(work, "after.csv")
            commands = f'PROXIMITIES a b c. PROXIMITIES a b /PRINT=NONE /MATRIX=OUT("{after}").'
            process = subprocess.Popen([PROGRAM, "--data", data, "-e", commands],
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            first = [process.stdout.readline() for _ in range(2)]
            process.stdout.close()
            errors = process.stderr.read()
            process.stderr.close()
            status = process.wait()
            self.assertTrue(first[0].startswith(b"Note: The working data are now 3000 cases"),
                            first)
            self.assertEqual(status, -signal.SIGPIPE)
            self.assertEqual(errors, b"")
            self.assertFalse(os.path.exists(after))
            self.assertEqual([f for f in os.listdir(work) if f != "big.csv"], [])

    def test_a_closed_pipe_abandons_the_command(self):
        # The reader is gone before the commands come: the first write fails,
        # and the command must stop there rather than finish its matrix file.
        with tempfile.TemporaryDirectory() as work:
            with open(os.path.join(work, "first.prox"), "w") as f:
                f.write(f'LOAD "{CARS}".\n')
            process = subprocess.Popen([PROGRAM, "first.prox", "-"], cwd=work,
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE)
            # Not a speed limit: a guard against waiting for ever on a note
            # held back.
            if not select.select([process.stdout], [], [], 120)[0]:
                process.kill()
                process.communicate()
                self.fail("the note waited for the end of the run")
            note = process.stdout.readline()
            process.stdout.close()
            process.stdin.write(b'PROXIMITIES mpg TO carb /ID=model /MATRIX=OUT("m.csv").\n'
                                b'PROXIMITIES mpg hp /PRINT=NONE /MATRIX=OUT("after.csv").\n')
            process.stdin.close()
            errors = process.stderr.read()
            process.stderr.close()
            self.assertEqual(process.wait(), -signal.SIGPIPE)
            self.assertTrue(note.startswith(b"Note: The working data are now 32 cases"), note)
            self.assertEqual(errors, b"")
            self.assertEqual(os.listdir(work), ["first.prox"])

    def test_each_item_is_shown_as_it_comes(self):
        # The program runs the file, then waits for commands on standard
        # input: the note of the file's LOAD must reach the pipe before that.
        with tempfile.TemporaryDirectory() as work:
            first = os.path.join(work, "first.prox")
            with open(first, "w") as f:
                f.write(f'LOAD "{CARS}".\n')
            process = subprocess.Popen([PROGRAM, first, "-"], stdin=subprocess.PIPE,
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            # Not a speed limit: a guard against waiting for ever.
            ready, _, _ = select.select([process.stdout], [], [], 120)
            held_back = not ready
            if not held_back:
                note = process.stdout.readline()
            out, _ = process.communicate(b"PROXIMITIES mpg hp /VIEW=VARIABLE.\n")
            process.stdout.close()
            process.stderr.close()
            self.assertFalse(held_back, "the note waited for the end of the run")
            self.assertTrue(note.startswith(b"Note: The working data are now 32 cases"), note)
            self.assertIn(b"Proximity Matrix", out)
            self.assertEqual(process.returncode, 0)

    @unittest.skipUnless(os.path.exists("/dev/full"), "needs /dev/full")
    def test_a_full_disk_is_an_error(self):
        with open("/dev/full", "w") as full:
            result = subprocess.run([PROGRAM, "--data", CARS, "-e", CARS_COMMANDS],
                                    stdout=full, stderr=subprocess.PIPE, text=True, cwd=ROOT)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr,
                         "proximities: cannot write the output to standard output\n")


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
