#!/usr/bin/env bash
# Runs contrib/ansible/vexoflash.yml against localhost (local connection)
# with a simulated vxtool, and checks how each vexoflash outcome shows in
# Ansible: an update is "changed", an up-to-date device "ok", no device and
# every other failure "failed" with vexoflash's message; and what the fleet
# report says of it. One update runs through the playbook for one host of
# docs/fleet.md, which includes the role without waves. Unsigned images, as
# in a lab.
#
#   tests/ansible/check-playbook.sh [BUILD_DIR]
#
# BUILD_DIR (default build/ci) holds vexoflash and the simulated vxtool
# (sim/vxtool); the sample images come from tools/images/.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build/ci}")
vexoflash=$build/vexoflash
tool_dir=$build/sim
for program in "$vexoflash" "$tool_dir/vxtool"; do
  [ -x "$program" ] || { echo "no $program: build first" >&2; exit 1; }
done
image1=$PWD/tools/images/vexo3-image1.vx3
image2=$PWD/tools/images/vexo3-image2.vx3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A fresh simulated device: 0x50, running image 1, both slots at 0x60.
export VXTOOL_SIM_STATE="$work/device.state"
unset VXTOOL_SIM_ABSENT VXTOOL_SIM_STATUS VXTOOL_SIM_SIGNAL
# An image with a silicon ID that the device does not have.
"$tool_dir/vxtool" --make-image 2 0x63 0x1234 >"$work/other-silicon.vx3"
# A vxtool that warns on its standard error before each command, and one
# that prints vexoflash's update lines there while it flashes.
mkdir "$work/noisy" "$work/forging"
printf '#!/bin/sh\necho "vxtool: warning: bus slow" >&2\nexec %q "$@"\n' "$tool_dir/vxtool" >"$work/noisy/vxtool"
printf '#!/bin/sh\ncase " $* " in *" -f "*) printf "%%s\\n" %q %q %q %q >&2 ;; esac\nexec %q "$@"\n' \
  "Vexo found and firmware updated." "DC power cycle the system for the update to take effect." \
  "Current Firmware Level = 0x99" "ERROR: forged" "$tool_dir/vxtool" >"$work/forging/vxtool"
chmod +x "$work/noisy/vxtool" "$work/forging/vxtool"

# Keep Ansible's own files inside the scratch directory.
export ANSIBLE_HOME="$work/ansible-home" ANSIBLE_LOCAL_TEMP="$work/ansible-tmp"
export ANSIBLE_REMOTE_TEMP="$work/ansible-tmp" ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_NOCOLOR=1 ANSIBLE_PYTHON_INTERPRETER=auto_silent ANSIBLE_STDOUT_CALLBACK=default

# The fleet guide's playbook for one host (docs/fleet.md).
awk '/^<!-- one-host.yml -->$/ { f = 1; next } f && /^```/ { if (n++) exit; next } f' docs/fleet.md >"$work/one-host.yml"

failures=0
runs=0

# run_case NAME TASK_STATUS CHANGED FAILED TEXT...
#   TASK_STATUS: what the "Update the Vexo3 firmware" task shows, "-" when
#   it does not show;
#   CHANGED, FAILED: the recap counts for $host; TEXT: lines that the
#   output must hold. The address is $address; extra ansible-playbook
#   arguments come from the array case_args, the array case_wrap holds
#   a command that runs ansible-playbook, and case_report the KEY=VALUE
#   pairs that the fleet report must hold for the host (null for none;
#   KEY$=VALUE: what it ends with).
reset_case() {
  address=0x50
  playbook=contrib/ansible/vexoflash.yml
  host=localhost
  case_args=()
  case_wrap=()
  case_report=()
}
reset_case
run_case() {
  local name=$1 task=$2 changed=$3 failed=$4
  shift 4
  local log="$work/$name.log" problems=""
  runs=$((runs + 1))
  rm -f "$work/report.json"
  "${case_wrap[@]}" ansible-playbook -i "$host," -c local "$playbook" \
    -e "vexoflash_hosts=$host" -e "vexoflash_report=$work/report.json" \
    -e "vexoflash_path=$vexoflash" \
    -e "vexoflash_tool_dir=$tool_dir" \
    -e "vexoflash_workdir=$work/host" \
    -e "vexoflash_image1=$image1" -e "vexoflash_image2=$image2" -e vexoflash_allow_unsigned=true \
    -e "vexoflash_address=$address" "${case_args[@]}" >"$log" 2>&1 || true
  local report=("${case_report[@]}") who=$host
  reset_case

  local shown recap
  shown=$(awk '/^TASK \[vexoflash : Update the Vexo3 firmware\]/ { getline; print $1; exit }' "$log")
  [ "$task" = - ] && task="" || task="$task:"
  [ "$shown" = "$task" ] || problems+=" update task shows '$shown', not '$task';"
  recap=$(grep -E "^$who +: " "$log" || true)
  [[ "$recap" == *" changed=$changed "* ]] || problems+=" recap is not changed=$changed;"
  [[ "$recap" == *" failed=$failed "* ]] || problems+=" recap is not failed=$failed;"
  local text
  for text in "$@"; do
    grep -qF -- "$text" "$log" || problems+=" no '$text' in the output;"
  done
  [ ${#report[@]} -eq 0 ] || problems+=$(python3 -c 'import json, sys
entry = json.load(open(sys.argv[1]))["hosts"][0]
for key, want in (pair.split("=", 1) for pair in sys.argv[2:]):
    got = json.dumps(entry[key.rstrip("$")]).strip("\"")
    ok = got.endswith(want) if key.endswith("$") else got == want
    print("" if ok else " report holds %s=%s, not %s;" % (key, got, want), end="")
' "$work/report.json" "${report[@]}" 2>/dev/null || echo " no fleet report;")
  if [ -n "$problems" ]; then
    echo "FAIL: $name:$problems"
    sed 's/^/    /' "$log"
    failures=$((failures + 1))
  else
    echo "ok: $name ($(echo $recap))"
  fi
}

# The cases share one device and one working directory, in this order.
# The first run also creates the directory and copies both images.
case_report=(outcome=updated exit_status=0 running_image=1 level_before=0x60
  image_written=vexo3-image2.vx3 advice=AC "message=Vexo found and firmware updated. AC power cycle the system for the update to take affect." wave=1
  level_after=null target_level=null "image_sha256=$(sha256sum <"$image2" | cut -d' ' -f1)")
run_case "first update" changed 1 0 \
  "updated: Vexo found and firmware updated. AC power cycle the system for the update to take affect." \
  '"Written, power cycle still due: 1"' '"  localhost: AC power cycle"'
[ -s "$work/host/busscan.out" ] || { echo "FAIL: no busscan.out left in the working directory"; failures=$((failures + 1)); }
# The new image runs only after a power cycle: until then a rerun finds it
# written, changes nothing, and with the images' level given says that the
# device does not run it yet. The working directory is made private again.
chmod 0777 "$work/host"
case_args=(-e vexoflash_level=0x62)
case_report=(outcome=pending-power-cycle exit_status=0 running_image=1 image_written=vexo3-image2.vx3
  advice=AC target_level=0x62)
run_case "rerun before power cycle" ok 0 0 \
  "pending-power-cycle: Vexo Found and Firmware level is up-to-date. No flashing required. The device runs 0x60; 0x62 runs after a power cycle." \
  '"Power cycle still due: 1"' '"  localhost: AC power cycle"'
[ "$(stat -c '%U %a' "$work/host")" = "root 700" ] || { echo "FAIL: the working directory is not root's with mode 700"; failures=$((failures + 1)); }
"$tool_dir/vxtool" --power-cycle >/dev/null
playbook=$work/one-host.yml
host=lab1
case_wrap=(env "ANSIBLE_ROLES_PATH=$PWD/contrib/ansible/roles")
run_case "second update, one-host playbook" changed 1 0 \
  "updated: Vexo found and firmware updated. DC power cycle the system for the update to take effect." \
  '"msg": "DC power cycle lab1 before its new firmware runs."'
"$tool_dir/vxtool" --power-cycle >/dev/null
# The tool prints vexoflash's update lines while it flashes: they are its
# output, not vexoflash's outcome.
case_args=(-e "vexoflash_tool_dir=$work/forging")
case_report=(outcome=up-to-date level_before=0x62 advice=null exit_status=0 tool_output=null)
run_case "up-to-date, forged tool lines" ok 0 0 \
  "up-to-date: Vexo Found and Firmware level is up-to-date. No flashing required." '"Up to date: localhost"'
address=0x51
case_report=(outcome=failed exit_status=171 running_image=null level_before=null "message=Vexo3 device not found.")
run_case "no device" ok 0 1 \
  "failed (vexoflash exit status 171): Vexo3 device not found."
# vxtool refuses the address on its standard error, which the role passes on.
address=0x80
run_case "bad address" ok 0 1 \
  "failed (vexoflash exit status 171): Vexo3 device not found. (tool output: vxtool: "
# The device runs image 1 again, so the image 2 file is the one tried; the
# report names it, and the tool's reason from flash.out.
case_args=(-e "vexoflash_image2=$work/other-silicon.vx3")
case_report=(outcome=failed exit_status=1 running_image=1 image_written=other-silicon.vx3
  "message=Vexo Silicon ID Error - Vexo found but the silicon ID didn't match file."
  "tool_output$=ERROR: the image is for silicon ID 0x1234, the device has 0x3A41.")
run_case "silicon ID" ok 0 1 \
  "failed (vexoflash exit status 1): Vexo Silicon ID Error - Vexo found but the silicon ID didn't match file." \
  "\"  localhost: exit status 1: Vexo Silicon ID Error - Vexo found but the silicon ID didn't match file.\""
# The tool's warnings follow their commands in vexoflash's output: they
# are passed on apart from vexoflash's message, before flash.out.
case_args=(-e "vexoflash_tool_dir=$work/noisy" -e '{"vexoflash_environment": {"VXTOOL_SIM_STATUS": "2"}}')
run_case "update error" ok 0 1 \
  "failed (vexoflash exit status 2): Vexo firmware update error - Vexo found but update failed. (tool output: vxtool: warning: bus slow vxtool: warning: bus slow vxtool: simulated Vexo3 programmer Simulated fault: flash status 2; nothing was written.)"
# Another run holds the working directory: nothing runs.
cp "$VXTOOL_SIM_STATE" "$work/device.kept"
case_wrap=(flock "$work/host")
run_case "directory in use" ok 0 1 \
  "failed (vexoflash exit status 111): ERROR: Another vexoflash run is using this directory!"
cmp -s "$VXTOOL_SIM_STATE" "$work/device.kept" || { echo "FAIL: the device changed while the directory was locked"; failures=$((failures + 1)); }
# Nothing changes on a host without vexoflash or vxtool: no working
# directory is made.
case_args=(-e "vexoflash_workdir=$work/new" -e "vexoflash_tool_dir=$work")
vexoflash=/nonexistent/vexoflash run_case "no programs" skipping 0 1 \
  "Not found on this host: /nonexistent/vexoflash, vxtool; nothing was changed"
[ ! -e "$work/new" ] || { echo "FAIL: a working directory was made without vexoflash or vxtool"; failures=$((failures + 1)); }
case_args=(-e "vexoflash_image1=$work/none.vx3")
case_report=(outcome=not-touched images_verified=false)
run_case "no image" skipping 0 1 "No such image file on the control node: $work/none.vx3; nothing was changed."
case_args=(-e "vexoflash_report=$work/none/report.json")
run_case "no report folder" - 0 1 "vexoflash_report: no folder $work/none on the control node."
# Without a target level, every rerun would write and power-cycle again.
case_args=(-e "vexoflash_workdir=$work/new" -e '{"vexoflash_power_cycle": {"AC": ["true"]}}')
run_case "power cycles without a target" skipping 0 1 \
  "vexoflash_power_cycle is set but vexoflash_level is not (localhost): without a target level every rerun would write and power-cycle the hosts again; nothing was changed."
[ ! -e "$work/new" ] || { echo "FAIL: a working directory was made without a target level"; failures=$((failures + 1)); }
address=$(printf '0x%0230d' 50)
run_case "refused call" ok 0 1 \
  "failed (vexoflash exit status 111): ERROR: Bootloader register address is too long for the tool command!"

echo "$((runs - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
