#!/usr/bin/env bash
# The Ansible role and playbook: their filter plugins' rows (pytest),
# ansible-lint from the repository root (it reads contrib/ansible/.ansible-lint:
# the production profile), the shipped ansible.cfg, then simulated devices
# on localhost through vexoflash: one host through every outcome
# (check-playbook.sh), then several hosts in waves, manifests not
# accepted (signed with keys made by the check), an unreachable canary,
# a stopped rollout, a dry run, a resumed one, a signed one with power
# cycles, a canary's through a simulated BMC (ipmi_sim), a newer device
# and bad copies refused, a rerun, and a host that
# returns facts like the role's variables, with their fleet reports
# (check-waves.sh).
set -euo pipefail
. scripts/prereqs.sh
# ansible-core alone: the "ansible" collections it recommends are large
# and the role uses only ansible.builtin.
need ansible-playbook ansible-core
need ansible-lint ansible-lint
need pytest-3 python3-pytest
need ipmi_sim openipmi
need ipmitool ipmitool
need ssh-keygen openssh-client
install_needed --no-install-recommends
start=$SECONDS
pytest-3 -q -p no:cacheprovider tests/ansible
ansible-lint contrib/ansible
ANSIBLE_CONFIG=contrib/ansible/ansible.cfg ansible-config dump --only-changed |
  grep -x 'INJECT_FACTS_AS_VARS(.*) = False' >/dev/null || { echo "ansible.cfg keeps facts as variables" >&2; exit 1; }
tests/ansible/check-playbook.sh build/ci
tests/ansible/check-waves.sh build/ci
echo "Ansible checks took $((SECONDS - start)) s"
