#!/usr/bin/env python3
"""Writes a few small bitmap-font descriptors into the folder given: each of
the three forms, a text one with CRLF line ends and a negative size, one
with escapes and non-ASCII names, XML with end tags, comments, a doctype,
CDATA and processing instructions, and JSON with members and values the
reader skips."""
import json
import re
import sys
from pathlib import Path

chars = [(65, 0, 0, 5, 7, 0, -1, 6), (8364, 5, 0, 6, 7, -1, 0, 7), (32, 0, 0, 0, 0, 0, 0, 3)]
kernings = [(65, 86, -2), (8364, 65, 1)]
keys = ("id", "x", "y", "width", "height", "xoffset", "yoffset", "xadvance")


def text(face, size, newline="\n"):
    lines = [f'info face="{face}" size={size} bold=1 italic=0 charset="" unicode=1 stretchH=100 smooth=1 aa=1 '
             'padding=0,0,0,0 spacing=0,0 outline=0',
             "common lineHeight=14 base=11 scaleW=16 scaleH=16 pages=1 packed=0 alphaChnl=0 redChnl=0 "
             "greenChnl=0 blueChnl=0",
             'page id=0 file="sheet.png"', f"chars count={len(chars)}"]
    lines += ["char " + " ".join(f"{k}={v}" for k, v in zip(keys, c)) + " page=0 chnl=15" for c in chars]
    lines += [f"kernings count={len(kernings)}"] + [f"kerning first={a} second={b} amount={n}" for a, b, n in kernings]
    return newline.join(lines) + newline


def xml(face):
    out = ['<?xml version="1.0"?>', "<font>", f'  <info face="{face}" size="12" bold="0" italic="1"/>',
           '  <common lineHeight="14" base="11" scaleW="16" scaleH="16" pages="1"/>',
           '  <pages>', '    <page id="0" file="sheet.png"/>', "  </pages>", f'  <chars count="{len(chars)}">']
    out += ["    <char " + " ".join(f'{k}="{v}"' for k, v in zip(keys, c)) + ' page="0" chnl="15"/>' for c in chars]
    out += ["  </chars>", f'  <kernings count="{len(kernings)}">']
    out += [f'    <kerning first="{a}" second="{b}" amount="{n}"/>' for a, b, n in kernings]
    return "\n".join(out + ["  </kernings>", "</font>", ""])


def as_json(face, extra=None):
    return json.dumps({
        **(extra or {}),
        "pages": ["sheet.png"],
        "chars": [dict(zip(keys, c), page=0, chnl=15) for c in chars],
        "info": {"face": face, "size": 12, "bold": 0, "italic": 0, "padding": [0, 0, 0, 0], "spacing": [0, 0]},
        "common": {"lineHeight": 14, "base": 11, "scaleW": 16, "scaleH": 16, "pages": 1},
        "kernings": [{"first": a, "second": b, "amount": n} for a, b, n in kernings],
    }, ensure_ascii=False, indent=1)


seeds = {
    "plain.fnt": text("Sans", 12),
    "crlf.fnt": text("Caf\u00e9 Sans", -16, "\r\n"),
    "plain.xml": xml("Sans"),
    "escaped.xml": xml("A &amp; &lt;B&gt; &quot;C&quot; &#233;"),
    "marked.xml": re.sub(r"<(\w+)([^>]*)/>", r"<\1\2></\1>", xml("Sans"))
    .replace("<chars", "<!-- a < b --><?p x=1?><chars")
    .replace("<font>", '<!DOCTYPE font [<!ENTITY e "<!--">]><font><![CDATA[<char id="66"/>]]>'),
    "plain.json": as_json("Sans"),
    "escaped.json": as_json('Caf\u00e9 "Q" \\ \t'),
    "skipped.json": as_json("Sans", {"extra": {"info": [{"size": 1.5}, None, True]}, "kerning": [[]]}),
}
folder = Path(sys.argv[1])
folder.mkdir(parents=True, exist_ok=True)
for name, data in seeds.items():
    (folder / name).write_text(data, encoding="utf-8", newline="")
