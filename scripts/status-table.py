#!/usr/bin/env python3
# The command-line table of docs/reliability.md from the "STATUS |" lines that
# tests/e2e/fault_statuses.sh prints:
#   bash tests/e2e/fault_statuses.sh build | grep ^STATUS > s.txt && python3 scripts/status-table.py s.txt
import re
import sys

rows, order, faults = {}, [], []
for line in open(sys.argv[1]):
    _, cmd, fault, status = [p.strip() for p in line.split('|')]
    fault = re.sub(r'--vanish-after \d+', '--vanish-after N', fault)
    if cmd not in rows:
        rows[cmd] = {}
        order.append(cmd)
    if fault not in faults:
        faults.append(fault)
    rows[cmd][fault] = status
print("| command | " + " | ".join(f"`{f}`" for f in faults) + " |")
print("|---|" + "---|" * len(faults))
for cmd in order:
    print(f"| `korvane {cmd}` | " + " | ".join(rows[cmd].get(f, "") for f in faults) + " |")
