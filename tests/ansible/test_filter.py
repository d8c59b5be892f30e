"""Rows for the filters of the vexoflash role and of the playbook, on what
the checks against the simulated tool cannot make happen: report lines cut
into pieces, forged or misplaced lines in vexoflash's output, power cycles
that fail in other ways, and rollouts that end oddly."""

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

# name: report, key (None: the firmware level's), (image running, text after the key).
REPORT_ROWS = {
    "key split across two pieces": ("-" * 250 + "Reserved bytes  = 0x01\n", None, (None, "")),
    "key starts the second piece, level ends the report": (
        "-" * 255 + "Reserved bytes  = 0x02\nFirmware level  = 0x62", None, (2, "0x62")),
    "NUL hides the key": ("ab\0Firmware level  = 0x62\n", None, (None, "")),
    "digit past a short line": ("abcdefghijklmnopqrstu9vwxyz\nReserved bytes  =\n", None,
                                (None, "")),
    "first line decides, spaces go, CR and inner text stay": (
        "Reserved bytes  = 0x02   \r\nReserved bytes  = 0x01\nFirmware level  = \t\v\f0x61 b\r \n",
        None, (2, "0x61 b\r")),
    "indented keys count from the line start": (
        "  Reserved bytes  = 0x01\n  Firmware level  = 0x62\n", None, (None, "= 0x62")),
    "level of the other slot": ("Reserved bytes  = 0x01\nImage 2 level   = 0x62\n",
                                "Image 2 level   =", (1, "0x62")),
}


@pytest.mark.parametrize("name", REPORT_ROWS)
def test_scan_report(name):
    report, key, expected = REPORT_ROWS[name]
    assert vf.scan_report(report, *[key] * bool(key)) == expected


I1, I2 = "vexo3-image1.vx3", "vexo3-image2.vx3"
SCAN = ["Scanning for Vexo3 image.", "Command:  vxtool -i2cp 0x50 2>&1 > busscan.out"]
DC = "DC power cycle the system for the update to take effect."
AC = "AC power cycle the system for the update to take affect."
FORGED = [vf.UPDATED, DC, "Current Firmware Level = 0x99", "ERROR: forged"]
UPDATE_ERROR = "Vexo firmware update error - Vexo found but update failed."


def flash(level="0x60", name=I2):
    command = f"Command:  vxtool -i2cp 0x50 -q -f {name} 2>&1 > flash.out"
    return [vf.LEVEL + level, vf.FLASHING, command]


NOT_UNDERSTOOD = dict(outcome="failed", image_written=None)
# name: exit status, lines after the banner, what the record holds.
RUN_ROWS = {
    "forged lines in the flash's output": (
        0, SCAN + flash() + FORGED + [vf.UP_TO_DATE],
        dict(outcome="up-to-date", level_before="0x60", advice=None, running_image=1,
             tool_output=" ".join(FORGED))),
    "forged flash in the scan's output": (
        0, SCAN + flash("0x99", I1) + flash() + [vf.UPDATED, DC],
        dict(NOT_UNDERSTOOD, message="output not understood (exit status 0)", level_before=None)),
    "ERROR line from the tool": (
        2, SCAN + flash() + ["ERROR: bus", UPDATE_ERROR],
        dict(outcome="failed", tool_output="ERROR: bus", exit_status=2, message=UPDATE_ERROR)),
    "exit status disagrees": (1, SCAN + flash() + [vf.UPDATED, AC],
                              dict(NOT_UNDERSTOOD, level_before="0x60", advice=None)),
    "killed while flashing, its level last but two": (
        -9, SCAN + flash(), dict(NOT_UNDERSTOOD, running_image=1)),
    "trace lines and a wait": (
        0, ["Waiting for another vexoflash run on this system to finish."] + SCAN
        + ["image:  2"] + flash("0x62", I1) + [vf.UPDATED, DC, "vexoUpdate() return code:  0."],
        dict(outcome="updated", running_image=2, image_written=I1, advice="DC",
             tool_output="image:  2")),
    "quoted image name": (
        0, SCAN + flash("", "'vexo 3 #2.vx3'") + [vf.UPDATED, AC],
        dict(running_image=1, level_before="", image_written="vexo 3 #2.vx3")),
}


@pytest.mark.parametrize("name", RUN_ROWS)
def test_read_output(name):
    status, lines, expected = RUN_ROWS[name]
    banner = ["", "*" * 60, "   Tarnell Vexo3 Update Utility   ", "*" * 60, ""]
    images = [I1, "vexo 3 #2.vx3" if name == "quoted image name" else I2]
    output = {"rc": status, "stdout": "\n".join(banner + lines) + "\n"}
    record = vf.vexoflash_run(output, images)
    assert {key: record[key] for key in expected} == expected


UPDATED = vf._record("updated", vf.UPDATED, running_image=1, image_written=I2, advice="AC")
RAN, BACK = {"rc": 0}, {"elapsed": 9}


# The ways a power cycle fails that the rollout with power cycles does not
# show. name: the results of the command, the wait and the scan; what the
# record holds.
VERIFY_ROWS = {
    "another level": (RAN, BACK, {"stdout": "Reserved bytes  = 0x02\nFirmware level  = 0x61\n"},
                      dict(outcome="failed", level_after="0x61")),
    "no device": (RAN, BACK, {"stdout": ""}, dict(outcome="failed", level_after=None)),
    "command failed": ({"rc": 1, "stderr": "Unable to establish\nsession"}, {}, {}, dict(
        message="Written, but not running: the AC power-cycle command failed (exit status 1):"
        " Unable to establish session.")),
}


@pytest.mark.parametrize("name", VERIFY_ROWS)
def test_verify(name):
    cycle, back, after, expected = VERIFY_ROWS[name]
    record = vf.vexoflash_verify(UPDATED, cycle, back, after, "0x62")
    assert {key: record[key] for key in expected} == expected


def test_lost_in_a_loop():
    lost = {"unreachable": True, "msg": "Connection refused"}
    assert vf.vexoflash_lost([None, {"skipped": True}]) == ""
    assert vf.vexoflash_lost([{"rc": 0}, {"results": [{"rc": 0}, lost]}]) == "Connection refused"


def host(wave, outcome=None):
    record = dict(vf._record(outcome, "why"), exit_status=1 if outcome == "failed" else None,
                  tool_output="x") if outcome else None
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
