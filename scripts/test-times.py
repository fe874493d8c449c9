#!/usr/bin/env python3
"""Prints the time of each test group of a CTest run.

    test-times.py <ctest --show-only=json-v1 output> <ctest JUnit file> [build seconds]

The groups follow the suite's parts: the gtest cases by the program that
holds them, the scripts by their names. Times are the sum of each test's
own time; with -j 2 the wall-clock total is less than their sum.
"""
import json
import sys
import xml.etree.ElementTree as ET

ORDER = ["setup", "unit", "archive", "contract", "e2e", "serial", "random closes",
         "matrix", "unattended", "sanitizers", "fuzzing", "other"]


def group(name, command):
    program = command[0] if command else ""
    args = " ".join(command)
    if name == "setup_script":
        return "setup"
    if name.startswith(("asan_", "tsan_")):
        return "sanitizers"
    if name.startswith("fuzz_"):
        return "fuzzing"
    if name.startswith("contract"):
        return "contract"
    if name == "e2e_random_close":
        return "random closes"
    if name == "e2e_matrix":
        return "matrix"
    if name.startswith("e2e_unattended_"):
        return "unattended"
    if name.startswith("e2e_serial_") or name == "serial_channel":
        return "serial"
    if name.startswith("e2e_") or name == "tcp_monitor_wine":
        return "e2e"
    if "archive" in program or "archive" in args or name.startswith("archive_"):
        return "archive"
    if program.endswith(("unit_tests", "tcp_port_rules_test")) or name in ("layer_includes", "source_format"):
        return "unit"
    return "other"


def main():
    with open(sys.argv[1]) as f:
        listing = json.load(f)
    groups = {t["name"]: group(t["name"], t.get("command", [])) for t in listing["tests"]}
    times, counts = {}, {}
    for case in ET.parse(sys.argv[2]).getroot().iter("testcase"):
        name = case.get("name")
        g = groups.get(name, "other")
        times[g] = times.get(g, 0.0) + float(case.get("time", 0))
        counts[g] = counts.get(g, 0) + 1
    print("%-14s %6s %9s" % ("group", "tests", "seconds"))
    if len(sys.argv) > 3:
        print("%-14s %6s %9.0f" % ("builds", "", float(sys.argv[3])))
    for g in ORDER:
        if g in counts:
            print("%-14s %6d %9.0f" % (g, counts[g], times[g]))
    print("%-14s %6d %9.0f" % ("sum", sum(counts.values()), sum(times.values())))


if __name__ == "__main__":
    main()
