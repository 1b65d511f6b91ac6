#!/usr/bin/env python3
"""Makes testdata/mixed-logbook.csv: 2000 made-up logbook rows on which the
converter, the Python module and the R package must agree value for value
and status for status.

Rows are fixes of three or four LOPs of one chain or of two chains, and of
two LOPs (some where the LOPs cross twice), at positions across the NW
European coverage, with TDs predicted there plus a little noise, a start
near the position, some weights, and one row in twelve made bad: a TD that
is no number, a LOP not in the catalogue, a missing TD, a weight above 1, a
blank start latitude, a TD beyond its LOP's coverage. One row in ten has
no start at all, so the crossing search decides it (two-crossing rows
among them).

    PYTHONPATH=build/python tools/make-mixed-logbook.py > testdata/mixed-logbook.csv
"""

import csv
import random
import sys

import kestrune

SETS = [
    ["9007W", "9007X", "9007Y"],
    ["9007W", "9007X", "9007Y", "9007Z"],
    ["7001X", "7001Y", "9007X"],
    ["7499X", "7499Y", "6731X"],
    ["6731X", "6731Y", "6731Z"],
    ["9007X", "9007Y"],
    ["7499X", "7499Y"],
    ["6731Y", "6731Z"],
]
BAD = ["td text", "no station", "td missing", "weight", "start blank", "td beyond"]


def covered_positions(lops, count, rng):
    """Positions where a fix of `lops` from the position itself is "ok":
    inside the coverage of every LOP of the set."""
    found = []
    while len(found) < count:
        lat = [rng.uniform(50.0, 72.0) for _ in range(4 * count)]
        lon = [rng.uniform(-12.0, 20.0) for _ in range(4 * count)]
        tds = kestrune.predict({"lat": lat, "lon": lon}, lops=lops, keep=False)
        table = {"td%d" % (k + 1): tds["td_" + n] for k, n in enumerate(lops)}
        table.update({"start_lat": lat, "start_lon": lon})
        fixed = kestrune.fix(table, lops=lops, keep=False)
        for i, status in enumerate(fixed["status"]):
            if status == "ok":
                found.append((lat[i], lon[i], [tds["td_" + n][i] for n in lops]))
    return found[:count]


def main():
    rng = random.Random(20)
    rows = []
    for i in range(2000):
        rows.append({"lops": rng.choice(SETS), "i": i})
    for lops in SETS:
        mine = [r for r in rows if r["lops"] is lops]
        for r, (lat, lon, tds) in zip(mine, covered_positions(lops, len(mine), rng)):
            r.update(lat=lat, lon=lon, td=tds)
    out = csv.writer(sys.stdout, lineterminator="\n")
    out.writerow(["name"] + ["lop%d" % k for k in range(1, 5)] + ["td%d" % k for k in range(1, 5)]
                 + ["weight1", "start_lat", "start_lon"])
    for r in rows:
        lops = list(r["lops"]) + [""] * (4 - len(r["lops"]))
        tds = ["%.1f" % (td + rng.gauss(0.0, 0.1)) for td in r["td"]] + [""] * (4 - len(r["td"]))
        weight = "%.2f" % rng.uniform(0.2, 1.0) if rng.random() < 0.2 else ""
        start = ["%.4f" % (r["lat"] + rng.uniform(-0.3, 0.3)),
                 "%.4f" % (r["lon"] + rng.uniform(-0.5, 0.5))]
        if r["i"] % 12 == 5:
            bad = BAD[(r["i"] // 12) % len(BAD)]
            if bad == "td text":
                tds[1] = tds[1].replace("1", "l", 1) + "x"
            elif bad == "no station":
                lops[0] = lops[0][:4] + "V"
            elif bad == "td missing":
                tds[0] = ""
            elif bad == "weight":
                weight = "1.5"
            elif bad == "start blank":
                start[0] = ""
            elif bad == "td beyond":
                tds[0] = "%.1f" % (float(tds[0]) + 9000.0)
        if r["i"] % 10 == 3:
            start = ["", ""]
        out.writerow(["row %d" % (r["i"] + 1)] + lops + tds + [weight] + start)


if __name__ == "__main__":
    main()
