"""Rows for the vexoflash role's filters. The scan report rows are those of
the C++ reader's tables, by name: a row added to one and not the other
fails test_rows_match_the_cpp_tables."""

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


# Rows of the C++ scan table about the scan tool's status, not the report.
SCAN_STATUS_ROWS = {"StaleReportWhenTheShellFails", "InterruptedIsNotRead",
                    "WhateverTheToolReturned"}


def test_rows_match_the_cpp_tables():
    for source, case, rows in (("scan_test.cpp", "ImageCase", IMAGE_ROWS),
                               ("level_test.cpp", "LevelCase", LEVEL_ROWS)):
        names = re.findall(case + r'\{"(\w+)"', (ROOT / "tests" / source).read_text())
        assert sorted(set(names) - SCAN_STATUS_ROWS) == sorted(rows), source


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
# What the checks against the simulated tool cannot make vexoflash print.
# name: exit status, lines after the banner, what the record holds.
RUN_ROWS = {
    "trace lines": (0, SCAN + ["line:  Reserved bytes  = 0x02", "image:  2", "fwLvl:  0x62"]
                    + flash("0x62", I1) + ["VxTool return code:  0", "PowerCycle:0x61 prvLvl:0x62",
                                           "strcmp 0x61, 0x62", "cycle  -1", vf.UPDATED,
                                           vf.ADVICE["DC"], "vexoUpdate() return code:  0."],
                    dict(outcome="updated", running_image=2, image_written=I1, advice="DC",
                         message=vf.UPDATED, tool_output=None)),
    "status 0 without an outcome": (0, SCAN + AS_WRITTEN, dict(NOT_WRITTEN,
                                                               message="no outcome message")),
    "killed": (1, SCAN + AS_WRITTEN + ["Killed", "The VEXO update did not complete successfully."],
               dict(NOT_WRITTEN, tool_output="Killed")),
    "no device at the flash": (171, SCAN + AS_WRITTEN + ["No Vexos found in the system.",
                                                          "Firmware was not flashed."],
                               dict(NOT_WRITTEN, message="No Vexos found in the system."
                                    " Firmware was not flashed.")),
    "directory writable": (111, ["ERROR: The working directory is writable by other users!"],
                           dict(running_image=None, message="ERROR: The working directory is"
                                " writable by other users!")),
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


def test_lost_in_a_loop():
    lost = {"unreachable": True, "msg": "Connection refused"}
    assert vf.vexoflash_lost([None, {"skipped": True}]) == ""
    assert vf.vexoflash_lost([{"rc": 0}, {"results": [{"rc": 0}, lost]}]) == "Connection refused"


def host(wave, outcome=None):
    record = dict(vf._record(outcome, "why"), exit_status=1) if outcome else None
    return {"__vexoflash_wave": {"number": wave}, "vexoflash_result": record} if wave else {}


# The rollouts the checks in waves do not make. name: the hosts, the
# wave's hosts, max fail percentage; lines the summary must hold.
ROLLOUT_ROWS = {
    "whole wave failed, tolerated": (
        {"h1": host(1, "updated"), "h2": host(2, "failed"), "h3": host(None)}, ["h2"], 100,
        ["Rollout stopped after wave 2: 1 of its 1 host(s) failed (a wave whose every host"
         " failed ends the play).", "Not touched: h3"]),
    "failed before the role": (
        {"h1": host(1), "h2": host(None)}, ["h1"], 0,
        ["  h1: stopped before the update: see the play output", "Not touched: h2"]),
}


@pytest.mark.parametrize("name", ROLLOUT_ROWS)
def test_rollout_stops(name):
    hostvars, batch, percentage, lines = ROLLOUT_ROWS[name]
    wave = {"number": max(h["__vexoflash_wave"]["number"] for h in hostvars.values() if h),
            "hosts": batch}
    rollout = vf.vexoflash_rollout(hostvars, list(hostvars), wave, percentage)
    assert (rollout["stop"], rollout["over"]) == (True, True)
    assert [line for line in lines if line not in rollout["summary"]] == []
