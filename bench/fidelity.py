#!/usr/bin/env python3
"""Compares a converted PDF with LibreOffice's own export of the same workbook.

    fidelity.py compare REFERENCE.pdf OURS.pdf [NAME]   one JSON line
    fidelity.py table RESULTS.jsonl                       a Markdown table
    fidelity.py row LABEL MS REFERENCE.pdf OURS.pdf       one table row of
                                                          bench/queue-candidates.sh
    fidelity.py command RESULTS.jsonl                     the table of
                                                          bench/command-fidelity.sh

The checks use poppler's tools:
  text     pdftotext -layout of both (text in the order it stands on the
           page), whitespace collapsed, in Unicode's composed form (NFC),
           compared page by page
           with difflib; the similarity is 2*matches / (len(ref) + len(ours))
           over the whole document.
  pages    pdfinfo page count, and every page's size (in points, as pdfinfo
           prints them); the largest difference is reported.
  render   pdftoppm -gray at 50 dpi; on each page, of the pixels that are
           inked (darker than 224) in either rendering, the share whose grey
           values differ by 32 or less. The worst page is reported.
  fonts    pdffonts: every font embedded, and no Type 3 font unless the
           reference has one too.
"""
import difflib
import json
import os
import re
import subprocess
import sys
import tempfile
import unicodedata

DPI = 50
INK = 224
TOLERANCE = 32


def run(*args):
    return subprocess.run(args, capture_output=True, check=False).stdout


def page_sizes(pdf):
    info = run("pdfinfo", pdf).decode("utf-8", "replace")
    m = re.search(r"^Pages:\s+(\d+)", info, re.M)
    if not m:
        return []
    info = run("pdfinfo", "-f", "1", "-l", m.group(1), pdf).decode("utf-8", "replace")
    return [(float(w), float(h)) for w, h in
            re.findall(r"^Page\s+\d+ size:\s+([\d.]+) x ([\d.]+) pts", info, re.M)]


def page_texts(pdf):
    text = run("pdftotext", "-layout", "-enc", "UTF-8", pdf, "-").decode("utf-8", "replace")
    pages = text.split("\f")
    if pages and not pages[-1].strip():
        pages.pop()
    return [unicodedata.normalize("NFC", re.sub(r"\s+", " ", p).strip()) for p in pages]


def text_similarity(ref_pages, our_pages):
    matches = total = 0
    for i in range(max(len(ref_pages), len(our_pages))):
        a = ref_pages[i] if i < len(ref_pages) else ""
        b = our_pages[i] if i < len(our_pages) else ""
        total += len(a) + len(b)
        if a == b:
            matches += len(a)
        else:
            blocks = difflib.SequenceMatcher(None, a, b, autojunk=False).get_matching_blocks()
            matches += sum(block.size for block in blocks)
    return 1.0 if total == 0 else 2.0 * matches / total


def read_pgm(path):
    with open(path, "rb") as f:
        data = f.read()
    # "P5\n<w> <h>\n255\n" then one byte per pixel.
    head = data.split(b"\n", 3)
    width, height = (int(v) for v in head[1].split())
    return width, height, head[3]


def render_similarity(ref, ours, pages, folder):
    worst = 1.0
    for page in range(1, pages + 1):
        images = []
        for name, pdf in (("ref", ref), ("ours", ours)):
            prefix = os.path.join(folder, name)
            run("pdftoppm", "-gray", "-r", str(DPI), "-f", str(page), "-l", str(page),
                "-singlefile", pdf, prefix)
            images.append(read_pgm(prefix + ".pgm"))
        (wa, ha, a), (wb, hb, b) = images
        if (wa, ha) != (wb, hb):
            return 0.0
        inked = agree = 0
        for x, y in zip(a, b):
            if x < INK or y < INK:
                inked += 1
                agree += abs(x - y) <= TOLERANCE
        worst = min(worst, 1.0 if inked == 0 else agree / inked)
    return worst


def fonts(pdf):
    rows = run("pdffonts", pdf).decode("utf-8", "replace").splitlines()[2:]
    types, embedded = set(), True
    for row in rows:
        m = re.match(r"^(.*?)\s+(Type 1C|Type 1|Type 3|TrueType|CID Type 0C|CID Type 0|"
                     r"CID TrueType|Type 1C \(OT\)|CID Type 0C \(OT\))\s+(\S+)\s+(yes|no)\s",
                     row)
        if m:
            types.add(m.group(2))
            embedded = embedded and m.group(4) == "yes"
    return sorted(types), embedded


def compare(ref, ours, name):
    ref_sizes, our_sizes = page_sizes(ref), page_sizes(ours)
    size_diff = max((max(abs(a[0] - b[0]), abs(a[1] - b[1]))
                     for a, b in zip(ref_sizes, our_sizes)), default=0.0)
    landscape_kept = all((a[0] > a[1]) == (b[0] > b[1]) for a, b in zip(ref_sizes, our_sizes))
    ref_types, _ = fonts(ref)
    our_types, embedded = fonts(ours)
    with tempfile.TemporaryDirectory() as folder:
        render = (render_similarity(ref, ours, len(ref_sizes), folder)
                  if len(ref_sizes) == len(our_sizes) else 0.0)
    return {
        "name": name,
        "pages": len(ref_sizes),
        "our_pages": len(our_sizes),
        "size_diff": round(size_diff, 4),
        "landscape_kept": landscape_kept,
        "text": round(text_similarity(page_texts(ref), page_texts(ours)), 4),
        "render": round(render, 4),
        "fonts": our_types,
        "embedded": embedded,
        "type3_added": "Type 3" in our_types and "Type 3" not in ref_types,
    }


def passes(r):
    return (r["text"] >= 0.98 and r["pages"] == r["our_pages"] and r["size_diff"] <= 0.01
            and r["landscape_kept"] and r["render"] >= 0.98 and r["embedded"]
            and not r["type3_added"])


def table(path):
    with open(path, encoding="utf-8") as f:
        results = [json.loads(line) for line in f if line.strip()]
    print("| workbook | pages | ours | size Δ (pt) | text | render (worst page) | fonts | goals |")
    print("|---|---:|---:|---:|---:|---:|---|---|")
    for r in results:
        if "error" in r:
            print(f"| {r['name']} | | | | | | | {r['error']} |")
            continue
        print(f"| {r['name']} | {r['pages']} | {r['our_pages']} | {r['size_diff']:.3f} | "
              f"{r['text']:.4f} | {r['render']:.4f} | {', '.join(r['fonts'])} | "
              f"{'met' if passes(r) else 'MISSED'} |")
    good = [r for r in results if "error" not in r]
    print()
    print(f"{sum(passes(r) for r in good)} of {len(results)} workbooks meet every goal; "
          f"lowest text similarity {min((r['text'] for r in good), default=0):.4f}, "
          f"lowest rendered page {min((r['render'] for r in good), default=0):.4f}.")


def command_passes(r):
    return r["pages"] == r["our_pages"] and r["text"] >= 0.99


def command_table(path):
    """quillmer-convert's default output against the office's own export:
    the same page count and text similarity >= 0.99 (the command's goals)."""
    with open(path, encoding="utf-8") as f:
        results = [json.loads(line) for line in f if line.strip()]
    print("| workbook | pages, office | pages, quillmer-convert | text | render (worst page) | goals |")
    print("|---|---:|---:|---:|---:|---|")
    for r in results:
        if "error" in r:
            print(f"| {r['name']} | | | | | {r['error']} |")
            continue
        print(f"| {r['name']} | {r['pages']} | {r['our_pages']} | {r['text']:.4f} | "
              f"{r['render']:.4f} | {'met' if command_passes(r) else 'MISSED'} |")
    good = [r for r in results if "error" not in r]
    print()
    print(f"{sum(command_passes(r) for r in good)} of {len(results)} workbooks: the same pages "
          f"and text similarity >= 0.99; lowest text similarity "
          f"{min((r['text'] for r in good), default=0):.4f}, pages "
          f"{sum(r['our_pages'] for r in good)} against {sum(r['pages'] for r in good)}.")


def main(argv):
    if len(argv) >= 4 and argv[1] == "compare":
        name = argv[4] if len(argv) > 4 else os.path.basename(argv[3])
        print(json.dumps(compare(argv[2], argv[3], name), ensure_ascii=False))
        return 0
    if len(argv) == 6 and argv[1] == "row":
        r = compare(argv[4], argv[5], os.path.basename(argv[4]))
        print(f"| {argv[2]} | {r['name']} | {argv[3]} | {r['our_pages']}/{r['pages']} | "
              f"{r['size_diff']:.3f} | {r['text']:.4f} | {r['render']:.4f} | "
              f"{', '.join(r['fonts'])} |")
        return 0
    if len(argv) == 3 and argv[1] == "command":
        command_table(argv[2])
        return 0
    if len(argv) == 3 and argv[1] == "table":
        table(argv[2])
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
