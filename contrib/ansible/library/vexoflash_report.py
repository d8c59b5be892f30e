"""The vexoflash_report action's description, for Ansible's and
ansible-lint's option checks: the action itself runs on the control node
(action_plugins/vexoflash_report.py), never as this module."""

DOCUMENTATION = r"""
module: vexoflash_report
short_description: Write the fleet report on the control node
description:
  - Writes content into a file of its own in the folder of path, mode 0644,
    and renames it over path, so that a reader never sees half a report and
    a symlink at path is replaced, never followed.
options:
  path:
    description: The report's absolute path on the control node.
    type: path
    required: true
  content:
    description: The report.
    type: str
    required: true
author: vexoflash developers
"""
