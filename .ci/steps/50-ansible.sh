# The Ansible role updates simulated devices on localhost through
# vexoflash: one host through every outcome (check-playbook.sh), then
# several hosts in waves, a stopped rollout, a dry run and a resumed one
# (check-waves.sh).
set -euo pipefail
. scripts/prereqs.sh
# ansible-core alone: the "ansible" collections it recommends are large
# and the role uses only ansible.builtin.
need ansible-playbook ansible-core
install_needed --no-install-recommends
tests/ansible/check-playbook.sh build/ci
tests/ansible/check-waves.sh build/ci
