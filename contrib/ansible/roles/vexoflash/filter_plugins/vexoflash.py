"""Filters of the vexoflash role. Each makes or completes the host record
(vexoflash_result, keys in KEYS): from what vexoflash printed
(vexoflash_run), from the device's scan in check mode (vexoflash_scan) or
after a power cycle (vexoflash_verify), for a host the role stopped on
(vexoflash_failure), with the time and the image's checksum
(vexoflash_finish); vexoflash_describe says a record in one line."""

import datetime
import hashlib
import shlex
from collections.abc import Mapping

KEYS = ("outcome", "exit_status", "running_image", "level_before", "image_written", "advice",
        "message", "tool_output", "level_after", "target_level", "image_sha256", "time")
UPDATED = "Vexo found and firmware updated."
UP_TO_DATE = "Vexo Found and Firmware level is up-to-date. No flashing required."
ADVICE = {"DC": "DC power cycle the system for the update to take effect.",
          "AC": "AC power cycle the system for the update to take affect."}
LEVEL, FLASHING = "Current Firmware Level = ", "Flashing Vexo."
# Its two Windows-1252 bytes do not survive as text: said in ASCII.
SILICON_ID = "Vexo Silicon ID Error - Vexo found but the silicon ID didn't match file."
# vexoflash's last lines (their starts), which only it can print last, and
# its exit status with them.
ENDINGS = [((UPDATED, ADVICE["DC"]), 0), ((UPDATED, ADVICE["AC"]), 0), ((UP_TO_DATE,), 0),
           (("No Vexos found in the system.", "Firmware was not flashed."), 171),
           (("Vexo3 device not found.",), 171), (("Vexo firmware update error - ",), 2),
           (("Vexo Silicon ID Error",), 1), (("The VEXO update did not complete",), 1),
           (("ERROR: ",), 111), (("USAGE: ",), 111)]
# DEBUG's trace lines: not the tool's output.
TRACE = ("line:  ", "image:  ", "fwLvl:  ", "VxTool return code:  ", "PowerCycle:", "strcmp ",
         "cycle  ", "vexoUpdate() return code:  ")


def _record(outcome, message, **known):
    return dict(dict.fromkeys(KEYS), outcome=outcome, message=message, **known)


def _said(text):
    return " ".join(line for line in str(text or "").split("\n") if line.strip())


def _flash_file(command):
    """The image file of a flash command line, unquoted; None for others."""
    try:
        words = shlex.split(command[len("Command:"):])
    except ValueError:
        return None
    flash = len(words) == 9 and words[3:5] == ["-q", "-f"] and words[6:] == ["2>&1", ">", "flash.out"]
    return words[5] if flash else None


def read_output(rc, stdout, stderr, images, level=None):
    """A host record from a vexoflash run: its exit status, standard output
    and error, the names of the two image files, the target level. Before
    the first tool command every line is vexoflash's; after it, only the
    level line, "Flashing Vexo." and the flash command (one such run of
    three lines), and the last lines; the rest is the tool's output."""
    lines = [line for line in stdout.split("\n") if line.strip()]
    if lines and lines[-1].startswith(TRACE[-1]):
        lines.pop()
    own = set(range(next((i + 1 for i, l in enumerate(lines) if l.startswith("Command:")), len(lines))))
    record = _record("failed", f"output not understood (exit status {rc})", exit_status=rc)
    flashes = [i for i in range(len(own) + 1, len(lines) - 1)
               if lines[i] == FLASHING and lines[i - 1].startswith(LEVEL)]
    written = _flash_file(lines[flashes[0] + 1]) if len(flashes) == 1 else None
    if written in images:
        own.update(range(flashes[0] - 1, flashes[0] + 2))
        record.update(level_before=lines[flashes[0] - 1][len(LEVEL):], image_written=written,
                      running_image=2 - images.index(written))
    ending, status = next(((e, s) for e, s in ENDINGS
                           if all(l.startswith(s) for l, s in zip(lines[-len(e):], e))
                           and len(lines) >= len(e)), ((), None))
    said = [SILICON_ID if s == "Vexo Silicon ID Error" else l for l, s in zip(lines[-len(ending):], ending)]
    own.update(range(len(lines) - len(ending), len(lines)))
    tool = [l for i, l in enumerate(lines) if i not in own and not l.startswith(TRACE)]
    record["tool_output"] = _said("\n".join(tool) + "\n" + stderr) or None
    if status != rc or (status == 0 and written not in images):
        return dict(record, image_written=None)
    record["message"] = " ".join(said)
    if ending[0] == UPDATED:
        return dict(record, outcome="updated", advice=ending[1][:2], message=UPDATED)
    if ending[0] != UP_TO_DATE:
        return dict(record, image_written=None)
    pending = level and record["level_before"] != level
    return dict(record, outcome="pending-power-cycle" if pending else "up-to-date",
                image_written=None)


def vexoflash_run(result, images, level=None):
    """The record of the role's vexoflash task (its registered result)."""
    return read_output(result.get("rc"), result.get("stdout", ""), result.get("stderr", ""),
                       list(images), level or None)


def report_value(report, key, offset):
    """The scan report read as vexoflash reads it: in pieces of at most 255
    bytes (a line, or a part of a longer one), the newline and then trailing
    spaces dropped, a NUL ending the piece; the first piece holding key
    decides. Its text from offset on; None without such a piece."""
    report = report if isinstance(report, bytes) else str(report).encode("utf-8", "surrogateescape")
    start = 0
    while start < len(report):
        newline = report.find(b"\n", start, start + 255)
        end = newline + 1 if newline >= 0 else min(start + 255, len(report))
        piece = report[start:end].split(b"\0", 1)[0].removesuffix(b"\n").rstrip(b" ")
        if key in piece:
            return piece[offset:]
        start = end
    return None


def scan_report(report, slot=None):
    """The image running (1, 2, or None) and its level, from a scan report;
    with slot, the level that slot holds, when the report says it."""
    image = report_value(report, b"Reserved bytes  =", 21)
    key = f"Image {slot} level   =" if slot else "Firmware level  ="
    level = (report_value(report, key.encode(), len(key)) or b"").lstrip(b" \t\n\v\f\r")
    level = level.decode("utf-8", "replace")
    return ({b"1": 1, b"2": 2}.get(image[:1] if image is not None else b"0"), level)


def vexoflash_scan(result, images, level=None):
    """Check mode: the record of the scan task (vxtool -i2cp ADDRESS, its
    report on standard output), compared with the target level."""
    running, now = scan_report(result.get("stdout", ""))
    if running is None:
        why = f"vxtool exit status {result.get('rc')}" + (": " * bool(result.get("stderr")))
        return _record("failed", "No Vexo3 device found: the scan names no running image, so a"
                       f" real run would end with exit status 171 ({why}{_said(result.get('stderr'))}).")
    other, known = 3 - running, dict(running_image=running, level_before=now)
    runs = f"The device runs image {running} at firmware level {now}"
    if level and now == level:
        return _record("current", runs + ", the target level.", **known)
    if level and scan_report(result.get("stdout", ""), other)[1] == level:
        return _record("pending-power-cycle", f"{runs}; image {other}, at the target level,"
                       " runs after the next power cycle.", **known)
    written = list(images)[other - 1]
    return _record("would-update", f"{runs}; a real run would write {written} (image {other})"
                   + ("." if level else " unless that slot already holds its level."),
                   image_written=written, **known)


def vexoflash_verify(record, cycle, back, scan, level=None):
    """After the advised power cycle (its command's result, the wait for the
    host, the scan): verified when the device runs the slot just written,
    at the target level when there is one."""
    kind, slot = record["advice"], 3 - record["running_image"]
    if cycle.get("skipped"):
        why = f"vexoflash_power_cycle has no {kind} command"
    elif cycle.get("rc") != 0:
        why = (f"the {kind} power-cycle command failed (exit status {cycle.get('rc')}): "
               + _said(cycle.get("stderr") or cycle.get("stdout") or cycle.get("msg")))
        record = dict(record, tool_output=_said(cycle.get("stdout")) or None)
    elif back.get("failed"):
        why = f"the host did not answer after the {kind} power cycle: {back.get('msg')}"
    else:
        running, now = scan_report(scan.get("stdout", ""))
        record = dict(record, level_after=now if running else None)
        if running == slot and (not level or now == level):
            return dict(record, outcome="verified")
        runs = f"image {running} at level {now}" if running else "no image the scan names"
        why = (f"after the {kind} power cycle the device runs {runs}, not image {slot}"
               f" ({record['image_written']})" + (f" at level {level}" if level else ""))
    return dict(record, outcome="failed", message=f"Written, but not running: {why}.")


def vexoflash_failure(failed_result, lost="", record=None):
    """A host the role stopped on: unreachable with Ansible's reason, or
    failed with the failed task's message; what record knew stays."""
    message = failed_result.get("msg") if isinstance(failed_result, Mapping) else None
    return dict(record or _record(None, None), outcome="unreachable" if lost else "failed",
                message=lost or message or "failed")


def vexoflash_lost(results):
    """Ansible's reason for the first of the registered results that found
    the host unreachable, a loop's too; '' when none did."""
    for result in results:
        for each in [result] + list(result.get("results", []) if isinstance(result, Mapping) else []):
            if isinstance(each, Mapping) and each.get("unreachable"):
                return each.get("msg") or "unreachable"
    return ""


def vexoflash_finish(record, images, level=None):
    """The record as the role leaves it: when the host finished (UTC), the
    target level, and the SHA-256 of the image file written (or that would
    be), read on the control node."""
    sums = [hashlib.sha256(open(i["src"], "rb").read()).hexdigest()
            for i in images if i["name"] == record.get("image_written")]
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
    return dict(record, time=now, target_level=level or None, image_sha256=(sums or [None])[0])


def vexoflash_describe(record):
    """One line for the play output."""
    outcome, status, message = record["outcome"], record["exit_status"], record["message"]
    if outcome == "verified":
        return f"Firmware updated and running, at level {record['level_after']}."
    if outcome == "updated":
        return "Firmware updated. " + ADVICE.get(record["advice"], "No power-cycle advice given.")
    if outcome == "up-to-date":
        return "Firmware already up to date; nothing written by this run."
    if outcome == "pending-power-cycle":
        return (f"Firmware {record['target_level']} written by an earlier run; the device still"
                f" runs {record['level_before']} until it is power-cycled.")
    if outcome == "unreachable":
        return "unreachable: " + message
    message += f" (tool output: {record['tool_output']})" if record.get("tool_output") else ""
    if status == 171:
        return f"No Vexo3 device found; firmware not written (vexoflash exit status 171): {message}"
    return f"vexoflash failed with exit status {status}: {message}" if status else message


class FilterModule:
    """The vexoflash role's filters."""

    def filters(self):
        return {name: globals()[name] for name in (
            "vexoflash_run", "vexoflash_scan", "vexoflash_verify", "vexoflash_failure",
            "vexoflash_lost", "vexoflash_finish", "vexoflash_describe")}
