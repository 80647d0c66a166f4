#!/usr/bin/python3
"""None of the roster's ticket numbers, names and identity numbers can be read from what a sealed build leaves: the
programs, the Debian package and the zip made from them, whose contents are searched file by file, and the web page
with what its base64 runs hold (its data: URIs, its WebAssembly among them). The plain programs must show every one
of the 1,032 texts to the same search, so that a search that finds nothing means something; a copy of each page with
the table added in base64 likewise.

Usage: check_sealed_files.py --roster TABLE --plain FILE... --sealed FILE... [--sealed-build DIR]
       (--sealed-build: a Linux build tree to pack into a .deb with cpack, whose contents are searched too)
"""

import argparse
import base64
import binascii
import hashlib
import io
import os
import re
import subprocess
import sys
import tarfile
import tempfile
import zipfile

import roster_texts


# A run of base64 long enough to hold a text of the table: a page carries its WebAssembly and its data so.
BASE64_RUN = re.compile(rb"[A-Za-z0-9+/]{64,}={0,2}")


def embedded(name, data):
    """[(name, bytes)]: each base64 run of a page or a script, decoded."""
    parts = []
    for m in BASE64_RUN.finditer(data):
        run = m.group()
        try:
            parts.append((f"{name}:base64@{m.start()}", base64.b64decode(run + b"=" * (-len(run) % 4))))
        except binascii.Error:
            pass
    return parts


def contents(path, data=None):
    """[(name, bytes)]: the file itself, each member of a .deb or a .zip, and what a page holds in base64."""
    if data is None:
        with open(path, "rb") as f:
            data = f.read()
    parts = [(os.path.basename(path), data)]
    if path.endswith((".html", ".js")):
        parts += embedded(os.path.basename(path), data)
    if path.endswith(".zip"):
        with zipfile.ZipFile(io.BytesIO(data)) as archive:
            parts += [(f"{os.path.basename(path)}:{name}", archive.read(name)) for name in archive.namelist()
                      if not name.endswith("/")]
    elif path.endswith(".deb"):
        tar = subprocess.run(["dpkg-deb", "--fsys-tarfile", path], capture_output=True, check=True).stdout
        with tarfile.open(fileobj=io.BytesIO(tar)) as archive:
            parts += [(f"{os.path.basename(path)}:{m.name}", archive.extractfile(m).read()) for m in archive
                      if m.isfile()]
    return parts


def published_as_sealed(path):
    """What is wrong with how a sealed package is published: its file name, the folder inside a zip, and the SHA-256
    file beside it; [] when nothing is."""
    name = os.path.basename(path)
    wrong = []
    stem = name[:-len(".zip")] if name.endswith(".zip") else name.split("_")[0]
    if not stem.endswith("-sealed"):
        wrong.append(f"{name}: the file name does not say it is sealed")
    if name.endswith(".zip"):
        with zipfile.ZipFile(path) as archive:
            folders = {member.split("/")[0] for member in archive.namelist()}
        if folders != {stem}:
            wrong.append(f"{name}: the folder inside is {sorted(folders)}, not {stem}")
    try:
        with open(path + ".sha256", encoding="ascii") as f:
            listed = f.read().split()
    except OSError:
        return wrong + [f"{name}: no {name}.sha256 beside it"]
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    if listed != [digest, name]:
        wrong.append(f"{name}.sha256 holds {listed}, not the file's hash and name")
    return wrong


def pack_deb(build_dir, scratch):
    out = os.path.join(scratch, "deb")
    subprocess.run(["cpack", "-G", "DEB", "--config", os.path.join(build_dir, "CPackConfig.cmake"), "-B", out],
                   capture_output=True, check=True)
    debs = [os.path.join(out, name) for name in os.listdir(out) if name.endswith(".deb")]
    if len(debs) != 1:
        raise SystemExit(f"FAIL: cpack made {debs}")
    return debs[0]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--roster", required=True)
    ap.add_argument("--plain", nargs="+", default=[])
    ap.add_argument("--sealed", nargs="+", default=[])
    ap.add_argument("--sealed-build")
    args = ap.parse_args()
    rows = roster_texts.read_rows(args.roster)
    every = len(roster_texts.texts_of(rows))
    failures = 0
    with tempfile.TemporaryDirectory() as scratch:
        sealed = list(args.sealed) + ([pack_deb(args.sealed_build, scratch)] if args.sealed_build else [])
        for path in args.plain:
            found = {(column, row) for column, row, _, _ in roster_texts.find(open(path, "rb").read(), rows)}
            ok = len(found) == every
            failures += not ok
            print(f"{'ok' if ok else 'FAIL'}: the plain {os.path.basename(path)} shows {len(found)} of the {every} "
                  "texts to this search")
        for path in sealed:
            if path.endswith(".html"):
                # Nothing plain exists of a page; a copy that carries the table's text the way the page carries its
                # data shows that the search sees inside it.
                with open(path, "rb") as f, open(args.roster, "rb") as table:
                    control = f.read() + b"<!--" + base64.b64encode(table.read()) + b"-->"
                found = {(column, row) for name, data in contents(path, control)
                         for column, row, _, _ in roster_texts.find(data, rows)}
                ok = len(found) == every
                failures += not ok
                print(f"{'ok' if ok else 'FAIL'}: {os.path.basename(path)} with the table added in base64 shows "
                      f"{len(found)} of the {every} texts to this search")
            if path.endswith((".zip", ".deb")):
                wrong = published_as_sealed(path)
                failures += bool(wrong)
                print("\n".join(f"FAIL: {w}" for w in wrong) or f"ok: {os.path.basename(path)} is named sealed, "
                      "with its SHA-256 file beside it")
            for name, data in contents(path):
                hits = roster_texts.find(data, rows)
                if hits:
                    failures += 1
                    column, row, text, encoding = hits[0]
                    print(f"FAIL: {name} holds {len(hits)} roster texts, the first {column} of row {row} "
                          f"({text}, {encoding})")
                else:
                    print(f"ok: {name} ({len(data):,} bytes) holds none of them")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
