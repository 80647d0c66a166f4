#!/usr/bin/env python3
"""Import the exam office's spreadsheet (.xlsx, or .csv as Excel saves it) into the roster table.

Usage: /usr/bin/python3 import_roster.py SOURCE [--output PATH] [--sheet NAME] [--encoding NAME]
       (default output: core/roster/candidates.tsv in the repository)

Columns are found by their header, Chinese or English (准考证号 / TicketNumber, 姓名 / CandidateName,
身份证号 / IdNumber, 成绩 / Score, and common variants); other columns are ignored and rows keep their order.
Nothing is repaired: every damaged cell and every broken rule of check_candidates.py is reported as
"SHEET!CELL: ..." (CSV: "LINE:COLUMN: ..."), and then nothing is written. The one conversion is a score held as a
number, which becomes its shortest decimal text (88.3, 100). Row numbers inside messages are the spreadsheet's rows
(in a CSV file, its lines). Exit status: 0 written, 1 problems found, 2 usage error or unreadable source.
Reading .xlsx needs Debian's python3-openpyxl, hence /usr/bin/python3.
"""

import argparse
import csv
import io
import re
import sys
import warnings
from datetime import date, datetime, time, timedelta
from decimal import Decimal
from pathlib import Path

sys.dont_write_bytecode = True  # importing the check must not leave __pycache__ in tools/
sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_candidates as rules  # noqa: E402
from embed_roster import write_atomically  # noqa: E402

DEFAULT_OUTPUT = rules.DEFAULT_PATH
COLUMN_COUNT = len(rules.COLUMNS)

# Header texts per roster column, compared without spaces, underscores and case; the first Chinese and the
# roster's own English name are the ones messages suggest.
ENGLISH_NAMES = rules.HEADER.split("\t")
HEADER_NAMES = {
    rules.TICKET: ("准考证号", "准考证号码", "准考证", "考号", "ticketnumber", "ticketno", "ticket"),
    rules.NAME: ("姓名", "考生姓名", "candidatename", "name"),
    rules.ID_NUMBER: ("身份证号", "身份证号码", "身份证", "公民身份号码", "idnumber", "idcardnumber", "idno"),
    rules.SCORE: ("成绩", "笔试成绩", "笔试分数", "分数", "score", "writtenscore"),
}
# How many digits each column that must be text has, for saying what a number lost.
DIGITS = {rules.TICKET: 11, rules.ID_NUMBER: 18}
SIGNIFICANT_DIGITS = 15  # what Excel and LibreOffice keep of a number
EXPONENT_RE = re.compile(r"[0-9](?:\.[0-9]+)?[eE]\+?[0-9]+")
FIX_TEXT = "format the column as text and re-type the values from the original records"


class SourceError(Exception):
    """The source cannot be read as a roster at all: exit status 2 when it is no readable file, 1 when it is one
    without the roster's columns."""

    def __init__(self, message, status=2):
        super().__init__(message)
        self.status = status


class Table:
    """The rows of one sheet or CSV file as (row number, [value ...]) in source order, what to call the whole,
    and cell_name(row number, column index), the name a deployer finds a cell by."""

    def __init__(self, title, rows, cell_name):
        self.title = title
        self.rows = rows
        self.cell_name = cell_name


# ---- reading ----

def read_xlsx(path, sheet):
    try:
        import openpyxl
        from openpyxl.utils import get_column_letter
    except ImportError:
        raise SourceError("reading .xlsx needs Debian's python3-openpyxl: run this tool with /usr/bin/python3") \
            from None
    try:
        # data_only: a formula's value as the spreadsheet last computed it, which is what the office sees.
        # openpyxl warns about features it would drop when saving; the workbook is only read.
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            book = openpyxl.load_workbook(path, read_only=True, data_only=True)
    except Exception as error:  # openpyxl raises zip, XML and its own errors for a file that is no workbook
        raise SourceError(f"cannot read {path} as an .xlsx workbook: {error}") from None
    try:
        if sheet is None:
            worksheet = book.worksheets[0]
        elif sheet in book.sheetnames:
            worksheet = book[sheet]
        else:
            raise SourceError(f"{path} has no sheet {sheet!r}; its sheets: {', '.join(book.sheetnames)}")
        prefix = sheet_reference(worksheet.title)

        def cell_name(number, column):
            return f"{prefix}!{get_column_letter(column + 1)}{number}"

        # Read-only mode stops at the extent the sheet declares, and some generators declare it wrongly (A1).
        worksheet.reset_dimensions()
        rows = []
        for number, values in enumerate(worksheet.iter_rows(values_only=True), 1):
            rows.append((number, values))
        return Table(prefix, rows, cell_name)
    finally:
        book.close()


def sheet_reference(title):
    """The sheet as a formula names it: bare when it is one word, else quoted."""
    if re.fullmatch(r"[^\W\d]\w*", title):
        return title
    return "'" + title.replace("'", "''") + "'"


def read_csv(path, encoding):
    try:
        data = path.read_bytes()
    except OSError as error:
        raise SourceError(f"cannot read {path}: {error.strerror}") from None
    text = decode_csv(path, data, encoding).removeprefix("\ufeff")

    def cell_name(number, column):
        return f"{number}:{column + 1}"

    rows = []
    reader = csv.reader(io.StringIO(text, newline=""))
    while True:
        # A quoted field may span lines: the record is named by the line it starts on.
        number = reader.line_num + 1
        try:
            values = next(reader)
        except StopIteration:
            break
        except csv.Error as error:
            raise SourceError(f"{path}:{reader.line_num}: not readable as CSV: {error}") from None
        rows.append((number, values))
    return Table(path.name, rows, cell_name)


def decode_csv(path, data, encoding):
    """Excel saves CSV as UTF-8 (with a byte order mark) or, on a Chinese Windows, as GB18030."""
    for candidate in [encoding] if encoding else ["utf-8", "gb18030"]:
        try:
            return data.decode(candidate)
        except LookupError:
            raise SourceError(f"unknown encoding {candidate!r}") from None
        except UnicodeDecodeError as error:
            last_error = candidate, error
    candidate, error = last_error
    line = data.count(b"\n", 0, error.start) + 1
    tried = candidate if encoding else "UTF-8 or GB18030"
    raise SourceError(f"{path}:{line}: not valid {tried}; save the sheet as \"CSV UTF-8\" or name the encoding "
                      f"with --encoding")


# ---- columns ----

def header_key(text):
    return re.sub(r"[\s_]", "", str(text)).lower()


def find_columns(table):
    """The header row's number and the source column of each roster column; the header is the first row that
    names any of them (a title row above it is allowed)."""
    known = {header_key(name): column for column, names in HEADER_NAMES.items() for name in names}
    for index, (number, values) in enumerate(table.rows):
        found = {}
        for position, value in enumerate(values):
            column = known.get(header_key(value)) if isinstance(value, str) else None
            if column is None:
                continue
            if column in found:
                raise SourceError(f"{table.cell_name(number, position)}: a second {rules.COLUMNS[column]} column "
                                  f"({rules.shown(value)}), the first is {table.cell_name(number, found[column])}; "
                                  "keep one", 1)
            found[column] = position
        if not found:
            continue
        missing = [column for column in range(COLUMN_COUNT) if column not in found]
        if missing:
            raise SourceError(f"{table.title}: header row {number} has no column {header_names(missing)}", 1)
        return index, [found[column] for column in range(COLUMN_COUNT)]
    raise SourceError(f"{table.title}: no header row; it needs the columns {header_names(range(COLUMN_COUNT))}", 1)


def header_names(columns):
    return ", ".join(f"{HEADER_NAMES[column][0]} / {ENGLISH_NAMES[column]}" for column in columns)


# ---- cells ----

def number_text(number):
    """A number as the roster writes a score: the shortest decimal that reads back as the same number, without
    exponent or trailing ".0" (88.3, 100)."""
    decimal = Decimal(repr(number))
    if decimal == decimal.to_integral_value():
        decimal = decimal.to_integral_value()  # 100.0 -> 100, and 3.4e+17 keeps the digits the number has
    return format(decimal, "f")


def number_loss(column, number):
    """What a numeric cell in a text column has lost, for the message."""
    stored = f"{rules.COLUMNS[column]} is stored as a number ({rules.shown(number)})"
    digits = number_text(number).lstrip("-")
    if column not in DIGITS:
        lost = "not as text"
    elif isinstance(number, float) and not number.is_integer():
        lost = "with a fraction"
    elif len(digits) > SIGNIFICANT_DIGITS:
        lost = (f"which keeps only {SIGNIFICANT_DIGITS} significant digits: the last "
                f"{len(digits) - SIGNIFICANT_DIGITS} of its {len(digits)} digits are lost")
    elif len(digits) < DIGITS[column]:
        lost = f"which drops leading zeros: {len(digits)} digits where {DIGITS[column]} are expected"
    elif len(digits) > DIGITS[column]:
        lost = f"with {len(digits)} digits where {DIGITS[column]} are expected"
    else:
        # Nothing lost this time, but the next value with a leading zero would be.
        lost = "not as text: its digits happen to be intact, but it must still be typed as text"
    return f"{stored}, {lost}; {FIX_TEXT}"


def cell_text(column, value):
    """The cell as roster text, and the problems that forbid taking it as it is. Besides the text that is written,
    returns a cleaned text that the data rules see instead, so one damaged cell is reported once rather than again
    by every rule it upsets."""
    label = rules.COLUMNS[column]
    if value is None:
        return "", "", []
    if isinstance(value, bool):
        return str(value), str(value), [f"{label} is a true/false value ({value}), not text; {FIX_TEXT}"]
    if isinstance(value, (datetime, date, time, timedelta)):
        return str(value), str(value), [f"{label} is stored as a date or time ({value}), not as text; {FIX_TEXT}"]
    if isinstance(value, (int, float)):
        text = number_text(value)
        if column != rules.SCORE:
            return text, text, [number_loss(column, value)]
        if "." in text and len(text.split(".")[1]) > 2:
            # Shown rounded, so the office sees 88.3 where the cell holds 88.29999999999999.
            return text, text, [f"score is the number {text}, which the spreadsheet shows rounded; "
                                f"type the score as it should read"]
        return text, text, []
    text = str(value)
    problems = []
    cleaned = text
    if any(char.isspace() for char in text):
        problems.append(f"stray spaces in the {label} ({rules.shown(text)}); delete them")
        cleaned = "".join(char for char in cleaned if not char.isspace())
    if any(0xFF01 <= ord(char) <= 0xFF5E for char in cleaned):
        kind = "digits" if any("０" <= char <= "９" for char in cleaned) else "characters"
        problems.append(f"full-width {kind} in the {label} ({rules.shown(text)}); type them as half-width (ASCII)")
        cleaned = "".join(chr(ord(char) - 0xFEE0) if 0xFF01 <= ord(char) <= 0xFF5E else char for char in cleaned)
    if column == rules.ID_NUMBER and cleaned.endswith("x"):
        problems.append(f"lower-case x at the end of the identity number ({rules.shown(text)}); type a capital X")
        cleaned = cleaned[:-1] + "X"
    if column in DIGITS and EXPONENT_RE.fullmatch(cleaned):
        problems.append(f"{label} is a number in exponent form ({rules.shown(text)}), saved from a cell that held "
                        f"it as a number: its last digits are lost; {FIX_TEXT}")
    return text, cleaned, problems


# ---- checking ----

class CellReport(rules.Report):
    """The check's report with cells named instead of row numbers; rows are numbered as in the source."""

    def __init__(self, table, positions):
        super().__init__()
        self.table_title = table.title
        self.cell_name = table.cell_name
        self.positions = positions
        self.reported = set()

    def cell(self, number, column, rule):
        self.reported.add((number, column))
        self.violations.append(f"{self.cell_name(number, self.positions[column])}: {rule}")

    def row(self, row, rule, value=None, column=None):
        if (row.number, column) in self.reported:
            return
        if column is None:
            super().row(row, rule, value)
        else:
            self.add(self.cell_name(row.number, self.positions[column]), rule, value)

    def table(self, rule, value=None):
        self.add(self.table_title, rule, value)


def import_rows(table):
    """The roster rows as lists of four texts, and every problem found; rows are only good when there is none."""
    header, positions = find_columns(table)
    report = CellReport(table, positions)
    texts, checked = [], []
    for number, cells in table.rows[header + 1:]:
        values = [cells[position] if position < len(cells) else None for position in positions]
        if all(value is None or value == "" for value in values):
            continue
        row_texts, row_cleaned = [], []
        for column, value in enumerate(values):
            text, cleaned, problems = cell_text(column, value)
            for problem in problems:
                report.cell(number, column, problem)
            row_texts.append(text)
            row_cleaned.append(cleaned)
        texts.append(row_texts)
        checked.append(rules.Row(number, *row_cleaned))
    rules.check_rows(checked, report)
    return texts, report.violations


def table_bytes(rows):
    lines = [rules.HEADER] + ["\t".join(row) for row in rows]
    return ("\n".join(lines) + "\n").encode("utf-8")


def parse_arguments(argv):
    parser = argparse.ArgumentParser(prog=Path(argv[0]).name, description="Import the exam office's spreadsheet "
                                     "(.xlsx or .csv) into the roster table, or report every problem in it.")
    parser.add_argument("source", type=Path, help=".xlsx workbook or .csv file")
    parser.add_argument("--output", type=Path, default=DEFAULT_OUTPUT,
                        help="roster table to write (default: core/roster/candidates.tsv)")
    parser.add_argument("--sheet", help=".xlsx only: the sheet to read (default: the first)")
    parser.add_argument("--encoding", help=".csv only: its encoding (default: UTF-8, else GB18030)")
    arguments = parser.parse_args(argv[1:])
    kind = arguments.source.suffix.lower()
    if arguments.sheet is not None and kind != ".xlsx":
        parser.error("--sheet is for .xlsx workbooks")
    if arguments.encoding is not None and kind != ".csv":
        parser.error("--encoding is for .csv files")
    return arguments


def main(argv):
    arguments = parse_arguments(argv)
    program = Path(argv[0]).name
    source = arguments.source
    kind = source.suffix.lower()
    try:
        if kind == ".xlsx":
            table = read_xlsx(source, arguments.sheet)
        elif kind == ".csv":
            table = read_csv(source, arguments.encoding)
        else:
            raise SourceError(f"{source}: not an .xlsx or .csv file; save the sheet in one of these formats")
        rows, problems = import_rows(table)
    except SourceError as error:
        print(f"{program}: {error}", file=sys.stderr)
        return error.status
    except OSError as error:
        print(f"{program}: cannot read {source}: {error.strerror}", file=sys.stderr)
        return 2
    if problems:
        for problem in problems:
            print(problem)
        print(f"{source}: {len(problems)} problem(s), {arguments.output} not written")
        return 1
    try:
        write_atomically(arguments.output, table_bytes(rows))
    except OSError as error:
        print(f"{program}: cannot write {arguments.output}: {error.strerror}", file=sys.stderr)
        return 2
    absent = sum(row[rules.SCORE] == rules.ABSENT for row in rows)
    x_ending = sum(row[rules.ID_NUMBER].endswith("X") for row in rows)
    print(f"{arguments.output}: {len(rows)} rows written from {source}, {absent} absent ({rules.ABSENT}), "
          f"{x_ending} identity numbers ending in X")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
