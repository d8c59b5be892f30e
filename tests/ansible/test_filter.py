"""Rows for the filters of the vexoflash role and of the playbook, on what
the checks against the simulated tool cannot make happen: report lines cut
into pieces, forged or misplaced lines in vexoflash's output, flash.out's
end, decisions on levels and power cycles that the simulated fleet does not
show, rollouts that end oddly, and the manifest's checks (with ssh-keygen)
that the checks in waves do not make."""

import importlib.util
import json
import pathlib
import shutil
import subprocess

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
IMAGES = [{"src": str(ANSIBLE / "../../tools/images" / name), "name": name, "sha256": "0" * 64}
          for name in (I1, I2)]
# name: settings, the results of the steps so far; what the record holds.
RECORD_ROWS = {
    "levels compare as text, as vexoflash compares them": (
        {"allow_downgrade": True}, [probe(level="0x100"), RAN], dict(next="power-cycle", advice="AC")),
    "0x61 itself takes an AC power cycle": (
        {}, [probe(level="0x61"), RAN], dict(next="power-cycle", advice="AC")),
    "a failed power command shows only its exit status": (
        {}, [probe(), RAN, {"rc": 1, "stderr": "password s3cret refused"}],
        dict(outcome="failed", message="Written, but not running: the AC power-cycle command"
             " failed (exit status 1).")),
    "no device after the power cycle": (
        {}, [probe(), RAN, {"rc": 0}, ANSWERED, {"rc": 1, "stdout": ""}],
        dict(outcome="failed", level_after=None, message="Written, but not running: after the AC"
             " power cycle the device runs no image the scan names, not image 2"
             f" ({I2}) at level 0x62.")),
    "control characters from the host, a level that is no number": (
        {"check": True}, [probe(level="\x9b0x6\x1b[2J")],
        dict(outcome="downgrade-refused", level_before="\\x9b0x6\\x1b[2J")),
    "a device at the target level written in another case is left alone": (
        {"level": "0x6a"}, [probe(level="0x6A")], dict(outcome="up-to-date")),
    "levels compare as numbers against downgrades, in check mode too": (
        {"check": True}, [probe(level="0x100")], dict(outcome="downgrade-refused")),
}


@pytest.mark.parametrize("name", RECORD_ROWS)
def test_record(name):
    overrides, results, expected = RECORD_ROWS[name]
    settings = dict({"host": "h1", "refused": "", "level": "0x62", "power": ["AC"],
                     "images": IMAGES, "allow_downgrade": False, "check": False}, **overrides)
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
    images = {"vexoflash_image1": IMAGES[0]["src"], "vexoflash_image2": IMAGES[1]["src"],
              "vexoflash_allow_unsigned": "true"}
    hostvars = {"h1": dict(images), "h2": dict(images, vexoflash_power_cycle={"AC": ["true"]}),
                "h3": dict(images, vexoflash_power_cycle={"AC": ["true"]}, vexoflash_level="0x62")}
    assert "is not (h2):" in ro.vexoflash_checked(hostvars, ["h1", "h2", "h3"])["refused"]


def _sign(path, key, namespace=vf.NAMESPACE):
    pathlib.Path(f"{path}.sig").unlink(missing_ok=True)
    subprocess.run(["ssh-keygen", "-q", "-Y", "sign", "-f", key, "-n", namespace, path], check=True)


@pytest.fixture(scope="module", name="release")
def fixture_release(tmp_path_factory):
    """A signed manifest of the sample images, beside them, and its settings."""
    folder = tmp_path_factory.mktemp("release")
    for name in (I1, I2):
        shutil.copy(IMAGES[0]["src"].replace(I1, name), folder / name)
    subprocess.run([ANSIBLE / "make-manifest", folder / "manifest.json", "0x62", folder / I1,
                    folder / I2], check=True)
    subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", folder / "key"], check=True)
    key = (folder / "key.pub").read_text().split()
    (folder / "allowed_signers").write_text(f"fleet@example {key[0]} {key[1]}\n")
    _sign(folder / "manifest.json", folder / "key")
    return folder


def _resign(content):
    def change(folder):
        (folder / "manifest.json").write_text(content)
        _sign(folder / "manifest.json", folder / "key")
    return change


# The manifest's checks that the checks in waves do not make. name: a
# change to the release folder, settings, what the refusal holds.
MANIFEST_ROWS = {
    "missing signature": (lambda f: (f / "manifest.json.sig").unlink(), {}, "no signature file"),
    "wrong namespace": (lambda f: _sign(f / "manifest.json", f / "key", "file"), {},
                        "(Couldn't verify signature: namespace does not match)"),
    "missing image": (lambda f: (f / I1).unlink(), {}, f"no image file {I1} beside it;"),
    "malformed JSON": (_resign('{"level": "0x62",'), {}, "manifest.json is not JSON"),
    "short checksum": (_resign(json.dumps({"level": "0x62", "image1": {"file": I1, "sha256": "ab"},
                                           "image2": {"file": I2, "sha256": "ab"}})), {},
                       "has no sha256 of 64 hex digits for image1;"),
    "level not a number": (_resign('{"level": "62"}'), {}, "has no level of the form 0x"),
    "another vexoflash_level": (None, {"level": "0x61"},
                                "its level is 0x62, and vexoflash_level is 0x61 ({hosts});"),
    "images named beside it": (None, {"image1": I1}, "vexoflash_image2 is set too ({hosts});"),
}


@pytest.mark.parametrize("name", MANIFEST_ROWS)
def test_manifest_refused(release, tmp_path, name):
    change, settings, refusal = MANIFEST_ROWS[name]
    folder = pathlib.Path(shutil.copytree(release, tmp_path / "release"))
    if change:
        change(folder)
    plan = vf.vexoflash_check({}, dict(
        {"signature": "", "image1": "", "image2": "", "level": "", "allow_unsigned": False,
         "power": []}, manifest=f"{folder}/manifest.json", allowed_signers=f"{folder}/allowed_signers",
        **settings))
    assert plan["refused"].startswith("Manifest not accepted: ") and refusal in plan["refused"]


def test_manifest_checked_once_for_every_host_but_a_tainted_one_and_every_wave(release, monkeypatch):
    calls = []
    keygen = vf._keygen
    monkeypatch.setattr(ro.ROLE, "_keygen", lambda *args, **kw: calls.append(args) or keygen(
        *args, **kw))
    hostvars = {h: {"vexoflash_manifest": f"{release}/manifest.json",
                    "vexoflash_allowed_signers": f"{release}/allowed_signers"} for h in "abc"}
    hostvars["c"].update(vexoflash_manifest="/nonexistent", ansible_facts={"vexoflash_x": 1})
    checked = ro.vexoflash_checked(hostvars, list(hostvars))
    assert (checked["refused"], len(calls)) == ("", 2)
    assert checked["manifest"]["signer"] == "fleet@example" and checked["manifest"]["level"] == "0x62"
    assert [i["name"] for i in checked["hosts"]["a"]["images"]] == [I1, I2]
    assert checked["hosts"]["c"]["refused"].startswith("The host returned facts")
    hostvars["b"]["__vexoflash_checked"] = checked  # a later wave: kept, not checked again
    assert ro.vexoflash_checked(hostvars, list(hostvars)) is checked and len(calls) == 2
