"""The playbook's filters: the waves' numbers, and at the end of each wave
the rollout weighed, summed up and reported from each host's
vexoflash_result."""

import os
import pwd

KEYS = ("host", "wave", "outcome", "exit_status", "running_image", "level_before",
        "image_written", "advice", "message", "tool_output", "level_after", "target_level",
        "image_sha256", "time")
FAILED = ("failed", "unreachable")
# The summary's sections, in order: the outcome, its heading, and whether
# each host gets a line of its own (else they are named on the heading's).
SECTIONS = (("verified", "Verified, running the new firmware", True),
            ("updated", "Written, power cycle still due", True),
            ("pending-power-cycle", "Written earlier, power cycle still due", False),
            ("up-to-date", "Up to date", False), ("current", "At the target level", False),
            ("would-update", "To be written", True), ("failed", "Failed", True),
            ("unreachable", "Unreachable", True), ("not-touched", "Not touched", False))


def vexoflash_next_wave(hostvars, hosts):
    """The number of the wave that starts: one past the last one noted."""
    return max((int(hostvars[h].get("__vexoflash_wave", {}).get("number", 0)) for h in hosts),
               default=0) + 1


def _entry(host, wave, record):
    """A host's report entry. A host whose wave came but that has no record
    did not reach the update; only a failed host's tool output is kept."""
    record = record or ({"outcome": "failed", "message": "stopped before the update: see the play"
                         " output"} if wave else {"outcome": "not-touched"})
    entry = dict({key: record.get(key) for key in KEYS}, host=host,
                 wave=int(wave["number"]) if wave else None)
    return entry if entry["outcome"] in FAILED else dict(entry, tool_output=None)


def _line(entry):
    """A host's line in the summary: its power cycle, or why it failed."""
    if entry["outcome"] == "verified":
        return f"runs {entry['level_after']} after the {entry['advice']} power cycle"
    if entry["outcome"] == "updated":
        return f"{entry['advice']} power cycle"
    status = entry["exit_status"]
    return (f"exit status {status}: " if status else "") + entry["message"]


def vexoflash_rollout(hostvars, hosts, wave, max_fail_percentage, check_mode=False):
    """At the end of a wave: whether the rollout stops, whether it is over
    (it stops, or no host is left), the summary lines and the fleet report."""
    fleet = [_entry(h, hostvars[h].get("__vexoflash_wave"), hostvars[h].get("vexoflash_result"))
             for h in sorted(hosts)]
    by = {outcome: [e for e in fleet if e["outcome"] == outcome] for outcome, _, _ in SECTIONS}
    number, size = int(wave["number"]), len(wave["hosts"])
    failed = len([e for e in fleet if e["wave"] == number and e["outcome"] in FAILED])
    tolerated = failed * 100 <= float(max_fail_percentage) * size
    stop = not check_mode and failed > 0 and (not tolerated or failed == size)
    problems = not check_mode and (by["failed"] or by["unreachable"])
    if check_mode:
        lines = ["Check mode: nothing was written; each device was only scanned."]
    elif stop and by["not-touched"]:
        lines = [f"Rollout stopped after wave {number}: {failed} of its {size} host(s) failed (" + (
            f"vexoflash_max_fail_percentage is {max_fail_percentage})." if not tolerated
            else "a wave whose every host failed ends the play).")]
    else:
        lines = [f"Rollout {'finished' if problems else 'complete'} after {number} wave(s)"
                 + (", with failures." if problems else ".")]
    for outcome, heading, own_lines in SECTIONS:
        if by[outcome] and own_lines:
            lines += [f"{heading}: {len(by[outcome])}"] + [f"  {e['host']}: {_line(e)}"
                                                          for e in by[outcome]]
        elif by[outcome]:
            lines.append(f"{heading}: " + ", ".join(e["host"] for e in by[outcome]))
    if by["up-to-date"] and not check_mode and not any(e["target_level"] for e in fleet):
        lines.append("Up to date: nothing written by this run; a power cycle that an earlier run"
                     " advised is still due if not done (vexoflash_level tells them apart).")
    if problems:
        lines.append("To resume, fix the failures and run the playbook again: it starts over with"
                     " the first wave, and each host shows what its device reports.")
    report = {"operator": pwd.getpwuid(os.getuid()).pw_name, "summary": lines, "hosts": fleet}
    return {"stop": stop, "over": stop or not by["not-touched"], "summary": lines, "report": report}


class FilterModule:
    """The playbook's filters."""

    def filters(self):
        return {"vexoflash_next_wave": vexoflash_next_wave, "vexoflash_rollout": vexoflash_rollout}
