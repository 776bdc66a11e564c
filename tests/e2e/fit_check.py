#!/usr/bin/env python3
"""Compares the translation check's overflow findings with what the sample application's windows
measured of themselves (sampleapp --probe), and the widths the host check measures (FreeType)
with the widths Wine measured in the same windows.
   fit_check.py ARTIFACTS HOST_VTPLOC PERCENT...
Writes ARTIFACTS/fit-figures.txt; exit 1 when precision or recall is below 0.9 or the widths
disagree."""
import collections
import json
import subprocess
import sys

art, vtploc, pcts = sys.argv[1], sys.argv[2], sys.argv[3:]


def lines(path):
    try:
        with open(path, encoding="utf-8") as f:
            return [json.loads(l) for l in f if l.strip()]
    except FileNotFoundError:
        return []


def drawn(t):
    out, i = [], 0
    while i < len(t):
        if t[i] == "&" and i + 1 < len(t):
            i += 1
        out.append(t[i])
        i += 1
    return "".join(out)


figures = []
ok = True
for tool, prefix in (("host (FreeType)", "check"), ("vtploc.exe (GDI under Wine)", "checkwin")):
    tp = fp = fn = 0
    misses = []
    for pct in pcts:
        probe = lines(f"{art}/probe{pct}.jsonl")
        if not probe:
            print(f"no probe output for {pct} %")
            ok = False
            continue
        native = {p["item"]: p for p in probe if p["tag"] == "ntv"}
        shown = {p["item"]: p for p in probe if p["tag"] == "QPS"}
        truth = set()
        for item, p in shown.items():
            if not p["overflow"]:
                continue
            # A growing label that already ran into a sibling is the form's own fault: the check
            # reports only what the translation made.
            if p["class"] == "label" and native.get(item, {}).get("overflow"):
                continue
            truth.add(item)
        reported = {f["item"] for f in lines(f"{art}/{prefix}{pct}.jsonl") if f["level"] == "overflow"}
        # A control a form inherits is the ancestor's item in the dictionary ("BaseForm.HelpButton"
        # shows on MainForm): a finding of a form that was not shown counts for the forms that were.
        shown_forms = {i.split(".")[0] for i in shown}
        found = set()
        for item in shown:
            rest = item.split(".", 1)[1]
            if item in reported or any(r.split(".", 1)[1] == rest and r.split(".")[0] not in shown_forms
                                       for r in reported):
                found.add(item)
        tp += len(truth & found)
        fp += len(found - truth)
        fn += len(truth - found)
        misses += [f"{pct}%: missed {i}" for i in sorted(truth - found)]
        misses += [f"{pct}%: false {i}" for i in sorted(found - truth)]
    precision = tp / (tp + fp) if tp + fp else 0.0
    recall = tp / (tp + fn) if tp + fn else 0.0
    figures.append(f"{tool}: {tp} overflows found, {fp} false, {fn} missed: precision {precision:.2f}, recall {recall:.2f}")
    figures += ["  " + m for m in misses]
    if precision < 0.9 or recall < 0.9:
        ok = False

# Widths: every text the windows showed, measured by the host backend in the face Wine drew it.
groups = collections.defaultdict(list)
for pct in pcts:
    for p in lines(f"{art}/probe{pct}.jsonl"):
        if p["class"] == "tab":
            continue
        groups[(p["face"], p["height"], p["weight"] >= 700)].append(p)
diffs = []
for (face, height, bold), entries in groups.items():
    args = [vtploc, "font", "measure", "--name", face, "--height", str(height)] + (["--bold"] if bold else [])
    texts = [drawn(e["text"]) for e in entries]
    out = subprocess.run(args, input="\n".join(texts) + "\n", capture_output=True, text=True, encoding="utf-8")
    got = out.stdout.split("\n")
    for e, t, g in zip(entries, texts, got):
        ours = int(g.split(" ")[0]) if g else -1
        diffs.append((ours - e["text_px"], face, height, t, e["text_px"], ours))
exact = sum(1 for d in diffs if d[0] == 0)
near = sum(1 for d in diffs if abs(d[0]) <= 1)
worst = sorted(diffs, key=lambda d: -abs(d[0]))[:8]
figures.append(f"widths: {len(diffs)} texts, {exact} equal to Wine's, {near} within 1 px, "
               f"largest difference {abs(worst[0][0]) if worst else 0} px")
figures += [f"  {d[1]} {d[2]}: '{d[3]}' Wine {d[4]} px, FreeType {d[5]} px" for d in worst if d[0]]
if not diffs or near < 0.98 * len(diffs):
    ok = False
with open(f"{art}/fit-figures.txt", "w", encoding="utf-8") as f:
    f.write("\n".join(figures) + "\n")
print("\n".join(figures))
sys.exit(0 if ok else 1)
