"""Rows for the filters of the vexoflash role and of the playbook, on what
the checks against the simulated tool cannot make happen: report lines cut
into pieces, forged or misplaced lines in vexoflash's output, flash.out's
end, decisions on levels and power cycles that the simulated fleet does not
show, and rollouts that end oddly."""

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

# name: report, (image running, firmware level), as vexoflash reads them.
REPORT_ROWS = {
    "key split across two pieces": ("-" * 250 + "Reserved bytes  = 0x01\n", (None, "")),
    "key starts the second piece, level ends the report": (
        "-" * 255 + "Reserved bytes  = 0x02\nFirmware level  = 0x62", (2, "0x62")),
    "first line decides, spaces go, CR and inner text stay": (
        "Reserved bytes  = 0x02   \r\nReserved bytes  = 0x01\nFirmware level  = \t\v\f0x61 b\r \n",
        (2, "0x61 b\r")),
}


@pytest.mark.parametrize("name", REPORT_ROWS)
def test_scan_report(name):
    report, expected = REPORT_ROWS[name]
    assert vf.scan_report(report) == expected


I1, I2 = "vexo3-image1.vx3", "vexo3-image2.vx3"
SCAN = ["Scanning for Vexo3 image.", "Command:  vxtool -i2cp 0x50 2>&1 > busscan.out"]
FLASH = [vf.LEVEL + "0x60", vf.FLASHING, f"Command:  vxtool -i2cp 0x50 -q -f {I2} 2>&1 > flash.out"]
DC = "DC power cycle the system for the update to take effect."
AC = "AC power cycle the system for the update to take affect."
UPDATE_ERROR = "Vexo firmware update error - Vexo found but update failed."
LONG_FLASH = "".join(f"line {i:02d} {'x' * 40}\n" for i in range(40)) + "\x1b[31mred\x9b\udc9b"
# name: exit status, lines after the banner, flash.out's end, what the run holds.
RUN_ROWS = {
    "forged lines in the flash's output": (
        0, SCAN + FLASH + [vf.UPDATED, DC, "ERROR: forged", vf.UP_TO_DATE], "",
        dict(outcome="up-to-date", message=vf.UP_TO_DATE)),
    "ERROR line from the tool, then flash.out": (
        2, SCAN + FLASH + ["ERROR: bus", UPDATE_ERROR], "Erasing slot 2 ... failed\n",
        dict(outcome=None, message=UPDATE_ERROR, tool_output="ERROR: bus Erasing slot 2 ... failed")),
    "exit status disagrees": (1, SCAN + FLASH + [vf.UPDATED, AC], "", dict(
        outcome=None, message="output not understood (exit status 1)")),
    "trace lines and a wait": (
        0, ["Waiting for another vexoflash run on this system to finish."] + SCAN
        + ["image:  2"] + FLASH + [vf.UPDATED, DC, "vexoUpdate() return code:  0."], "",
        dict(outcome="updated", advice="DC", tool_output="image:  2")),
    "another run's flash.out": (
        111, ["ERROR: Another vexoflash run is using this directory!"], "Writing slot 2\n",
        dict(tool_output=None)),
    "flash.out's last KiB, escaped": (1, SCAN + FLASH, LONG_FLASH, dict(
        tool_output=" ".join(f"line {i:02d} {'x' * 40}" for i in range(20, 40))
        + " \\x1b[31mred\\x9b\\x9b")),
}


@pytest.mark.parametrize("name", RUN_ROWS)
def test_read_output(name):
    status, lines, flash, expected = RUN_ROWS[name]
    banner = ["", "*" * 60, "   Tarnell Vexo3 Update Utility   ", "*" * 60, ""]
    run = vf.vexoflash_run({"stdout": "\n".join([str(status)] + banner + lines), "stderr": flash})
    assert {key: run[key] for key in expected} == expected


def probe(level="0x60"):
    return {"rc": 0, "stdout": f"/usr/bin\nscan\nReserved bytes  = 0x01\nFirmware level  = {level}\n"}


RAN = {"rc": 0, "stdout": "0\n" + "\n".join(SCAN + FLASH + [vf.UPDATED, AC])}
ANSWERED = {"elapsed": 9}
IMAGES = [{"src": str(ANSIBLE / "../../tools/images" / name), "name": name} for name in (I1, I2)]
# name: check mode, the results of the steps so far; what the record holds.
RECORD_ROWS = {
    "levels compare as text, as vexoflash compares them": (
        False, [probe(level="0x100"), RAN], dict(next="power-cycle", advice="AC")),
    "0x61 itself takes an AC power cycle": (
        False, [probe(level="0x61"), RAN], dict(next="power-cycle", advice="AC")),
    "a failed power command shows only its exit status": (
        False, [probe(), RAN, {"rc": 1, "stderr": "password s3cret refused"}],
        dict(outcome="failed", message="Written, but not running: the AC power-cycle command"
             " failed (exit status 1).")),
    "no device after the power cycle": (
        False, [probe(), RAN, {"rc": 0}, ANSWERED, {"rc": 1, "stdout": ""}],
        dict(outcome="failed", level_after=None, message="Written, but not running: after the AC"
             " power cycle the device runs no image the scan names, not image 2"
             f" ({I2}) at level 0x62.")),
    "control characters from the host": (
        True, [probe(level="\x9b0x6\x1b[2J")],
        dict(outcome="would-update", level_before="\\x9b0x6\\x1b[2J")),
}


@pytest.mark.parametrize("name", RECORD_ROWS)
def test_record(name):
    check, results, expected = RECORD_ROWS[name]
    settings = {"host": "h1", "level": "0x62", "power": ["AC"], "images": IMAGES, "check": check}
    record = vf.vexoflash_record({}, settings, *results)
    assert {key: record[key] for key in expected} == expected
    assert "\x1b" not in record["message"] and "s3cret" not in record["message"]


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
    for each in hostvars.values():
        each["vexoflash_max_fail_percentage"] = percentage
    wave = {"number": max(h["__vexoflash_wave"]["number"] for h in hostvars.values() if
                          "__vexoflash_wave" in h), "hosts": batch}
    rollout = ro.vexoflash_rollout(hostvars, list(hostvars), wave)
    assert (rollout["stop"], rollout["over"]) == (stop, True)
    assert [line for line in lines if line not in rollout["summary"]] == []
    assert {e["host"] for e in rollout["report"]["hosts"] if e["tool_output"]} == kept


@pytest.mark.parametrize("loginuid, sudo_user, operator", [
    ("4294967295", "alice", "root (login alice)"), ("0", "alice", "root"), (None, None, "root")])
def test_operator(tmp_path, monkeypatch, loginuid, sudo_user, operator):
    monkeypatch.setattr(ro.os, "getuid", lambda: 0)
    monkeypatch.setattr(ro, "LOGIN_UID", str(tmp_path / "loginuid"))
    if loginuid:
        (tmp_path / "loginuid").write_text(loginuid)
    monkeypatch.delenv("SUDO_USER", raising=False)
    if sudo_user:
        monkeypatch.setenv("SUDO_USER", sudo_user)
    assert ro._operator() == operator


def test_power_cycles_without_a_target_refused_for_any_host():
    hostvars = {"h1": {}, "h2": {"vexoflash_power_cycle": {"AC": ["true"]}},
                "h3": {"vexoflash_power_cycle": {"AC": ["true"]}, "vexoflash_level": "0x62"}}
    assert "is not (h2):" in ro.vexoflash_refused(hostvars, ["h1", "h2", "h3"])
