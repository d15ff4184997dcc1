#!/usr/bin/env python3
"""Writes the small seed corpus of each fuzz target into fuzz/corpus/.

The whole-run target decodes its input with FuzzedDataProvider, so its seeds
are plain byte patterns; the fuzzer finds the structure from there."""
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))


def write_corpus(target, seeds):
    """fuzz/corpus/<target>/seed0, seed1, ..."""
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for i, seed in enumerate(seeds):
        with open(os.path.join(folder, "seed%d" % i), "wb") as f:
            f.write(seed)

SEEDS = {
    # First byte: lead-byte ranges; the rest: the command line.
    "command_line_tail": [
        b"\x00C:\\Pkg\\launcher.exe /S /I1",
        b"\x00\"C:\\My Pkg\\launcher.exe\"\t -gina -sl",
        b"\x01\"C:\\\x81\" /S\" /T",
        b"\x02\"C:\\\x81\x22\x81",
        b"\x08 launcher.exe\x01\x1f/wbs  ",
    ],
    "option_resolution": [
        b"", b"/S /I1 /wbs", b"-GINA -SL -xr /s /i3", b"/s /update",
        b"-wm=13 /S /I1 ", b"\xe9-gina",
    ],
    "source_folder": [
        b"C:\\Pkg\\launcher.exe /S /I1",
        b"\"C:\\My Pkg\\launcher.exe\" -gina",
        b"launcher.exe -sl",
        b"C:\\" + b"f" * 497 + b"\\l.exe",
        b"\"\\\\server\\share\\l.exe\" \\x\"",
    ],
}


def main():
    rng = random.Random(20240611)
    # Whole runs: a few lengths of varied bytes.
    SEEDS["launcher_run"] = [bytes(rng.randrange(256) for _ in range(n))
                             for n in (0, 64, 256, 1024, 4096)]
    for target, seeds in SEEDS.items():
        write_corpus(target, seeds)


if __name__ == "__main__":
    main()
