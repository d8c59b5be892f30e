"""Rows for the vexoflash role's filters (pytest-3 tests/ansible).

The scan report rows are those of the C++ reader's tables, by name
(tests/scan_test.cpp, tests/level_test.cpp): a row added there and not
here fails test_rows_match_the_cpp_tables.
"""

import importlib.util
import pathlib
import re

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
_spec = importlib.util.spec_from_file_location(
    "vexoflash_filters", ROOT / "contrib/ansible/roles/vexoflash/filter_plugins/vexoflash.py")
vf = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(vf)

IMAGE_ROWS = {
    "Image1": (b"Vexo3\nReserved bytes  = 0x01\n", b"1"),
    "Image2": (b"Reserved bytes  = 0x02\nFirmware level  = 0x62\n", b"2"),
    "Image0": (b"Reserved bytes  = 0x00\n", b"0"),
    "NoImageLine": (b"Firmware level  = 0x62\n", b"0"),
    "EmptyReport": (b"", b"0"),
    "FirstLineDecides": (b"Reserved bytes  = 0x02\nReserved bytes  = 0x01\n", b"2"),
    "IndentedKeyCountsFromLineStart": (b"  Reserved bytes  = 0x01\n", b"x"),
    "KeyInsideLine": (b"xReserved bytes  = 0x01\n", b"0"),
    "TrailingSpaces": (b"Reserved bytes  = 0x01    \n", b"1"),
    "CrLf": (b"Reserved bytes  = 0x02\r\n", b"2"),
    "NoFinalNewline": (b"Reserved bytes  = 0x01", b"1"),
    "LongValueStillIndex21": (b"Reserved bytes  = 0x0123456\n", b"1"),
    "Exactly21Characters": (b"Reserved bytes  = 0x0\n", b"\0"),
    "ShortLineAfterLongLine": (b"abcdefghijklmnopqrstu9vwxyz\nReserved bytes  =\n", b"\0"),
    "ShortLineTrimmedToKey": (b"abcdefghijklmnopqrstu2\nReserved bytes  = 0x\n", b"\0"),
    "KeySplitAcrossPieces": (b"-" * 250 + b"Reserved bytes  = 0x01\n", b"0"),
    "KeyStartsSecondPiece": (b"-" * 255 + b"Reserved bytes  = 0x02\n", b"2"),
    "NulBeforeKeyHidesIt": (b"ab\0Reserved bytes  = 0x01\n", b"0"),
}

LEVEL_ROWS = {
    "Normal": (b"Firmware level  = 0x62\n", b"0x62"),
    "RightAfterKey": (b"Firmware level  =0x62\n", b"0x62"),
    "TabAndSpace": (b"Firmware level  =\t 0x62\n", b"0x62"),
    "AllWhitespaceKinds": (b"Firmware level  = \t\v\f\r0x62\n", b"0x62"),
    "OnlySpaces": (b"Firmware level  =     \n", b""),
    "IndentedKey": (b"  Firmware level  = 0x62\n", b"= 0x62"),
    "InnerSpacesKept": (b"Firmware level  = 0x62 beta 2\n", b"0x62 beta 2"),
    "CrLfKeepsTheReturn": (b"Firmware level  = 0x61\r\n", b"0x61\r"),
    "FirstOfTwo": (b"Firmware level  = 0x62\nFirmware level  = 0x63\n", b"0x62"),
    "BeforeImageLine": (b"Firmware level  = 0x62\nReserved bytes  = 0x01\n", b"0x62"),
    "AfterImageLine": (b"Reserved bytes  = 0x01\nFirmware level  = 0x62\n", b"0x62"),
    "HighByteIsNotWhitespace": (b"Firmware level  = \xa0\x85x62\n", b"\xa0\x85x62"),
    "LongestLevel": (b"Firmware level  =" + b"L" * 238 + b"\n", b"L" * 238),
    "NoLevelLine": (b"Reserved bytes  = 0x01\n", b""),
    "EmptyReport": (b"", b""),
}


def test_rows_match_the_cpp_tables():
    for source, case, rows in (("scan_test.cpp", "ImageCase", IMAGE_ROWS),
                               ("level_test.cpp", "LevelCase", LEVEL_ROWS)):
        names = re.findall(case + r'\{"(\w+)"', (ROOT / "tests" / source).read_text())
        assert sorted(names) == sorted(rows), source


@pytest.mark.parametrize("name", IMAGE_ROWS)
def test_report_image(name):
    report, image = IMAGE_ROWS[name]
    assert vf.report_image(report) == image


@pytest.mark.parametrize("name", LEVEL_ROWS)
def test_report_level(name):
    report, level = LEVEL_ROWS[name]
    assert vf.report_level(report) == level


I1, I2 = "vexo3-image1.vx3", "vexo3-image2.vx3"
SCAN = ["", "Scanning for Vexo3 image.", "Command:  vxtool -i2cp 0x50 2>&1 > busscan.out"]


def flash(level, name):
    return [f"Current Firmware Level = {level}", "Flashing Vexo.",
            f"Command:  vxtool -i2cp 0x50 -q -f {name} 2>&1 > flash.out"]


AS_WRITTEN = flash("0x60", I2)
NOT_WRITTEN = dict(outcome="failed", running_image=1, level_before="0x60", image_written=None)
# name: exit status, lines after the banner, what the record holds.
RUN_ROWS = {
    "updated": (0, SCAN + AS_WRITTEN + [vf.UPDATED, vf.ADVICE["AC"]], dict(
        outcome="updated", running_image=1, level_before="0x60", image_written=I2, advice="AC",
        message=vf.UPDATED, tool_output=None)),
    "updated with trace lines": (0, SCAN + ["line:  Reserved bytes  = 0x02", "image:  2",
                                            "fwLvl:  0x62"] + flash("0x62", I1) + [
        "VxTool return code:  0", "PowerCycle:0x61 prvLvl:0x62", "strcmp 0x61, 0x62", "cycle  -1",
        vf.UPDATED, vf.ADVICE["DC"], "vexoUpdate() return code:  0."], dict(
        running_image=2, image_written=I1, advice="DC", message=vf.UPDATED, tool_output=None)),
    "up to date": (0, SCAN + AS_WRITTEN + [vf.UP_TO_DATE], dict(
        outcome="up-to-date", running_image=1, image_written=None, advice=None,
        message=vf.UP_TO_DATE)),
    "status 0 without an outcome": (0, SCAN + AS_WRITTEN, dict(
        NOT_WRITTEN, message="no outcome message")),
    "silicon ID": (1, SCAN + AS_WRITTEN + [
        "Vexo Silicon ID Error \ufffd Vexo found but the silicon ID didn\ufffdt match file."],
        dict(NOT_WRITTEN, message=vf.SILICON_ID)),
    "tool warnings": (2, SCAN + ["vxtool: warning: bus slow"] + AS_WRITTEN + [
        "vxtool: warning: bus slow", "Vexo firmware update error - Vexo found but update failed."],
        dict(NOT_WRITTEN, tool_output="vxtool: warning: bus slow vxtool: warning: bus slow",
             message="Vexo firmware update error - Vexo found but update failed.")),
    "killed": (1, SCAN + AS_WRITTEN + ["Killed", "The VEXO update did not complete successfully."],
               dict(NOT_WRITTEN, tool_output="Killed")),
    "no device at the scan": (171, SCAN + ["sh: 1: vxtool: not found", "Vexo3 device not found."],
                              dict(outcome="failed", running_image=None, level_before=None,
                                   message="Vexo3 device not found.",
                                   tool_output="sh: 1: vxtool: not found")),
    "no device at the flash": (171, SCAN + AS_WRITTEN + [
        "No Vexos found in the system.", "Firmware was not flashed."],
        dict(NOT_WRITTEN, message="No Vexos found in the system. Firmware was not flashed.")),
    "directory in use": (111, ["", "ERROR: Another vexoflash run is using this directory!"], dict(
        outcome="failed", exit_status=111, running_image=None,
        message="ERROR: Another vexoflash run is using this directory!")),
    "directory writable": (111, ["ERROR: The working directory is writable by other users!"],
                           dict(message="ERROR: The working directory is writable by other users!")),
    "quoted image name": (0, SCAN + flash("", "'vexo 3 #2.vx3'") + [vf.UPDATED, vf.ADVICE["AC"]],
                          dict(running_image=1, level_before="", image_written="vexo 3 #2.vx3")),
}


@pytest.mark.parametrize("name", RUN_ROWS)
def test_read_output(name):
    status, lines, expected = RUN_ROWS[name]
    banner = "\n" + vf.BANNER + "\n   Tarnell Vexo3 Update Utility   \n" + vf.BANNER + "\n"
    images = [I1, "vexo 3 #2.vx3" if name == "quoted image name" else I2]
    record = vf.read_output(status, banner + "\n".join(lines), "", images)
    assert {key: record[key] for key in expected} == expected
    assert record["exit_status"] == status


def test_read_output_of_another_program():
    record = vf.read_output(126, "", "sh: vexoflash: Permission denied\n", [I1, I2])
    assert (record["outcome"], record["message"]) == ("failed", "sh: vexoflash: Permission denied")


DESCRIBE_ROWS = [
    (dict(outcome="failed", exit_status=171, message="Vexo3 device not found.", tool_output="x"),
     "No Vexo3 device found; firmware not written (vexoflash exit status 171):"
     " Vexo3 device not found. (tool output: x)"),
    (dict(outcome="failed", exit_status=None, message="Not found on this host: vxtool"),
     "Not found on this host: vxtool"),
    (dict(outcome="unreachable", exit_status=None, message="Connection refused"),
     "unreachable: Connection refused"),
]


@pytest.mark.parametrize("record, line", DESCRIBE_ROWS)
def test_describe(record, line):
    assert vf.vexoflash_describe(dict(dict.fromkeys(vf.KEYS), **record)) == line


LOST = {"unreachable": True, "msg": "Connection refused"}


@pytest.mark.parametrize("results, reason", [
    ([{"rc": 0}, None, {"skipped": True}], ""),
    ([{"rc": 0}, LOST, {"skipped": True}], "Connection refused"),
    ([{"msg": "All items completed", "results": [{"rc": 0}, LOST]}], "Connection refused"),
])
def test_lost(results, reason):
    assert vf.vexoflash_lost(results) == reason


def host(wave, outcome=None):
    if wave is None:
        return {}
    record = dict(vf._record(outcome, "why"), exit_status=1) if outcome else None
    return {"__vexoflash_wave": {"number": wave}, "vexoflash_result": record}


# name: the hosts (wave, outcome), the wave's hosts, max fail percentage,
# check mode; stop, over, lines the summary must hold.
ROLLOUT_ROWS = {
    "unreachable canary": (
        {"h1": host(1, "unreachable"), "h2": host(None), "h3": host(None)}, ["h1"], 0, False,
        True, True, ["Rollout stopped after wave 1: 1 of its 1 host(s) failed"
                     " (vexoflash_max_fail_percentage is 0).",
                     "Unreachable: 1", "  h1: unreachable: why", "Not touched: h2, h3"]),
    "tolerated": (
        {"h1": host(1, "up-to-date"), "h2": host(1, "failed"), "h3": host(None)}, ["h1", "h2"],
        50, False, False, False, []),
    "whole wave failed, tolerated or not": (
        {"h1": host(1, "updated"), "h2": host(2, "failed"), "h3": host(None)}, ["h2"], 100, False,
        True, True, ["Rollout stopped after wave 2: 1 of its 1 host(s) failed (a wave whose every"
                     " host failed ends the play).", "Failed: 1"]),
    "failed before the role": (
        {"h1": host(1)}, ["h1"], 0, False, True, True,
        ["  h1: stopped before the update: see the play output"]),
    "complete": (
        {"h1": host(1, "updated"), "h2": host(2, "up-to-date")}, ["h2"], 0, False, False, True,
        ["Rollout complete after 2 wave(s).", "Up to date: h2",
         "A host up to date had nothing written by this run: a power cycle advised to it by an"
         " earlier run is still due if not done."]),
    "check mode": (
        {"h1": host(1, "would-update"), "h2": host(1, "failed")}, ["h1", "h2"], 0, True,
        False, True, ["Devices found: 1", "Failed: 1"]),
}


@pytest.mark.parametrize("name", ROLLOUT_ROWS)
def test_rollout(name):
    hostvars, batch, percentage, check, stop, over, lines = ROLLOUT_ROWS[name]
    wave = {"number": max(h["__vexoflash_wave"]["number"] for h in hostvars.values() if h),
            "hosts": batch}
    rollout = vf.vexoflash_rollout(hostvars, list(hostvars), wave, percentage, check)
    assert (rollout["stop"], rollout["over"]) == (stop, over)
    assert [line for line in lines if line not in rollout["summary"]] == []
    assert [entry["host"] for entry in rollout["report"]] == sorted(hostvars)
