#!/usr/bin/python3
"""Writes the floor page: the least a page of this kind costs, to measure the page against (bench/web_target.py).

    /usr/bin/python3 bench/floor_page.py OUTPUT.html --sealed-source SEALED.cpp
    /usr/bin/python3 bench/floor_page.py OUTPUT.html --seal-iterations N

The floor holds the same sealed table as the page, byte for byte when --sealed-source names the C++ source that
tools/seal_roster.py wrote for the page's build, and a hand-written HTML form of the same controls: the query window
with its title bar and icon, its labels, four text boxes and four buttons, and the instructions panel, which
软件使用说明 shows and hides. One 50 ms timer keeps the panel at the window's right edge, as the program's tick
does. It looks nothing up: the table is decoded into memory at start-up and left there. The DOM follows the page's
(.window[data-form], .client, [data-control]), so the benchmark waits for both in the same way.

--seal-iterations seals the roster afresh (core/roster/candidates.tsv) with N iterations instead, for a floor
before the page exists: a table of the same shape and size, other bytes. Needs python3-cryptography either way
only for sealing, hence /usr/bin/python3.
"""

import argparse
import base64
import html
import re
import struct
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
ICON = REPO / "resources" / "icons" / "cuixian-score-query.png"
ROSTER = REPO / "core" / "roster" / "candidates.tsv"
TWIPS_PER_PIXEL = 15

TITLE = "2018年翠县一中西校区公开招聘教师笔试成绩查询软件"
INSTRUCTIONS = ("软件使用说明：\n1、本软件只能查询2018年翠县一中西校区公开招聘教师笔试成绩。\n"
                "2、查询时，必须输入准考证号和身份证号，二者缺一不可。\n3、身份证号如有字母，请输入大写字母。\n"
                "在查询过程中，如有疑问请致电0557-5550123。")
# name, kind, caption, left, top, width, height (twips), CSS font, colour, tab index: the query window's controls.
SONG, HEI = '"宋体", "SimSun", "AR PL UMing CN", serif', '"黑体", "SimHei", "Noto Sans CJK SC", sans-serif'
CONTROLS = [
    ("Label5", "label", "2018年翠县一中西校区公开招聘教师笔试成绩", 600, 360, 8295, 495, f"bold 18.75pt {HEI}", "red", 11),
    ("Label1", "label", "身份证号：", 1560, 1320, 1815, 495, None, None, 4),
    ("Text1_0", "text", "", 3480, 1320, 3615, 495, None, None, 0),
    ("Label6", "label", "*", 7200, 1320, 735, 375, f"bold 18pt {HEI}", "red", 12),
    ("Command4", "button", "软件使用说明", 8760, 1560, 375, 1575, f"12pt {SONG}", None, 15),
    ("Label2", "label", "准考证号：", 1560, 1920, 1815, 495, None, None, 5),
    ("Text1_1", "text", "", 3480, 1920, 3615, 495, None, None, 1),
    ("Label7", "label", "*", 7200, 1920, 735, 375, f"bold 18pt {HEI}", "red", 13),
    ("Label3", "label", "姓    名：", 1560, 2520, 1815, 495, None, None, 6),
    ("Text1_2", "text", "", 3480, 2520, 3615, 495, None, None, 2),
    ("Command3", "button", "确    定", 2760, 2880, 3255, 615, None, None, 10),
    ("Label4", "label", "成    绩：", 1560, 3120, 1815, 495, None, None, 7),
    ("Text1_3", "text", "", 3480, 3120, 3615, 495, None, None, 3),
    ("Command1", "button", "继续查询", 1680, 3960, 2295, 615, None, None, 8),
    ("Command2", "button", "退    出", 5040, 3960, 2295, 615, None, None, 9),
    ("Label8", "label", "翠县人社局办公室制", 6360, 4680, 2655, 375, f"14.25pt {SONG}", None, 14),
]
# Hidden in the entry state, in which the window starts: the result's boxes and labels and their buttons.
ENTRY_HIDDEN = {"Label3", "Text1_2", "Label4", "Text1_3", "Command1", "Command2"}
FORM1_CLIENT, FORM2_CLIENT = (9090, 5025), (4680, 5190)
PANEL_LABEL = (360, 480, 3975, 4575)

BYTES = re.compile(r"\{((?:0x[0-9a-f]{2}(?:, )?)+)\}")


def byte_list(text):
    return bytes(int(b, 16) for b in text.split(", "))


def table_from_source(text):
    """The sealed table of a C++ source written by tools/seal_roster.py, as one blob: salt, iterations (u32),
    record size (u16), row count (u16), then each row's tag, nonce and sealed record."""
    boxes = {int(n): byte_list(b) for n, b in re.findall(r"Sealed(\d+)\[\] = \{([^}]*)\};", text)}
    rows = re.findall(r"\{\{([^}]*)\},\s*\{([^}]*)\},\s*Sealed(\d+)\}", text)
    head = re.search(r"\{\{([^}]*)\}, (\d+), (\d+), Rows\}", text)
    if not boxes or len(rows) != len(boxes) or head is None:
        sys.exit("floor_page.py: that is not a sealed table written by tools/seal_roster.py")
    out = byte_list(head[1]) + struct.pack("<IHH", int(head[2]), int(head[3]), len(rows))
    for tag, nonce, number in rows:
        out += byte_list(tag) + byte_list(nonce) + boxes[int(number)]
    # Each row: a 32-byte tag, a 12-byte nonce, and the record sealed with its 16-byte authentication tag.
    if len(out) != 16 + 8 + len(rows) * (32 + 12 + int(head[3]) + 16):
        sys.exit("floor_page.py: the sealed table's rows are not of the size its header gives")
    return out


def table_sealed_afresh(iterations):
    sys.path.insert(0, str(REPO / "tools"))
    from embed_roster import read_table_file
    from seal_roster import seal_rows
    salt, size, sealed = seal_rows(read_table_file(ROSTER), iterations)
    out = salt + struct.pack("<IHH", iterations, size, len(sealed))
    return out + b"".join(tag + nonce + box for tag, nonce, box in sealed)


def px(twips):
    return f"{twips / TWIPS_PER_PIXEL:g}px"


def control_html(name, kind, caption, left, top, width, height, font, colour, tab):
    style = f"left:{px(left)};top:{px(top)};width:{px(width)};height:{px(height)}"
    style += f";font:{font}" if font else ""
    style += f";color:{colour}" if colour else ""
    if kind == "button" and height > 2 * width:
        style += ";writing-mode:vertical-rl"
    attributes = f'data-control="{name}"' + (f' tabindex="{tab + 1}"' if kind != "label" else "")
    attributes += f' style="{html.escape(style)}"' + (" hidden" if name in ENTRY_HIDDEN else "")
    if kind == "text":
        return f'<input type="text" {attributes}>'
    tag = "button" if kind == "button" else "div"
    return f"<{tag} {attributes}>{html.escape(caption)}</{tag}>"


def page(table, icon):
    controls = "\n".join(control_html(*c) for c in CONTROLS)
    left, top, width, height = PANEL_LABEL
    label = (f'<div data-control="Label1" style="left:{px(left)};top:{px(top)};width:{px(width)};'
             f'height:{px(height)};white-space:pre-wrap">{html.escape(INSTRUCTIONS)}</div>')
    return f"""<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{TITLE}</title>
<link rel="icon" href="data:image/png;base64,{icon}">
<style>
html,body{{margin:0;height:100%;overflow:hidden;background:#3a6ea5}}
#screen{{position:relative;width:100%;height:100%}}
.window{{position:absolute;background:#f0f0f0;font:18pt {SONG}}}
.window[hidden]{{display:none}}
.window[data-form="Form1"]{{border:1px solid #555}}
.titlebar{{height:24px;display:flex;align-items:center;background:#fff;font:12px sans-serif;user-select:none}}
.titlebar .icon{{width:16px;height:16px;margin:0 6px}}
.titlebar .title{{flex:1;white-space:nowrap;overflow:hidden}}
.titlebar .close{{width:32px;height:24px;border:0;background:none}}
.client{{position:relative}}
.client>*{{position:absolute;box-sizing:border-box;margin:0;font:inherit}}
.window[data-form="Form2"] .client{{font:14.25pt {SONG}}}
</style></head>
<body><div id="screen">
<div class="window" data-form="Form1"><div class="titlebar"><img class="icon" alt="" src="data:image/png;base64,{icon}">
<span class="title">{TITLE}</span><button class="close" aria-label="关闭" tabindex="-1">×</button></div>
<div class="client" style="width:{px(FORM1_CLIENT[0])};height:{px(FORM1_CLIENT[1])}">
{controls}
</div></div>
<div class="window" data-form="Form2" hidden><div class="client" style="width:{px(FORM2_CLIENT[0])};height:{px(FORM2_CLIENT[1])}">
{label}
</div></div>
</div>
<script id="table" type="application/octet-stream">{table}</script>
<script>
"use strict";
const table = Uint8Array.from(atob(document.getElementById("table").textContent), c => c.charCodeAt(0));
const form1 = document.querySelector('.window[data-form="Form1"]');
const form2 = document.querySelector('.window[data-form="Form2"]');
form1.style.left = Math.max(0, (innerWidth - form1.offsetWidth) / 2) + "px";
form1.style.top = Math.max(0, (innerHeight - form1.offsetHeight) / 2) + "px";
document.querySelector('[data-control="Command4"]').addEventListener("click", () => {{ form2.hidden = !form2.hidden; }});
// The one timer: the panel docks at the window's outer right edge, half as wide, as high.
setInterval(() => {{
  if (form2.hidden) return;
  const r = form1.getBoundingClientRect();
  const left = r.right + "px", top = r.top + "px", width = r.width / 2 + "px", height = r.height + "px";
  const s = form2.style;
  if (s.left !== left || s.top !== top || s.width !== width || s.height !== height) {{
    s.left = left; s.top = top; s.width = width; s.height = height;
  }}
}}, 50);
document.querySelector('[data-control="Text1_0"]').focus();
document.documentElement.dataset.tableBytes = table.length;
</script>
</body></html>
"""


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("output", type=Path)
    source = ap.add_mutually_exclusive_group(required=True)
    source.add_argument("--sealed-source", type=Path, help="the C++ source tools/seal_roster.py wrote for the page")
    source.add_argument("--seal-iterations", type=int, help="seal the roster afresh with this many iterations")
    args = ap.parse_args(argv[1:])
    if args.sealed_source:
        table = table_from_source(args.sealed_source.read_text())
    else:
        table = table_sealed_afresh(args.seal_iterations)
    icon = base64.b64encode(ICON.read_bytes()).decode()
    args.output.write_text(page(base64.b64encode(table).decode(), icon), encoding="utf-8")
    print(f"{args.output}: {args.output.stat().st_size:,} bytes, sealed table {len(table):,} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
