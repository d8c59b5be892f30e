#!/usr/bin/env bash
# The audit record as a real syslog socket receives it: in a private mount
# namespace, a datagram socket is bound at /dev/log, vexoflash runs once
# for each outcome against a fake vxtool, and every record is checked:
# exactly one per run past the usage check, its priority and its text.
# The same update with nothing listening prints the same bytes and exits
# the same way.
set -euo pipefail

if [ "${1:-}" != inside ]; then
  . scripts/prereqs.sh
  need python3 python3
  need unshare util-linux
  need flock util-linux
  install_needed
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  chmod 0755 "$work"
  if ! unshare -m --propagation private true 2>/dev/null; then
    echo "audit: no private mount namespace can be made here; the /dev/log check is skipped"
    exit 0
  fi
  unshare -m --propagation private bash "$0" inside "$work" "$PWD/build/ci/vexoflash"
  exit
fi

work=$2
vf=$3

# /dev/log in a /dev of this namespace's own, the host's devices bound in.
mkdir "$work/olddev"
mount --bind /dev "$work/olddev"
mount -t tmpfs -o mode=755 tmpfs /dev
for d in null zero full random urandom tty; do
  touch "/dev/$d"
  mount --bind "$work/olddev/$d" "/dev/$d"
done
python3 -c '
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind("/dev/log")
out = open(sys.argv[1], "ab", buffering=0)
while True:
    out.write(s.recv(65536) + b"\n")
' "$work/records" &
listener=$!
trap 'kill $listener 2>/dev/null || true' EXIT
until [ -S /dev/log ]; do sleep 0.05; done
: >"$work/records"

mkdir "$work/bin"
cat >"$work/bin/vxtool" <<'TOOL'
#!/bin/sh
if [ $# -eq 2 ]; then
  printf '%b' "${SCAN_REPORT-Reserved bytes  = 0x01\nFirmware level  = 0x62\n}"
  exit 0
fi
exit "${FLASH_STATUS:-0}"
TOOL
chmod 0755 "$work/bin/vxtool"
export PATH="$work/bin:$PATH"

failed=0
n=0
# check NAME PRIORITY EXPECTED-TEXT [PREPARE] -- ARGS: runs vexoflash in a
# fresh directory and compares the one new record (text without dir=).
check() {
  local name=$1 priority=$2 expected=$3 prepare=$4
  shift 5
  n=$((n + 1))
  local dir="$work/run$n"
  mkdir -m 0755 "$dir"
  local before
  before=$(wc -l <"$work/records")
  (cd "$dir" && eval "$prepare" && "$vf" "$@" >"$dir/stdout") || true
  sleep 0.2
  local got
  got=$(tail -n +"$((before + 1))" "$work/records")
  local count
  count=$(printf '%s' "$got" | grep -c . || true)
  local want=""
  [ -n "$expected" ] && want="<$priority>vexoflash[PID]: $expected uid=0 user=root dir=$dir"
  local seen
  seen=$(printf '%s' "$got" | sed -E 's/^<([0-9]+)>[A-Z][a-z]{2} [ 0-9]{2} [0-9:]{8} vexoflash\[[0-9]+\]:/<\1>vexoflash[PID]:/')
  if { [ -z "$expected" ] && [ "$count" -eq 0 ]; } || { [ "$count" -eq 1 ] && [ "$seen" = "$want" ]; }; then
    printf '  %-22s %s\n' "$name" "${got:-(no record)}"
  else
    printf 'FAIL %s: %s record(s)\n  got:  %s\n  want: %s\n' "$name" "$count" "$seen" "$want"
    failed=1
  fi
}

image1="address=0x50 running=1 level=0x62 image=two.bin"
echo "--- audit records received on /dev/log (LOG_USER: 13 notice, 12 warning, 11 error)"
check updated 13 "outcome=updated exit=0 $image1 status=0 advice=DC" ":" -- 0x50 one.bin two.bin
check up-to-date 13 "outcome=up-to-date exit=0 $image1 status=4" "export FLASH_STATUS=4" \
  -- 0x50 one.bin two.bin
check failed 11 "outcome=failed exit=2 $image1 status=2" "export FLASH_STATUS=2" \
  -- 0x50 one.bin two.bin
check not-completed 11 "outcome=not-completed exit=1 $image1 status=7" "export FLASH_STATUS=7" \
  -- 0x50 one.bin two.bin
check not-found 11 "outcome=not-found exit=171 address=0x50" "export SCAN_REPORT=" \
  -- 0x50 one.bin two.bin
check writable-directory 12 \
  "outcome=refused reason=directory-writable-by-others exit=111 address=0x50" "chmod 0777 ." \
  -- 0x50 one.bin two.bin
check busy-directory 12 "outcome=refused reason=directory-busy exit=111 address=0x50" \
  "flock . sleep 2 & sleep 0.3" -- 0x50 one.bin two.bin
check report-not-regular 12 "outcome=refused reason=report-not-regular exit=111 address=0x50" \
  "mkdir flash.out" -- 0x50 one.bin two.bin
check too-long 12 "outcome=refused reason=argument-too-long exit=111 address=0x50" ":" \
  -- 0x50 one.bin "$(printf 'f%.0s' $(seq 215))"
check hostile-name 13 \
  'outcome=updated exit=0 address=0x50 running=1 level=0x62 image="x\x0Aoutcome=updated" status=0 advice=DC' \
  ":" -- 0x50 one.bin $'x\noutcome=updated'
check usage "" "" ":" -- 0x50 one.bin

echo "--- with nothing listening: the same output and exit status"
kill $listener
wait $listener 2>/dev/null || true
rm -f /dev/log
mkdir -m 0755 "$work/quiet"
status=0
(cd "$work/quiet" && "$vf" 0x50 one.bin two.bin >stdout) || status=$?
if [ "$status" -ne 0 ] || ! cmp "$work/quiet/stdout" "$work/run1/stdout"; then
  echo "FAIL: without a listener the run printed other bytes or exited with $status"
  failed=1
fi
[ "$failed" -eq 0 ] || exit 1
echo "audit records: checked"
