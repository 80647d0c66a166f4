#!/usr/bin/python3
"""Make the page: one HTML file holding the program's script (its WebAssembly inside), the styles and the icon.

Usage: make_page.py TEMPLATE.html STYLE.css SCRIPT.js ICON.png TITLE OUTPUT.html

The page's content-security policy lets the page run only its own inline script and style (by their SHA-256),
compile its own WebAssembly, show its own data: images, and reach nothing else; it is written into the page and
printed, for a host that sends it as a header too.
"""

import base64
import hashlib
import sys
from pathlib import Path


def digest(text):
    return "'sha256-" + base64.b64encode(hashlib.sha256(text.encode("utf-8")).digest()).decode("ascii") + "'"


def policy(script, style):
    return "; ".join([
        "default-src 'none'",
        f"script-src {digest(script)} 'wasm-unsafe-eval'",
        f"style-src {digest(style)}",
        "img-src data:",
        "base-uri 'none'",
        "form-action 'none'",
    ])


def main(argv):
    if len(argv) != 7:
        sys.exit(__doc__)
    template, style, script, icon, title, output = argv[1:]
    page = Path(template).read_text(encoding="utf-8")
    css = Path(style).read_text(encoding="utf-8")
    js = Path(script).read_text(encoding="utf-8")
    # An inline element ends at the first "</script" or "</style" in its text, whatever follows.
    if "</script" in js.lower() or "</style" in css.lower():
        sys.exit("make_page.py: the script or the styles would end their element early")
    icon_uri = "data:image/png;base64," + base64.b64encode(Path(icon).read_bytes()).decode("ascii")
    for name, value in [("@CONTENT_SECURITY_POLICY@", policy(js, css)), ("@TITLE@", title), ("@ICON@", icon_uri),
                        ("@STYLE@", css), ("@SCRIPT@", js)]:
        if page.count(name) != 1:
            sys.exit(f"make_page.py: {template} must hold {name} once")
        # The script last: nothing in it is taken for a placeholder.
        page = page.replace(name, value)
    Path(output).write_text(page, encoding="utf-8")


if __name__ == "__main__":
    main(sys.argv)
