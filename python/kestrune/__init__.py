"""Kestrune for Python: Loran-C TDs to positions and back, whole tables at once.

The same computation, columns and statuses as ``kestrune-convert``: every
input row gives one output row, a row that cannot be converted carries the
reason in its ``status`` column, and a bad argument raises ``ValueError``.

    import pandas as pd, kestrune
    log = pd.read_csv("log.csv", sep=";", dtype=str)
    fixed = kestrune.fix(log, lops=["9007W", "9007X", "9007Y"], start=(64.0, 7.0))

Positions are decimal degrees on WGS 84, TDs and offsets microseconds.
"""

import os
import tempfile

import numpy as np

from ._kestrune import (
    Catalogue,
    RuntimeFault,
    by_date,
    catalogue_from_file,
    historical,
    nels,
)
from . import _kestrune

try:
    import pandas as _pd
except ImportError:  # without pandas the results are dicts of numpy arrays
    _pd = None

__all__ = [
    "Catalogue",
    "Calibration",
    "RuntimeFault",
    "by_date",
    "calibrate",
    "catalogue_from_file",
    "fix",
    "historical",
    "nels",
    "predict",
]


def _cells(values):
    """A column as the library takes it: float64 numbers, or texts."""
    a = np.asarray(values)
    if a.ndim != 1:
        raise ValueError("every column must be one-dimensional")
    if a.dtype.kind in "fiub":
        return np.ascontiguousarray(a, dtype=np.float64)
    out = []
    for v in a.tolist():
        if v is None or (isinstance(v, float) and v != v):
            out.append("")
        else:
            out.append(str(v))
    return out


def _columns(data, td=None):
    """(name, cells) pairs of a DataFrame, a dict of arrays, or a TD matrix."""
    pairs = []
    if data is not None:
        items = data.items() if hasattr(data, "items") else None
        if items is None:
            raise ValueError("data must be a pandas DataFrame or a dict of arrays")
        for name, values in items:
            pairs.append((str(name), _cells(values)))
    if td is not None:
        m = np.asarray(td)
        if m.ndim == 1:
            m = m.reshape(-1, 1)
        if m.ndim != 2:
            raise ValueError("td must be a rows x LOPs array")
        for k in range(m.shape[1]):
            pairs.append(("td%d" % (k + 1), _cells(m[:, k])))
    if not pairs:
        raise ValueError("no data: give a DataFrame, a dict of arrays or td=")
    return pairs


def _offsets(offsets, calibration, catalogue):
    given = []
    if calibration is not None:
        if isinstance(calibration, Calibration):
            given += list(calibration.offsets.items())
        elif isinstance(calibration, (str, os.PathLike)):
            given += _kestrune.offsets_from_file(os.fspath(calibration), catalogue)
        else:
            raise ValueError("calibration must be a Calibration or a calibration file's path")
    if offsets is not None:
        given += [(str(k), float(v)) for k, v in dict(offsets).items()]
    return given


def _result(data, columns, keep):
    out = {name: values for name, values in columns}
    for name, values in out.items():
        if isinstance(values, list):
            out[name] = np.array(values, dtype=object)
    if _pd is None:
        return out
    result = _pd.DataFrame(out)
    if keep and data is not None and isinstance(data, _pd.DataFrame):
        passed = data.drop(columns=[c for c in data.columns if c in out]).reset_index(drop=True)
        result = _pd.concat([passed, result], axis=1)
        result.index = data.index
    return result


def _names(cols):
    return None if cols is None else [str(x) for x in cols]


def _options(lops, td_cols, offsets, start, td_sigma, decimal, datum="WGS84", weight_cols=None,
             start_cols=None, **more):
    return {
        **more,
        "lops": _names(lops),
        "td_cols": _names(td_cols),
        "weight_cols": _names(weight_cols),
        "start_cols": _names(start_cols),
        "datum": str(datum),
        "offsets": offsets,
        "start": None if start is None else (float(start[0]), float(start[1])),
        "td_sigma": float(td_sigma),
        "decimal": decimal,
    }


def fix(data=None, *, lops=None, td=None, td_cols=None, weight_cols=None, start=None,
        start_cols=None, offsets=None, offset_cols=None, calibration=None, catalogue=None,
        td_sigma=0.1, residual_sigma=1.0, track=False, track_by=None, complete_digits=False,
        datum="WGS84", decimal="auto", keep=True):
    """Positions from observed TDs, one row per input row.

    data: a DataFrame or dict of columns: lop1..lop7 (the LOPs of each row,
      unless ``lops`` gives them for all), the TDs (columns named as the LOPs,
      "9007W", or td1..td7, or ``td_cols``), optional weight1..weight7 (0 to 1)
      and start_lat and start_lon (or est_lat, est_lon) unless ``start`` is
      given. Number columns are taken as they are; text columns are read as
      kestrune-convert reads a logbook ("14867,1", "27 160.7 us").
    lops: LOP names for every row, ["9007W", "9007X", "9007Y"].
    td: instead of TD columns, a rows x LOPs array of TDs (microseconds).
    weight_cols: the weight column of each LOP (else weight1..weight7).
    start: (lat, lon) in decimal degrees, the start of every fix whose row
      has none (the converter's --near); without it and without start cells
      the coverage is searched for the crossings.
    start_cols: the (latitude, longitude) columns of a start per row; a row
      whose two start cells are blank takes ``start``, its track's or the
      search.
    track: each row's start is the previous good fix of the same track (all
      rows, or those sharing a ``track_by`` column's value), in row order;
      the ``start`` column says which start each row took.
    residual_sigma: us, what a least-squares fix's residuals are tested
      against ("inconsistent TDs: ..." when they do not fit).
    complete_digits: complete TDs typed without their leading digits from
      the start's predictions (``completed`` names the LOPs completed).
    datum: "WGS84", "ED50" or "ED50:<EPSG>" (1612, 1613, 1311, 1133): the
      datum of every position read and written; with ED50 a datum column
      names the transformation used.
    offsets: {"9007X": -0.8, ...} microseconds added to each prediction;
      offset_cols: a per-row offset column of each LOP (else offset1..);
      calibration: a Calibration from calibrate() or a calibration file.
    catalogue: nels() (the default), historical(...), by_date(...) or
      catalogue_from_file(...).
    td_sigma: TD standard deviation (us) of the 95 % ellipse and 2drms.
    keep: pass the input columns through in front of the results.

    Returns the input columns and fix_lat, fix_lon, fix_lat_text,
    fix_lon_text, fix_kind, passes, gdop_at_fix, residual_<LOP>,
    ellipse_major_m, ellipse_minor_m, ellipse_azimuth_deg, drms2_m,
    other_crossing_km, completed, start, status (a dict of numpy arrays
    without pandas). A value a row does not have is NaN (or "").
    """
    cat = nels() if catalogue is None else catalogue
    columns = _columns(data, td)
    opts = _options(lops, td_cols, _offsets(offsets, calibration, cat), start, td_sigma, decimal,
                    datum, weight_cols, start_cols, offset_cols=_names(offset_cols),
                    residual_sigma=float(residual_sigma), track=bool(track),
                    track_by=None if track_by is None else str(track_by),
                    complete_digits=bool(complete_digits))
    return _result(data, _kestrune.fix_table(cat, columns, opts), keep)


def predict(data, *, lops=None, offsets=None, calibration=None, catalogue=None,
            datum="WGS84", decimal="auto", keep=True):
    """Predicted TDs and gradients at positions, one row per input row.

    data: columns lat and lon (decimal degrees, or the window's coordinate
    texts "62 30 N") and lop1..lop7 unless ``lops`` names the LOPs for all.
    Returns pos_lat, pos_lon, pos_lat_text, pos_lon_text, td_<LOP> (us, the
    offset included), gradient_<LOP> (m/us), datum (with ED50) and status.
    """
    cat = nels() if catalogue is None else catalogue
    opts = _options(lops, None, _offsets(offsets, calibration, cat), None, 0.1, decimal, datum)
    return _result(data, _kestrune.predict_table(cat, _columns(data), opts), keep)


class Calibration:
    """Offsets of the LOPs taken at known positions.

    offsets: {"9007W": offset_us, ...}; table: one row per LOP with lop,
    offset_us, stddev_us, rows; before and after: the median and 95th
    percentile of the position errors (metres) of the fixes at the known
    points without and with the offsets; row_status: "ok" or why a row was
    left out (unreadable, or unfit to calibrate from: far from the
    prediction, outside the coverage, an outlier); helps: whether the
    offsets make the fixes better (write() refuses them when not); centre
    (lat, lon) and radius_m: where the known points lie.
    """

    def __init__(self, result):
        self.lops = result["lops"]
        self.offsets = {r["lop"]: r["offset_us"] for r in self.lops}
        self.before = result["before"]
        self.after = result["after"]
        self.centre = result["centre"]
        self.radius_m = result["radius_m"]
        self.row_status = result["row_status"]
        self.helps = result["helps"]
        self._file_text = result["file_text"]

    @property
    def table(self):
        cols = {k: [r[k] for r in self.lops] for k in ("lop", "offset_us", "stddev_us", "rows")}
        return _pd.DataFrame(cols) if _pd is not None else cols

    def write(self, path):
        """Writes the calibration file (read by fix(calibration=path), the
        window and kestrune-convert --calibration) whole or not at all."""
        if not self.helps:
            raise ValueError("the offsets do not make the fixes at the known points better "
                             "(median error %.1f m before, %.1f m after): no file written"
                             % (self.before["median_m"], self.after["median_m"]))
        path = os.fspath(path)
        folder = os.path.dirname(os.path.abspath(path))
        fd, tmp = tempfile.mkstemp(prefix=".kestrune-", dir=folder)
        umask = os.umask(0)
        os.umask(umask)
        try:
            os.chmod(tmp, 0o666 & ~umask)  # as an ordinary new file, not mkstemp's 0600
            with os.fdopen(fd, "w", encoding="utf-8", newline="\n") as f:
                f.write(self._file_text)
                f.flush()
                os.fsync(f.fileno())
            os.replace(tmp, path)
        except BaseException:
            os.unlink(tmp)
            raise

    def __repr__(self):
        return "<kestrune.Calibration %s: median error %.1f m before, %.1f m after>" % (
            ", ".join("%s %+.3f us" % kv for kv in self.offsets.items()),
            self.before["median_m"], self.after["median_m"])


def calibrate(data, *, lops, catalogue=None, decimal="auto", comment="Kestrune calibration"):
    """ASF offsets from known positions: columns lat, lon and the TDs read
    there (named as the LOPs or td1..td7); a blank TD is a LOP not read."""
    cat = nels() if catalogue is None else catalogue
    opts = _options(lops, None, None, None, 0.1, decimal)
    return Calibration(_kestrune.calibrate_table(cat, _columns(data), opts, comment))
