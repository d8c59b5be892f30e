"""Filters of the playbook: vexoflash_next_wave numbers the waves; at the
end of a wave, vexoflash_rollout weighs it, decides whether the rollout
stops, and builds the summary and the fleet report from each host's
vexoflash_result."""

import os
import pwd
from collections.abc import Mapping

# The report's keys for each host, those of the role's record among them.
KEYS = ("host", "wave", "outcome", "exit_status", "running_image", "level_before",
        "image_written", "advice", "message", "tool_output", "level_after", "target_level",
        "image_sha256", "time")
# The summary's sections, in order: outcome, heading, and what a host's line
# says (None: the hosts are named on the heading's line).
SECTIONS = (
    ("verified", "Verified, running the new firmware",
     lambda e: f"level {e['level_after']}, after the {e['advice']} power cycle"),
    ("updated", "Written, power cycle still due", lambda e: f"{e['advice']} power cycle"),
    ("pending-power-cycle", "Written earlier, power cycle still due", None),
    ("up-to-date", "Up to date", None),
    ("current", "At the target level", None),
    ("would-update", "To be written", lambda e: e["message"]),
    ("failed", "Failed", lambda e: (f"exit status {e['exit_status']}: " if e["exit_status"]
                                    else "") + e["message"]),
    ("unreachable", "Unreachable", lambda e: e["message"]),
    ("not-touched", "Not touched", None),
)


def vexoflash_next_wave(hostvars, hosts):
    """The number of the wave that starts: one past the last one noted."""
    waves = [int(hostvars[h].get("__vexoflash_wave", {}).get("number", 0)) for h in hosts]
    return max(waves, default=0) + 1


def _entry(host, wave, record):
    """A host's report entry; one whose wave came but that has no record
    did not reach the update."""
    if wave is None:
        record = {"outcome": "not-touched"}
    elif not isinstance(record, Mapping):
        record = {"outcome": "failed", "message": "stopped before the update: see the play output"}
    entry = {key: record.get(key) for key in KEYS}
    entry.update(host=host, wave=int(wave["number"]) if wave else None)
    if entry["outcome"] not in ("failed", "unreachable"):
        entry["tool_output"] = None
    return entry


def vexoflash_rollout(hostvars, hosts, wave, max_fail_percentage, check_mode=False):
    """At the end of a wave: whether the rollout stops, whether it is over
    (it stops, or no host is left), the summary lines and the fleet report."""
    fleet = [_entry(h, hostvars[h].get("__vexoflash_wave"), hostvars[h].get("vexoflash_result"))
             for h in sorted(hosts)]
    by = {outcome: [e for e in fleet if e["outcome"] == outcome] for outcome, _, _ in SECTIONS}
    failed = sum(1 for e in fleet if e["wave"] == int(wave["number"])
                 and e["outcome"] in ("failed", "unreachable"))
    size, number = len(wave["hosts"]), wave["number"]
    tolerated = failed * 100 <= float(max_fail_percentage) * size
    stop = not check_mode and failed > 0 and (not tolerated or failed == size)
    if check_mode:
        lines = ["Check mode: nothing was written; each device was only scanned."]
    elif stop and by["not-touched"]:
        why = (f"vexoflash_max_fail_percentage is {max_fail_percentage}" if not tolerated
               else "a wave whose every host failed ends the play")
        lines = [f"Rollout stopped after wave {number}: {failed} of its {size} host(s) failed"
                 f" ({why})."]
    elif by["failed"] or by["unreachable"]:
        lines = [f"Rollout finished after {number} wave(s), with failures."]
    else:
        lines = [f"Rollout complete after {number} wave(s)."]
    for outcome, heading, said in SECTIONS:
        hosts = by[outcome]
        if hosts and said:
            lines += [f"{heading}: {len(hosts)}"] + [f"  {e['host']}: {said(e)}" for e in hosts]
        elif hosts:
            lines.append(f"{heading}: " + ", ".join(e["host"] for e in hosts))
    if by["up-to-date"] and not check_mode and not any(e["target_level"] for e in fleet):
        lines.append("Up to date means nothing was written by this run: a power cycle advised by an"
                     " earlier run is still due if not done (vexoflash_level tells them apart).")
    if (by["failed"] or by["unreachable"]) and not check_mode:
        lines.append("To resume, fix the failures and run the playbook again: it starts over with"
                     " the first wave, and a host already updated shows as such, as its device"
                     " reports.")
    report = {"operator": pwd.getpwuid(os.getuid()).pw_name, "summary": lines, "hosts": fleet}
    return {"stop": stop, "over": stop or not by["not-touched"], "summary": lines, "report": report}


class FilterModule:
    """The playbook's filters."""

    def filters(self):
        return {"vexoflash_next_wave": vexoflash_next_wave, "vexoflash_rollout": vexoflash_rollout}
