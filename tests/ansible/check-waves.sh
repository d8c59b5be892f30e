#!/usr/bin/env bash
# Runs contrib/ansible/vexoflash.yml against several local hosts, each with
# its own simulated device (state file) and working directory, and checks
# the rollout in waves and its fleet report: a canary that cannot be
# reached, or that fails, stops it before the next wave and leaves the
# other devices untouched; --check only scans, and the real run that
# follows agrees with it; a rerun with the canary fixed, from a directory
# holding the images under relative names, completes it, and replaces a
# symlink at the report's name; a failure in a wave of two stops the
# rollout after the wave, or, tolerated, lets the next wave run (unsigned
# images, allowed as in a lab; not allowed, or a signed manifest not
# accepted, no host is touched); with a manifest signed by a key made here,
# power cycles (and -v), a canary power-cycled through a simulated BMC
# (ipmi_sim, ipmitool) runs the new image whatever its tool prints late,
# and a wave whose hosts boot the old slot, do not come back, run a newer
# level or get bad copies stops the rollout; a rerun then changes nothing,
# but writes the newer device if allowed (it lacks the advised command);
# a host whose Python returns facts named like the role's variables is
# failed, and nothing of those facts is used on the control node.
#
#   tests/ansible/check-waves.sh [BUILD_DIR]
#
# BUILD_DIR (default build/ci) holds vexoflash and the simulated vxtool.
# KEEP_WORK=1 keeps the scratch directory, with each run's log.
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
build=$(realpath "${1:-build/ci}")
for program in "$build/vexoflash" "$build/sim/vxtool"; do
  [ -x "$program" ] || { echo "no $program: build first" >&2; exit 1; }
done

work=$(mktemp -d)
bmc=""
trap '[ -z "$bmc" ] || kill "$bmc"; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
unset VXTOOL_SIM_STATE VXTOOL_SIM_ABSENT VXTOOL_SIM_STATUS VXTOOL_SIM_SIGNAL
export ANSIBLE_HOME="$work/ansible-home" ANSIBLE_LOCAL_TEMP="$work/ansible-tmp"
export ANSIBLE_REMOTE_TEMP="$work/ansible-tmp" ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_NOCOLOR=1 ANSIBLE_PYTHON_INTERPRETER=auto_silent ANSIBLE_STDOUT_CALLBACK=default

# The hosts are all this machine.
# shellcheck source=tests/ansible/own-run.sh
. tests/ansible/own-run.sh
write_own_run "$work/vexoflash" "$build"

# The images under the names an operator would give them, in a directory
# of their own: the rerun uses them by relative name from there.
mkdir "$work/images"
cp tools/images/vexo3-image1.vx3 tools/images/vexo3-image2.vx3 "$work/images/"
# Their manifest, signed by a key that allowed_signers names and, as
# foreign.sig, by one it does not.
contrib/ansible/make-manifest "$work/images/manifest.json" 0x62 "$work"/images/vexo3-image{1,2}.vx3
for key in key foreign; do ssh-keygen -q -t ed25519 -N "" -C $key -f "$work/$key"; done
echo "fleet@example $(cat "$work/key.pub")" >"$work/allowed_signers"
ssh-keygen -q -Y sign -f "$work/key" -n vexoflash-manifest "$work/images/manifest.json"
ssh-keygen -q -Y sign -f "$work/foreign" -n vexoflash-manifest - <"$work/images/manifest.json" >"$work/foreign.sig"

# fleet: h1 (the canary, whose silicon ID does not match the images, and
# which cannot be reached with -e canary_unreachable=1: Ansible cannot
# make its temporary directory there; with -e canary_lost=1, once its
# working directory is made), h2 and h4 (fresh devices, running image 1
# at level 0x60), h3 (running image 1 at the images' level 0x62, its image
# 2 still at 0x60). lost: h5, where no device answers.
hosts=(h1 h2 h3 h4 h5)
fresh=$'address = 0x50\nsilicon = 0x3A41\nrunning = 1\nlevel1 = 0x60\nlevel2 = 0x60'
printf '%s\n' "${fresh/0x3A41/0x1234}" >"$work/h1.state"
printf '%s\n' "$fresh" >"$work/h2.state"
printf '%s\n' "${fresh/level1 = 0x60/level1 = 0x62}" >"$work/h3.state"
printf '%s\n' "$fresh" >"$work/h4.state"
{
  echo "all:"
  echo "  vars:"
  echo "    ansible_connection: local"
  echo "    vexoflash_path: $work/vexoflash"
  echo "    vexoflash_tool_dir: $build/sim"
  echo "    vexoflash_allow_unsigned: true"
  echo "  children:"
  echo "    fleet:"
  echo "      hosts:"
  for host in "${hosts[@]}"; do
    [ "$host" = h5 ] && { echo "    lost:"; echo "      hosts:"; }
    echo "        $host:"
    [ "$host" = h1 ] && echo "          ansible_remote_tmp: \"{{ '/dev/null/tmp' if canary_unreachable | default(false) or canary_lost | default(false) and '$work/h1' is directory else '$work/ansible-tmp' }}\""
    echo "          vexoflash_workdir: $work/$host"
    echo "          vexoflash_environment:"
    echo "            VXTOOL_SIM_STATE: $work/$host.state"
    [ "$host" = h5 ] && echo "            VXTOOL_SIM_ABSENT: '1'"
  done
} >"$work/inventory.yml"

failures=0
runs=0
problems=""
log=""

# play NAME EXPECTED_STATUS ARGS...: runs the playbook from $from (default
# the repository) on $inventory with the given ansible-playbook arguments.
from=$repo
inventory=$work/inventory.yml
play() {
  local name=$1 status=$2 rc=0
  shift 2
  log="$work/$name.log"
  problems=""
  runs=$((runs + 1))
  (cd "$from" && ansible-playbook -i "$inventory" "$repo/contrib/ansible/vexoflash.yml" \
    -e vexoflash_hosts=fleet "$@") >"$log" 2>&1 || rc=$?
  from=$repo
  [ "$rc" -eq "$status" ] || problems+=" exit status $rc, not $status;"
}
expect() {
  local text
  for text in "$@"; do
    grep -qF -- "$text" "$log" || problems+=" no '$text' in the output;"
  done
}
expect_not() {
  local text
  for text in "$@"; do
    if grep -qF -- "$text" "$log"; then problems+=" '$text' in the output;"; fi
  done
}
# recap HOST FAILED: the recap's failed count for HOST; "-" for a host
# that must not show at all.
recap() {
  local line
  line=$(grep -E "^$1 +: " "$log" || true)
  if [ "$2" = - ]; then
    [ -z "$line" ] || problems+=" $1 ran: $line;"
  elif [[ "$line" != *" failed=$2 "* ]]; then
    problems+=" $1 recap is not failed=$2: '$line';"
  fi
}
# report FILE HOST KEY=VALUE...: what the fleet report FILE holds for HOST
# (null for none; KEY^=VALUE: what it starts with).
report() {
  problems+=$(python3 -c 'import json, sys
entry = {e["host"]: e for e in json.load(open(sys.argv[1]))["hosts"]}[sys.argv[2]]
for key, want in (pair.split("=", 1) for pair in sys.argv[3:]):
    got = json.dumps(entry[key.rstrip("^")]).strip("\"")
    if got != want and not (key.endswith("^") and got.startswith(want)):
        print(" report holds %s for %s, not %s;" % (key, got, want), end="")
' "$@" 2>/dev/null || echo " no report on $2;")
}
# update_shows HOST STATUS: what the vexoflash run shows for HOST.
update_shows() {
  awk '/^TASK \[vexoflash : Update the Vexo3 firmware\]/ { f = 1; next } /^$/ { f = 0 } f' "$log" |
    grep -qE "^$2: \[$1\]( |\$)" || problems+=" the update on $1 does not show $2;"
}
# keep: remember every device's state; unchanged HOST...: those devices
# are as remembered; untouched HOST...: unchanged, and no working directory.
keep() {
  local host
  for host in "${hosts[@]}"; do
    rm -f "$work/$host.kept"
    [ ! -e "$work/$host.state" ] || cp "$work/$host.state" "$work/$host.kept"
  done
}
unchanged() {
  local host
  for host in "$@"; do
    if [ -e "$work/$host.kept" ]; then
      cmp -s "$work/$host.state" "$work/$host.kept" || problems+=" the device of $host changed;"
    else
      [ ! -e "$work/$host.state" ] || problems+=" the device of $host got a state file;"
    fi
  done
}
untouched() {
  local host
  unchanged "$@"
  for host in "$@"; do
    [ ! -e "$work/$host" ] || problems+=" $host has a working directory;"
  done
}
done_case() {
  if [ -n "$problems" ]; then
    echo "FAIL: $1:$problems"
    sed 's/^/    /' "$log"
    failures=$((failures + 1))
  else
    echo "ok: $1"
  fi
}

# Rollouts not accepted, on h2 alone: one line, a report, no host touched.
refused() {
  local name=$1 line=$2
  shift 2
  keep
  rm -f "$work/report.json"
  play "$name" 2 -e vexoflash_hosts=h2 -e "vexoflash_report=$work/report.json" -e vexoflash_allow_unsigned=false \
    -e "vexoflash_manifest=$work/images/manifest.json" -e "vexoflash_allowed_signers=$work/allowed_signers" "$@"
  expect "$line"
  report "$work/report.json" h2 outcome=not-touched images_verified=false
  untouched h2
  done_case "$name"
}
cp -r "$work/images" "$work/changed" && echo >>"$work/changed/vexo3-image2.vx3"
cp -r "$work/images" "$work/edited" && sed -i 's/0x62/0x63/' "$work/edited/manifest.json"
refused "image changed after signing" "Manifest not accepted: vexo3-image2.vx3 does not match its sha256 in the manifest; nothing was changed." \
  -e "vexoflash_manifest=$work/changed/manifest.json"
refused "foreign signer" "Manifest not accepted: $work/foreign.sig is signed by no key of $work/allowed_signers (No principal matched.); nothing was changed." \
  -e "vexoflash_manifest_signature=$work/foreign.sig"
refused "edited manifest" "Manifest not accepted: $work/edited/manifest.json.sig does not verify $work/edited/manifest.json as fleet@example in the namespace vexoflash-manifest (" \
  -e "vexoflash_manifest=$work/edited/manifest.json"
refused "no manifest" "No manifest: vexoflash_manifest is not set, and vexoflash_allow_unsigned is not true (for a lab only); nothing was changed." \
  -e vexoflash_manifest=

# Default waves (h1, then h2, then h3 and h4): the canary cannot be
# reached, the rollout stops before the second wave.
keep
play unreachable 2 -e canary_unreachable=1 -e "vexoflash_report=$work/report.json" \
  -e "vexoflash_image1=$work/images/vexo3-image1.vx3" -e "vexoflash_image2=$work/images/vexo3-image2.vx3"
expect "Rollout stopped after wave 1: 1 of its 1 host(s) failed (vexoflash_max_fail_percentage is 0)." \
  '"Unreachable: 1"' '"  h1: Failed to create temporary directory.' \
  '"Not touched: h2, h3, h4"'
recap h1 1
recap h2 -
report "$work/report.json" h1 outcome=unreachable wave=1 exit_status=null running_image=null \
  "message^=Failed to create temporary directory."
report "$work/report.json" h4 outcome=not-touched wave=null message=null
untouched h1 h2 h3 h4
done_case "unreachable canary"

# The canary is lost after its working directory is made, and vexoflash
# never runs there.
keep
play "lost canary" 2 -e canary_lost=1 \
  -e "vexoflash_image1=$work/images/vexo3-image1.vx3" -e "vexoflash_image2=$work/images/vexo3-image2.vx3"
expect '"Unreachable: 1"' '"Not touched: h2, h3, h4"'
[ -d "$work/h1" ] && [ ! -e "$work/h1/busscan.out" ] || problems+=" vexoflash ran on h1, or nothing did;"
unchanged h1
untouched h2 h3 h4
done_case "canary lost mid-way"
rm -r "$work/h1"

# The canary reached, but it fails.
keep
play stopped 2 -e "vexoflash_image1=$work/images/vexo3-image1.vx3" \
  -e "vexoflash_image2=$work/images/vexo3-image2.vx3"
expect "Rollout stopped after wave 1: 1 of its 1 host(s) failed (vexoflash_max_fail_percentage is 0)." \
  "  h1: exit status 1: Vexo Silicon ID Error - Vexo found but the silicon ID didn't match file." \
  '"Not touched: h2, h3, h4"' "To resume, fix the failures"
recap h1 1
update_shows h1 ok
recap h2 -
recap h3 -
recap h4 -
unchanged h1
untouched h2 h3 h4
done_case "stopped rollout"

# A dry run over every host against the images' level, h2 with image 2
# written and not yet running, h5 without a device: only the scan runs.
# h3 runs the level: the real run below leaves it alone, as this one says.
printf '%s\n' "$fresh" "level2 = 0x62" "pending = 2" >"$work/h2.state"
keep
play check 2 --check -e vexoflash_hosts=all -e "vexoflash_image1=$work/images/vexo3-image1.vx3" \
  -e "vexoflash_image2=$work/images/vexo3-image2.vx3" -e "vexoflash_report=$work/report.json" \
  -e vexoflash_level=0x62
expect "Check mode: nothing was written; each device was only scanned." "To be written: 2" \
  "  h1: The device runs image 1 at firmware level 0x60; a real run would write vexo3-image2.vx3 (image 2)." \
  '"Power cycle still due: 1"' '"  h2: AC power cycle"' '"At the target level: h3"' \
  "  h5: No Vexo3 device found: the scan names no running image, so a real run would end with exit status 171 (vxtool exit status 1)."
expect_not "up-to-date" "Rollout"
[ "$(grep -c '^PLAY \[' "$log")" -eq 1 ] || problems+=" not one wave;"
recap h2 0
recap h5 1
report "$work/report.json" h1 outcome=would-update exit_status=null running_image=1 level_before=0x60 \
  image_written=vexo3-image2.vx3 wave=1 target_level=0x62
report "$work/report.json" h2 outcome=pending-power-cycle image_written=null
report "$work/report.json" h3 outcome=current level_before=0x62
report "$work/report.json" h5 outcome=failed "message^=No Vexo3 device found: the scan names no running image"
unchanged h1 h2 h5
untouched h3 h4
done_case "check mode"
printf '%s\n' "$fresh" >"$work/h2.state"

# The canary fixed, the same rollout again, from the images' directory
# with relative image and report names: three waves, h3 left alone. The
# report's name is a symlink to a folder: it is replaced, not followed.
sed -i 's/0x1234/0x3A41/' "$work/h1.state"
mkdir "$work/linked"
ln -s ../linked "$work/images/report.json"
keep
from=$work/images play resumed 0 -e vexoflash_image1=vexo3-image1.vx3 -e vexoflash_image2=vexo3-image2.vx3 \
  -e vexoflash_report=report.json -e vexoflash_level=0x62
expect "Rollout complete after 3 wave(s)." '"Power cycle still due: 3"' \
  '"  h1: AC power cycle"' '"  h4: AC power cycle"' '"Up to date: h3"'
expect_not "Not touched" "Failed"
[ "$(grep -c '^PLAY \[' "$log")" -eq 3 ] || problems+=" not three waves;"
for host in h1 h2 h4; do
  recap $host 0
  update_shows $host changed
done
recap h3 0
update_shows h3 skipping
unchanged h3
cmp -s "$work/h2/vexo3-image1.vx3" tools/images/vexo3-image1.vx3 || problems+=" image 1 not copied to h2;"
[ "$(stat -c '%F %a' "$work/images/report.json")" = "regular file 644" ] && [ -z "$(ls -A "$work/linked")" ] ||
  problems+=" the report went through the symlink;"
report "$work/images/report.json" h2 outcome=pending-power-cycle wave=2 exit_status=0 running_image=1 \
  level_before=0x60 image_written=vexo3-image2.vx3 advice=AC images_verified=false
report "$work/images/report.json" h3 outcome=up-to-date wave=3 image_written=null advice=null
done_case "resumed rollout"

# Waves of two, h2 failing in the first: h1 finishes (its new image waits
# for a power cycle, so it is up to date), and the rollout stops before h3
# and h4.
sed -i 's/0x3A41/0x1234/' "$work/h2.state"
keep
play "stopped mid-wave" 2 -e '{"vexoflash_serial": [2, "100%"]}' \
  -e "vexoflash_image1=$work/images/vexo3-image1.vx3" -e "vexoflash_image2=$work/images/vexo3-image2.vx3"
expect "Rollout stopped after wave 1: 1 of its 2 host(s) failed" '"Not touched: h3, h4"' '"Up to date: h1"' \
  "  h2: exit status 1: Vexo Silicon ID Error"
recap h1 0
recap h2 1
recap h3 -
recap h4 -
unchanged h2 h3 h4
done_case "stopped with a host done"

# The same, tolerating half of a wave failing: the second wave runs.
keep
play tolerated 2 -e '{"vexoflash_serial": [2, "100%"], "vexoflash_max_fail_percentage": 50}' \
  -e "vexoflash_image1=$work/images/vexo3-image1.vx3" -e "vexoflash_image2=$work/images/vexo3-image2.vx3"
expect "Rollout finished after 2 wave(s), with failures." "Failed: 1" '"Up to date: h1, h4"' \
  "  h2: exit status 1: Vexo Silicon ID Error" '"  h3: DC power cycle"'
expect_not "Not touched"
[ "$(grep -c '^PLAY \[' "$log")" -eq 2 ] || problems+=" not two waves;"
recap h2 1
recap h3 0
recap h4 0
update_shows h2 ok
unchanged h2
done_case "tolerated failure"

# Power cycles, against the images' level, in waves of one and three, at
# -v, where no password may show. p1, the canary, has a BMC: ipmi_sim on
# 127.0.0.1, whose chassis control marks p1 down (Ansible's Python there
# fails) from power off to power on, and power-cycles its device at power
# on (logged). Its tool prints an up-to-date line after vexoflash has
# ended. It boots the new image. Then p2, written earlier (vexoflash finds
# nothing to write), which boots the old slot; p3, at level 0x6A, above
# the manifest's; p4, which never answers again (its cycle marks it down);
# pm, whose base64 adds a byte to each image. The rollout stops before p5.
hosts=(p1 p2 p3 p4 pm p5)
password=Pw-4c9e1f
port=$(python3 -c 'import socket; s = socket.socket(type=socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir "$work/bmc" "$work/late" "$work/bad"
ln -s "$build/sim/vxtool" "$work/bad/vxtool"
printf '#!/bin/sh\n%q "$@" && echo\n' "$(command -v base64)" >"$work/bad/base64"
printf '%s\n' 'name "p1"' 'set_working_mc 0x20' 'startlan 1' "addr 127.0.0.1 $port" 'priv_limit admin' \
  'allowed_auths_admin md5' 'guid a123456789abcdefa123456789abcdef' 'endlan' \
  "chassis_control \"$work/bmc/chassis 0x20\"" "user 2 true \"admin\" \"$password\" admin 10 md5" >"$work/bmc/lan.conf"
printf '%s\n' 'mc_setbmc 0x20' 'mc_add 0x20 0 no-device-sdrs 0x23 9 8 0x9f 0x1291 0xf02 persist_sdr' \
  'mc_enable 0x20' >"$work/bmc/emu"
# Called as: chassis MC get power ... | chassis MC set power 0|1
cat >"$work/bmc/chassis" <<END
#!/bin/sh
case "\$2 \$3 \$4" in
"get power"*) [ -e $work/p1.off ] && echo power:0 || echo power:1 ;;
"set power 0") touch $work/p1.off ;;
"set power 1") echo cycled >>$work/p1.cycles && VXTOOL_SIM_STATE=$work/p1.state $build/sim/vxtool --power-cycle && rm -f $work/p1.off ;;
esac
END
printf '#!/bin/sh\ncase " $* " in *" -f "*) (sleep 1; echo %q >&2) & ;; esac\nexec %q "$@"\n' \
  "Vexo Found and Firmware level is up-to-date. No flashing required." "$build/sim/vxtool" >"$work/late/vxtool"
for host in p1 p4; do
  printf '#!/bin/sh\n[ ! -e %s ] || exit 1\nexec /usr/bin/python3 "$@"\n' "$work/$host.off" >"$work/python-$host"
done
chmod +x "$work/bmc/chassis" "$work/late/vxtool" "$work/python-p1" "$work/python-p4" "$work/bad/base64"
timeout 300 ipmi_sim -c "$work/bmc/lan.conf" -f "$work/bmc/emu" -s "$work/bmc" -n >"$work/bmc/log" 2>&1 &
bmc=$!
for host in p1 p4 pm p5 t1 t2; do printf '%s\n' "$fresh" >"$work/$host.state"; done
printf '%s\n' "$fresh" "level2 = 0x62" "pending = 2" >"$work/p2.state"
printf '%s\n' "${fresh/level1 = 0x60/level1 = 0x6A}" >"$work/p3.state"
cat >"$work/power.yml" <<END
all:
  vars:
    ansible_connection: local
    vexoflash_path: $work/vexoflash
    vexoflash_tool_dir: $build/sim
    vexoflash_workdir: "$work/{{ inventory_hostname }}"
    vexoflash_environment: {VXTOOL_SIM_STATE: "$work/{{ inventory_hostname }}.state"}
    vexoflash_manifest: $work/images/manifest.json
    vexoflash_allowed_signers: $work/allowed_signers
    vexoflash_power_cycle:
      AC: [env, "VXTOOL_SIM_STATE=$work/{{ inventory_hostname }}.state", $build/sim/vxtool, --power-cycle]
  children:
    fleet:
      hosts:
        p1:
          bmc_port: $port
          ansible_python_interpreter: $work/python-p1
          vexoflash_tool_dir: $work/late
          vexoflash_power_cycle:
            AC: [ipmitool, -I, lanplus, -C, "3", -H, 127.0.0.1, -p, "{{ bmc_port }}", -U, admin, -P, $password,
                 chassis, power, cycle]
        p2: {vexoflash_power_cycle: {AC: ["true"]}}
        p3:
        p4:
          ansible_python_interpreter: $work/python-p4
          vexoflash_boot_timeout: 2
          vexoflash_power_cycle: {AC: [touch, $work/p4.off]}
        pm: {vexoflash_tool_dir: $work/bad}
        p5:
    tainted:
      vars:
        vexoflash_report: $work/report.json
      hosts:
        t1: {ansible_python_interpreter: $work/python-t1}
        t2:
END
keep
inventory=$work/power.yml play "power cycles" 2 -v -e '{"vexoflash_serial": [1, 4]}' \
  -e "vexoflash_report=$work/report.json"
expect "Rollout stopped after wave 2: 4 of its 4 host(s) failed (vexoflash_max_fail_percentage is 0)." \
  '"Verified, running the new firmware: 1"' '"  p1: runs 0x62 after the AC power cycle"' \
  '"  p2: Written, but not running: after the AC power cycle the device runs image 1 at level 0x60, not image 2 (vexo3-image2.vx3) at level 0x62."' \
  '"  p3: The device runs image 1 at firmware level 0x6A, above the target level 0x62: nothing was written' \
  '"  p4: Written, but not running: the host did not answer after the AC power cycle: timed out' \
  '"  pm: On the host, vexo3-image1.vx3, vexo3-image2.vx3 did not have the SHA-256 checked on the control node; nothing was written."' \
  '"Not touched: p5"'
expect_not "$password"
unchanged p3 pm
grep -qx 'running = 2' "$work/p1.state" || problems+=" p1 does not run image 2;"
update_shows p1 changed
report "$work/report.json" p1 outcome=verified level_before=0x60 level_after=0x62 target_level=0x62 \
  advice=AC "image_sha256=$(sha256sum <tools/images/vexo3-image2.vx3 | cut -d' ' -f1)" "time^=20" images_verified=true \
  "message=Vexo found and firmware updated. AC power cycle the system for the update to take affect. After the AC power cycle the device runs image 2 at level 0x62."
report "$work/report.json" p2 outcome=failed level_after=0x60 image_written=vexo3-image2.vx3
report "$work/report.json" p3 outcome=downgrade-refused image_written=null
report "$work/report.json" p4 outcome=failed level_after=null
[ "$(python3 -c 'import json, sys; r = json.load(open(sys.argv[1])); print(r["schema"], *r["manifest"].values())' "$work/report.json")" = \
  "1 0x62 $work/images/manifest.json $(sha256sum <"$work/images/manifest.json" | cut -d' ' -f1) fleet@example" ] ||
  problems+=" the report has not schema 1 and the manifest signed;"
untouched p5
done_case "power cycles"

# The rollout again on the verified canary: nothing to write or power-cycle.
# p3, downgrades allowed, is written; it has no command for its DC cycle.
hosts=(p1)
keep
inventory=$work/power.yml play rerun 2 --limit p1,p3 -e vexoflash_allow_downgrade=true
expect '"Up to date: p1"' '"  p3: Written, but not running: vexoflash_power_cycle has no DC command."'
grep -qx 'pending = 2' "$work/p3.state" || problems+=" p3 was not written;"
unchanged p1
[ "$(wc -l <"$work/p1.cycles")" -eq 1 ] || problems+=" p1 was power-cycled again;"
done_case "rerun after a verified rollout"

# t1's Python adds to every result facts that, injected as variables (the
# default), would stand in for the inventory's power command, report and
# images: t1 fails with nothing run for it on the control node, and t2,
# the first host with clean facts, names the report.
hosts=(t1 t2)
cat >"$work/python-t1" <<END
#!/bin/sh
/usr/bin/python3 "\$@" | /usr/bin/python3 -c 'import json, sys
result = json.load(sys.stdin)
result["ansible_facts"] = {"vexoflash_power_cycle": {"AC": ["touch", "$work/taken"]},
                           "vexoflash_report": "$work/taken", "vexoflash_image1": "$work/secret1.vx3",
                           "vexoflash_image2": "$work/secret2.vx3", "__vexoflash_wave": {"number": 9}}
print(json.dumps(result))'
END
chmod +x "$work/python-t1"
cp tools/images/vexo3-image1.vx3 "$work/secret1.vx3"
cp tools/images/vexo3-image2.vx3 "$work/secret2.vx3"
rm "$work/report.json"
keep
ANSIBLE_INJECT_FACT_VARS=1 inventory=$work/power.yml play facts 2 -e vexoflash_hosts=tainted \
  -e vexoflash_serial=100%
expect "  t1: The host returned facts named like the role's variables (__vexoflash_wave, vexoflash_image1, vexoflash_image2, vexoflash_power_cycle, vexoflash_report); nothing was run for it on the control node." \
  '"  t2: runs 0x62 after the AC power cycle"'
[ ! -e "$work/taken" ] || problems+=" the host's facts were used;"
unchanged t1
[ -z "$(ls "$work/t1")" ] || problems+=" t1 was given files: $(ls "$work/t1");"
report "$work/report.json" t1 outcome=failed wave=1
done_case "facts like the role's variables"

echo "$((runs - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
