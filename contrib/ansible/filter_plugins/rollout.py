"""The playbook's filters: the settings, the manifest and the images
checked once, before any host is touched, the waves' numbers, and at the
end of each wave the rollout weighed, summed up and reported from each
host's vexoflash_result. The playbook's own settings (vexoflash_report,
vexoflash_max_fail_percentage) are read as the first host whose facts are
clean sees them: no host's facts choose them."""

import importlib.util
import os
import pathlib
import pwd


def _load_role_filters():
    path = (pathlib.Path(__file__).resolve().parents[1]
            / "roles/vexoflash/filter_plugins/vexoflash.py")
    spec = importlib.util.spec_from_file_location("vexoflash_role_filters", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


# The role's rules on facts and settings, and its record's keys.
ROLE = _load_role_filters()
KEYS = ("host", "wave") + ROLE.KEYS
FAILED = ("failed", "unreachable", "downgrade-refused")
# The summary's sections, in order: the outcome, its heading, and whether
# each host gets a line of its own (else they are named on the heading's).
SECTIONS = (("verified", "Verified, running the new firmware", True),
            ("updated", "Written, power cycle still due", True),
            ("pending-power-cycle", "Power cycle still due", True),
            ("up-to-date", "Up to date", False), ("current", "At the target level", False),
            ("would-update", "To be written", True),
            ("downgrade-refused", "Refused, running a newer level", True), ("failed", "Failed", True),
            ("unreachable", "Unreachable", True), ("not-touched", "Not touched", False))
LOGIN_UID = "/proc/self/loginuid"
NO_LOGIN_UID = 4294967295


def _facts(hostvars, host):
    return hostvars[host].get("ansible_facts") or {}


def _setting(hostvars, hosts, name, default):
    """A playbook setting, as the first host whose facts are clean sees it."""
    clean = [h for h in hosts if not ROLE.tainted(_facts(hostvars, h))]
    return hostvars[clean[0]].get(name, default) if clean else default


def _report_path(hostvars, hosts):
    """The fleet report's path (the symlink there is replaced, not
    followed), or '' for none."""
    path = _setting(hostvars, hosts, "vexoflash_report", "")
    return os.path.abspath(os.path.expanduser(path)) if path else ""


def vexoflash_refused(hostvars, hosts):
    """Why the rollout must stop with no report at all, or ''."""
    report = _report_path(hostvars, hosts)
    if report and not os.path.isdir(os.path.dirname(report)):
        return f"vexoflash_report: no folder {os.path.dirname(report)} on the control node."
    return ""


def _settings(hostvars):
    return {"manifest": hostvars.get("vexoflash_manifest", ""),
            "signature": hostvars.get("vexoflash_manifest_signature", ""),
            "allowed_signers": hostvars.get("vexoflash_allowed_signers", ""),
            "allow_unsigned": hostvars.get("vexoflash_allow_unsigned", False),
            "image1": hostvars.get("vexoflash_image1", ""),
            "image2": hostvars.get("vexoflash_image2", ""),
            "level": hostvars.get("vexoflash_level", ""),
            "power": list(hostvars.get("vexoflash_power_cycle") or {})}


def vexoflash_checked(hostvars, hosts):
    """Every host's plan (the role's vexoflash_check), made once, before
    the first wave, each manifest and image file checked once; later waves
    get the first's, as a host with clean facts holds it. With refused, why
    the rollout must not start ('' if it may), and manifest, what is known
    of the manifest."""
    clean = [h for h in hosts if not ROLE.tainted(_facts(hostvars, h))]
    earlier = next((hostvars[h].get("__vexoflash_checked") for h in clean
                    if hostvars[h].get("__vexoflash_checked")), None)
    if earlier:
        return earlier
    memo = {}
    plans = {h: ROLE.vexoflash_check(_facts(hostvars, h), _settings(hostvars[h]), memo)
             for h in hosts}
    refused = [h for h in clean if plans[h]["refused"]]
    why = plans[refused[0]]["refused"] if refused else ""
    manifests = [plans[h]["manifest"] for h in clean if plans[h]["manifest"]]
    if not why and len({m["path"] for m in manifests}) > 1:
        why = ROLE.NOT_ACCEPTED.format("the hosts name more than one manifest ("
                                       + ", ".join(sorted({m["path"] for m in manifests})) + ")")
    return {"refused": why.replace("{hosts}", ", ".join(
        h for h in refused if plans[h]["refused"] == why)), "hosts": plans,
            "manifest": manifests[0] if manifests else None}


def vexoflash_next_wave(hostvars, hosts):
    """The number of the wave that starts: one past the last one noted."""
    return max((int(hostvars[h].get("__vexoflash_wave", {}).get("number", 0)) for h in hosts),
               default=0) + 1


def _entry(host, wave, record, facts, plan):
    """A host's report entry. A host whose wave came but that has no record
    did not reach the update; a host whose facts are like the role's
    variables failed, whatever its record says; only a failed host's tool
    output is kept. A host without a record has the images_verified of its
    plan."""
    names = ROLE.tainted(facts)
    record = ({"outcome": "failed", "message": ROLE.FACTS.format(", ".join(names))} if names
              else record or ({"outcome": "failed", "message": "stopped before the update: see the"
                               " play output"} if wave else {"outcome": "not-touched"}))
    entry = dict({key: record.get(key) for key in KEYS}, host=host,
                 wave=int(wave["number"]) if wave else None,
                 images_verified=bool(record.get("images_verified", plan.get("verified"))))
    return entry if entry["outcome"] in FAILED else dict(entry, tool_output=None)


def _line(entry):
    """A host's line in the summary: its power cycle, or why it failed."""
    if entry["outcome"] == "verified":
        return f"runs {entry['level_after']} after the {entry['advice']} power cycle"
    if entry["outcome"] in ("updated", "pending-power-cycle"):
        return f"{entry['advice']} power cycle"
    status = entry["exit_status"]
    return (f"exit status {status}: " if status else "") + entry["message"]


def _name(uid):
    try:
        return pwd.getpwuid(uid).pw_name
    except KeyError:
        return str(uid)


def _operator():
    """The control node's user, and the user who logged in (loginuid, else
    SUDO_USER) when that is another."""
    user = _name(os.getuid())
    try:
        uid = int(pathlib.Path(LOGIN_UID).read_text(encoding="ascii"))
    except (OSError, ValueError):
        uid = NO_LOGIN_UID
    login = _name(uid) if uid != NO_LOGIN_UID else os.environ.get("SUDO_USER")
    return f"{user} (login {login})" if login and login != user else user


def vexoflash_rollout(hostvars, hosts, wave, check_mode=False, checked=None):
    """At the end of a wave: whether the rollout stops, whether it is over
    (it stops, or no host is left), the summary lines, the fleet report and
    its path. checked: vexoflash_checked's; a rollout it refused touched no
    host."""
    checked = checked or {"refused": "", "hosts": {}, "manifest": None}
    refused = checked["refused"]
    fleet = [_entry(h, None if refused else hostvars[h].get("__vexoflash_wave"),
                    None if refused else hostvars[h].get("vexoflash_result"), _facts(hostvars, h),
                    {} if refused else checked["hosts"].get(h, {})) for h in sorted(hosts)]
    by = {outcome: [e for e in fleet if e["outcome"] == outcome] for outcome, _, _ in SECTIONS}
    number, size = int(wave["number"]), len(wave["hosts"])
    max_fail_percentage = _setting(hostvars, hosts, "vexoflash_max_fail_percentage", 0)
    failed = len([e for e in fleet if e["wave"] == number and e["outcome"] in FAILED])
    tolerated = failed * 100 <= float(max_fail_percentage) * size
    stop = not check_mode and failed > 0 and (not tolerated or failed == size)
    problems = not check_mode and any(e["outcome"] in FAILED for e in fleet)
    if refused:
        stop, lines = True, [refused]
    elif check_mode:
        lines = ["Check mode: nothing was written; each device was only scanned."]
    elif stop and by["not-touched"]:
        lines = [f"Rollout stopped after wave {number}: {failed} of its {size} host(s) failed (" + (
            f"vexoflash_max_fail_percentage is {max_fail_percentage})." if not tolerated
            else "a wave whose every host failed ends the play).")]
    else:
        lines = [f"Rollout {'finished' if problems else 'complete'} after {number} wave(s)"
                 + (", with failures." if problems else ".")]
    for outcome, heading, own_lines in SECTIONS:
        if by[outcome] and own_lines:
            lines += [f"{heading}: {len(by[outcome])}"] + [f"  {e['host']}: {_line(e)}"
                                                          for e in by[outcome]]
        elif by[outcome]:
            lines.append(f"{heading}: " + ", ".join(e["host"] for e in by[outcome]))
    if by["up-to-date"] and not check_mode and not any(e["target_level"] for e in fleet):
        lines.append("Up to date: nothing written by this run; a power cycle that an earlier run"
                     " advised is still due if not done (vexoflash_level tells them apart).")
    if problems:
        lines.append("To resume, fix the failures and run the playbook again: it starts over with"
                     " the first wave, and each host shows what its device reports.")
    report = {"schema": 1, "operator": _operator(), "manifest": checked["manifest"],
              "summary": lines, "hosts": fleet}
    return {"stop": stop, "over": stop or not by["not-touched"], "summary": lines,
            "report": report, "report_path": _report_path(hostvars, hosts)}


class FilterModule:
    """The playbook's filters."""

    def filters(self):
        return {"vexoflash_refused": vexoflash_refused, "vexoflash_checked": vexoflash_checked,
                "vexoflash_next_wave": vexoflash_next_wave, "vexoflash_rollout": vexoflash_rollout}
