#!/usr/bin/python3
"""Seal the roster table into the C++ source of a program built for publishing (roster/DeploymentData.h).

Usage: seal_roster.py INPUT.tsv OUTPUT.cpp [--iterations N] [--test-table NAME]

Nothing of the table is written as it is. One random salt for the whole table, from the operating system's
generator; for each row, the key of its exact pair is PBKDF2-HMAC-SHA256(identity text and ticket text, each as its
length in code units and its UTF-16LE, salt, N iterations), HMAC-SHA256 of that key gives the row's lookup tag and
its row key, and AES-256-GCM under the row key seals the row's name and score, padded to one length for every row,
with a random nonce and the row number as associated data. The program derives the key once from what the user
typed and opens the one row whose tag matches (core/roster/Sealing.h).

Run by the build of a sealed program (cmake -DSEAL_ROSTER=ON). --test-table writes a table of that name for the
tests instead of the program's own, and only then may N be below the shipped minimum. Needs Debian's
python3-cryptography, hence /usr/bin/python3.
"""

import argparse
import hashlib
import hmac
import os
import sys
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from embed_roster import read_table_file, write_if_changed  # noqa: E402

# The work of one lookup on the machines this program is made on: about 0.35 s with OpenSSL (docs/PERFORMANCE.md).
SHIPPED_ITERATIONS = 1_500_000
# OWASP's minimum for PBKDF2-HMAC-SHA256; core/roster/Sealing.h holds the same number.
MINIMUM_ITERATIONS = 600_000
SALT_SIZE, NONCE_SIZE, AUTH_TAG_SIZE = 16, 12, 16
LOOKUP_TAG_LABEL = b"cuixian-score-query lookup tag"
ROW_KEY_LABEL = b"cuixian-score-query row key"
# The record: each field's length in code units (one byte) and its UTF-16LE, then zeros up to a multiple of this.
RECORD_BLOCK = 16
MINIMUM_RECORD = 32


def utf16(text):
    """The code units of `text` as UTF-16LE, lone surrogates included, as the program holds them."""
    return text.encode("utf-16-le", "surrogatepass")


def units(text):
    return len(utf16(text)) // 2


def encode_pair(id_text, ticket_text):
    out = b""
    for text in (id_text, ticket_text):
        out += units(text).to_bytes(4, "little") + utf16(text)
    return out


def derive_pair_keys(id_text, ticket_text, salt, iterations):
    """(lookup tag, row key) of a pair."""
    key = bytearray(hashlib.pbkdf2_hmac("sha256", encode_pair(id_text, ticket_text), salt, iterations, 32))
    try:
        return (hmac.new(key, LOOKUP_TAG_LABEL, hashlib.sha256).digest(),
                hmac.new(key, ROW_KEY_LABEL, hashlib.sha256).digest())
    finally:
        key[:] = bytes(len(key))


def record_of(name, score, size):
    out = b""
    for text in (name, score):
        if units(text) > 255:
            raise ValueError(f"{text!r} is longer than 255 code units")
        out += bytes([units(text)]) + utf16(text)
    return out + bytes(size - len(out))


def record_size(rows):
    """One length for every row's record: the longest row's, rounded up to a whole block."""
    longest = max(2 + 2 * (units(row[1]) + units(row[3])) for row in rows)
    return max(MINIMUM_RECORD, -(-longest // RECORD_BLOCK) * RECORD_BLOCK)


def seal_record(row_key, nonce, row_number, record):
    from cryptography.hazmat.primitives.ciphers.aead import AESGCM
    return AESGCM(row_key).encrypt(nonce, record, row_number.to_bytes(2, "little"))


def open_record(row_key, nonce, row_number, sealed):
    from cryptography.hazmat.primitives.ciphers.aead import AESGCM
    return AESGCM(row_key).decrypt(nonce, sealed, row_number.to_bytes(2, "little"))


def seal_rows(rows, iterations, random=os.urandom):
    """(salt, record size, [(tag, nonce, sealed record)]) for rows of [ticket, name, id, score]."""
    salt = random(SALT_SIZE)
    size = record_size(rows)
    # hashlib lets go of the interpreter while OpenSSL derives, so the rows' slow steps share the cores.
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        keys = list(pool.map(lambda row: derive_pair_keys(row[2], row[0], salt, iterations), rows))
    sealed = []
    for number, ((ticket, name, id_text, score), (tag, row_key)) in enumerate(zip(rows, keys), 1):
        nonce = random(NONCE_SIZE)
        sealed.append((tag, nonce, seal_record(row_key, nonce, number, record_of(name, score, size))))
    return salt, size, sealed


def byte_list(data):
    return "{" + ", ".join(f"0x{b:02x}" for b in data) + "}"


def cpp_source(input_name, salt, iterations, size, sealed, test_table=None):
    out = [f"// Sealed from core/roster/{input_name} by tools/seal_roster.py. Do not edit.",
           '#include "core/roster/DeploymentData.h"', ""]
    namespace = "roster::deployment" if test_table is None else "roster::testing"
    if test_table is not None:
        out += ["namespace roster::testing {", f"extern const SealedTable {test_table};", "}", ""]
    out += [f"namespace {namespace} {{", "", "namespace {", ""]
    for number, (_, _, box) in enumerate(sealed, 1):
        out.append(f"const std::uint8_t Sealed{number}[] = {byte_list(box)};")
    out += ["", f"const SealedRow Rows[{len(sealed)}] = {{"]
    for number, (tag, nonce, _) in enumerate(sealed, 1):
        out.append(f"    {{{byte_list(tag)},\n     {byte_list(nonce)},\n     Sealed{number}}},")
    out += ["};", "", "} // namespace", ""]
    table = f"{{{byte_list(salt)}, {iterations}, {size}, Rows}}"
    if test_table is None:
        out += [f"static_assert({iterations} >= MinimumIterations, \"a shipped table takes the full work\");",
                f"const SealedTable table{table};", "",
                "const PlainColumns* const Plain = nullptr;", "const SealedTable* const Sealed = &table;"]
    else:
        out.append(f"const SealedTable {test_table}{table};")
    out += ["", f"}} // namespace {namespace}"]
    return "\n".join(out) + "\n"


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("input", type=Path)
    ap.add_argument("output", type=Path)
    ap.add_argument("--iterations", type=int, default=SHIPPED_ITERATIONS)
    ap.add_argument("--test-table", metavar="NAME", help="write roster::testing::NAME for the tests")
    args = ap.parse_args(argv[1:])
    if args.iterations < MINIMUM_ITERATIONS and args.test_table is None:
        ap.error(f"a program's table takes at least {MINIMUM_ITERATIONS:,} iterations")
    if args.iterations < 1:
        ap.error("iterations must be positive")
    try:
        import cryptography  # noqa: F401
    except ImportError:
        print("seal_roster.py: error: sealing needs Debian's python3-cryptography (tools/setup.sh publish installs it); "
              "run it with /usr/bin/python3", file=sys.stderr)
        return 1
    rows = read_table_file(args.input)
    if rows is None:
        return 1
    try:
        salt, size, sealed = seal_rows(rows, args.iterations)
    except ValueError as error:
        print(f"{args.input}: error: {error}", file=sys.stderr)
        return 1
    write_if_changed(args.output, cpp_source(args.input.name, salt, args.iterations, size, sealed, args.test_table))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
