"""Tests of the sealing tool (tools/seal_roster.py): the known answers every platform shares, a table sealed and
opened again row by row, and the rules of what a program's table must be."""

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPO_ROOT = Path(os.environ.get("ROSTER_REPO_ROOT", Path(__file__).resolve().parents[2]))
sys.path.insert(0, str(REPO_ROOT / "tools"))
import seal_roster  # noqa: E402
from embed_roster import read_table  # noqa: E402

TABLE = REPO_ROOT / "core" / "roster" / "candidates.tsv"
VECTORS = REPO_ROOT / "tests" / "sealing" / "vectors.tsv"


def vectors():
    lines = [line for line in VECTORS.read_text().splitlines() if line and not line.startswith("#")]
    header = lines[0].split("\t")
    return [dict(zip(header, line.split("\t"))) for line in lines[1:]]


def text(hex_utf16):
    return bytes.fromhex(hex_utf16).decode("utf-16-le", "surrogatepass")


class KnownAnswers(unittest.TestCase):
    def test_vectors(self):
        cases = vectors()
        self.assertGreaterEqual(len(cases), 4)
        for v in cases:
            with self.subTest(row=v["row"]):
                id_text, ticket = text(v["id"]), text(v["ticket"])
                self.assertEqual(seal_roster.encode_pair(id_text, ticket).hex(), v["pair"])
                tag, key = seal_roster.derive_pair_keys(id_text, ticket, bytes.fromhex(v["salt"]), int(v["iterations"]))
                self.assertEqual((tag.hex(), key.hex()), (v["lookup_tag"], v["row_key"]))
                sealed = seal_roster.seal_record(key, bytes.fromhex(v["nonce"]), int(v["row"]),
                                                 bytes.fromhex(v["record"]))
                self.assertEqual(sealed.hex(), v["sealed"])


class SealedTable(unittest.TestCase):
    def test_every_row_opens_with_its_own_pair_only(self):
        rows = read_table(TABLE.read_bytes())
        salt, size, sealed = seal_roster.seal_rows(rows, 2)
        self.assertEqual(len(salt), 16)
        self.assertEqual(len({len(box) for _, _, box in sealed}), 1, "every record has the same length")
        self.assertEqual(len({nonce for _, nonce, _ in sealed}), len(rows), "a nonce of its own per row")
        for number, ((ticket, name, id_text, score), (tag, nonce, box)) in enumerate(zip(rows, sealed), 1):
            own_tag, key = seal_roster.derive_pair_keys(id_text, ticket, salt, 2)
            self.assertEqual(own_tag, tag)
            record = seal_roster.open_record(key, nonce, number, box)
            self.assertEqual(record, seal_roster.record_of(name, score, size))
        # The pair in the wrong order, or with a lower-case x, is another pair.
        ticket, _, id_text, _ = rows[0]
        self.assertNotEqual(seal_roster.derive_pair_keys(ticket, id_text, salt, 2)[0], sealed[0][0])

    def test_record_length_does_not_tell_names_apart(self):
        rows = [["1", "王五", "1", "88"], ["2", "欧阳娜娜", "2", "100.5"], ["3", "李", "3", "缺考"]]
        size = seal_roster.record_size(rows)
        self.assertEqual({len(seal_roster.record_of(r[1], r[3], size)) for r in rows}, {size})

    def test_a_program_table_takes_the_full_work(self):
        self.assertGreaterEqual(seal_roster.SHIPPED_ITERATIONS, seal_roster.MINIMUM_ITERATIONS)
        self.assertGreaterEqual(seal_roster.MINIMUM_ITERATIONS, 600_000)
        with tempfile.TemporaryDirectory() as directory:
            out = Path(directory) / "DeploymentData.cpp"
            r = subprocess.run([sys.executable, str(REPO_ROOT / "tools" / "seal_roster.py"), str(TABLE), str(out),
                                "--iterations", "1000"], capture_output=True, text=True)
            self.assertEqual(r.returncode, 2)
            self.assertIn("at least 600,000 iterations", r.stderr)
            self.assertFalse(out.exists())

    def test_generated_source_holds_nothing_of_the_table(self):
        rows = read_table(TABLE.read_bytes())[:3]
        salt, size, sealed = seal_roster.seal_rows(rows, 2)
        source = seal_roster.cpp_source("candidates.tsv", salt, 2, size, sealed, "Tiny")
        for ticket, name, id_text, _ in rows:  # scores are too short not to turn up among the bytes
            for field in (ticket, name, id_text):
                self.assertNotIn(field, source)
        program = seal_roster.cpp_source("candidates.tsv", salt, 1_500_000, size, sealed)
        self.assertIn("static_assert(1500000 >= MinimumIterations", program)
        self.assertIn("const PlainColumns* const Plain = nullptr;", program)


if __name__ == "__main__":
    unittest.main()
