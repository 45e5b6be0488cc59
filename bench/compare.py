#!/usr/bin/env python3
"""Compares the media code with its references at CIF and D1, two ways.

  instructions  callgrind's count of the instructions inside the timed calls
                (the out-of-line functions timed* of the benchmarks), per
                picture; repeatable to the instruction.
  timings       the benchmarks run interleaved in random order, five
                repetitions a round, several rounds; per benchmark the median
                of the rounds' medians, per picture, in CPU time and in real
                time. On a machine shared with other work, CPU time is the
                steadier of the two; both are noisy there.

usage: bench/compare.py [--build DIR] [--rounds N] [instructions|timings ...]
"""
import argparse
import fnmatch
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile

SIZES = ["352/288", "704/576"]
# Benchmark, the timed function it calls once per picture, pictures per
# iteration; the first of each program is the reference for the ratios.
PROGRAMS = {
    "decode_bench": [
        ("ffmpegDecoder", "*timedFfmpeg*", 20),
        ("frameDecoder", "*timedFrameDecoder*", 20),
        ("frameDecoderCopiedPlanes", "*timedFrameDecoder*", 20),
        ("plainLibrary", "*timedLibrary*", 20),
        ("libraryWithoutOutput", "*timedLibrary*", 20),
        ("ffmpegWithoutConversion", "*timedFfmpeg*", 20),
    ],
    "jpeg_bench": [
        ("turboJpeg", "*timedTurboJpeg*", 1),
        ("snapshotEncoder", "*timedSnapshotEncoder*", 1),
    ],
}


def instructions_per_call(binary, name, size, pattern):
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "callgrind.out")
        subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out,
                        "--toggle-collect=" + pattern, binary,
                        "--benchmark_filter=^%s/%s$" % (name, size),
                        "--benchmark_min_time=0.01"],
                       check=True, capture_output=True)
        names, total, calls, callee = {}, 0, 0, None
        with open(out) as profile:
            for line in profile:
                if line.startswith(("totals:", "summary:")):
                    total = int(line.split()[1])
                found = re.match(r"^c?fn=\((\d+)\)(?: (.*))?$", line.rstrip("\n"))
                if found:
                    if found.group(2):
                        names[found.group(1)] = found.group(2)
                    if line.startswith("cfn="):
                        callee = names.get(found.group(1), "")
                    continue
                if line.startswith("calls=") and callee and fnmatch.fnmatch(callee, pattern):
                    calls += int(line.split("=")[1].split()[0])
        return total / calls if calls else float("nan")


def timings(binary, rounds):
    medians = {}
    for _ in range(rounds):
        out = subprocess.run([binary, "--benchmark_repetitions=5",
                              "--benchmark_enable_random_interleaving=true",
                              "--benchmark_min_time=0.2",
                              "--benchmark_report_aggregates_only=true",
                              "--benchmark_format=json"],
                             check=True, capture_output=True, text=True).stdout
        for run in json.loads(out)["benchmarks"]:
            if run.get("aggregate_name") == "median":
                entry = medians.setdefault(run["run_name"], ([], []))
                entry[0].append(run["cpu_time"])
                entry[1].append(run["real_time"])
    return {name: (statistics.median(cpu), statistics.median(real))
            for name, (cpu, real) in medians.items()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("what", nargs="*", default=["instructions", "timings"])
    args = parser.parse_args()
    for program, entries in PROGRAMS.items():
        binary = os.path.join(args.build, "bench", program)
        if "instructions" in args.what:
            print("\n%s: instructions per picture (callgrind)\n" % program)
            print("| benchmark | size | instructions | ratio |")
            print("|---|---|---:|---:|")
            for size in SIZES:
                reference = None
                for name, pattern, _ in entries:
                    count = instructions_per_call(binary, name, size, pattern)
                    reference = reference or count
                    print("| %s | %s | %.3f M | %.2f |" % (name, size.replace("/", "x"),
                                                          count / 1e6, count / reference))
        if "timings" in args.what:
            measured = timings(binary, args.rounds)
            print("\n%s: time per picture, median of %d rounds\n" % (program, args.rounds))
            print("| benchmark | size | CPU us | real us | pictures/s (CPU) | ratio (CPU) |")
            print("|---|---|---:|---:|---:|---:|")
            for size in SIZES:
                reference = None
                for name, _, pictures in entries:
                    cpu, real = measured["%s/%s" % (name, size)]
                    cpu, real = cpu / pictures, real / pictures
                    reference = reference or cpu
                    print("| %s | %s | %.1f | %.1f | %.0f | %.2f |" % (
                        name, size.replace("/", "x"), cpu, real, 1e6 / cpu, cpu / reference))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
