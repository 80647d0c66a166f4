#!/usr/bin/env python3
"""Turn the roster table into the C++ source that defines the constant texts of roster/DeploymentData.h.

Usage: embed_roster.py INPUT.tsv OUTPUT.cpp

Run by the build. Only what embedding needs is checked (encoding, header, four columns, row count); the
data rules are tools/check_candidates.py's business. On a fault the message names the table's line, in
the compiler's "file:line: error:" form, and OUTPUT is left as it was, so the build stops there.
"""

import os
import sys
import tempfile
from pathlib import Path

HEADER = ("TicketNumber", "CandidateName", "IdNumber", "Score")
ROW_COUNT = 344
BOM = b"\xef\xbb\xbf"


class TableError(Exception):
    def __init__(self, line, message):
        super().__init__(message)
        self.line = line


def read_table(data):
    """The data rows of the table as lists of four texts; raises TableError on anything not embeddable."""
    if data.startswith(BOM):
        raise TableError(1, "file starts with a UTF-8 byte order mark; save it as UTF-8 without BOM")
    lines = data.split(b"\n")
    while lines and lines[-1] == b"":
        lines.pop()
    texts = [decode_line(number, raw) for number, raw in enumerate(lines, 1)]
    if not texts or texts[0].split("\t") != list(HEADER):
        raise TableError(1, "header must be the four column names " + " TAB ".join(HEADER))
    rows = [split_row(number, text) for number, text in enumerate(texts[1:], 2)]
    if len(rows) != ROW_COUNT:
        line = ROW_COUNT + 2 if len(rows) > ROW_COUNT else len(texts)
        raise TableError(line, f"expected {ROW_COUNT} data rows, found {len(rows)}")
    return rows


def decode_line(number, raw):
    if raw.endswith(b"\r"):
        raise TableError(number, "CR LF line end; save the table with LF line ends")
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError as error:
        raise TableError(number, f"not valid UTF-8 (byte {error.start + 1} of the line)") from None


def split_row(number, text):
    if text == "":
        raise TableError(number, "empty line")
    fields = text.split("\t")
    if len(fields) != len(HEADER):
        raise TableError(number, f"expected {len(HEADER)} tab-separated columns, found {len(fields)}")
    return fields


def cpp_literal(text):
    """A u"..." literal in pure ASCII: non-ASCII as universal character names, specials escaped."""
    parts = []
    for char in text:
        code = ord(char)
        if char in '"\\':
            parts.append("\\" + char)
        elif code < 0x20 or code == 0x7F:
            parts.append(f"\\{code:03o}")
        elif code < 0x80:
            parts.append(char)
        elif code <= 0xFFFF:
            parts.append(f"\\u{code:04X}")
        else:
            parts.append(f"\\U{code:08X}")
    return 'u"' + "".join(parts) + '"'


def cpp_source(input_name, rows):
    out = [
        f"// Generated from core/roster/{input_name} by tools/embed_roster.py. Do not edit.",
        '#include "core/roster/DeploymentData.h"',
        "",
        "namespace roster::deployment {",
        "",
        "namespace {",
    ]
    for column, name in enumerate(HEADER):
        out.append("")
        out.append(f"const std::u16string_view {name}[RowCount] = {{")
        out.extend(f"    {cpp_literal(row[column])}," for row in rows)
        out.append("};")
    out += [
        "",
        f"const PlainColumns columns{{{', '.join(HEADER)}}};",
        "",
        "} // namespace",
        "",
        "const PlainColumns* const Plain = &columns;",
        "const SealedTable* const Sealed = nullptr;",
        "",
        "} // namespace roster::deployment",
    ]
    return "\n".join(out) + "\n"


def write_atomically(path, data):
    """A temporary file in the same directory renamed over the old one: a failed run never leaves half a file."""
    handle, temporary = tempfile.mkstemp(dir=path.parent, prefix=path.name + ".", suffix=".tmp")
    try:
        with os.fdopen(handle, "wb") as file:
            file.write(data)
            file.flush()
            os.fsync(file.fileno())
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def read_table_file(path):
    """The rows of the table in the file, or None once the reason it cannot be embedded is on stderr."""
    try:
        return read_table(path.read_bytes())
    except OSError as error:
        print(f"{path}: error: cannot read: {error.strerror}", file=sys.stderr)
    except TableError as error:
        print(f"{path}:{error.line}: error: {error}", file=sys.stderr)
    return None


def write_if_changed(path, text):
    """Replace path atomically, and leave it untouched when the content is the same (no needless rebuild)."""
    data = text.encode("ascii")
    try:
        if path.read_bytes() == data:
            return
    except OSError:
        pass
    write_atomically(path, data)


def main(argv):
    if len(argv) != 3:
        print(f"usage: {Path(argv[0]).name} INPUT.tsv OUTPUT.cpp", file=sys.stderr)
        return 2
    source, target = Path(argv[1]), Path(argv[2])
    rows = read_table_file(source)
    if rows is None:
        return 1
    write_if_changed(target, cpp_source(source.name, rows))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
