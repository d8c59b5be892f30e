#!/usr/bin/env bash
# The audit record as only a real syslog socket shows it (the unit tests
# hold every record's text): in a private mount namespace a datagram
# socket is bound at /dev/log. A run's record arrives there whole, naming
# the user who logged in; a log daemon that stops reading (its queue full)
# holds the run up for about a second at most and changes nothing it
# prints; with nothing listening the run prints the same bytes and exits
# the same way; a host lock open to others gives a refusal's record. Then logind's inhibitor as only a system bus shows it: on
# a private bus, python3-dbusmock's logind lists the run's block inhibitor
# while the flash runs, and none during the scan or after the run; the
# run prints what it prints without a bus, and its record says held.
set -euo pipefail

if [ "${1:-}" != inside ]; then
  . scripts/prereqs.sh
  need python3 python3
  need unshare util-linux
  need dbus-daemon dbus-daemon
  need dbus-send dbus-bin
  need /usr/lib/python3/dist-packages/dbusmock/__init__.py python3-dbusmock
  grep -q 'libsystemd\.so\.0 ' < <(ldconfig -p) || need_package libsystemd0
  install_needed
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  chmod 0700 "$work"
  if ! unshare -m --propagation private true 2>/dev/null; then
    echo "audit: no private mount namespace can be made here; the /dev/log check is skipped"
    exit 0
  fi
  unshare -m --propagation private bash "$0" inside "$work" "$PWD/build/ci/vexoflash"
  exit
fi

work=$2
vf=$3

# /dev/log in a /dev of this namespace's own, the host's devices bound in,
# and a /run of its own for the host lock.
mkdir "$work/olddev" "$work/run"
mount --bind /dev "$work/olddev"
mount -t tmpfs -o mode=755 tmpfs /dev
for d in null zero full random urandom tty; do
  touch "/dev/$d"
  mount --bind "$work/olddev/$d" "/dev/$d"
done
mount --bind "$work/run" /run

# listen FILE: every datagram sent to /dev/log, one per line, into FILE.
# deaf: a socket at /dev/log whose queue is full and never read.
socket() {
  python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind("/dev/log")
if sys.argv[1] == "listen":
    out = open(sys.argv[2], "ab", buffering=0)
    while True:
        out.write(s.recv(65536) + b"\n")
c = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
c.connect("/dev/log")
c.setblocking(False)
try:
    while True:
        c.send(b"<13>filler")
except BlockingIOError:
    pass
open(sys.argv[2], "w").close()
time.sleep(3600)
' "$@" &
  daemon=$!
  until [ -e "$2" ]; do sleep 0.05; done
}
stop_socket() {
  kill "$daemon" 2>/dev/null || true
  wait "$daemon" 2>/dev/null || true
  rm -f /dev/log
}
bus_pids=""
stop_all() {
  stop_socket
  # shellcheck disable=SC2086
  [ -z "$bus_pids" ] || { kill $bus_pids 2>/dev/null; wait $bus_pids 2>/dev/null; } || true
}
trap stop_all EXIT

mkdir "$work/bin"
cat >"$work/bin/vxtool" <<'TOOL'
#!/bin/sh
[ $# -eq 2 ] && printf 'Reserved bytes  = 0x01\nFirmware level  = 0x62\n'
exit 0
TOOL
chmod 0755 "$work/bin/vxtool"
export PATH="$work/bin:$PATH"

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}
# run NAME: an update in a fresh directory; its output in NAME/stdout,
# its exit status in status, its time in milliseconds in took.
run() {
  mkdir -m 0700 "$work/$1"
  local started
  started=$(date +%s%N)
  status=0
  (cd "$work/$1" && timeout -k 5 10 "$vf" 0x50 one.bin two.bin >stdout) || status=$?
  took=$((($(date +%s%N) - started) / 1000000))
}

echo "--- the record on /dev/log, as root for a user who logged in as nobody"
socket listen "$work/records"
# The login uid is inherited, as sudo and su keep it; where this process
# has one already and it cannot be set, the record names that one.
(
  echo 65534 >/proc/self/loginuid 2>/dev/null || true
  cat /proc/self/loginuid >"$work/loginuid"
  run updated
  exit "$status"
) || fail "the update exited with $?"
sleep 0.2
uid=$(cat "$work/loginuid")
login=""
if [ "$uid" != 4294967295 ]; then
  login=$(getent passwd "$uid" | cut -d: -f1)
  login=${login:-$uid}
fi
want="<13>vexoflash[PID]: outcome=updated exit=0 address=0x50 running=1 level=0x62"
want="$want image=two.bin inhibit=unavailable status=0 advice=DC uid=0 user=root${login:+ login=$login}"
want="$want dir=$work/updated"
got=$(sed -E 's/^<([0-9]+)>[A-Z][a-z]{2} [ 0-9]{2} [0-9:]{8} vexoflash\[[0-9]+\]:/<\1>vexoflash[PID]:/' "$work/records")
echo "  $(cat "$work/records")"
[ "$got" = "$want" ] || fail "record: got '$got', want '$want'"
# A host lock open to others refuses the run, and the record says why.
install -m 644 /dev/null /run/vexoflash.lock
run refused
rm /run/vexoflash.lock
sleep 0.2
[ "$status" -eq 111 ] || fail "with the lock open to others: exit status $status"
grep -q '\]: outcome=refused reason=host-lock-unusable exit=111 ' "$work/records" ||
  fail "no host-lock-unusable record"
stop_socket

echo "--- a log daemon whose queue is full"
socket deaf "$work/full"
run deaf
echo "  exit $status after $took ms"
[ "$status" -eq 0 ] || fail "exit status $status"
[ "$took" -lt 2000 ] || fail "the run took $took ms"
cmp -s "$work/deaf/stdout" "$work/updated/stdout" || fail "the output differs"
stop_socket

echo "--- nothing listening"
run quiet
echo "  exit $status after $took ms"
[ "$status" -eq 0 ] || fail "exit status $status"
cmp -s "$work/quiet/stdout" "$work/updated/stdout" || fail "the output differs"

echo "--- the inhibitor on a private system bus"
cat >"$work/bus.conf" <<CONF
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/> <allow own="*"/>
    <allow send_type="*"/> <allow receive_type="*"/>
  </policy>
</busconfig>
CONF
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/system_bus_socket"
timeout -k 5 60 dbus-daemon --config-file="$work/bus.conf" --nofork 2>/dev/null &
bus_pids=$!
timeout -k 5 60 /usr/bin/python3 -m dbusmock --system --template logind >/dev/null 2>&1 &
bus_pids="$bus_pids $!"
inhibitors() {
  dbus-send --system --print-reply --dest=org.freedesktop.login1 /org/freedesktop/login1 \
    org.freedesktop.login1.Manager.ListInhibitors 2>&1
}
tries=0
until inhibitors >/dev/null; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || { fail "no mock logind on the bus"; break; }
  sleep 0.05
done
# The tool lists the inhibitors during its scan and during its flash.
mkdir "$work/bus-bin"
cat >"$work/bus-bin/vxtool" <<TOOL
#!/bin/sh
[ \$# -eq 2 ] && when=scan || when=flash
dbus-send --system --print-reply --dest=org.freedesktop.login1 /org/freedesktop/login1 \\
  org.freedesktop.login1.Manager.ListInhibitors >"$work/during-\$when" 2>&1
[ \$# -eq 2 ] && printf 'Reserved bytes  = 0x01\\nFirmware level  = 0x62\\n'
exit 0
TOOL
chmod 0755 "$work/bus-bin/vxtool"
socket listen "$work/bus-records"
PATH="$work/bus-bin:$PATH" run bus
sleep 0.2
inhibitors >"$work/after"
stop_socket
echo "  exit $status after $took ms"
[ "$status" -eq 0 ] || fail "exit status $status"
cmp -s "$work/bus/stdout" "$work/updated/stdout" || fail "the output differs"
grep -q ' inhibit=held ' "$work/bus-records" || fail "record: $(cat "$work/bus-records")"
want='string "shutdown:sleep" string "vexoflash" string "Writing Vexo3 firmware" string "block"'
[ "$(grep -o 'string ".*"' "$work/during-flash" | tr '\n' ' ')" = "$want " ] ||
  fail "during the flash: $(cat "$work/during-flash")"
for when in during-scan after; do
  ! grep -q vexoflash "$work/$when" && grep -q 'array \[' "$work/$when" ||
    fail "$when: $(cat "$work/$when")"
done

[ "$failed" -eq 0 ] || exit 1
echo "audit records and the inhibitor: checked"
