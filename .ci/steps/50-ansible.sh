#!/usr/bin/env bash
# The Ansible role: its filter plugin's rows (pytest), ansible-lint's
# production profile, then simulated devices on localhost through
# vexoflash: one host through every outcome (check-playbook.sh), then
# several hosts in waves, an unreachable canary, a stopped rollout, a dry
# run and a resumed one, with their fleet reports (check-waves.sh).
set -euo pipefail
. scripts/prereqs.sh
# ansible-core alone: the "ansible" collections it recommends are large
# and the role uses only ansible.builtin.
need ansible-playbook ansible-core
need ansible-lint ansible-lint
need pytest-3 python3-pytest
install_needed --no-install-recommends
start=$SECONDS
pytest-3 -q -p no:cacheprovider tests/ansible
(cd contrib/ansible && ansible-lint)
tests/ansible/check-playbook.sh build/ci
tests/ansible/check-waves.sh build/ci
echo "Ansible checks took $((SECONDS - start)) s"
