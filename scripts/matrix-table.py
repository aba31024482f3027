#!/usr/bin/env python3
# The fault matrix of docs/reliability.md from the "MATRIX |" lines that
# tests/core/test_fault_matrix.cpp prints:
#   build/tests/test_fault_matrix | grep MATRIX > m.txt && python3 scripts/matrix-table.py m.txt
import sys
rows = {}
order = []
for line in open(sys.argv[1]):
    parts = [p.strip() for p in line.split('|')[1:]]
    op, fault, result, shown, units, secs = parts
    if op not in rows: rows[op] = {}; order.append(op)
    rows[op][fault] = (result, shown, units, secs)
faults = ["no answer", "short answer", "corrupted echo once", "corrupted echo always", "pedal vanishes mid-transfer",
          "spoiled header once", "spoiled header always"]
print("| operation | " + " | ".join(faults) + " |")
print("|---|" + "---|" * len(faults))
for op in order:
    cells = []
    for f in faults:
        if f not in rows[op]:
            cells.append("-")   # the operation stores no preset header
            continue
        r, shown, units, secs = rows[op][f]
        word = "succeeded" if r == "success" else ("failure shown" if shown == "shown" else "FAILURE NOT SHOWN")
        cells.append(f"{word}; {units}")
    print(f"| {op} | " + " | ".join(cells) + " |")
