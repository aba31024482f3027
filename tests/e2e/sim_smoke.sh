#!/usr/bin/env bash
# tessivar-sim end to end: it lists itself, answers on its tty, leaves update
# mode on Set Version, keeps its memory in a state file across runs and takes
# its devices line away when stopped.
set -u
BUILD=${1:?usage: sim_smoke.sh BUILD_DIR}
SIM="$BUILD/tessivar-sim"
WORK=$(mktemp -d)
PID=""
cleanup() {
    [ -n "$PID" ] && kill "$PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

DEVICES="$WORK/devices"
STATE="$WORK/pedal.state"
printf '/dev/ttyUSB9\tOther Device\tX1\n' > "$DEVICES"

start_sim() {
    : > "$WORK/out"   # the last run's banner must not be taken for this one's
    "$SIM" --devices "$DEVICES" --state "$STATE" --serial TSV0600C "$@" > "$WORK/out" 2> "$WORK/err" &
    PID=$!
    for _ in $(seq 50); do
        grep -q 'serving on' "$WORK/out" 2>/dev/null && break
        sleep 0.05
    done
    TTY=$(sed -n 's/^tessivar-sim: serving on //p' "$WORK/out")
    [ -n "$TTY" ] || fail "no banner: $(cat "$WORK/err")"
    grep -q "^$TTY	Brakwell Tessivar	TSV0600C	$PID\$" "$DEVICES" || fail "devices line missing"
}

stop_sim() {
    kill -TERM "$PID"
    wait "$PID" || fail "exit status $?"
    PID=""
    [ "$(cat "$DEVICES")" = "$(printf '/dev/ttyUSB9\tOther Device\tX1')" ] || fail "devices file not restored"
}

# Sends the bytes given in hex, prints the answer ($2 bytes) in hex.
exchange() {
    exec 3<>"$TTY"
    stty -F "$TTY" raw -echo
    printf "$(echo "$1" | sed 's/\([0-9a-f][0-9a-f]\)/\\x\1/g')" >&3
    if [ "$2" -gt 0 ]; then
        timeout 1 head -c "$2" <&3 | od -An -tx1 | tr -d ' \n'
    fi
    exec 3<&-
}

start_sim --update-mode --firmware 2.2.0
[ "$(exchange c0 2)" = "2200" ] || fail "update-mode state"
exchange c82305 0
sleep 0.1
[ "$(exchange c0 2)" = "2385" ] || fail "state after Set Version"
stop_sim
[ -s "$STATE" ] || fail "state file not written"

# The new version survives a restart.
start_sim
[ "$(exchange c0 2)" = "2385" ] || fail "version not kept"
[ "$(exchange c1 34 | cut -c1-4)" = "6000" ] || fail "globals"
stop_sim
echo "sim_smoke: ok"
