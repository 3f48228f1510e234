#!/usr/bin/python3
"""The shipped scene through the ripplex module: the water along the
basin's middle row over time (each ball that falls sends its rings out,
and the walls send them back), and beneath it the volume ledger, the water
in the cells and the spray in flight against the water at the start.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/plot_cross_section.py \\
        [--directory default] [--seconds 12] [--output cross_section.png]

Frames of 0.03 s, each advanced in as many sub-steps as the grid needs.
Writes one PNG (matplotlib, no display needed) and prints where.
"""
import argparse
import os

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import ripplex  # noqa: E402

FRAME = 0.03  # seconds of simulated time per sample


def run(directory, seconds):
    """Middle row (metres, per frame), times, water and spray (fractions of the start)."""
    basin = ripplex.Basin(directory)
    middle = basin.heights.shape[0] // 2
    start = basin.water
    rows, times, water, spray, drops = [], [], [], [], []
    for _ in range(int(round(seconds / FRAME))):
        basin.advance(FRAME)
        rows.append(basin.heights[middle].copy())
        times.append(basin.time)
        water.append(basin.water / start)
        spray.append(basin.spray / start)
        drops.append(np.count_nonzero(basin.objects["kind"] == ripplex.SOLID))
    return basin, np.array(rows), np.array(times), np.array(water), np.array(spray), drops


def plot(directory, seconds, output):
    basin, rows, times, water, spray, balls = run(directory, seconds)
    width = basin.heights.shape[1]
    dx = basin.extent[0] / width
    x = (np.arange(width) - width // 2) * dx  # cell (i, ·) stands at (i − W/2)·dx
    rest = np.median(rows[0])
    departure = (rows - rest) * 1000.0  # millimetres
    limit = np.percentile(np.abs(departure), 98)  # the rings, not the dent under a ball

    figure, (top, bottom) = plt.subplots(2, 1, figsize=(8, 8), height_ratios=[3, 1.3],
                                         constrained_layout=True)
    image = top.pcolormesh(x, times, departure, cmap="RdBu_r", vmin=-limit, vmax=limit,
                           shading="nearest")
    figure.colorbar(image, ax=top, label="water above rest (mm)")
    for t, before, after in zip(times[1:], balls, balls[1:]):
        if after > before:
            top.axhline(t, color="0.3", linewidth=0.6, linestyle=":")
    top.set(xlabel="x (m), along the middle row y = 0", ylabel="simulated time (s)",
            title=f"{os.path.basename(os.path.abspath(directory))}/: the middle row over time "
                  "(dotted: a ball is dropped)")
    top.invert_yaxis()

    bottom.plot(times, (water - 1.0) * 100.0, label="water in the cells")
    bottom.plot(times, spray * 100.0, label="spray in flight")
    bottom.plot(times, (water + spray - 1.0) * 100.0, label="both", color="black", linewidth=0.8)
    bottom.set(xlabel="simulated time (s)", ylabel="change from the start (%)",
               title="volume ledger")
    bottom.legend(loc="lower left", fontsize="small")
    figure.savefig(output, dpi=90)
    print(f"wrote {output}: {len(times)} frames, t = {times[-1]:.2f} s")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--directory", default=os.path.join(here, "..", "default"))
    parser.add_argument("--seconds", type=float, default=12.0)
    parser.add_argument("--output", default="cross_section.png")
    options = parser.parse_args()
    if not options.seconds >= FRAME:
        parser.error(f"--seconds must be at least {FRAME}")
    plot(options.directory, options.seconds, options.output)


if __name__ == "__main__":
    main()
