"""The Python module against kestrune-convert: the same values (to the
digits the converter writes) and statuses on a mixed 2000-row logbook, the
same predictions and calibration, and exceptions for bad arguments."""

import csv
import math
import os
import subprocess

import numpy as np
import pandas as pd
import pytest

import kestrune

CONVERT = os.environ.get("KESTRUNE_CONVERT", "build/converter/kestrune-convert")
HERE = os.path.dirname(os.path.abspath(__file__))
TESTDATA = os.path.join(HERE, "..", "..", "testdata")
EXAMPLES = os.environ.get("KESTRUNE_EXAMPLES_DIR", os.path.join(HERE, "..", "..", "docs", "examples"))

# Decimals the converter writes of each number column.
DECIMALS = {"fix_lat": 8, "fix_lon": 8, "passes": 0, "gdop_at_fix": 2, "ellipse_major_m": 1,
            "ellipse_minor_m": 1, "ellipse_azimuth_deg": 1, "drms2_m": 1, "other_crossing_km": 1,
            "residual_1": 3, "residual_2": 3, "residual_3": 3, "residual_4": 3}


def converter(*args):
    run = subprocess.run([CONVERT, *args], capture_output=True, text=True, encoding="utf-8")
    assert run.returncode in (0, 1), run.stderr
    return list(csv.DictReader(run.stdout.splitlines()))


def agree(mine, theirs, decimals):
    """A number agrees with the converter's text when it rounds to it."""
    if theirs == "":
        return isinstance(mine, float) and math.isnan(mine)
    return abs(mine - float(theirs)) <= 0.5 * 10.0 ** -decimals * (1 + 1e-9) + 1e-12


def test_mixed_logbook_matches_the_converter():
    """Every row: given starts, the crossing search, two crossings, bad rows."""
    path = os.path.join(TESTDATA, "mixed-logbook.csv")
    theirs = converter("fix", "-o", "-", path)
    mine = kestrune.fix(pd.read_csv(path, dtype=str, keep_default_na=False))
    assert len(mine) == len(theirs) == 2000
    assert sum(t["start"] == "search" for t in theirs) >= 100
    assert any(t["status"].startswith("two crossings") for t in theirs)
    assert sum(t["other_crossing_km"] != "" for t in theirs) >= 20
    for i, t in enumerate(theirs):
        row = mine.iloc[i]
        assert row["status"] == t["status"], t["name"]
        for name in ("fix_lat_text", "fix_lon_text", "fix_kind", "completed", "start"):
            assert row[name] == t[name], (t["name"], name)
        for name, decimals in DECIMALS.items():
            assert agree(row[name], t[name], decimals), (t["name"], name, row[name], t[name])


def test_track_and_completion_as_the_converter(tmp_path):
    path = os.path.join(TESTDATA, "mixed-logbook.csv")
    log = pd.read_csv(path, dtype=str, keep_default_na=False).head(300)
    log.to_csv(tmp_path / "head.csv", index=False)
    theirs = converter("fix", "--track", "--track-by", "lop1", "--residual-sigma", "2",
                       str(tmp_path / "head.csv"))
    mine = kestrune.fix(log, track_by="lop1", residual_sigma=2.0)
    for i, t in enumerate(theirs):
        assert mine["status"][i] == t["status"], t["name"]
        # The converter counts input lines (the header is line 1), a table rows.
        expected = t["start"]
        if expected.startswith("track line "):
            expected = "track row %d" % (int(expected[len("track line "):]) - 1)
        assert mine["start"][i] == expected, t["name"]
        assert agree(mine["fix_lat"][i], t["fix_lat"], 8)
    lops = ["9007W", "9007X", "9007Y"]
    at = kestrune.predict({"lat": [64.0], "lon": [7.0]}, lops=lops, keep=False)
    short = {"td%d" % (k + 1): ["%.1f" % (at["td_" + n][0] % 1000.0)] for k, n in enumerate(lops)}
    done = kestrune.fix(short, lops=lops, start=(64.05, 7.05), complete_digits=True)
    assert done["status"][0] == "ok"
    assert done["completed"][0] == "1 2 3"


def test_arrays_in_dict_out_without_pandas(monkeypatch):
    monkeypatch.setattr(kestrune, "_pd", None)
    td = np.array([[14867.1, 27160.7, 39823.2], [15118.4, 27536.8, 39727.9]])
    out = kestrune.fix(td=td, lops=["9007W", "9007X", "9007Y"], start=(64.0, 7.0))
    assert isinstance(out, dict)
    assert list(out["status"]) == ["ok", "ok"]
    theirs = converter("fix", "--lops", "9007W,9007X,9007Y", "--near", "64", "7",
                       os.path.join(EXAMPLES, "wrecks.csv"))
    assert agree(out["fix_lat"][0], theirs[0]["fix_lat"], 8)
    assert agree(out["residual_9007Y"][1], theirs[1]["residual_9007Y"], 3)


def test_predict_matches_the_converter(tmp_path):
    src = tmp_path / "points.csv"
    src.write_text("lat,lon\n64.5,3\n62 30 N,2 E\n91,0\nx,1\n")
    theirs = converter("predict", "--lops", "9007X,6731Y", "--offset", "9007X=-0.8", str(src))
    mine = kestrune.predict(pd.read_csv(src, dtype=str), lops=["9007X", "6731Y"],
                            offsets={"9007X": -0.8})
    for i, t in enumerate(theirs):
        assert mine["status"][i] == t["status"]
        assert mine["pos_lat_text"][i] == t["pos_lat_text"]
        for name in ("td_9007X", "td_6731Y"):
            assert agree(mine[name][i], t[name], 3), name
        assert agree(mine["gradient_9007X"][i], t["gradient_9007X"], 0)


def test_calibrate_then_fix_as_the_converter(tmp_path):
    known = os.path.join(EXAMPLES, "known-points.csv")
    lops = ["9007W", "9007X", "9007Y"]
    cal = kestrune.calibrate(pd.read_csv(known, sep=";", dtype=str), lops=lops)
    os.chdir(tmp_path)
    run = subprocess.run([CONVERT, "calibrate", "--lops", ",".join(lops), known],
                         capture_output=True, text=True)
    assert run.returncode in (0, 1), run.stderr
    # Both leave out the known point whose TD cannot be read.
    assert "line 8 left out: TD 1 unreadable: '15O82.906'" in run.stderr
    assert cal.row_status[6] == "TD 1 unreadable: '15O82.906'"
    offsets = dict(kestrune._kestrune.offsets_from_file("Kestrune-calibration.csv",
                                                        kestrune.nels()))
    for name in lops:
        assert abs(cal.offsets[name] - offsets[name]) <= 0.0005
    assert 170 < cal.before["median_m"] < 180 and cal.after["median_m"] < 5
    cal.write(tmp_path / "mine.csv")
    log = os.path.join(EXAMPLES, "frohavet-log.csv")
    fixed = kestrune.fix(pd.read_csv(log, sep=";", dtype=str), lops=lops, start=(63.9, 8.9),
                         calibration=tmp_path / "mine.csv")
    conv = converter("fix", "--lops", ",".join(lops), "--near", "63.9", "8.9", "--calibration",
                     "Kestrune-calibration.csv", log)
    for i, t in enumerate(conv):
        assert fixed["status"][i] == t["status"]
        assert agree(fixed["fix_lat"][i], t["fix_lat"], 8)


@pytest.mark.parametrize("call, message", [
    (lambda: kestrune.fix({"td1": [1.0]}, lops=["9007Q", "9007X"], start=(64, 7)),
     "lops: no station 9007Q"),
    (lambda: kestrune.fix({"td1": [1.0], "td2": [2.0]}, lops=["9007W", "9007X"],
                          residual_sigma=0), "residual_sigma"),
    (lambda: kestrune.fix({"td1": [1.0], "td2": [2.0, 3.0]}, lops=["9007W", "9007X"],
                          start=(64, 7)), "rows"),
    (lambda: kestrune.fix({"td1": [1.0], "td2": [2.0]}, lops=["9007W", "9007X"], start=(64, 7),
                          decimal=";"), "decimal"),
    (lambda: kestrune.fix({"td1": [1.0]}, lops=["9007W", "9007X"], start=(64, 7)),
     "TD column of LOP 2"),
    (lambda: kestrune.fix({"td1": [1.0], "td2": [2.0]}, lops=["9007W", "9007X"], start=(64, 7),
                          td_sigma=0), "td_sigma"),
    (lambda: kestrune.historical(date="1990-13-01"), "not YYYY-MM-DD"),
    (lambda: kestrune.catalogue_from_file("/dev/null"), "not a regular file"),
])
def test_bad_arguments_raise(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_catalogues_by_date():
    assert repr(kestrune.historical(date="2010-06-01")) == "<kestrune.Catalogue 6731>"
    assert kestrune.nels().lops()[:3] == ["9007W", "9007X", "9007Y"]
    with pytest.raises(ValueError, match="on air"):
        kestrune.historical(date="2030-01-01")
    # 6731 Y was Anthorn from 2008: its TDs differ from the NELS entry's.
    at = {"lat": [52.0], "lon": [-4.0]}
    old = kestrune.predict(at, lops=["6731Y"], catalogue=kestrune.by_date("2010-06-01"))
    assert old["status"][0] == "ok"


def test_ed50_and_named_columns_as_the_converter(tmp_path):
    log = os.path.join(EXAMPLES, "frohavet-log.csv")
    lops = ["9007W", "9007X", "9007Y"]
    for datum in ("ED50", "ED50:1311"):
        theirs = converter("fix", "--lops", ",".join(lops), "--near", "63.9", "8.9", "--datum",
                           datum, log)
        mine = kestrune.fix(pd.read_csv(log, sep=";", dtype=str), lops=lops, start=(63.9, 8.9),
                            datum=datum)
        for i, t in enumerate(theirs):
            assert mine["datum"][i] == t["datum"]
            assert mine["fix_lon_text"][i] == t["fix_lon_text"]
            assert agree(mine["fix_lat"][i], t["fix_lat"], 8)
    # Weights and starts from columns named otherwise.
    path = os.path.join(TESTDATA, "mixed-logbook.csv")
    renamed = pd.read_csv(path, dtype=str, keep_default_na=False).head(200).rename(
        columns={"weight1": "w", "start_lat": "la", "start_lon": "lo"})
    renamed = renamed.assign(weight2="", weight3="", weight4="")
    plain = kestrune.fix(pd.read_csv(path, dtype=str, keep_default_na=False).head(200))
    named = kestrune.fix(renamed, weight_cols=["w", "weight2", "weight3", "weight4"],
                         start_cols=["la", "lo"])
    assert list(named["status"]) == list(plain["status"])
    assert np.array_equal(named["fix_lat"], plain["fix_lat"], equal_nan=True)
    with pytest.raises(ValueError, match="ED50 transformations"):
        kestrune.fix(renamed, start_cols=["la", "lo"], datum="ED50:9999")
    with pytest.raises(ValueError, match="no column named 'x' \\(weight\\)"):
        kestrune.fix(renamed, start_cols=["la", "lo"], weight_cols=["x", "x", "x", "x"])
