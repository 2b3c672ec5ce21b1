#!/usr/bin/env python3
"""Finds versions that let 32-bit packages install beside the 64-bit ones.

A library built for both arches ("Multi-Arch: same") must have one version on
both. When the mirror's 32-bit index of an archive part cannot be fetched (a
mirror caught mid-sync), the 64-bit twin may be installed at a version the
32-bit side does not list, and apt gives up. This picks, from the signed
indexes apt already has, the newest version both arches list for every such
pair, and moves each installed package tied to one of them by an exact
dependency (a -dev package) along, so that nothing gets removed.

Usage: apt-pair-arches.py PACKAGE:i386...
Prints the apt-get arguments (name=version ...) on stdout and names on stderr
each installed package the set moves to an older version; that needs
ZT_SETUP_ALLOW_DOWNGRADES=1. Exits 1 when it finds no such set, or one that
would move packages back unasked.
"""
import os
import re
import subprocess
import sys


def run(*args):
    return subprocess.run(args, capture_output=True, text=True)


def policies(names):
    """name -> (installed version or None, fetchable versions, newest first)."""
    out = run("apt-cache", "policy", *names).stdout
    result, name, current = {}, None, None
    for line in out.splitlines():
        if re.match(r"\S+:$", line):
            name = line[:-1]  # the native arch's packages are named bare
            result[name] = [None, []]
        elif m := re.match(r"  Installed: (\S+)", line):
            result[name][0] = None if m.group(1) == "(none)" else m.group(1)
        elif m := re.match(r" (?:\*\*\*|   ) (\S+) -?\d+$", line):
            current = m.group(1)
        elif re.match(r" +-?\d+ \w+://", line) and current not in result[name][1]:
            result[name][1].append(current)  # a version dpkg alone knows cannot be fetched
    return result


def records(names):
    """Every listed version's fields of each package, as dicts."""
    out = run("apt-cache", "show", *names).stdout
    for chunk in out.split("\n\n"):
        fields = dict(re.findall(r"^([\w-]+): (.*)$", chunk, re.M))
        if "Package" in fields:
            yield fields


def exact_deps(fields):
    deps = fields.get("Depends", "") + ", " + fields.get("Pre-Depends", "")
    return dict(re.findall(r"([\w.+-]+(?::\w+)?) \(= ([^)]+)\)", deps))


def closure(wanted):
    out = run("apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests",
              "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances", *wanted).stdout
    return sorted({l for l in out.splitlines() if l.endswith(":i386") and not l.startswith(" ")})


def simulate(wanted, pins):
    out = run("apt-get", "install", "-s", "--allow-downgrades", *wanted,
              *(f"{n}={v}" for n, v in pins.items()))
    return out.returncode == 0, re.findall(r"^Remv (\S+)", out.stdout, re.M), out.stdout


def main(wanted):
    libs = closure(wanted)
    same = {f"{r['Package']}:i386" for r in records(libs)
            if r.get("Architecture") == "i386" and r.get("Multi-Arch") == "same"}
    twins = [n[: -len(":i386")] for n in libs if n in same]
    known = policies(twins + [n for n in libs if n in same])
    pins = {}
    for twin in twins:
        installed, twin_listed = known.get(twin, (None, []))
        listed = known.get(twin + ":i386", (None, []))[1]
        if not installed:
            continue
        if installed in listed:
            pins[twin + ":i386"] = installed
            continue
        common = [v for v in twin_listed if v in listed]
        if not common:
            print(f"apt-pair-arches: no version of {twin} is listed for both arches", file=sys.stderr)
            return 1
        pins[twin] = pins[twin + ":i386"] = common[0]

    # Installed packages tied by an exact dependency to a moved library would
    # be removed: move each along to its newest version that names the pins.
    ok, removed, out = simulate(wanted, pins)
    for _ in range(4):
        if ok and not removed:
            break
        newest = {}
        for r in records(removed):
            deps = exact_deps(r)
            if r["Package"] not in newest and deps and all(
                    pins.get(d, pins.get(d.split(":")[0], v)) == v for d, v in deps.items()):
                newest[r["Package"]] = r["Version"]
        if not newest:
            break
        pins.update(newest)
        ok, removed, out = simulate(wanted, pins)
    if not ok or removed:
        print("apt-pair-arches: no set of versions installs without removing "
              + (" ".join(removed) or "(apt refused the set)"), file=sys.stderr)
        return 1
    downgrades = [f"{name} {old} -> {new}"
                  for name, old, new in re.findall(r"^Inst (\S+) \[(\S+)\] \((\S+) ", out, re.M)
                  if run("dpkg", "--compare-versions", new, "lt", old).returncode == 0]
    if downgrades and os.environ.get("ZT_SETUP_ALLOW_DOWNGRADES") != "1":
        print("apt-pair-arches: pairing needs installed packages moved to older signed versions:\n  "
              + "\n  ".join(downgrades) + "\nrun setup again with ZT_SETUP_ALLOW_DOWNGRADES=1 to allow it"
              " (CI does), or when the mirror serves a whole 32-bit index", file=sys.stderr)
        return 1
    for line in downgrades:
        print(f"apt-pair-arches: moving back {line}", file=sys.stderr)
    print(" ".join(f"{n}={v}" for n, v in sorted(pins.items())))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
