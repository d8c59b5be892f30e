"""Writes the fleet report on the control node: the text into a file of
its own in the report's folder, mode 0644, renamed over the name, so that
a reader never sees half a report and a symlink at the name is replaced,
never followed. Runs on the control node whatever the task's host; its
arguments are path (absolute) and content."""

import os
import tempfile

from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):
    """The vexoflash_report action."""

    TRANSFERS_FILES = False
    _VALID_ARGS = frozenset(("path", "content"))

    def run(self, tmp=None, task_vars=None):
        result = super().run(tmp, task_vars)
        path, content = self._task.args["path"], self._task.args["content"]
        try:
            fd, new = tempfile.mkstemp(prefix=".vexoflash-report-", dir=os.path.dirname(path))
        except OSError as error:
            return dict(result, failed=True, msg=f"Cannot write the fleet report {path}: {error}")
        try:
            with os.fdopen(fd, "w", encoding="utf-8") as out:
                out.write(content)
                os.fchmod(out.fileno(), 0o644)
            os.replace(new, path)
        except OSError as error:
            os.unlink(new)
            return dict(result, failed=True, msg=f"Cannot write the fleet report {path}: {error}")
        return dict(result, changed=True, path=path)
