# The Ansible role updates the simulated device on localhost through
# vexoflash: two changed runs, an up-to-date run, and failed runs that
# carry vexoflash's message.
set -euo pipefail
. scripts/prereqs.sh
# ansible-core alone: the "ansible" collections it recommends are large
# and the role uses only ansible.builtin.
need ansible-playbook ansible-core
install_needed --no-install-recommends
tests/ansible/check-playbook.sh build/ci
