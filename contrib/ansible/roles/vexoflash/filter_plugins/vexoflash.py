"""The vexoflash role's filters. vexoflash_check decides, on the control
node and before any host is touched, which images a host may get (a signed
manifest's, checked, or unsigned ones where that is allowed) and the
target level; vexoflash_record makes every decision the role takes for a
host from there, from what its device reports; the tasks only carry out
its "next" step. Its record (keys: KEYS) becomes vexoflash_result.
Nothing that a host returns is trusted beyond what it says of its device:
a host whose facts are named like the role's variables (they would stand
in for the operator's settings) is failed, and every text from a host is
escaped before it reaches a terminal."""

import base64
import datetime
import hashlib
import json
import os
import pathlib
import re
import subprocess
from collections.abc import Mapping

from ansible.module_utils.parsing.convert_bool import boolean

KEYS = ("outcome", "exit_status", "running_image", "level_before", "image_written", "advice",
        "message", "tool_output", "level_after", "target_level", "image_sha256", "images_verified",
        "time")
UPDATED = "Vexo found and firmware updated."
UP_TO_DATE = "Vexo Found and Firmware level is up-to-date. No flashing required."
LEVEL, FLASHING, SILICON = "Current Firmware Level = ", "Flashing Vexo.", "Vexo Silicon ID Error"
# vexoflash's last lines (their starts), which no tool output can follow
# while it runs, and its exit status with them.
ENDINGS = [((UPDATED, "DC power cycle the system"), 0), ((UPDATED, "AC power cycle the"), 0),
           ((UP_TO_DATE,), 0), (("No Vexos found", "Firmware was not flashed."), 171),
           (("Vexo3 device not found.",), 171), (("Vexo firmware update error",), 2),
           ((SILICON,), 1), (("The VEXO update did not complete",), 1), (("ERROR: ",), 111),
           (("USAGE: ",), 111)]
# vexoflash advises a DC power cycle for a level that sorts after this one
# byte by byte (strcmp), an AC power cycle for any other.
DC_AFTER = b"0x61"
TOOL_OUTPUT_LIMIT = 1024
FACTS = ("The host returned facts named like the role's variables ({}); nothing was run for it"
         " on the control node.")
# {hosts} stands for the hosts a refusal concerns.
POWER_WITHOUT_LEVEL = ("vexoflash_power_cycle is set but vexoflash_level is not ({hosts}): without a"
                       " target level every rerun would write and power-cycle the hosts again;"
                       " nothing was changed.")
NOT_ACCEPTED = "Manifest not accepted: {}; nothing was changed."
UNSIGNED = ("No manifest: vexoflash_manifest is not set, and vexoflash_allow_unsigned is not true"
            " (for a lab only); nothing was changed.")
NAMESPACE = "vexoflash-manifest"
LEVEL_FORM = re.compile(r"0x[0-9A-Fa-f]+")


def _record(outcome, message=None, **known):
    record = dict(dict.fromkeys(KEYS), next=None)
    record.update(known, outcome=outcome, message=message or known.get("message"))
    return record


def escape(text):
    """Text from a host, safe for a terminal: each character that does not
    print (C0 and C1 controls, DEL, format characters) as \\xNN or \\uNNNN,
    and each byte that was not UTF-8 as \\xNN."""
    def one(char):
        code = ord(char)
        if char.isprintable():
            return char
        if 0xDC80 <= code <= 0xDCFF:  # a byte that Python could not decode
            return f"\\x{code - 0xDC00:02x}"
        return f"\\x{code:02x}" if code < 0x100 else f"\\u{code:04x}" if code < 0x10000 else (
            f"\\U{code:08x}")
    return None if text is None else "".join(one(char) for char in str(text))


def tainted(facts):
    """The names of the host's facts that are like the role's variables."""
    return sorted(str(name) for name in (facts or {}) if re.match(r"_*vexoflash_", str(name)))


def _said(*texts):
    return " ".join(line.strip() for text in texts for line in str(text or "").split("\n")
                    if line.strip())


def _tail(lines):
    """The last lines, escaped and joined by spaces, in at most
    TOOL_OUTPUT_LIMIT characters; None for none."""
    kept = []
    for line in reversed([escape(line.strip()) for line in lines if line.strip()]):
        if len(" ".join([line] + kept)) > TOOL_OUTPUT_LIMIT:
            kept = kept or [line[-TOOL_OUTPUT_LIMIT:]]
            break
        kept.insert(0, line)
    return " ".join(kept) or None


def _kind(level):
    """The power cycle that vexoflash advises after writing a device that
    ran this level."""
    return "DC" if level.encode("utf-8", "surrogateescape") > DC_AFTER else "AC"


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


def _sha256(path):
    return hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest()


def _keygen(*args, data=b""):
    """ssh-keygen -Y ARGS: its exit status, its standard output, and the
    last line of its standard error."""
    try:
        done = subprocess.run(["ssh-keygen", "-Y", *args], input=data, capture_output=True,
                              timeout=60, check=False)
    except (OSError, subprocess.TimeoutExpired) as error:
        return None, "", escape(str(error))
    said = [line for line in done.stderr.decode("utf-8", "replace").split("\n") if line.strip()]
    return done.returncode, done.stdout.decode("utf-8", "replace"), escape(
        said[-1].strip() if said else f"exit status {done.returncode}")


def _malformed(manifest):
    """What is wrong with the manifest's content, or ''."""
    if not isinstance(manifest, dict):
        return "is not a JSON object"
    if not isinstance(manifest.get("level"), str) or not LEVEL_FORM.fullmatch(manifest["level"]):
        return "has no level of the form 0x followed by hex digits"
    for key in ("image1", "image2"):
        image = manifest.get(key)
        if not isinstance(image, dict) or not isinstance(image.get("file"), str):
            return f"names no file for {key}"
        if not isinstance(image.get("sha256"), str) or not re.fullmatch(r"[0-9a-fA-F]{64}",
                                                                          image["sha256"]):
            return f"has no sha256 of 64 hex digits for {key}"
        if os.path.isabs(image["file"]) or ".." in image["file"].split("/") or (
                os.path.basename(image["file"]) in ("", ".")):
            return f"names for {key} a file outside its folder ({escape(image['file'])})"
    if os.path.basename(manifest["image1"]["file"]) == os.path.basename(manifest["image2"]["file"]):
        return "names two images with one file name"
    return ""


def _manifest(path, signature, allowed_signers):
    """The manifest checked on the control node, in this order: its
    signature (ssh-keygen, by a principal of allowed_signers, in the
    namespace vexoflash-manifest), its content, then each image file's
    SHA-256. The manifest is read once: the bytes verified are the bytes
    parsed. Returns the refusal (or ''), what is known of the manifest
    (path, sha256, signer, level) and the images ({src, name, sha256})."""
    known = {"path": path, "sha256": None, "signer": None, "level": None}
    try:
        data = pathlib.Path(path).read_bytes()
    except OSError as error:
        return NOT_ACCEPTED.format(f"cannot read {path} ({error.strerror})"), known, []
    known["sha256"] = hashlib.sha256(data).hexdigest()
    for setting, name in (("vexoflash_allowed_signers", allowed_signers), ("signature", signature)):
        if not name or not os.path.isfile(name):
            return NOT_ACCEPTED.format(f"no {setting} file {name}".rstrip()), known, []
    status, found, said = _keygen("find-principals", "-s", signature, "-f", allowed_signers)
    principals = [line.strip() for line in found.split("\n") if line.strip()] if status == 0 else []
    if not principals:
        return NOT_ACCEPTED.format(f"{signature} is signed by no key of {allowed_signers} ({said})"
                                   ), known, []
    for principal in principals:
        status, _, said = _keygen("verify", "-f", allowed_signers, "-I", principal, "-n", NAMESPACE,
                                  "-s", signature, data=data)
        if status == 0:
            known["signer"] = principal
            break
    else:
        return NOT_ACCEPTED.format(f"{signature} does not verify {path} as {escape(principals[0])}"
                                   f" in the namespace {NAMESPACE} ({said})"), known, []
    try:
        manifest = json.loads(data)
    except ValueError as error:
        return NOT_ACCEPTED.format(f"{path} is not JSON ({error})"), known, []
    wrong = _malformed(manifest)
    if wrong:
        return NOT_ACCEPTED.format(f"{path} {wrong}"), known, []
    known["level"], images = manifest["level"], []
    for key in ("image1", "image2"):
        name, src = manifest[key]["file"], os.path.join(os.path.dirname(path), manifest[key]["file"])
        try:
            digest = _sha256(src)
        except OSError:
            return NOT_ACCEPTED.format(f"no image file {escape(name)} beside it"), known, []
        if digest != manifest[key]["sha256"].lower():
            return NOT_ACCEPTED.format(f"{escape(name)} does not match its sha256 in the manifest"
                                       ), known, []
        images.append({"src": os.path.realpath(src), "name": os.path.basename(name), "sha256": digest})
    return "", known, images


def vexoflash_check(facts, settings, memo=None):
    """Which images the host gets and the target level, decided on the
    control node before any host is touched, from the operator's settings
    (manifest, signature, allowed_signers, allow_unsigned, image1, image2,
    level, power: the kinds of power command): its plan, with refused (''
    or why; "{hosts}" in it stands for the hosts it concerns), level,
    images ({src, name, sha256} each), manifest (what is known of it, or
    None) and verified (the images are a signed manifest's). A host whose
    facts are like the role's variables gets no plan. memo keeps each
    manifest's and image file's check, so that a rollout makes each once."""
    memo = {} if memo is None else memo
    # Text, as the scan reads it: YAML makes an unquoted 0x62 the number 98.
    plan = {"refused": "", "level": str(settings["level"] or ""), "images": [], "manifest": None,
            "verified": False}
    names = tainted(facts)
    if names:
        return dict(plan, refused=FACTS.format(", ".join(names)))
    if settings["manifest"]:
        path = os.path.abspath(os.path.expanduser(settings["manifest"]))
        where = (path, os.path.abspath(os.path.expanduser(settings["signature"] or path + ".sig")),
                 settings["allowed_signers"] and os.path.abspath(os.path.expanduser(
                     settings["allowed_signers"])))
        if where not in memo:
            memo[where] = _manifest(*where)
        refused, known, images = memo[where]
        plan.update(manifest=known, images=images, verified=not refused)
        if refused:
            return dict(plan, refused=refused)
        if settings["image1"] or settings["image2"]:
            return dict(plan, refused=NOT_ACCEPTED.format(
                "it names the images, and vexoflash_image1 or vexoflash_image2 is set too ({hosts})"))
        if plan["level"] and plan["level"] != known["level"]:
            return dict(plan, refused=NOT_ACCEPTED.format(
                f"its level is {known['level']}, and vexoflash_level is {escape(plan['level'])}"
                " ({hosts})"))
        plan["level"] = known["level"]
    elif not boolean(settings["allow_unsigned"], strict=False):
        return dict(plan, refused=UNSIGNED)
    else:
        images = [{"src": os.path.realpath(os.path.expanduser(image)), "name": os.path.basename(image)}
                  for image in (settings["image1"], settings["image2"])]
        for image in images:
            if image["src"] not in memo:
                memo[image["src"]] = _sha256(image["src"]) if os.path.isfile(image["src"]) else None
            image["sha256"] = memo[image["src"]]
        missing = [i["src"] for i in images if not i["sha256"]]
        if missing:
            return dict(plan, refused=f"No such image file on the control node: {', '.join(missing)};"
                        " nothing was changed.")
        if images[0]["name"] == images[1]["name"]:
            return dict(plan, refused=f"vexoflash_image1 and vexoflash_image2 have one file name,"
                        f" {images[0]['name']}; nothing was changed.")
        plan["images"] = images
    if settings["power"] and not plan["level"]:
        return dict(plan, refused=POWER_WITHOUT_LEVEL)
    return plan


def _same(level, target):
    """Whether a device's level is the target: the same text, or the same
    number (0x6a is 0x6A)."""
    return level == target or _newer(level, target) is False and _newer(target, level) is False


def _newer(level, target):
    """Whether a device's level is above the target, both read as numbers
    (0x62 is 98); None when either is not a number."""
    if not LEVEL_FORM.fullmatch(level) or not LEVEL_FORM.fullmatch(target):
        return None
    return int(level, 16) > int(target, 16)


def vexoflash_run(result):
    """vexoflash's run as the role's run script reports it: its exit status
    on the first line of standard output, then vexoflash's output up to
    its exit (what the tool prints later is not there), and on standard
    error the end of flash.out when this run wrote it. The outcome
    ("updated", "up-to-date", or None: a failure, or last lines that are
    not vexoflash's or disagree with the status), the advice and message
    come from vexoflash's last lines, which no tool output can follow. Its
    other lines are those before the first tool command, and after it its
    level line, "Flashing Vexo." and command lines; the rest, then
    flash.out, is the tool's."""
    head, _, output = str(result.get("stdout", "")).partition("\n")
    status = int(head) if head.isdigit() else None
    lines = [line for line in output.split("\n") if line.strip()]
    lines = lines[:-1] if lines and lines[-1].startswith("vexoUpdate() return code:") else lines
    ending, ending_status = next(((e, s) for e, s in ENDINGS if len(lines) >= len(e) and all(
        line.startswith(start) for line, start in zip(lines[-len(e):], e))), ((), None))
    first = next((i + 1 for i, line in enumerate(lines) if line.startswith("Command:")), len(lines))
    tool = [line for line in lines[first:len(lines) - len(ending)]
            if not line.startswith(("Command:", LEVEL)) and line != FLASHING]
    said = " ".join(lines[len(lines) - len(ending):]) if ending else ""
    # Exit status 111: vexoflash ran no tool, and flash.out is another run's.
    flash = str(result.get("stderr", "")).split("\n") if status != 111 else []
    # The silicon ID line's Windows-1252 bytes do not survive as text.
    if ending and ending[0] == SILICON:
        said = f"{SILICON} - Vexo found but the silicon ID didn't match file."
    understood = bool(ending) and ending_status == status
    outcome = ("updated" if ending[0] == UPDATED else "up-to-date" if ending[0] == UP_TO_DATE
               else None) if understood else None
    return {"status": status, "outcome": outcome, "advice": ending[1][:2] if outcome == "updated"
            else None, "message": escape(said) if understood else f"output not understood (exit"
            f" status {status})", "tool_output": _tail(tool + flash),
            "stderr": _said(result.get("stderr"))}


def _ran(result):
    return result if isinstance(result, Mapping) and not result.get("skipped") else None


def vexoflash_record(facts, settings, probe=None, run=None, cycle=None, back=None, after=None):
    """The host's record so far, with "next", the step the role takes next
    (probe, run, power-cycle, wait or scan; None when the record is
    final). The one decision, in check mode as in a real run: a device that
    runs the target level is left alone, and one that runs a newer level
    too unless downgrades are allowed; otherwise the images are copied,
    and vexoflash runs if their copies on the host have the SHA-256
    checked on the control node; after an exit status 0 the device is
    power-cycled (with a command for it) as vexoflash advises from the
    level it ran, whatever vexoflash printed, and must then run the target
    level.
    facts: the host's ansible_facts; settings: host (its name), refused,
    level and images (the host's plan, from vexoflash_check), power (the
    kinds vexoflash_power_cycle has commands for), allow_downgrade, check
    (check mode); then the registered results of the steps (None, or
    skipped, before they ran)."""
    names = tainted(facts)
    if names:
        return _record("failed", FACTS.format(", ".join(names)))
    if settings["refused"]:
        return _record("failed", settings["refused"].replace("{hosts}", settings["host"]))
    probe, run, cycle, back, after = (_ran(r) for r in (probe, run, cycle, back, after))
    if probe is None:
        return _record(None, next="probe")
    lost = next((r.get("msg") or "unreachable" for r in (probe, run, after)
                 if r and r.get("unreachable")), None)
    if lost:
        return _record("unreachable", escape(lost))
    level, power, images = settings["level"] or None, settings["power"], settings["images"]
    found, _, report = str(probe.get("stdout", "")).split("\n", 1)[-1].partition("\n")
    if found == "missing":
        return _record("failed", f"Not found on this host: {escape(', '.join(n for n in report.split(chr(10)) if n))};"
                       " nothing was changed (vexoflash_path names vexoflash, vexoflash_tool_dir the"
                       " folder that holds vxtool).")
    if found != "scan":
        return _record("failed", f"The working directory could not be made ready (exit status"
                       f" {probe.get('rc')}): {escape(_said(probe.get('stderr')))}; nothing was"
                       " changed.")
    running, now = scan_report(report)
    other = 3 - running if running else None
    image = images[other - 1]["name"] if other else None
    known = dict(running_image=running, level_before=escape(now) if running else None,
                 target_level=level)
    runs = f"The device runs image {running} at firmware level {escape(now)}"
    newer = _newer(now, level) if level and running else False
    if newer is not False and not settings["allow_downgrade"]:
        return _record("downgrade-refused", f"{runs}, {'above' if newer else 'not comparable with'}"
                       f" the target level {level}: nothing was written (vexoflash_allow_downgrade"
                       " lets the write go ahead).", **known)
    if settings["check"]:
        if running is None:
            return _record("failed", "No Vexo3 device found: the scan names no running image, so a"
                           " real run would end with exit status 171 (vxtool exit status"
                           f" {escape(_said(probe.get('rc'), probe.get('stderr')))}).", **known)
        if level and _same(now, level):
            return _record("current", f"{runs}, the target level.", **known)
        if level and _same(scan_report(report, f"Image {other} level   =")[1], level):
            return _record("pending-power-cycle", f"{runs}; image {other}, at {level}, runs after"
                           " a power cycle.", advice=_kind(now), **known)
        return _record("would-update", f"{runs}; a real run would write {image} (image {other})"
                       f"{'' if level else ' unless that slot already holds its level'}.",
                       image_written=image, **known)
    if level and _same(now, level):
        return _record("up-to-date", f"{runs}, the target level: nothing was written.", **known)
    if run is None:
        return _record(None, next="run", **known)
    known["image_written"] = image
    head, _, sums = str(run.get("stdout", "")).partition("\n")
    if head == "sha256":
        found = [line.split(" ")[0] for line in sums.split("\n")]
        bad = [i["name"] for n, i in enumerate(images) if found[n:n + 1] != [i["sha256"]]]
        return _record("failed", f"On the host, {', '.join(bad or [i['name'] for i in images])}"
                       " did not have the SHA-256 checked on the control node; nothing was"
                       " written.", **known)
    ran = vexoflash_run(run)
    known.update(exit_status=ran["status"], message=ran["message"],
                 tool_output=ran["tool_output"])
    if ran["status"] is None:
        return _record("failed", f"vexoflash did not run (exit status {run.get('rc')}):"
                       f" {escape(ran['stderr'])}", **dict(known, tool_output=None))
    if ran["status"] != 0:
        return _record("failed", **known)
    known["tool_output"] = None
    if not level:  # what vexoflash said: updated, or nothing to write
        if ran["outcome"] == "updated":
            return _record("updated", **dict(known, advice=ran["advice"]))
        return _record("up-to-date" if ran["outcome"] else "failed", **dict(known, image_written=None))
    kind, said = _kind(now), (ran["message"] + " " if ran["outcome"] else "")
    known["advice"] = kind
    if not power:
        return _record("pending-power-cycle", **dict(known, message=(
            f"{said}The device runs {escape(now)}; {level} runs after a power cycle.")))
    written = "Written, but not running: {}."
    if kind not in power:
        return _record("failed", **dict(known, message=written.format(
            f"vexoflash_power_cycle has no {kind} command")))
    if cycle is None:
        return _record(None, next="power-cycle", **known)
    # Only its kind and exit status: what it prints may hold a secret.
    if cycle.get("rc") != 0:
        return _record("failed", **dict(known, message=written.format(
            f"the {kind} power-cycle command failed (exit status {cycle.get('rc')})")))
    if back is None:
        return _record(None, next="wait", **known)
    if back.get("failed"):
        return _record("failed", **dict(known, message=written.format(
            f"the host did not answer after the {kind} power cycle: {escape(back.get('msg'))}")))
    if after is None:
        return _record(None, next="scan", **known)
    running, now = scan_report(after.get("stdout", ""))
    known["level_after"] = escape(now) if running else None
    if running and _same(now, level):
        return _record("verified", **dict(known, message=f"{said}After the {kind} power cycle the"
                                          f" device runs image {running} at level {escape(now)}."))
    runs = f"image {running} at level {escape(now)}" if running else "no image the scan names"
    return _record("failed", **dict(known, message=written.format(
        f"after the {kind} power cycle the device runs {runs}, not image {other} ({image}) at level"
        f" {level}")))


def vexoflash_failure(failed_result):
    """A host that a task failed on: the failed task's message."""
    message = failed_result.get("msg") if isinstance(failed_result, Mapping) else None
    return _record("failed", escape(message or "failed"))


def vexoflash_payload(images):
    """The images for the run script's standard input, read on the control
    node: each one's bytes in base64, on a line of its own."""
    return "".join(base64.b64encode(pathlib.Path(i["src"]).read_bytes()).decode() + "\n"
                   for i in images)


def vexoflash_finish(record, plan):
    """The record as the role leaves it: when the host finished (UTC), the
    SHA-256 of the image file written or tried, as checked on the control
    node (and on the host before a write), and whether the images were a
    signed manifest's."""
    sums = [i["sha256"] for i in plan.get("images") or [] if i["name"] == record.get("image_written")]
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
    return dict({key: record.get(key) for key in KEYS}, time=now, image_sha256=(sums or [None])[0],
                images_verified=bool(plan.get("verified")))


class FilterModule:
    """The vexoflash role's filters."""

    def filters(self):
        return {name: globals()[name] for name in (
            "vexoflash_check", "vexoflash_run", "vexoflash_record", "vexoflash_failure",
            "vexoflash_payload", "vexoflash_finish")}
