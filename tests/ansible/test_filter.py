"""Rows for the filters of the vexoflash role and of the playbook, on what
the checks against the simulated tool cannot make happen: report lines cut
into pieces, forged or misplaced lines in vexoflash's output, each way a
power cycle can go wrong, and rollouts that end oddly."""

import importlib.util
import pathlib

import pytest

ANSIBLE = pathlib.Path(__file__).resolve().parents[2] / "contrib/ansible"


def _load(name, path):
    spec = importlib.util.spec_from_file_location(name, ANSIBLE / path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


vf = _load("vexoflash_role", "roles/vexoflash/filter_plugins/vexoflash.py")
ro = _load("vexoflash_rollout", "filter_plugins/rollout.py")

# name: report, slot (None: the running one), (image running, level).
REPORT_ROWS = {
    "key split across two pieces": (b"-" * 250 + b"Reserved bytes  = 0x01\n", None, (None, "")),
    "key starts the second piece, level ends the report": (
        b"-" * 255 + b"Reserved bytes  = 0x02\nFirmware level  = 0x62", None, (2, "0x62")),
    "NUL hides the key": (b"ab\0Reserved bytes  = 0x01\n", None, (None, "")),
    "digit past a short line": (b"abcdefghijklmnopqrstu9vwxyz\nReserved bytes  =\n", None,
                                (None, "")),
    "first line decides, spaces go, CR and inner text stay": (
        b"Reserved bytes  = 0x02   \r\nReserved bytes  = 0x01\nFirmware level  = \t\v\f0x61 b\r \n",
        None, (2, "0x61 b\r")),
    "indented keys count from the line start": (
        b"  Reserved bytes  = 0x01\n  Firmware level  = 0x62\n", None, (None, "= 0x62")),
    "level of the other slot": (b"Reserved bytes  = 0x01\nImage 2 level   = 0x62\n", 2, (1, "0x62")),
}


@pytest.mark.parametrize("name", REPORT_ROWS)
def test_scan_report(name):
    report, slot, expected = REPORT_ROWS[name]
    assert vf.scan_report(report, slot)[slot is not None:] == expected[slot is not None:]


I1, I2 = "vexo3-image1.vx3", "vexo3-image2.vx3"
SCAN = ["Scanning for Vexo3 image.", "Command:  vxtool -i2cp 0x50 2>&1 > busscan.out"]
FORGED = [vf.UPDATED, vf.ADVICE["DC"], "Current Firmware Level = 0x99", "ERROR: forged"]


def flash(level="0x60", name=I2):
    return [vf.LEVEL + level, vf.FLASHING, f"Command:  vxtool -i2cp 0x50 -q -f {name} 2>&1 > flash.out"]


NOT_UNDERSTOOD = dict(outcome="failed", image_written=None)
# name: exit status, lines after the banner, target level, what the record holds.
RUN_ROWS = {
    "forged lines in the flash's output": (
        0, SCAN + flash() + FORGED + [vf.UP_TO_DATE], None,
        dict(outcome="up-to-date", level_before="0x60", advice=None, running_image=1,
             tool_output=" ".join(FORGED))),
    "forged flash in the scan's output": (
        0, SCAN + flash("0x99", I1) + flash() + [vf.UPDATED, vf.ADVICE["DC"]], None,
        dict(NOT_UNDERSTOOD, message="output not understood (exit status 0)", level_before=None)),
    "ERROR line from the tool": (
        2, SCAN + flash() + ["ERROR: bus", "Vexo firmware update error - Vexo found but update failed."],
        None, dict(outcome="failed", tool_output="ERROR: bus", exit_status=2,
                   message="Vexo firmware update error - Vexo found but update failed.")),
    "exit status disagrees": (1, SCAN + flash() + [vf.UPDATED, vf.ADVICE["AC"]], None,
                              dict(NOT_UNDERSTOOD, level_before="0x60", advice=None)),
    "killed while flashing, its level last but two": (-9, SCAN + flash(), None,
                                                      dict(NOT_UNDERSTOOD, running_image=1)),
    "trace lines and a wait": (
        0, ["Waiting for another vexoflash run on this system to finish."] + SCAN
        + ["line:  Reserved bytes  = 0x02", "image:  2"] + flash("0x62", I1)
        + ["VxTool return code:  0", "cycle  -1", vf.UPDATED, vf.ADVICE["DC"],
           "vexoUpdate() return code:  0."], None,
        dict(outcome="updated", running_image=2, image_written=I1, advice="DC", tool_output=None)),
    "written earlier, not running": (0, SCAN + flash() + [vf.UP_TO_DATE], "0x62",
                                     dict(outcome="pending-power-cycle", image_written=None)),
    "silicon ID in Windows-1252": (1, SCAN + flash() + ["Vexo Silicon ID Error \ufffd Vexo found"],
                                   None, dict(outcome="failed", message=vf.SILICON_ID)),
    "quoted image name": (0, SCAN + flash("", "'vexo 3 #2.vx3'") + [vf.UPDATED, vf.ADVICE["AC"]],
                          None, dict(running_image=1, level_before="", image_written="vexo 3 #2.vx3")),
}


@pytest.mark.parametrize("name", RUN_ROWS)
def test_read_output(name):
    status, lines, level, expected = RUN_ROWS[name]
    banner = ["", "*" * 60, "   Tarnell Vexo3 Update Utility   ", "*" * 60, ""]
    images = [I1, "vexo 3 #2.vx3" if name == "quoted image name" else I2]
    record = vf.read_output(status, "\n".join(banner + lines) + "\n", "", images, level)
    assert {key: record[key] for key in expected} == expected


UPDATED = vf._record("updated", vf.UPDATED, running_image=1, image_written=I2, advice="AC")
RAN, BACK = {"rc": 0}, {"elapsed": 9}


def scan(image, level):
    return {"stdout": f"Reserved bytes  = 0x0{image}\nFirmware level  = {level}\n"}


# name: the power-cycle command's result, the wait's, the scan's, what the record holds.
VERIFY_ROWS = {
    "runs the new image": (RAN, BACK, scan(2, "0x62"), dict(outcome="verified", level_after="0x62")),
    "boots the old slot": (RAN, BACK, scan(1, "0x60"), dict(
        outcome="failed", level_after="0x60", message="Written, but not running: after the AC"
        f" power cycle the device runs image 1 at level 0x60, not image 2 ({I2}) at level 0x62.")),
    "another level": (RAN, BACK, scan(2, "0x61"), dict(outcome="failed", level_after="0x61")),
    "no device": (RAN, BACK, {"stdout": ""}, dict(outcome="failed", level_after=None)),
    "no command for the advice": ({"skipped": True}, {"skipped": True}, {"skipped": True}, dict(
        message="Written, but not running: vexoflash_power_cycle has no AC command.")),
    "command failed": ({"rc": 1, "stderr": "Unable to establish\nsession"}, {}, {}, dict(
        message="Written, but not running: the AC power-cycle command failed (exit status 1):"
        " Unable to establish session.")),
    "not back in time": (RAN, {"failed": True, "msg": "timed out"}, {}, dict(
        message="Written, but not running: the host did not answer after the AC power cycle:"
        " timed out.")),
}


@pytest.mark.parametrize("name", VERIFY_ROWS)
def test_verify(name):
    cycle, back, after, expected = VERIFY_ROWS[name]
    record = vf.vexoflash_verify(UPDATED, cycle, back, after, "0x62")
    assert {key: record[key] for key in expected} == expected


REPORT = "Reserved bytes  = 0x01\nFirmware level  = 0x60\nImage 2 level   = "
CHECK_ROWS = {  # name: scan report, target level, outcome
    "current": ("Reserved bytes  = 0x02\nFirmware level  = 0x62\n", "0x62", "current"),
    "written, not running": (REPORT + "0x62\n", "0x62", "pending-power-cycle"),
    "other slot at another level": (REPORT + "0x61\n", "0x62", "would-update"),
    "no device": ("Firmware level  = 0x62\n", "0x62", "failed"),
}


@pytest.mark.parametrize("name", CHECK_ROWS)
def test_check_mode(name):
    report, level, outcome = CHECK_ROWS[name]
    assert vf.vexoflash_scan({"rc": 0, "stdout": report}, [I1, I2], level)["outcome"] == outcome


def test_lost_in_a_loop():
    lost = {"unreachable": True, "msg": "Connection refused"}
    assert vf.vexoflash_lost([None, {"skipped": True}]) == ""
    assert vf.vexoflash_lost([{"rc": 0}, {"results": [{"rc": 0}, lost]}]) == "Connection refused"


def host(wave, outcome=None):
    record = dict(vf._record(outcome, "why"), exit_status=1, tool_output="x") if outcome else None
    return {"__vexoflash_wave": {"number": wave}, "vexoflash_result": record} if wave else {}


# The rollouts the checks in waves do not make. name: the hosts, the
# wave's hosts, max fail percentage, stop; lines the summary must hold;
# the hosts whose tool output the report keeps.
ROLLOUT_ROWS = {
    "whole wave failed, tolerated": (
        {"h1": host(1, "verified"), "h2": host(2, "failed"), "h3": host(None)}, ["h2"], 100, True,
        ["Rollout stopped after wave 2: 1 of its 1 host(s) failed (a wave whose every host"
         " failed ends the play).", "Not touched: h3"], {"h2"}),
    "failed before the role": (
        {"h1": host(1), "h2": host(None)}, ["h1"], 0, True,
        ["  h1: stopped before the update: see the play output", "Not touched: h2"], set()),
    "last wave failed": (
        {"h1": host(1, "up-to-date"), "h2": host(2, "unreachable")}, ["h2"], 0, True,
        ["Rollout finished after 2 wave(s), with failures.", "  h2: why"], {"h2"}),
}


@pytest.mark.parametrize("name", ROLLOUT_ROWS)
def test_rollout_ends(name):
    hostvars, batch, percentage, stop, lines, kept = ROLLOUT_ROWS[name]
    wave = {"number": max(h["__vexoflash_wave"]["number"] for h in hostvars.values() if h),
            "hosts": batch}
    rollout = ro.vexoflash_rollout(hostvars, list(hostvars), wave, percentage)
    assert (rollout["stop"], rollout["over"]) == (stop, True)
    assert [line for line in lines if line not in rollout["summary"]] == []
    assert {e["host"] for e in rollout["report"]["hosts"] if e["tool_output"]} == kept
