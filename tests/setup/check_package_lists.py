#!/usr/bin/python3
"""The run command's package list holds nothing that only the tests use.

tools/packages/run.txt is what ./tools/run.sh installs before it builds and starts the program; the test lab (X
servers, window managers, Wine, screenshots, packaging checks, ...) belongs in test.txt. This check reads what the
tests and benchmarks invoke (every command named in their sources, the Python modules they import and the CMake
packages they find), asks dpkg which packages provide those, and fails for a package of run.txt that provides only
what the tests use: nothing that the run command itself (tools/run.sh, tools/build.sh, the build files of the
program) uses as well. It also fails when a package stands in two lists that are installed together, or when a
list names a package Debian does not know.

Usage: check_package_lists.py [--root REPO]
"""

import argparse
import glob
import keyword
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

# Where the tests and the benchmarks are, and where what the run command uses is written down.
TEST_SOURCES = ["tests/**/*", "bench/**/*", "tools/test.sh"]
RUN_SOURCES = ["tools/run.sh", "tools/build.sh", "tools/setup.sh", "tools/embed_roster.py", "CMakeLists.txt",
               "core/**/CMakeLists.txt", "frontends/qt/**/CMakeLists.txt", "resources/*.cmake",
               "resources/CMakeLists.txt"]
# What the build runs without naming it: the C++ compiler CMake picks.
RUN_IMPLICIT = "c++"
WORD = re.compile(r"/?[A-Za-z0-9_][A-Za-z0-9_.+/-]*")
IMPORT = re.compile(r"^\s*(?:from|import)\s+([A-Za-z_][A-Za-z0-9_]*)", re.M)
FIND_PACKAGE = re.compile(r"find_package\(\s*([A-Za-z0-9_]+)")
TEXT_SUFFIXES = {".py", ".sh", ".txt", ".cmake", ".cpp", ".h", ""}


def read_list(root, name):
    lines = (root / "tools" / "packages" / f"{name}.txt").read_text().splitlines()
    return [line.strip() for line in lines if line.strip() and not line.lstrip().startswith("#")]


def sources(root, patterns):
    for pattern in patterns:
        for name in glob.glob(str(root / pattern), recursive=True):
            path = Path(name)
            if path.is_file() and path.suffix in TEXT_SUFFIXES and "__pycache__" not in path.parts:
                yield path.read_text(errors="replace")


def owners(paths):
    """{path: package} for the paths dpkg knows, symbolic links followed link by link."""
    chains = {}
    for path in paths:
        chain, seen = [], set()
        while path and path not in seen and os.path.lexists(path):
            seen.add(path)
            chain.append(path)
            path = os.path.join(os.path.dirname(path), os.readlink(path)) if os.path.islink(path) else None
        chains.update({link: None for link in chain})
    found = {}
    if chains:
        out = subprocess.run(["dpkg", "-S", *chains], capture_output=True, text=True).stdout
        for line in out.splitlines():
            package, _, path = line.partition(": ")
            for name in package.split(", "):
                found.setdefault(path.strip(), set()).add(name.split(":")[0])
    return found


def used_by(root, patterns, implicit=""):
    """The Debian packages whose commands, Python modules or CMake packages the given sources use."""
    text = "\n".join(sources(root, patterns)) + "\n" + implicit
    paths = set()
    # Python's own keywords are words of every script, not commands (ImageMagick has an `import`).
    for word in set(WORD.findall(text)) - set(keyword.kwlist):
        if word.startswith("/usr/") and os.path.isfile(word):
            paths.add(word)
        elif "/" not in word and (found := shutil.which(word)):
            paths.add(found)
    for module in set(IMPORT.findall(text)):
        found = subprocess.run(["/usr/bin/python3", "-c", f"import importlib.util as u; m = u.find_spec('{module}');"
                                " print(m.origin if m and m.origin else '')"], capture_output=True, text=True)
        if found.stdout.strip().startswith("/usr/"):
            paths.add(found.stdout.strip())
    for package in set(FIND_PACKAGE.findall(text)):
        for config in glob.glob("/usr/lib/*/cmake/*/*onfig.cmake") + glob.glob("/usr/share/*/cmake/*onfig.cmake"):
            if Path(config).name.lower() in (f"{package.lower()}config.cmake", f"{package.lower()}-config.cmake"):
                paths.add(config)
    packages = {}
    for path, names in owners(paths).items():
        for name in names:
            packages.setdefault(name, set()).add(path)
    return packages


def depends_of_metapackage(package):
    """The packages `package` depends on, if it installs nothing of its own but documentation; else none."""
    files = subprocess.run(["dpkg", "-L", package], capture_output=True, text=True).stdout.split()
    if any(os.path.isfile(f) and not f.startswith("/usr/share/doc/") for f in files):
        return []
    out = subprocess.run(["apt-cache", "depends", "--no-recommends", "--no-suggests", package], capture_output=True,
                         text=True).stdout
    return re.findall(r"^\s+Depends: (\S+)", out, re.M)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--root", type=Path, default=Path(__file__).resolve().parents[2])
    root = ap.parse_args().root
    lists = {name: read_list(root, name) for name in ("run", "windows", "publish", "test", "windows-x86-64", "web")}
    failures = []
    # tools/test.sh installs run, windows, publish and test together; a package in two of them is written twice.
    # windows.txt repeats the build tools so that tools/build-windows.sh stands on its own.
    together = ("run", "windows", "publish", "test")
    for i, first in enumerate(together):
        for second in together[i + 1:]:
            twice = set(lists[first]) & set(lists[second]) - {"cmake", "ninja-build", "python3"}
            failures += [f"{package}: in {first}.txt and in {second}.txt" for package in sorted(twice)]
    known = subprocess.run(["apt-cache", "show", "--no-all-versions", *{p for l in lists.values() for p in l}],
                           capture_output=True, text=True).stdout
    names = set(re.findall(r"^Package: (\S+)", known, re.M))
    failures += [f"{package}: Debian has no such package" for l in lists.values() for package in l
                 if package.split(":")[0] not in names]

    tests = used_by(root, TEST_SOURCES)
    run = used_by(root, RUN_SOURCES, RUN_IMPLICIT)
    for package in (p.split(":")[0] for p in lists["run"]):
        # A package of nothing but dependencies (imagemagick, say) stands for what it depends on.
        provided = [package] if package in tests or package in run else depends_of_metapackage(package)
        only_tests = [p for p in provided if p in tests and p not in run]
        if only_tests and not any(p in run for p in provided):
            what = ", ".join(sorted(tests[only_tests[0]])[:3])
            failures.append(f"{package}: in run.txt, but only the tests use what it provides ({what}): test.txt")
    print(f"the tests use {len(tests)} packages' commands, modules and CMake packages; the run command "
          f"{len(run)}; run.txt lists {len(lists['run'])}")
    for failure in failures:
        print(f"FAIL: {failure}")
    if not failures:
        print("ok: run.txt holds nothing that only the tests use")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
