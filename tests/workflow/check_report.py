#!/usr/bin/env python3
"""check_report.py REPORT.html: opens the study report in a headless Chromium
and checks what a reader sees.

- The rendered DOM of a copy of the page with a probe script added: each
  plot (Manhattan, QQ, call rates, and the PC plot where the adjusted test
  ran) is an image that loaded (natural size), and drawn on a canvas it has
  non-white pixels in many rows and columns; the tables of the FDR-selected
  markers, the model, the analysed markers, the imputation summary, the
  quality control and the provenance have rows, the model's p-value and λ
  are given.
- A screenshot of the page itself: the plots' colours (blue points, the red
  dashed FDR line) are on screen.
Exits 1 naming every failed check.
"""
import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

from PIL import Image

PROBE = """<script>
window.addEventListener('load', () => {
  const result = {images: {}};
  for (const img of document.images) {
    const entry = {loaded: img.complete && img.naturalWidth > 0, width: img.naturalWidth};
    try {
      const canvas = document.createElement('canvas');
      canvas.width = img.naturalWidth; canvas.height = img.naturalHeight;
      const context = canvas.getContext('2d');
      context.drawImage(img, 0, 0);
      const data = context.getImageData(0, 0, canvas.width, canvas.height).data;
      const rows = new Set(), columns = new Set();
      for (let i = 0; i < data.length; i += 4) {
        if (data[i] < 200 || data[i + 1] < 200 || data[i + 2] < 200) {
          rows.add(Math.floor(i / 4 / canvas.width)); columns.add((i / 4) % canvas.width);
        }
      }
      entry.inkRows = rows.size; entry.inkColumns = columns.size;
    } catch (error) { entry.error = String(error); }
    result.images[img.id] = entry;
  }
  const pre = document.createElement('pre');
  pre.id = 'probe'; pre.textContent = JSON.stringify(result);
  document.body.appendChild(pre);
});
</script>"""

TABLES = ["fdr-markers", "csm-model", "csm-markers", "imputed-per-chromosome", "r2-by-maf", "qc-summary",
          "provenance-programs", "provenance-settings", "provenance-inputs"]


def body_rows(dom, table_id):
    """Rows of the table's body in Chromium's serialised DOM (0: no table)."""
    match = re.search(f'<table id="{table_id}">.*?<tbody>(.*?)</tbody>', dom, re.S)
    return match.group(1).count("<tr>") if match else 0


def text_of(dom, element_id):
    match = re.search(f'id="{element_id}"[^>]*>(.*?)<', dom, re.S)
    return html.unescape(match.group(1)) if match else ""


def chromium(*args):
    command = [shutil.which("chromium") or "chromium", "--headless", "--no-sandbox", "--disable-gpu",
               "--hide-scrollbars", "--virtual-time-budget=10000", *args]
    return subprocess.run(command, check=True, capture_output=True, text=True, timeout=120).stdout


def main():
    report = os.path.abspath(sys.argv[1])
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        probed = os.path.join(scratch, "probed.html")
        with open(report, encoding="utf-8") as f:
            page = f.read()
        with open(probed, "w", encoding="utf-8") as f:
            f.write(page.replace("</body>", PROBE + "</body>"))
        dom = chromium("--dump-dom", "file://" + probed)
        shot = os.path.join(scratch, "shot.png")
        chromium(f"--screenshot={shot}", "--window-size=1100,1400", "file://" + report)
        pixels = list(Image.open(shot).convert("RGB").getdata())

    probe = json.loads(text_of(dom, "probe") or "{}")
    plots = ["manhattan", "qq", "callrate"] + (["pcs"] if 'id="pcs"' in dom else [])
    for name in plots:
        image = probe.get("images", {}).get(name)
        if not image or not image.get("loaded"):
            problems.append(f"the {name} plot did not load ({image})")
        elif image.get("inkRows", 0) < 100 or image.get("inkColumns", 0) < 100:
            problems.append(f"the {name} plot is (nearly) blank ({image})")
    for table in TABLES:
        if body_rows(dom, table) < 1:
            problems.append(f"table {table} is empty or missing")
    if not text_of(dom, "csm-pvalue").strip():
        problems.append("no model p-value")
    if "\u03bb = " not in text_of(dom, "lambda"):
        problems.append("no inflation factor")

    kinds = (("blue plot points", lambda r, g, b: b > r + 60 and b > 90, 500),
             ("red FDR line", lambda r, g, b: r > g + 60 and r > b + 60, 50))
    for what, kind, least in kinds:
        count = sum(1 for p in pixels if kind(*p))
        if count < least:
            problems.append(f"the screenshot shows {count} pixels of the {what} (at least {least} expected)")
    for problem in problems:
        print("FAIL: report:", problem, file=sys.stderr)
    if problems:
        return 1
    print(f"ok: report drawn in Chromium ({', '.join(f'{t} {body_rows(dom, t)} rows' for t in TABLES)})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
