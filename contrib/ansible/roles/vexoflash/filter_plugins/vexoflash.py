"""Filters of the vexoflash role.

The role's filters read what vexoflash printed (vexoflash_run), the
device's scan report in check mode (vexoflash_scan) and a failure or a
lost connection (vexoflash_failure, vexoflash_lost), each into one host
record; vexoflash_describe says a record in one line. The playbook's
filters number the waves (vexoflash_next_wave) and, at the end of a
wave, decide whether the rollout stops and build the summary and the
fleet report (vexoflash_rollout).

A host record holds outcome, exit_status, running_image, level_before,
image_written, advice, message and tool_output; the fleet report takes
all of them but tool_output, and adds host and wave.
"""

import shlex
from collections.abc import Mapping

# The scan report is read as vexoflash reads it: cut into pieces of at
# most 255 bytes (a line, or a part of a longer one), the newline and then
# trailing spaces dropped, a NUL byte ending the piece's text. The first
# piece holding the key decides.
PIECE = 255
IMAGE_KEY = b"Reserved bytes  ="
LEVEL_KEY = b"Firmware level  ="
# The image digit stands four characters past its key: "... = 0x01".
IMAGE_INDEX = len(IMAGE_KEY) + 4

BANNER = "*" * 60
UPDATED = "Vexo found and firmware updated."
UP_TO_DATE = "Vexo Found and Firmware level is up-to-date. No flashing required."
LEVEL = "Current Firmware Level = "
ADVICE = {
    "DC": "DC power cycle the system for the update to take effect.",
    "AC": "AC power cycle the system for the update to take affect.",
}
# vexoflash's own lines that tell nothing about the outcome.
STEPS = ("Scanning for Vexo3 image.", "Flashing Vexo.")
TRACE = ("line:  ", "image:  ", "fwLvl:  ", "VxTool return code:  ", "PowerCycle:",
         "strcmp ", "cycle  ", "vexoUpdate() return code:  ")
# The starts of every other line vexoflash prints; what follows a tool
# command and starts with none of these is the tool's (or its shell's).
OWN = (UPDATED, UP_TO_DATE, "Vexo Silicon ID Error", "Vexo3 device not found.",
       "Vexo firmware update error - Vexo found but update failed.",
       "No Vexos found in the system.", "Firmware was not flashed.",
       "The VEXO update did not complete successfully.", "ERROR: ", "USAGE: ",
       LEVEL) + STEPS + TRACE + tuple(ADVICE.values())
# Its two Windows-1252 bytes do not survive as text: written in ASCII.
SILICON_ID = "Vexo Silicon ID Error - Vexo found but the silicon ID didn't match file."

KEYS = ("outcome", "exit_status", "running_image", "level_before", "image_written", "advice",
        "message")
FAILED = ("failed", "unreachable")


def _bytes(report):
    if isinstance(report, bytes):
        return report
    return str(report).encode("utf-8", "surrogateescape")


def _text(data):
    return data.decode("utf-8", "replace")


def report_line(report, key):
    """The first piece of the report that holds key, trimmed; None if none."""
    report = _bytes(report)
    start = 0
    while start < len(report):
        newline = report.find(b"\n", start, start + PIECE)
        end = newline + 1 if newline >= 0 else min(start + PIECE, len(report))
        text = report[start:end].split(b"\0", 1)[0]
        if key in text:
            return text.removesuffix(b"\n").rstrip(b" ")
        start = end
    return None


def report_image(report):
    """The byte at the image digit's place ('0' without an image line; NUL
    when the line is too short)."""
    line = report_line(report, IMAGE_KEY)
    if line is None:
        return b"0"
    return line[IMAGE_INDEX:IMAGE_INDEX + 1] or b"\0"


def report_level(report):
    """The level: from the key's end on, leading whitespace skipped."""
    line = report_line(report, LEVEL_KEY)
    if line is None:
        return b""
    return line[len(LEVEL_KEY):].lstrip(b" \t\n\v\f\r")


def _record(outcome, message, **known):
    record = dict.fromkeys(KEYS)
    record.update(outcome=outcome, message=message, tool_output=None, **known)
    return record


def _flash_file(command):
    """The image file of a flash command line, unquoted; None for others."""
    try:
        words = shlex.split(command)
    except ValueError:
        return None
    if len(words) == 9 and words[3:5] == ["-q", "-f"] and words[6:] == ["2>&1", ">", "flash.out"]:
        return words[5]
    return None


def read_output(rc, stdout, stderr, images):
    """A host record from a vexoflash run: its exit status, standard output
    and error, and the names of the two image files it was given."""
    lines = stdout.split("\n")
    banners = [i for i, line in enumerate(lines) if line == BANNER]
    record = _record("failed", None, exit_status=rc)
    if len(banners) < 2:
        said = [line for line in lines + stderr.split("\n") if line.strip()]
        record["message"] = " ".join(said) or "no output"
        return record
    said, tool, in_tool = [], [], False
    for line in lines[banners[1] + 1:]:
        if line.startswith("Command:"):
            in_tool, said = True, []
            written = _flash_file(line[len("Command:"):])
            if written in images:
                record["image_written"] = written
                record["running_image"] = 2 - images.index(written)
        elif not line.strip():
            pass
        elif in_tool and not line.startswith(OWN):
            tool.append(line)
        else:
            in_tool = False
            advice = [name for name, text in ADVICE.items() if line == text]
            if advice:
                record["advice"] = advice[0]
            elif line.startswith(LEVEL):
                record["level_before"] = line[len(LEVEL):]
            elif not line.startswith(STEPS + TRACE):
                said.append(SILICON_ID if line.startswith("Vexo Silicon ID Error") else line)
    if rc == 0 and UPDATED in said:
        record["outcome"] = "updated"
    elif rc == 0 and UP_TO_DATE in said:
        record["outcome"] = "up-to-date"
    if record["outcome"] != "updated":
        record["image_written"] = None
    record["message"] = " ".join(said) or "no outcome message"
    tool += [line for line in stderr.split("\n") if line.strip()]
    record["tool_output"] = " ".join(tool) or None
    return record


def vexoflash_run(result, images):
    """The record of the role's vexoflash task (its registered result)."""
    return read_output(result.get("rc"), result.get("stdout", ""), result.get("stderr", ""),
                       list(images))


def vexoflash_scan(result, images):
    """Check mode: the record of the scan task (vxtool -i2cp ADDRESS,
    its report on standard output)."""
    image = report_image(result.get("stdout", ""))
    if image in (b"1", b"2"):
        running = int(image)
        level = _text(report_level(result.get("stdout", "")))
        written = list(images)[2 - running]
        message = (f"The device runs image {running} at firmware level {level}; a real run"
                   f" would write {written} (image {3 - running}) unless that slot already"
                   " holds its level.")
        return _record("would-update", message, running_image=running, level_before=level,
                       image_written=written)
    said = [line for line in result.get("stderr", "").split("\n") if line.strip()]
    why = f"vxtool exit status {result.get('rc')}" + (": " + " ".join(said) if said else "")
    return _record("failed", "No Vexo3 device found: the scan names no running image, so a real"
                   f" run would end with exit status 171 ({why}).")


def vexoflash_lost(results):
    """Ansible's reason for the first of the registered results that found
    the host unreachable, a loop's too; '' when none did."""
    for result in results:
        if not isinstance(result, Mapping):
            continue  # a task not run yet
        for each in [result] + list(result.get("results", [])):
            if isinstance(each, Mapping) and each.get("unreachable"):
                return each.get("msg") or "unreachable"
    return ""


def vexoflash_failure(failed_result, lost=""):
    """The record of a host the role stopped on: unreachable with Ansible's
    reason, or failed with the failed task's message."""
    if lost:
        return _record("unreachable", lost)
    message = failed_result.get("msg") if isinstance(failed_result, Mapping) else None
    return _record("failed", message or "failed")


def vexoflash_describe(record):
    """One line for the play output and the summary."""
    outcome, status, message = record["outcome"], record["exit_status"], record["message"]
    if outcome == "updated":
        return "Firmware updated. " + ADVICE.get(record["advice"], "No power-cycle advice given.")
    if outcome == "up-to-date":
        return "Firmware already up to date; nothing written by this run."
    if outcome == "unreachable":
        return "unreachable: " + message
    if outcome == "not-touched":
        return "not touched"
    if record.get("tool_output"):
        message += f" (tool output: {record['tool_output']})"
    if outcome == "failed" and status == 171:
        return f"No Vexo3 device found; firmware not written (vexoflash exit status 171): {message}"
    if outcome == "failed" and status is not None:
        return f"vexoflash failed with exit status {status}: {message}"
    return message


def vexoflash_next_wave(hostvars, hosts):
    """The number of the wave that starts: one past the last one noted."""
    waves = [int(hostvars[h].get("__vexoflash_wave", {}).get("number", 0)) for h in hosts]
    return max(waves, default=0) + 1


def _fleet(hostvars, hosts):
    """Every host's record with its host name and wave; a host whose wave
    came but that has no record did not reach the update."""
    fleet = []
    for host in sorted(hosts):
        wave = hostvars[host].get("__vexoflash_wave")
        record = hostvars[host].get("vexoflash_result")
        if wave is None:
            record = _record("not-touched", None)
        elif not isinstance(record, Mapping):
            record = _record("failed", "stopped before the update: see the play output")
        fleet.append(dict(record, host=host, wave=int(wave["number"]) if wave else None))
    return fleet


def vexoflash_rollout(hostvars, hosts, wave, max_fail_percentage, check_mode=False):
    """At the end of a wave: whether the rollout stops, whether it is over
    (it stops, or no host is left), the summary lines and the fleet report."""
    fleet = _fleet(hostvars, hosts)
    by_outcome = {}
    for entry in fleet:
        by_outcome.setdefault(entry["outcome"], []).append(entry)
    failed = sum(1 for e in fleet if e["wave"] == int(wave["number"]) and e["outcome"] in FAILED)
    size = len(wave["hosts"])
    tolerated = failed * 100 <= float(max_fail_percentage) * size
    stop = not check_mode and failed > 0 and (not tolerated or failed == size)
    untouched = [e["host"] for e in by_outcome.get("not-touched", [])]

    def listed(outcome):
        lines = []
        for entry in by_outcome.get(outcome, []):
            said = (ADVICE.get(entry["advice"], "no power-cycle advice") if outcome == "updated"
                    else vexoflash_describe(entry))
            lines.append(f"  {entry['host']}: {said}")
        return lines

    updated = by_outcome.get("updated", [])
    current = [e["host"] for e in by_outcome.get("up-to-date", [])]
    problems = len(by_outcome.get("failed", [])) + len(by_outcome.get("unreachable", []))
    if check_mode:
        planned = listed("would-update")
        lines = ["Check mode: nothing was written; each device was only scanned.",
                 f"Devices found: {len(planned)}"] + planned
    else:
        if stop:
            why = (f"vexoflash_max_fail_percentage is {max_fail_percentage}" if not tolerated
                   else "a wave whose every host failed ends the play")
            lines = [f"Rollout stopped after wave {wave['number']}: {failed} of its {size}"
                     f" host(s) failed ({why})."]
        elif problems:
            lines = [f"Rollout finished after {wave['number']} wave(s), with failures."]
        else:
            lines = [f"Rollout complete after {wave['number']} wave(s)."]
        lines += [f"Updated, power cycle as advised: {len(updated)}"] + listed("updated")
        lines.append("Up to date: " + (", ".join(current) if current else "none"))
    lines += [f"Failed: {len(by_outcome.get('failed', []))}"] + listed("failed")
    if "unreachable" in by_outcome:
        lines += [f"Unreachable: {len(by_outcome['unreachable'])}"] + listed("unreachable")
    if untouched:
        lines.append("Not touched: " + ", ".join(untouched))
    if not check_mode and not updated:
        lines.append("No host was updated by this run, so it advises no power cycle"
                     " (one advised by an earlier run is still due if not done).")
    elif not check_mode and current:
        lines.append("A host up to date had nothing written by this run: a power cycle advised"
                     " to it by an earlier run is still due if not done.")
    if problems and not check_mode:
        lines.append("To resume, fix the failures and run the playbook again: it starts over with"
                     " the first wave, and a host already updated shows as up to date or updated,"
                     " as its device reports.")
    report = [{key: e[key] for key in ("host",) + KEYS + ("wave",)} for e in fleet]
    return {"stop": stop, "over": stop or not untouched, "summary": lines, "report": report}


class FilterModule:
    """The vexoflash role's filters."""

    def filters(self):
        return {
            "vexoflash_run": vexoflash_run,
            "vexoflash_scan": vexoflash_scan,
            "vexoflash_lost": vexoflash_lost,
            "vexoflash_failure": vexoflash_failure,
            "vexoflash_describe": vexoflash_describe,
            "vexoflash_next_wave": vexoflash_next_wave,
            "vexoflash_rollout": vexoflash_rollout,
        }
