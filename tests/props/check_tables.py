#!/usr/bin/env python3
"""Regenerate every committed coefficient table from the fluid files and
compare with the committed copy. Exit 77 (skipped) when the fluid files are
not available. Usage: check_tables.py SOURCE_DIR SHARED_DIR WORK_DIR"""
import filecmp
import glob
import os
import subprocess
import sys

src, shared, work = sys.argv[1:4]
fluids = sorted(glob.glob(os.path.join(shared, "fluids", "*.json")))
fluids = [f for f in fluids if not os.path.basename(f).startswith("INCOMP")]
if not fluids:
    print("fluid files not available")
    sys.exit(77)
os.makedirs(work, exist_ok=True)
generator = os.path.join(src, "props", "tools", "gen_eos_data.py")
bad = 0
for f in fluids:
    out = subprocess.run([sys.executable, generator, f, work], check=True, capture_output=True, text=True).stdout.strip()
    committed = os.path.join(src, "props", "data", os.path.basename(out))
    if not os.path.exists(committed):
        print("not committed:", os.path.basename(out))
        bad += 1
    elif not filecmp.cmp(out, committed, shallow=False):
        print("differs from the generator output:", os.path.basename(out))
        bad += 1
print(f"{len(fluids)} tables checked, {bad} problems")
sys.exit(1 if bad else 0)
