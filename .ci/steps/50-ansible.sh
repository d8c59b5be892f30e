# The Ansible role updates the simulated device on localhost through
# vexoflash: two changed runs, an up-to-date run, and failed runs that
# carry vexoflash's message.
set -euo pipefail
. scripts/prereqs.sh
if ! command -v ansible-playbook >/dev/null 2>&1; then
  # ansible-core alone: the "ansible" collections it recommends are large
  # and the role uses only ansible.builtin.
  if [ "$(id -u)" -ne 0 ]; then
    echo "vexoflash: missing prerequisite; install it with: sudo apt-get install ansible-core" >&2
    exit 1
  fi
  echo "Installing: ansible-core"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null
  apt-get install -y -q --no-install-recommends ansible-core >/dev/null
fi
tests/ansible/check-playbook.sh build/ci
