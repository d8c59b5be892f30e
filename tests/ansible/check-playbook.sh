#!/usr/bin/env bash
# Runs contrib/ansible/vexoflash.yml against localhost (local connection)
# with a simulated vxtool, and checks how each vexoflash outcome shows in
# Ansible: an update is "changed", an up-to-date device "ok", no device and
# every other failure "failed" with vexoflash's message.
#
#   tests/ansible/check-playbook.sh [VEXOFLASH]
#
# VEXOFLASH defaults to build/ci/vexoflash. VXTOOL_DIR names a directory
# holding the vxtool to use, and IMAGE1, IMAGE2 its image files, one per
# slot at one level. That vxtool keeps its device in $VXTOOL_SIM_STATE,
# fresh when the file is missing: address 0x50, running image 1, both
# slots at a level below 0x61 and the images'. It writes the slot not
# running and boots it, reports "up to date" when both slots hold the
# file's level, and exits with $VXTOOL_SIM_STATUS when set. Without
# VXTOOL_DIR the script uses tests/ansible/fake-vxtool.
set -euo pipefail
fake_stderr_text=()
cd "$(dirname "$0")/../.."
vexoflash=$(realpath "${1:-build/ci/vexoflash}")
[ -x "$vexoflash" ] || { echo "no vexoflash program at $vexoflash" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VXTOOL_SIM_STATE="$work/device.state"

if [ -z "${VXTOOL_DIR:-}" ]; then
  VXTOOL_DIR="$work/bin"
  mkdir -p "$VXTOOL_DIR"
  cp tests/ansible/fake-vxtool "$VXTOOL_DIR/vxtool"
  IMAGE1="$work/images/vexo3_img1.bin"
  IMAGE2="$work/images/vexo3_img2.bin"
  mkdir -p "$work/images"
  printf 'level 0x62\n' >"$IMAGE1"
  printf 'level 0x62\n' >"$IMAGE2"
  # The stand-in says "no device" on its standard error, which the role
  # passes on.
  fake_stderr_text=("(tool output: vxtool: no device at 0x51)")
fi
: "${IMAGE1:?set IMAGE1 with VXTOOL_DIR}" "${IMAGE2:?set IMAGE2 with VXTOOL_DIR}"
VXTOOL_DIR=$(realpath "$VXTOOL_DIR") IMAGE1=$(realpath "$IMAGE1") IMAGE2=$(realpath "$IMAGE2")
[ -x "$VXTOOL_DIR/vxtool" ] || { echo "no vxtool in $VXTOOL_DIR" >&2; exit 1; }

# Keep Ansible's own files inside the scratch directory.
export ANSIBLE_HOME="$work/ansible-home" ANSIBLE_LOCAL_TEMP="$work/ansible-tmp"
export ANSIBLE_REMOTE_TEMP="$work/ansible-tmp" ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_NOCOLOR=1 ANSIBLE_PYTHON_INTERPRETER=auto_silent ANSIBLE_STDOUT_CALLBACK=default

failures=0
runs=0

# run_case NAME TASK_STATUS CHANGED FAILED TEXT...
#   TASK_STATUS: what the "Update the Vexo3 firmware" task shows;
#   CHANGED, FAILED: the recap counts for localhost; TEXT: lines that the
#   output must hold. The address is $address; extra ansible-playbook
#   arguments come from the array case_args.
address=0x50
case_args=()
run_case() {
  local name=$1 task=$2 changed=$3 failed=$4
  shift 4
  local log="$work/$name.log" problems=""
  runs=$((runs + 1))
  ansible-playbook -i localhost, -c local contrib/ansible/vexoflash.yml \
    -e vexoflash_hosts=localhost \
    -e "vexoflash_path=$vexoflash" \
    -e "vexoflash_tool_dir=$VXTOOL_DIR" \
    -e "vexoflash_workdir=$work/host" \
    -e "vexoflash_image1=$IMAGE1" -e "vexoflash_image2=$IMAGE2" \
    -e "vexoflash_address=$address" "${case_args[@]}" >"$log" 2>&1 || true
  address=0x50
  case_args=()

  local shown recap
  shown=$(awk '/^TASK \[vexoflash : Update the Vexo3 firmware\]/ { getline; print $1; exit }' "$log")
  [ "$shown" = "$task:" ] || problems+=" update task shows '$shown', not '$task:';"
  recap=$(grep -E '^localhost +: ' "$log" || true)
  [[ "$recap" == *" changed=$changed "* ]] || problems+=" recap is not changed=$changed;"
  [[ "$recap" == *" failed=$failed "* ]] || problems+=" recap is not failed=$failed;"
  local text
  for text in "$@"; do
    grep -qF -- "$text" "$log" || problems+=" no '$text' in the output;"
  done
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
run_case "first update" changed 3 0 \
  "Firmware updated. AC power cycle the system for the update to take affect." \
  '"localhost: AC power cycle the system for the update to take affect."'
[ -s "$work/host/busscan.out" ] || { echo "FAIL: no busscan.out left in the working directory"; failures=$((failures + 1)); }
run_case "second update" changed 1 0 \
  "Firmware updated. DC power cycle the system for the update to take effect."
run_case "up-to-date" ok 0 0 \
  "Firmware already up to date; no power cycle needed." \
  "No host needs a power cycle."
address=0x51
run_case "no device" ok 0 1 \
  "No Vexo3 device found; firmware not written (vexoflash exit status 171): Vexo3 device not found." \
  "${fake_stderr_text[@]}"
case_args=(-e '{"vexoflash_environment": {"VXTOOL_SIM_STATUS": "2"}}')
run_case "update error" ok 0 1 \
  "vexoflash failed with exit status 2: Vexo firmware update error - Vexo found but update failed."
vexoflash=/nonexistent/vexoflash run_case "no program" ok 0 1 \
  "vexoflash failed with exit status 127: " "/nonexistent/vexoflash"
address=$(printf '0x%0230d' 50)
run_case "refused call" ok 0 1 \
  "vexoflash failed with exit status 111: ERROR: Bootloader register address is too long for the tool command!"

echo "$((runs - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
