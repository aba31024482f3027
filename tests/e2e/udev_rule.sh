#!/usr/bin/env bash
# Korvane's udev rule: a syntax check with `udevadm verify` where udev has it
# (systemd 253 and later), else with the check below that follows udev(7)'s
# grammar; then what the rule must do for the pedal.
# Usage: udev_rule.sh BUILD_DIR
set -uo pipefail
src="$(cd "$(dirname "$0")/../.." && pwd)"
rule="$src/packaging/60-korvane.rules"
failures=0
check() {
  local what="$1"; shift
  if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}

if command -v udevadm >/dev/null && udevadm verify --help >/dev/null 2>&1; then
  check "udevadm verify" udevadm verify --resolve-names=never "$rule"
else
  echo "# (no 'udevadm verify' here; checking the grammar of udev(7))"
fi

# Every rule line: comma-separated KEY[{attr}] OP "value", keys used with the
# operators udev allows for them, GOTOs that reach a LABEL.
check "grammar: keys, operators, quoting, labels" python3 - "$rule" <<'PY'
import re, sys
MATCH_ONLY = {"ACTION", "DEVPATH", "KERNEL", "KERNELS", "SUBSYSTEM", "SUBSYSTEMS", "DRIVER", "DRIVERS",
              "ATTRS", "TAGS", "CONST", "TEST", "PROGRAM", "RESULT"}
ASSIGN_ONLY = {"OWNER", "GROUP", "MODE", "SECLABEL", "RUN", "LABEL", "GOTO", "IMPORT", "OPTIONS"}
BOTH = {"NAME", "SYMLINK", "ATTR", "SYSCTL", "ENV", "TAG"}
WITH_ATTR = {"ATTR", "ATTRS", "SYSCTL", "ENV", "CONST", "TEST", "SECLABEL", "IMPORT", "RUN"}
NEEDS_ATTR = {"ATTR", "ATTRS", "SYSCTL", "ENV", "CONST", "SECLABEL", "IMPORT"}
pair = re.compile(r'\s*([A-Z_]+)(?:\{([^{}"]+)\})?\s*(==|!=|\+=|-=|:=|=)\s*"((?:[^"\\]|\\.)*)"\s*(,|$)')
text = open(sys.argv[1]).read()
lines, errors, labels, gotos = [], [], set(), set()
cur, start = "", 0
for n, raw in enumerate(text.split("\n"), 1):
    if not cur:
        start = n
    if raw.endswith("\\"):
        cur += raw[:-1] + " "
        continue
    cur += raw
    lines.append((start, cur))
    cur = ""
if cur:
    errors.append("file ends inside a continued line")
rules = 0
for n, line in lines:
    s = line.strip()
    if not s or s.startswith("#"):
        continue
    rules += 1
    pos, pairs = 0, []
    while pos < len(line) and line[pos:].strip():
        m = pair.match(line, pos)
        if not m:
            errors.append("line %d: cannot read from %r" % (n, line[pos:pos + 30]))
            break
        key, attr, op, value, sep = m.groups()
        pairs.append((key, attr, op, value))
        pos = m.end()
        if sep == "" and line[pos:].strip():
            errors.append("line %d: missing comma" % n)
            break
    for key, attr, op, value in pairs:
        matching = op in ("==", "!=")
        if key not in MATCH_ONLY | ASSIGN_ONLY | BOTH:
            errors.append("line %d: unknown key %s" % (n, key))
        elif matching and key in ASSIGN_ONLY:
            errors.append("line %d: %s cannot be matched" % (n, key))
        elif not matching and key in MATCH_ONLY:
            errors.append("line %d: %s cannot be assigned" % (n, key))
        if attr is not None and key not in WITH_ATTR:
            errors.append("line %d: %s takes no {attribute}" % (n, key))
        if attr is None and key in NEEDS_ATTR:
            errors.append("line %d: %s needs an {attribute}" % (n, key))
        if key == "MODE" and not re.fullmatch(r"0?[0-7]{3}", value):
            errors.append("line %d: MODE %r is not octal" % (n, value))
        if key == "LABEL":
            labels.add(value)
        if key == "GOTO":
            gotos.add(value)
    if not any(op in ("==", "!=") for _, _, op, _ in pairs) and not any(k == "LABEL" for k, _, _, _ in pairs):
        errors.append("line %d: a rule without a match applies to every device" % n)
for g in sorted(gotos - labels):
    errors.append("GOTO %s has no LABEL" % g)
if rules == 0:
    errors.append("no rules")
for e in errors:
    print("     " + e)
sys.exit(1 if errors else 0)
PY

# What the rule is for: only the bridge that calls itself "Brakwell Tessivar",
# open to the seat and to dialout, a stable name, a 1 ms latency timer.
rules="$(sed -e ':a' -e '/\\$/N; s/\\\n//; ta' "$rule" | grep -v '^[[:space:]]*#')"
tty_rule="$(grep 'SUBSYSTEM=="tty"' <<<"$rules")"
latency_rule="$(grep 'latency_timer' <<<"$rules")"
check "tty rule picks the pedal by its product string" grep -qF 'ATTRS{product}=="Brakwell Tessivar"' <<<"$tty_rule"
check "tty rule opens it to dialout and the seat" \
  bash -c 'grep -qF "GROUP=\"dialout\"" <<<"$1" && grep -qF "MODE=\"0660\"" <<<"$1" && grep -qF "TAG+=\"uaccess\"" <<<"$1"' _ "$tty_rule"
check "tty rule gives a stable name" grep -qF 'SYMLINK+="tessivar"' <<<"$tty_rule"
check "latency timer of the pedal's FTDI port set to 1 ms" \
  bash -c 'grep -qF "ATTRS{product}==\"Brakwell Tessivar\"" <<<"$1" && grep -qF "ATTR{latency_timer}=\"1\"" <<<"$1" && grep -qF "DRIVER==\"ftdi_sio\"" <<<"$1"' _ "$latency_rule"

if [[ "$failures" -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
