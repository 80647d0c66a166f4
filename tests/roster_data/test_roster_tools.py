"""Tests of the roster tools: the data check, the build's embed step and the table generator.

Faults are planted in copies of the shipped table, in a temporary directory; the shipped table is only read.
"""

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPO_ROOT = Path(os.environ.get("ROSTER_REPO_ROOT", Path(__file__).resolve().parents[2]))
TABLE = REPO_ROOT / "core" / "roster" / "candidates.tsv"
CHECK = REPO_ROOT / "tools" / "check_candidates.py"
EMBED = REPO_ROOT / "tools" / "embed_roster.py"
GENERATE = REPO_ROOT / "tools" / "generate_candidates.py"
ARRAYS = ("TicketNumber", "CandidateName", "IdNumber", "Score")
ABSENT = "缺考"


def run(script, *args):
    env = dict(os.environ, PYTHONIOENCODING="utf-8")
    return subprocess.run([sys.executable, str(script), *map(str, args)], capture_output=True,
                          encoding="utf-8", env=env, check=False)


def shipped_rows():
    """The shipped data rows as lists of four fields; index 0 is row 1."""
    lines = TABLE.read_text(encoding="utf-8").split("\n")
    return [line.split("\t") for line in lines[1:-1]]


def table_bytes(rows, line_end="\n"):
    header = "\t".join(ARRAYS)
    return (line_end.join([header] + ["\t".join(row) for row in rows]) + line_end).encode("utf-8")


def numeric(score):
    return None if score == ABSENT else float(score)


class TempTableCase(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.TemporaryDirectory()
        self.addCleanup(self.directory.cleanup)
        self.path = Path(self.directory.name) / "candidates.tsv"
        self.rows = shipped_rows()

    def write(self, data=None):
        self.path.write_bytes(table_bytes(self.rows) if data is None else data)
        return self.path


class CheckTest(TempTableCase):
    def check(self, data=None):
        result = run(CHECK, self.write(data))
        self.assertEqual(result.returncode, 1, result.stdout)
        return result.stdout

    def assertReports(self, output, expected):
        self.assertTrue(any(line.startswith(expected) for line in output.splitlines()),
                        f"no line starting with {expected!r} in:\n{output}")

    def test_shipped_table_passes(self):
        result = run(CHECK, TABLE)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("344 data rows checked, no violations", result.stdout)

    def test_default_path_is_the_shipped_table(self):
        self.assertEqual(run(CHECK).returncode, 0)

    def test_usage_error(self):
        self.assertEqual(run(CHECK, "a", "b").returncode, 2)
        self.assertEqual(run(CHECK, Path(self.directory.name) / "missing.tsv").returncode, 2)

    def test_bad_check_character(self):
        number = self.rows[6][2]
        wrong = "0" if number[17] != "0" else "1"
        self.rows[6][2] = number[:17] + wrong
        self.assertReports(self.check(), "row 7: wrong check character")

    def test_lower_case_x(self):
        index = next(i for i, row in enumerate(self.rows) if row[2].endswith("X"))
        self.rows[index][2] = self.rows[index][2][:17] + "x"
        output = self.check()
        self.assertReports(output, f"row {index + 1}: identity number contains a lower-case x")
        self.assertReports(output, "table: expected 26 identity numbers ending in X, found 25")

    def test_duplicate_ticket(self):
        self.rows[19][0] = self.rows[18][0]
        self.assertReports(self.check(), "row 20: duplicate ticket number, same as row 19")

    def test_decimal_score_ending_in_zero(self):
        self.rows[29][3] = "75.0"
        self.assertReports(self.check(), "row 30: decimal part of the score ends in 0 (75.0)")

    def test_wrong_absent_count(self):
        index = next(i for i, row in enumerate(self.rows) if row[3] != ABSENT)
        self.rows[index][3] = ABSENT
        self.assertReports(self.check(), f"table: expected 68 scores {ABSENT}, found 69")

    def test_row_out_of_order(self):
        index = next(i for i in range(len(self.rows) - 1)
                     if self.rows[i][0][1:3] == self.rows[i + 1][0][1:3]
                     and None not in (numeric(self.rows[i][3]), numeric(self.rows[i + 1][3]))
                     and numeric(self.rows[i][3]) > numeric(self.rows[i + 1][3]))
        lower, higher = self.rows[index + 1][3], self.rows[index][3]
        self.rows[index], self.rows[index + 1] = self.rows[index + 1], self.rows[index]
        self.assertReports(self.check(),
                           f"row {index + 2}: out of order: score {higher} higher than {lower} of row {index + 1}")

    def test_seat_gap(self):
        rooms = {}
        for row in self.rows:
            rooms.setdefault(row[0][7:9], []).append(row)
        room, members = next((room, members) for room, members in rooms.items() if 10 <= len(members) <= 28)
        index = next(i for i, row in enumerate(self.rows) if row[0][7:9] == room and row[0][9:] == "10")
        moved = len(members) + 2
        self.rows[index][0] = self.rows[index][0][:9] + f"{moved:02d}"
        self.assertReports(self.check(), f"row {index + 1}: seat {moved:02d} leaves a gap in room {room}: "
                                         f"{len(members)} seats, missing 10")

    def test_crlf_line_ends(self):
        output = self.check(table_bytes(self.rows, "\r\n"))
        self.assertReports(output, "line 1: CR LF line end")
        self.assertIn("1 violation(s)", output)

    def test_byte_order_mark(self):
        output = self.check(b"\xef\xbb\xbf" + table_bytes(self.rows))
        self.assertReports(output, "line 1: file starts with a UTF-8 byte order mark")
        self.assertIn("1 violation(s)", output)


class EmbedTest(TempTableCase):
    def setUp(self):
        super().setUp()
        self.output = Path(self.directory.name) / "DeploymentData.cpp"

    def embed_fails(self, data):
        """Runs the embed step on a broken table; the output file must be left as it was."""
        self.output.write_text("previous\n")
        result = run(EMBED, self.write(data), self.output)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(self.output.read_text(), "previous\n")
        return result.stderr

    def test_wrong_column_count(self):
        self.rows[8] = [self.rows[8][0] + self.rows[8][1]] + self.rows[8][2:]
        self.assertIn("candidates.tsv:10: error: expected 4 tab-separated columns, found 3",
                      self.embed_fails(table_bytes(self.rows)))

    def test_invalid_utf8(self):
        lines = table_bytes(self.rows).split(b"\n")
        lines[49] = lines[49].replace(b"\t", b"\t\xff", 1)
        stderr = self.embed_fails(b"\n".join(lines))
        self.assertIn("candidates.tsv:50: error: not valid UTF-8", stderr)

    def test_wrong_row_count(self):
        stderr = self.embed_fails(table_bytes(self.rows[:-1]))
        self.assertIn("candidates.tsv:344: error: expected 344 data rows, found 343", stderr)

    def test_shipped_table(self):
        result = run(EMBED, TABLE, self.output)
        self.assertEqual(result.returncode, 0, result.stderr)
        source = self.output.read_bytes().decode("ascii")
        for array in ARRAYS:
            body = source.split(f"const std::u16string_view {array}[RowCount] = {{\n")[1].split("};")[0]
            self.assertEqual(len(body.splitlines()), 344, array)
        name = self.rows[0][1]
        escaped = "".join(f"\\u{ord(char):04X}" for char in name)
        self.assertIn(f'    u"{escaped}",\n', source)
        self.assertIn(f'    u"{self.rows[0][0]}",\n', source)

    def test_data_rules_are_not_enforced(self):
        self.rows[0][3] = "75.0"
        self.rows[1][2] = self.rows[1][2][:17] + "x"
        result = run(EMBED, self.write(), self.output)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn('u"75.0"', self.output.read_text())


class GeneratorTest(unittest.TestCase):
    def test_reproduces_the_shipped_table(self):
        with tempfile.TemporaryDirectory() as directory:
            path = Path(directory) / "candidates.tsv"
            result = run(GENERATE, path)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(path.read_bytes(), TABLE.read_bytes())


class PlainBuildWarningTest(unittest.TestCase):
    """A plain build warns at configure time when its table is not the shipped synthetic one."""

    def configure_step(self, table):
        return subprocess.run(["cmake", f"-DROSTER_TABLE={table}", "-P",
                               str(REPO_ROOT / "cmake" / "PlainRosterWarning.cmake")], capture_output=True, text=True)

    def test_shipped_table_gives_no_warning(self):
        r = self.configure_step(TABLE)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertNotIn("Warning", r.stderr)

    def test_any_other_table_names_the_sealed_build(self):
        with tempfile.TemporaryDirectory() as directory:
            other = Path(directory) / "candidates.tsv"
            other.write_bytes(TABLE.read_bytes().replace(b"\t100\n", b"\t99.5\n", 1))
            self.assertNotEqual(other.read_bytes(), TABLE.read_bytes())
            r = self.configure_step(other)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("CMake Warning", r.stderr)
        text = " ".join(r.stderr.split())
        self.assertIn("anyone with a copy of this program can list every candidate", text)
        self.assertIn("tools/build.sh --sealed", text)


if __name__ == "__main__":
    unittest.main()
