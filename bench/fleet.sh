#!/usr/bin/env bash
# The Ansible rollout against a bare playbook, run by hand:
#   bench/fleet.sh HOSTS [ROUNDS] [BUILD_DIR]
# HOSTS local hosts (local connection), each with its own simulated device,
# fresh in every round (running image 1 at level 0x60), and its own
# working directory. The bare playbook has the rollout's waves (1, 25 %,
# the rest) and per host only copies the two images and runs vexoflash;
# the rollout is contrib/ansible/vexoflash.yml with a signed manifest of
# the images (a key made for the bench) and a fleet report, without power
# cycles. Each round runs both, in turns
# that alternate which goes first, and prints their times and the ratio
# rollout / bare, and the same for the processor time they use; the last
# line gives the ratios' least, median and greatest. BUILD_DIR (default
# build/ci) holds vexoflash and sim/vxtool.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
hosts=${1:?usage: bench/fleet.sh HOSTS [ROUNDS] [BUILD_DIR]}
rounds=${2:-3}
build=$(realpath "${3:-build/ci}")
for program in "$build/vexoflash" "$build/sim/vxtool"; do
  [ -x "$program" ] || { echo "no $program: build first" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ANSIBLE_HOME="$work/ansible-home" ANSIBLE_LOCAL_TEMP="$work/ansible-tmp"
export ANSIBLE_REMOTE_TEMP="$work/ansible-tmp" ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3
unset VXTOOL_SIM_STATE VXTOOL_SIM_ABSENT VXTOOL_SIM_STATUS VXTOOL_SIM_SIGNAL VXTOOL_SIM_DELAY

# shellcheck source=tests/ansible/own-run.sh
. "$repo/tests/ansible/own-run.sh"
write_own_run "$work/vexoflash" "$build"
mkdir "$work/release"
cp "$repo/tools/images/vexo3-image1.vx3" "$repo/tools/images/vexo3-image2.vx3" "$work/release/"
"$repo/contrib/ansible/make-manifest" "$work/release/manifest.json" 0x62 \
  "$work/release/vexo3-image1.vx3" "$work/release/vexo3-image2.vx3"
ssh-keygen -q -t ed25519 -N "" -C bench -f "$work/key"
echo "bench@example $(cat "$work/key.pub")" >"$work/allowed_signers"
ssh-keygen -q -Y sign -f "$work/key" -n vexoflash-manifest "$work/release/manifest.json"
{
  echo "all:"
  echo "  vars:"
  echo "    ansible_connection: local"
  echo "    vexoflash_path: $work/vexoflash"
  echo "    vexoflash_tool_dir: $build/sim"
  echo "    vexoflash_workdir: \"$work/hosts/{{ inventory_hostname }}\""
  echo "    vexoflash_environment: {VXTOOL_SIM_STATE: \"$work/hosts/{{ inventory_hostname }}.state\"}"
  echo "  children:"
  echo "    fleet:"
  echo "      hosts:"
  for i in $(seq "$hosts"); do echo "        f$i:"; done
} >"$work/inventory.yml"
cat >"$work/bare.yml" <<END
- name: Copy the images and run vexoflash
  hosts: fleet
  gather_facts: false
  serial: [1, "25%", "100%"]
  tasks:
    - name: Copy the images
      ansible.builtin.copy:
        src: "{{ item }}"
        dest: "{{ vexoflash_workdir }}/"
        mode: "0640"
      loop: [$repo/tools/images/vexo3-image1.vx3, $repo/tools/images/vexo3-image2.vx3]
    - name: Run vexoflash
      ansible.builtin.command:
        argv: ["{{ vexoflash_path }}", "0x50", vexo3-image1.vx3, vexo3-image2.vx3]
        chdir: "{{ vexoflash_workdir }}"
      environment: "{{ vexoflash_environment | combine({'PATH': vexoflash_tool_dir ~ ':/usr/bin:/bin'}) }}"
      changed_when: true
END

# run NAME PLAYBOOK ARGS...: the seconds a run takes, on fresh devices,
# and the processor seconds it uses (user and system, with its children),
# less noisy on a shared machine.
run() {
  local name=$1
  shift
  rm -rf "$work/hosts" && mkdir "$work/hosts"
  /usr/bin/time -f '%e %U %S' -o "$work/$name.time" \
    ansible-playbook -i "$work/inventory.yml" "$@" >"$work/$name.log" 2>&1 ||
    { echo "the $name playbook failed:" >&2; cat "$work/$name.log" >&2; exit 1; }
  grep -q 'failed=0' "$work/$name.log" || { cat "$work/$name.log" >&2; exit 1; }
  awk '{ printf "%.1f %.1f\n", $1, $2 + $3 }' "$work/$name.time"
}
rollout=("$repo/contrib/ansible/vexoflash.yml" -e vexoflash_hosts=fleet
  -e "vexoflash_manifest=$work/release/manifest.json" -e "vexoflash_allowed_signers=$work/allowed_signers"
  -e "vexoflash_report=$work/report.json")
for round in $(seq "$rounds"); do
  if [ $((round % 2)) -eq 1 ]; then
    read -r bare bare_cpu < <(run bare "$work/bare.yml")
    read -r role role_cpu < <(run rollout "${rollout[@]}")
  else
    read -r role role_cpu < <(run rollout "${rollout[@]}")
    read -r bare bare_cpu < <(run bare "$work/bare.yml")
  fi
  echo "$hosts $round $bare $role $bare_cpu $role_cpu"
done | awk '{
  ratio[NR] = $4 / $3; cpu[NR] = $6 / $5
  printf "%d hosts, round %d: bare %.1f s, rollout %.1f s, ratio %.2f (processor time: %.1f s, %.1f s, ratio %.2f)\n",
    $1, $2, $3, $4, ratio[NR], $5, $6, cpu[NR]; hosts = $1 }
  function spread(r,   i, j, t) {
    for (i = 1; i <= NR; i++) for (j = i + 1; j <= NR; j++) if (r[j] < r[i]) { t = r[i]; r[i] = r[j]; r[j] = t }
    return sprintf("least %.2f, median %.2f, greatest %.2f", r[1], r[int((NR + 1) / 2)], r[NR])
  }
  END { printf "%d hosts, %d rounds: ratio %s; processor time ratio %s\n", hosts, NR, spread(ratio), spread(cpu) }'
