#!/usr/bin/env python3
"""Check the deployment roster against its format rules and invariants before shipping it.

Usage: check_candidates.py [PATH]   (default: core/roster/candidates.tsv in the repository)

Prints one line per violation ("row N: ..." for data row N, "line N: ..." for file line N, "table: ..."
for whole-table counts), then a summary. Exit status: 0 clean, 1 violations found, 2 usage error.
The program itself trusts the table; this is the only place its rules are enforced.
"""

import re
import sys
from collections import Counter, defaultdict
from dataclasses import dataclass, field
from datetime import date
from fractions import Fraction
from pathlib import Path

REPO_ROOT = Path(__file__).resolve().parent.parent
DEFAULT_PATH = REPO_ROOT / "core" / "roster" / "candidates.tsv"

HEADER = "TicketNumber\tCandidateName\tIdNumber\tScore"
COLUMNS = ("ticket number", "name", "identity number", "score")
TICKET, NAME, ID_NUMBER, SCORE = range(len(COLUMNS))
ROW_COUNT = 344
ABSENT = "缺考"
ABSENT_COUNT = 68
X_CHECK_COUNT = 26
GROUPS = range(1, 10)
ROOMS = range(1, 16)
SEATS = range(1, 31)
MIN_ROOM_SEATS, MAX_ROOM_SEATS = 9, 30
BOM = b"\xef\xbb\xbf"

# Applicants are adults in the 2018 exam year: at least 18 that year, and not past retirement age.
EARLIEST_BIRTH = date(1953, 1, 1)
LATEST_BIRTH = date(2000, 12, 31)
PROVINCE_CODES = {
    11, 12, 13, 14, 15, 21, 22, 23, 31, 32, 33, 34, 35, 36, 37, 41, 42, 43, 44, 45, 46,
    50, 51, 52, 53, 54, 61, 62, 63, 64, 65, 71, 81, 82,
}
ID_WEIGHTS = (7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2)
ID_CHECK_CHARS = "10X98765432"

TICKET_RE = re.compile(r"[0-9]{11}")
ID_RE = re.compile(r"[0-9]{17}[0-9X]")
SCORE_RE = re.compile(r"([0-9]{2,3})(?:\.([0-9]{1,2}))?")


@dataclass
class Row:
    number: int
    ticket: str
    name: str
    id_number: str
    score: str
    # Parsed parts, left None when the field is malformed.
    group: int | None = None
    room: int | None = None
    seat: int | None = None
    score_value: Fraction | None = None
    absent: bool = False


@dataclass
class Report:
    violations: list = field(default_factory=list)

    def add(self, where, rule, value=None):
        text = f"{where}: {rule}"
        if value is not None:
            text += f" ({shown(value)})"
        self.violations.append(text)

    def line(self, number, rule, value=None):
        self.add(f"line {number}", rule, value)

    def row(self, row, rule, value=None, column=None):
        # column (TICKET ... SCORE) is the field the rule is about, for reports that name cells rather than rows.
        self.add(f"row {row.number}", rule, value)

    def table(self, rule, value=None):
        self.add("table", rule, value)


def shown(value):
    """Values with spaces or control characters are quoted so the fault is visible."""
    value = str(value)
    return value if value.isprintable() and " " not in value else repr(value)


def id_check_char(first17):
    return ID_CHECK_CHARS[sum(int(d) * w for d, w in zip(first17, ID_WEIGHTS)) % 11]


def is_ideograph(char):
    code = ord(char)
    return 0x4E00 <= code <= 0x9FFF or 0x3400 <= code <= 0x4DBF or 0x20000 <= code <= 0x3134F


# ---- file level ----

def split_lines(data, report):
    """Decode the file into lines, reporting BOM, CR LF ends, bad UTF-8 and a missing final line feed."""
    if data.startswith(BOM):
        report.line(1, "file starts with a UTF-8 byte order mark")
        data = data[len(BOM):]
    raw_lines = data.split(b"\n")
    if raw_lines[-1] == b"":
        raw_lines.pop()
    else:
        report.line(len(raw_lines), "last line does not end with a line feed")
    crlf = [number for number, raw in enumerate(raw_lines, 1) if raw.endswith(b"\r")]
    if crlf:
        report.line(crlf[0], f"CR LF line end, LF expected ({len(crlf)} lines affected)")
    lines = []
    for number, raw in enumerate(raw_lines, 1):
        raw = raw.removesuffix(b"\r")
        try:
            lines.append(raw.decode("utf-8"))
        except UnicodeDecodeError as error:
            report.line(number, f"not valid UTF-8 at byte {error.start + 1} of the line")
            lines.append(raw.decode("utf-8", "replace"))
    return lines


def parse_rows(lines, report):
    """Header check, then one Row per data line with exactly four fields; row N is file line N + 1."""
    if not lines:
        report.line(1, "file is empty, header expected")
        return []
    if lines[0] != HEADER:
        report.line(1, f"header is not {HEADER!r}", lines[0])
    rows = []
    for number, text in enumerate(lines[1:], 1):
        if text == "":
            report.line(number + 1, "empty line")
            continue
        fields = text.split("\t")
        if len(fields) != len(COLUMNS):
            report.line(number + 1, f"expected 4 tab-separated fields, found {len(fields)}", text)
            continue
        rows.append(Row(number, *fields))
    return rows


# ---- per row ----

def check_blanks(row, report):
    values = (row.ticket, row.name, row.id_number, row.score)
    for column, (label, value) in enumerate(zip(COLUMNS, values)):
        if value == "":
            report.row(row, f"empty {label}", column=column)
        elif any(char.isspace() for char in value):
            report.row(row, f"{label} contains white space", value, column)


def check_ticket(row, report):
    ticket = row.ticket
    if not TICKET_RE.fullmatch(ticket):
        report.row(row, "ticket number is not 11 ASCII digits", ticket, TICKET)
        return
    group, room, seat = int(ticket[1:3]), int(ticket[7:9]), int(ticket[9:11])
    faults = [
        (ticket[0] != "1", "ticket number does not start with 1"),
        (group not in GROUPS, "group code (characters 2-3) is not 01 to 09"),
        (ticket[3:7] != "0701", "ticket characters 4-7 are not 0701"),
        (room not in ROOMS, "room number (characters 8-9) is not 01 to 15"),
        (seat not in SEATS, "seat number (characters 10-11) is not 01 to 30"),
    ]
    for broken, rule in faults:
        if broken:
            report.row(row, rule, ticket, TICKET)
    if not any(broken for broken, _ in faults):
        row.group, row.room, row.seat = group, room, seat


def check_name(row, report):
    name = row.name
    if not 2 <= len(name) <= 4:
        report.row(row, "name is not 2 to 4 characters", name, NAME)
    if not all(is_ideograph(char) for char in name):
        report.row(row, "name contains a character that is not a CJK ideograph", name, NAME)


def check_id_number(row, report):
    number = row.id_number
    if "x" in number:
        report.row(row, "identity number contains a lower-case x", number, ID_NUMBER)
        return
    if len(number) != 18:
        report.row(row, f"identity number has {len(number)} characters, expected 18", number, ID_NUMBER)
        return
    if "X" in number[:17]:
        report.row(row, "X stands before the last character of the identity number", number, ID_NUMBER)
        return
    if not ID_RE.fullmatch(number):
        report.row(row, "identity number is not 17 ASCII digits and a digit or X", number, ID_NUMBER)
        return
    if int(number[:2]) not in PROVINCE_CODES:
        report.row(row, "region code (characters 1-6) has no valid province code", number, ID_NUMBER)
    check_birth_date(row, number[6:14], report)
    expected = id_check_char(number[:17])
    if number[17] != expected:
        report.row(row, f"wrong check character, expected {expected}", number, ID_NUMBER)


def check_birth_date(row, text, report):
    try:
        birth = date(int(text[:4]), int(text[4:6]), int(text[6:8]))
    except ValueError:
        report.row(row, "birth date (characters 7-14) is not a real date", text, ID_NUMBER)
        return
    if not EARLIEST_BIRTH <= birth <= LATEST_BIRTH:
        report.row(row, f"birth date is not of an adult applicant in 2018 "
                        f"(born {EARLIEST_BIRTH.year} to {LATEST_BIRTH.year})", text, ID_NUMBER)


def check_score(row, report):
    score = row.score
    if score == ABSENT:
        row.absent = True
        return
    match = SCORE_RE.fullmatch(score)
    if not match:
        report.row(row, f"score is not a 2-3 digit integer, a decimal or {ABSENT}", score, SCORE)
        return
    whole, decimals = match.groups()
    if decimals is not None and len(whole) != 2:
        report.row(row, "decimal score needs a two-digit integer part", score, SCORE)
    elif decimals is not None and decimals.endswith("0"):
        report.row(row, "decimal part of the score ends in 0", score, SCORE)
    else:
        row.score_value = Fraction(score)


# ---- across rows ----

def check_unique(rows, report):
    for column, (label, attribute) in enumerate(zip(COLUMNS[:3], ("ticket", "name", "id_number"))):
        first_seen = {}
        for row in rows:
            value = getattr(row, attribute)
            if value in first_seen:
                report.row(row, f"duplicate {label}, same as row {first_seen[value]}", value, column)
            else:
                first_seen[value] = row.number


def check_counts(rows, report):
    x_count = sum(row.id_number.endswith("X") for row in rows)
    if x_count != X_CHECK_COUNT:
        report.table(f"expected {X_CHECK_COUNT} identity numbers ending in X, found {x_count}")
    absent_count = sum(row.absent for row in rows)
    if absent_count != ABSENT_COUNT:
        report.table(f"expected {ABSENT_COUNT} scores {ABSENT}, found {absent_count}")
    long_names = [row.number for row in rows if len(row.name) == 4]
    if len(long_names) != 1:
        report.table(f"expected exactly one 4-character name, found {len(long_names)}",
                     ", ".join(f"row {n}" for n in long_names) or None)
    missing = [g for g in GROUPS if g not in {row.group for row in rows}]
    if missing:
        report.table("group codes missing", " ".join(f"{g:02d}" for g in missing))


def check_rooms(rows, report):
    """Each room belongs to one group, holds 9 to 30 seats and numbers them from 01 without gaps."""
    by_room = defaultdict(list)
    for row in rows:
        if row.room is not None:
            by_room[row.room].append(row)
    for room, members in sorted(by_room.items()):
        owner, _ = Counter(row.group for row in members).most_common(1)[0]
        for row in members:
            if row.group != owner:
                report.row(row, f"room {room:02d} belongs to group {owner:02d}, not group {row.group:02d}",
                           row.ticket, TICKET)
        check_seats(room, members, report)


def check_seats(room, members, report):
    # Distinct seats only: a repeated seat is already reported as a duplicate ticket or a foreign group.
    seats = {row.seat for row in members}
    size = len(seats)
    if not MIN_ROOM_SEATS <= size <= MAX_ROOM_SEATS:
        report.table(f"room {room:02d} has {size} seats, expected {MIN_ROOM_SEATS} to {MAX_ROOM_SEATS}")
    missing = sorted(set(range(1, size + 1)) - seats)
    if not missing:
        return
    gap = ", ".join(f"{seat:02d}" for seat in missing)
    for row in members:
        if row.seat > size:
            report.row(row, f"seat {row.seat:02d} leaves a gap in room {room:02d}: {size} seats, "
                            f"missing {gap}", row.ticket, TICKET)


def check_order(rows, report):
    """Grouped by group code; inside a group highest score first, ties by ticket, 缺考 last."""
    previous = None
    for row in rows:
        if row.group is None or (row.score_value is None and not row.absent):
            continue
        if previous is not None:
            fault = order_fault(previous, row)
            if fault:
                report.row(row, f"out of order: {fault}", row.ticket, TICKET)
        previous = row


def order_fault(above, row):
    """Why row may not follow above, or None when the order is right."""
    if row.group != above.group:
        if row.group < above.group:
            return f"group {row.group:02d} after group {above.group:02d} of row {above.number}"
        return None
    if row.absent != above.absent:
        return f"score {row.score} after the {ABSENT} of row {above.number}" if above.absent else None
    if not row.absent and row.score_value != above.score_value:
        if row.score_value > above.score_value:
            return f"score {row.score} higher than {above.score} of row {above.number}"
        return None
    if row.ticket < above.ticket:
        return f"ticket lower than {above.ticket} of row {above.number}, same score {row.score}"
    return None


def check(data):
    report = Report()
    rows = parse_rows(split_lines(data, report), report)
    check_rows(rows, report)
    return rows, report.violations


def check_rows(rows, report):
    """Every rule of the data itself, on rows already split into fields (from the file or from a spreadsheet)."""
    if len(rows) != ROW_COUNT:
        report.table(f"expected {ROW_COUNT} data rows, found {len(rows)}")
    for row in rows:
        check_blanks(row, report)
        check_ticket(row, report)
        check_name(row, report)
        check_id_number(row, report)
        check_score(row, report)
    check_unique(rows, report)
    check_counts(rows, report)
    check_rooms(rows, report)
    check_order(rows, report)


def main(argv):
    if len(argv) > 2 or (len(argv) == 2 and argv[1].startswith("-")):
        print(f"usage: {Path(argv[0]).name} [PATH]", file=sys.stderr)
        return 2
    path = Path(argv[1]) if len(argv) == 2 else DEFAULT_PATH
    try:
        data = path.read_bytes()
    except OSError as error:
        print(f"{Path(argv[0]).name}: cannot read {path}: {error.strerror}", file=sys.stderr)
        return 2
    rows, violations = check(data)
    for violation in violations:
        print(violation)
    verdict = f"{len(violations)} violation(s)" if violations else "no violations"
    print(f"{path}: {len(rows)} data rows checked, {verdict}")
    return 1 if violations else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
