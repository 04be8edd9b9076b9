"""ezdxf as the other side of the DXF exchange.

Our export of the sample house must pass ezdxf's audit with one LINE per reported edge, and
drawings that ezdxf writes (R12, R2000, R2013) must import with the counts and areas that
follow from what was drawn: a slot with rounded ends drawn with bulges, a square, an open
spline, and a block inserted twice inside another block that model space inserts, all in
millimetres.
"""
import math
import os
import re
import subprocess
import sys
import tempfile

import ezdxf

CLI = sys.argv[1]
# A full turn tessellated at 24 segments, as the importer does: a unit circle's area.
CIRCLE_24 = 12.0 * math.sin(2.0 * math.pi / 24.0)


def run(cwd, *args):
    done = subprocess.run([CLI, *args], cwd=cwd, capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"{' '.join(args)} failed: {done.stderr}")
    return done.stdout


def report_value(text, key):
    match = re.search(r"(?:^|\s)" + re.escape(key) + r"=([^\s]+)", text)
    return match.group(1) if match else None


def check_export(cwd):
    out = run(cwd, "export-dxf", "--out", "house.dxf")
    edges = int(report_value(out, "edges"))
    doc = ezdxf.readfile(os.path.join(cwd, "house.dxf"))
    auditor = doc.audit()
    lines = len(doc.modelspace().query("LINE"))
    print(f"export: audit errors={len(auditor.errors)} lines={lines} edges={edges}")
    return not auditor.errors and lines == edges


def drawing(version):
    doc = ezdxf.new(version)
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    # 2000 x 1000 mm: straight sides and two half circles of radius 500 mm as bulges.
    slot = [(0, 0, 0), (2000, 0, 1), (2000, 1000, 0), (0, 1000, 1)]
    if version == "R12":
        poly = msp.add_polyline2d([(x, y) for x, y, _ in slot], close=True)
        for vertex, (_, _, bulge) in zip(poly.vertices, slot):
            vertex.dxf.bulge = bulge
    else:
        msp.add_lwpolyline(slot, format="xyb", close=True)
        msp.add_open_spline([(0, 3000), (1000, 4000), (2000, 3000), (3000, 4000)], degree=3)
    inner = doc.blocks.new("INNER", base_point=(0, 0))
    inner.add_lwpolyline([(0, 0), (100, 0), (100, 100), (0, 100)], close=True) if version != "R12" \
        else inner.add_polyline2d([(0, 0), (100, 0), (100, 100), (0, 100)], close=True)
    outer = doc.blocks.new("OUTER", base_point=(0, 0))
    outer.add_blockref("INNER", (0, 0))
    outer.add_blockref("INNER", (500, 0), dxfattribs={"rotation": 45})
    msp.add_blockref("OUTER", (5000, 0), dxfattribs={"xscale": 2, "yscale": 2})
    msp.add_line((0, -1000), (1000, -1000))
    return doc


def check_import(cwd, version):
    path = os.path.join(cwd, f"{version}.dxf")
    drawing(version).saveas(path)
    out = run(cwd, "import-dxf", "--in", path, "--out", version)
    stats = run(cwd, "stats", "--in", os.path.join(version, "import.korv"))
    splines = 0 if version == "R12" else 1
    # The slot in model space and INNER's square twice inside the one OUTER; R12 has no
    # $INSUNITS, so that drawing reads as metres.
    want = {"faces": 3, "instances": 3, "definitions": 2, "blocks": 2, "splines": splines}
    got = {key: int(report_value(out, key)) for key in want}
    area = float(report_value(stats, "area"))
    want_area = (2.0 + 0.25 * CIRCLE_24) * (1e6 if version == "R12" else 1.0)
    ok = got == want and abs(area / want_area - 1.0) < 1e-5
    print(f"{version}: {got} area={area:.6f} (want {want} area={want_area:.6f})")
    return ok


def check_plan(cwd):
    # The plan drawing: an entities-only file on our four layers, one LINE per reported line
    # and one TEXT per label; the upper storey comes in as hidden lines.
    run(cwd, "labels", "--add", "--label-text", "Living room", "--label-at", "2,6,0",
        "--out", "labelled.korv")
    out = run(cwd, "plan", "--in", "labelled.korv", "--plan-above", "--dxf", "plan.dxf")
    counts = {key: int(report_value(out, key)) for key in ("cut_lines", "beyond_lines", "hidden_lines")}
    doc = ezdxf.readfile(os.path.join(cwd, "plan.dxf"))
    auditor = doc.audit()
    msp = doc.modelspace()
    per_layer = {}
    for entity in msp:
        per_layer[entity.dxf.layer] = per_layer.get(entity.dxf.layer, 0) + 1
    print(f"plan: audit errors={len(auditor.errors)} layers={per_layer} report={counts}")
    return (not auditor.errors
            and per_layer.get("KORVAN-CUT", 0) == counts["cut_lines"] > 0
            and per_layer.get("KORVAN-BEYOND", 0) == counts["beyond_lines"] > 0
            and per_layer.get("KORVAN-HIDDEN", 0) == counts["hidden_lines"] > 0
            and per_layer.get("KORVAN-TEXT", 0) == len(msp.query("TEXT")) == 1)


def main():
    with tempfile.TemporaryDirectory(prefix=f"korvan-ezdxf-{os.getpid()}-") as cwd:
        results = [check_export(cwd), check_plan(cwd)] + [check_import(cwd, v) for v in ("R12", "R2000", "R2013")]
    sys.exit(0 if all(results) else 1)


main()
