"""Tests of the spreadsheet import: a clean workbook or CSV file becomes the shipped table byte for byte; a damaged
one is refused with every damaged cell named, and the old table stays as it was.

The workbooks and CSV files are made here from the shipped table, laid out as an exam office would: a title row, a
serial-number column, then the four roster columns. Needs Debian's python3-openpyxl (run with /usr/bin/python3).
"""

import csv
import os
import re
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

import openpyxl

from test_roster_tools import ABSENT, REPO_ROOT, TABLE, run, shipped_rows

IMPORT = REPO_ROOT / "tools" / "import_roster.py"
sys.path.insert(0, str(IMPORT.parent))
import import_roster  # noqa: E402

TICKET, NAME, ID_NUMBER, SCORE = range(4)
CHINESE_HEADER = ["准考证号", "姓名", "身份证号码", "笔试成绩"]
ENGLISH_HEADER = ["TicketNumber", "CandidateName", "IdNumber", "Score"]
SHEET = "成绩"
FIRST_ROW = 3  # sheet row (CSV line) of data row 0, below the title and the header
FIRST_COLUMN = 2  # the roster columns follow the serial number
LETTERS = "ABCDEFGH"


def full_width(text):
    return text.translate({ord(digit): ord(digit) + 0xFEE0 for digit in "0123456789"})


def wrong_check_character(number):
    return number[:17] + ("1" if number[17] == "0" else "0")


def spreadsheet_values(row):
    """A clean row as a spreadsheet holds it: the numbers as text, the scores as numbers."""
    return row[:3] + [row[3] if row[3] == ABSENT else float(row[3])]


ROWS = shipped_rows()
X_ROW = next(index for index, row in enumerate(ROWS) if row[ID_NUMBER].endswith("X"))

# (data row, column, damage done to the clean value, what the message for that cell says)
TEXT_DAMAGE = [
    (6, NAME, lambda value: value + " ", "stray spaces in the name"),
    (7, TICKET, lambda value: " " + value, "stray spaces in the ticket number"),
    (8, ID_NUMBER, full_width, "full-width digits in the identity number"),
    (X_ROW, ID_NUMBER, lambda value: value[:17] + "x", "lower-case x at the end of the identity number"),
    # A rule of the data check, named by its cell like the rest.
    (10, ID_NUMBER, wrong_check_character, "wrong check character, expected"),
]
WORKBOOK_DAMAGE = TEXT_DAMAGE + [
    (0, ID_NUMBER, lambda value: float(value[:15] + "000"), "identity number is stored as a number "
     "(3.4012219920505e+17), which keeps only 15 significant digits: the last 3 of its 18 digits are lost; "
     "format the column as text"),
    # As if the ticket had begun with 0.
    (1, TICKET, lambda value: int("0" + value[1:]), "ticket number is stored as a number (107010221), which "
     "drops leading zeros: 9 digits where 11 are expected"),
    (2, TICKET, int, "ticket number is stored as a number (10107010108), not as text: its digits happen to be "
     "intact, but it must still be typed as text"),
    (5, TICKET, lambda value: int(value + "1"), "ticket number is stored as a number (101070101201), with 12 "
     "digits where 11 are expected"),
    # A computed score a hair above the 88.3 the spreadsheet shows.
    (3, SCORE, lambda value: 88.30000000000001, "score is the number 88.30000000000001, which the spreadsheet "
     "shows rounded"),
]
CSV_DAMAGE = TEXT_DAMAGE + [
    (0, ID_NUMBER, lambda value: "3.40122E+17", "identity number is a number in exponent form (3.40122E+17), "
     "saved from a cell that held it as a number: its last digits are lost"),
    (1, TICKET, lambda value: str(int("0" + value[1:])), "ticket number is not 11 ASCII digits (107010221)"),
    (3, SCORE, lambda value: "88.29999999999999", "score is not a 2-3 digit integer"),
    (4, SCORE, lambda value: value + ".0", "decimal part of the score ends in 0 (90.0)"),
]


def layout(rows, header):
    yield ["2018年公开招聘教师笔试成绩"]
    yield ["序号"] + header
    for serial, row in enumerate(rows, 1):
        yield [serial] + row


class ImportCase(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.TemporaryDirectory()
        self.addCleanup(self.directory.cleanup)
        self.folder = Path(self.directory.name)
        self.output = self.folder / "candidates.tsv"
        self.output.write_text("previous\n")

    def workbook(self, rows, header=CHINESE_HEADER, sheets_before=()):
        book = openpyxl.Workbook()
        book.active.title = SHEET
        for title in sheets_before:
            book.create_sheet(title, 0)["A1"] = "说明"
        for values in layout(rows, header):
            book[SHEET].append(values)
        path = self.folder / "results.xlsx"
        book.save(path)
        return path

    def declare_dimension(self, path, reference):
        """Rewrites the sheet's declared extent, as generators that get it wrong write it."""
        with zipfile.ZipFile(path) as source:
            parts = [(item, source.read(item)) for item in source.infolist()]
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as target:
            for item, data in parts:
                if item.filename.startswith("xl/worksheets/sheet"):
                    data, count = re.subn(rb'<dimension ref="[^"]*"', f'<dimension ref="{reference}"'.encode(), data)
                    self.assertEqual(count, 1, item.filename)
                target.writestr(item, data)

    def csv_file(self, rows, encoding, header=CHINESE_HEADER):
        path = self.folder / "results.csv"
        with path.open("w", encoding=encoding, newline="") as file:
            csv.writer(file).writerows(layout(rows, header))  # CR LF line ends, as Excel writes them
        return path

    def import_table(self, source, *options):
        return run(IMPORT, source, "--output", self.output, *options)

    def assertImported(self, source, *options):
        """The import succeeds, puts a new file in the old table's place and leaves no temporary file behind."""
        old = self.folder / "old.tsv"
        os.link(self.output, old)  # a second name keeps the old file: written in place, it would change too
        before = old.read_bytes()
        result = self.import_table(source, *options)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(self.output.read_bytes(), TABLE.read_bytes())
        self.assertEqual(old.read_bytes(), before, "old table written in place")
        old.unlink()
        self.assertEqual(sorted(self.folder.iterdir()), sorted([source, self.output]))
        self.assertEqual(result.stdout, f"{self.output}: 344 rows written from {source}, 68 absent ({ABSENT}), "
                                        "26 identity numbers ending in X\n")

    def assertRefused(self, source, damage, cell_name):
        """Every damaged cell named once with its fault, in one run, and nothing written."""
        result = self.import_table(source)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        lines = result.stdout.splitlines()
        for index, column, _, message in damage:
            cell = cell_name(FIRST_ROW + index, FIRST_COLUMN + column)
            named = [line for line in lines if line.startswith(f"{cell}: ")]
            self.assertEqual(len(named), 1, f"{cell} should be named once in:\n{result.stdout}")
            self.assertIn(message, named[0])
        self.assertTrue(lines[-1].endswith(f"problem(s), {self.output} not written"), lines[-1])
        self.assertEqual(self.output.read_text(), "previous\n")
        self.assertEqual(sorted(self.folder.iterdir()), sorted([source, self.output]))


def damaged(rows, damage):
    rows = [list(row) for row in rows]
    for index, column, spoil, _ in damage:
        rows[index][column] = spoil(ROWS[index][column])
    return rows


class CleanImportTest(ImportCase):
    def test_workbook(self):
        self.assertImported(self.workbook([spreadsheet_values(row) for row in ROWS]))

    def test_workbook_declaring_one_cell(self):
        source = self.workbook([spreadsheet_values(row) for row in ROWS])
        self.declare_dimension(source, "A1")
        self.assertImported(source)

    def test_named_sheet_with_english_header(self):
        source = self.workbook([spreadsheet_values(row) for row in ROWS], ENGLISH_HEADER, sheets_before=["说明"])
        self.assertImported(source, "--sheet", SHEET)

    def test_csv_encodings(self):
        for encoding, header in (("gb18030", CHINESE_HEADER), ("utf-8-sig", ENGLISH_HEADER),
                                 ("utf-8", CHINESE_HEADER)):
            with self.subTest(encoding):
                self.assertImported(self.csv_file(ROWS, encoding, header))

    def test_score_numbers_as_roster_text(self):
        for number, text in ((100.0, "100"), (100, "100"), (88.3, "88.3"), (float("88.299999999999997"), "88.3"),
                             (97.75, "97.75"), (1e-05, "0.00001"), (3.4012219920505e+17, "340122199205050000")):
            with self.subTest(number=number):
                self.assertEqual(import_roster.number_text(number), text)


class DamagedImportTest(ImportCase):
    def test_workbook(self):
        source = self.workbook(damaged([spreadsheet_values(row) for row in ROWS], WORKBOOK_DAMAGE))
        self.assertRefused(source, WORKBOOK_DAMAGE, lambda row, column: f"{SHEET}!{LETTERS[column - 1]}{row}")

    def test_csv(self):
        source = self.csv_file(damaged(ROWS, CSV_DAMAGE), "gb18030")
        self.assertRefused(source, CSV_DAMAGE, lambda line, column: f"{line}:{column}")

    def test_sources_that_are_no_roster(self):
        without_score = self.workbook([row[:3] for row in ROWS], CHINESE_HEADER[:3])
        cases = (
            ((without_score,), 1, "header row 2 has no column 成绩 / Score"),
            ((without_score, "--sheet", "Sheet9"), 2, f"has no sheet 'Sheet9'; its sheets: {SHEET}"),
            ((self.folder / "results.xls",), 2, "not an .xlsx or .csv file"),
        )
        for arguments, status, message in cases:
            with self.subTest(arguments=arguments[1:] or arguments[0].name):
                result = self.import_table(*arguments)
                self.assertEqual(result.returncode, status, result.stdout + result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(self.output.read_text(), "previous\n")


if __name__ == "__main__":
    unittest.main()
