"""The vexoflash role's filters: each makes or completes the host record,
vexoflash_result (keys: KEYS)."""

import datetime
import hashlib
import pathlib
import shlex
from collections.abc import Mapping

KEYS = ("outcome", "exit_status", "running_image", "level_before", "image_written", "advice",
        "message", "tool_output", "level_after", "target_level", "image_sha256", "time")
UPDATED = "Vexo found and firmware updated."
UP_TO_DATE = "Vexo Found and Firmware level is up-to-date. No flashing required."
LEVEL, FLASHING, SILICON = "Current Firmware Level = ", "Flashing Vexo.", "Vexo Silicon ID Error"
# vexoflash's last lines (their starts), which no tool output can follow,
# and its exit status with them.
ENDINGS = [((UPDATED, "DC power cycle the system"), 0), ((UPDATED, "AC power cycle the"), 0),
           ((UP_TO_DATE,), 0), (("No Vexos found", "Firmware was not flashed."), 171),
           (("Vexo3 device not found.",), 171), (("Vexo firmware update error",), 2),
           ((SILICON,), 1), (("The VEXO update did not complete",), 1), (("ERROR: ",), 111),
           (("USAGE: ",), 111)]


def _record(outcome, message, **known):
    return dict(dict.fromkeys(KEYS), outcome=outcome, message=message, **known)


def _said(*texts):
    return " ".join(line for text in texts for line in str(text or "").split("\n") if line.strip())


def _flash_file(line):
    """The image file of a flash command line, unquoted; None for others."""
    try:
        words = shlex.split(line[len("Command:"):])
    except ValueError:
        return None
    flash = words[3:5] == ["-q", "-f"] and words[6:] == ["2>&1", ">", "flash.out"]
    return words[5] if flash else None


def vexoflash_run(result, images, level=None):
    """The record of the role's vexoflash task (its registered result). Its
    own lines: all before the first tool command; after it, the one run of a
    level line, "Flashing Vexo." and a flash command, and the last lines.
    The rest is the tool's output."""
    rc, images, level = result.get("rc"), list(images), level or None
    lines = [line for line in result.get("stdout", "").split("\n") if line.strip()]
    lines = lines[:-1] if lines and lines[-1].startswith("vexoUpdate() return code:") else lines
    first = next((i + 1 for i, line in enumerate(lines) if line.startswith("Command:")), len(lines))
    flashes = [i for i in range(first + 1, len(lines) - 1)
               if lines[i] == FLASHING and lines[i - 1].startswith(LEVEL)]
    written = _flash_file(lines[flashes[0] + 1]) if len(flashes) == 1 else None
    ending, status = next(((e, s) for e, s in ENDINGS if len(lines) >= len(e) and all(
        line.startswith(start) for line, start in zip(lines[-len(e):], e))), ((), None))
    own = set(range(first)) | set(range(len(lines) - len(ending), len(lines)))
    record = _record("failed", f"output not understood (exit status {rc})", exit_status=rc)
    if written in images:
        own |= {flashes[0] - 1, flashes[0], flashes[0] + 1}
        record.update(level_before=lines[flashes[0] - 1][len(LEVEL):], image_written=written,
                      running_image=2 - images.index(written))
    tool = _said(*(line for i, line in enumerate(lines) if i not in own), result.get("stderr"))
    record["tool_output"] = tool or None
    if status != rc or (status == 0 and written not in images):
        return dict(record, image_written=None)
    said = " ".join(lines[len(lines) - len(ending):])
    # The silicon ID line's Windows-1252 bytes do not survive as text.
    record["message"] = f"{SILICON} - Vexo found but the silicon ID didn't match file." if (
        ending[0] == SILICON) else said
    if ending[0] == UPDATED:
        return dict(record, outcome="updated", advice=ending[1][:2])
    if ending[0] == UP_TO_DATE and level and record["level_before"] != level:
        return dict(record, outcome="pending-power-cycle", image_written=None, message=(
            f"{said} The device runs {record['level_before']}; {level} runs after a power cycle."))
    return dict(record, outcome="up-to-date" if status == 0 else "failed", image_written=None)


def scan_report(report, key="Firmware level  ="):
    """The image the scan report names (1, 2 or None) and the text after
    key, read as vexoflash reads them: in pieces of at most 255 bytes (a
    line or a part of it), the newline and then trailing spaces dropped, a
    NUL ending the piece; the first piece that holds the key decides."""
    found, start, report = {}, 0, str(report).encode("utf-8", "surrogateescape")
    while start < len(report):
        end = report.find(b"\n", start, start + 255) + 1 or min(start + 255, len(report))
        piece = report[start:end].split(b"\0", 1)[0].removesuffix(b"\n").rstrip(b" ")
        for name in (b"Reserved bytes  =", key.encode()):
            if name in piece:
                found.setdefault(name, piece[len(name):])
        start = end
    return ({b"1": 1, b"2": 2}.get(found.get(b"Reserved bytes  =", b"")[4:5]),
            found.get(key.encode(), b"").lstrip(b" \t\n\v\f\r").decode("utf-8", "replace"))


def vexoflash_scan(result, images, level=None):
    """Check mode: the record of the scan (vxtool -i2cp ADDRESS, its report
    on standard output), against the target level."""
    running, now = scan_report(result.get("stdout", ""))
    if running is None:
        return _record("failed", "No Vexo3 device found: the scan names no running image, so a"
                       " real run would end with exit status 171 (vxtool exit status"
                       f" {_said(result.get('rc'), result.get('stderr'))}).")
    other, runs = 3 - running, f"The device runs image {running} at firmware level {now}"
    known = dict(running_image=running, level_before=now)
    if level and now == level:
        return _record("current", f"{runs}, the target level.", **known)
    if level and scan_report(result.get("stdout", ""), f"Image {other} level   =")[1] == level:
        return _record("pending-power-cycle", f"{runs}; image {other}, at {level}, runs after a"
                       " power cycle.", **known)
    return _record("would-update", f"{runs}; a real run would write {images[other - 1]} (image"
                   f" {other}){'' if level else ' unless that slot already holds its level'}.",
                   image_written=images[other - 1], **known)


def vexoflash_verify(record, cycle, back, scan, level=None):
    """After the advised power cycle (the results of its command, of the
    wait for the host and of the scan): verified when the device runs the
    slot just written, at the target level when there is one."""
    kind, slot = record["advice"], 3 - record["running_image"]
    running, now = scan_report(scan.get("stdout", ""))
    if cycle.get("skipped"):
        why = f"vexoflash_power_cycle has no {kind} command"
    elif cycle.get("rc") != 0:
        why = (f"the {kind} power-cycle command failed (exit status {cycle.get('rc')}): "
               + _said(cycle.get("stderr") or cycle.get("msg"), cycle.get("stdout")))
    elif back.get("failed"):
        why = f"the host did not answer after the {kind} power cycle: {back.get('msg')}"
    elif running == slot and (not level or now == level):
        return dict(record, outcome="verified", level_after=now, message=f"{record['message']}"
                    f" After the {kind} power cycle the device runs image {slot} at level {now}.")
    else:
        record = dict(record, level_after=now if running else None)
        runs = f"image {running} at level {now}" if running else "no image the scan names"
        why = (f"after the {kind} power cycle the device runs {runs}, not image {slot}"
               f" ({record['image_written']})" + (f" at level {level}" if level else ""))
    return dict(record, outcome="failed", message=f"Written, but not running: {why}.")


def vexoflash_failure(failed_result, lost="", record=None):
    """A host the role stopped on: unreachable with Ansible's reason, or
    failed with the failed task's message."""
    message = failed_result.get("msg") if isinstance(failed_result, Mapping) else None
    return dict(record or _record(None, None), outcome="unreachable" if lost else "failed",
                message=lost or message or "failed")


def vexoflash_lost(results):
    """Ansible's reason for the first registered result, or loop item, that
    found the host unreachable; '' when none did."""
    results = [r for r in results if isinstance(r, Mapping)]
    for each in results + [item for r in results for item in r.get("results", [])]:
        if each.get("unreachable"):
            return each.get("msg") or "unreachable"
    return ""


def vexoflash_finish(record, images, level=None):
    """The record as the role leaves it: when the host finished (UTC), the
    target level, and the SHA-256 of the image file written (or that would
    be), read on the control node."""
    sums = [hashlib.sha256(pathlib.Path(i["src"]).read_bytes()).hexdigest()
            for i in images if i["name"] == record.get("image_written")]
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
    return dict(record, time=now, target_level=level or None, image_sha256=(sums or [None])[0])


class FilterModule:
    """The vexoflash role's filters."""

    def filters(self):
        return {name: globals()[name] for name in (
            "vexoflash_run", "vexoflash_scan", "vexoflash_verify", "vexoflash_failure",
            "vexoflash_lost", "vexoflash_finish")}
