# The R layer of the kestrune package: arguments checked and shaped here,
# rows computed by the Kestrune computation library (src/kestrune_r.cpp).

#' A chain catalogue
#'
#' @param which "nels" (the NELS chains the windows use), "historical" (the
#'   chains they replaced) or "by_date" (both, the versions on air on `date`).
#' @param date "YYYY-MM-DD": the chain versions on air that day.
#' @param file a chain catalogue file; `which` is then ignored.
#' @return an object of class `kestrune_catalogue` for the `catalogue`
#'   argument of the other functions.
#' @export
loran_catalogue <- function(which = c("nels", "historical", "by_date"), date = NULL,
                            file = NULL) {
  which <- match.arg(which)
  choice <- list(kind = if (is.null(file)) which else "file",
               date = if (is.null(date)) "" else as.character(date),
               path = if (is.null(file)) "" else normalizePath(file, mustWork = FALSE))
  structure(choice, class = "kestrune_catalogue", lops = .Call(kestrune_lops, choice))
}

#' @export
print.kestrune_catalogue <- function(x, ...) {
  cat("<kestrune catalogue ", x$kind, if (nzchar(x$date)) paste0(" on ", x$date), ": ",
      paste(attr(x, "lops"), collapse = " "), ">\n", sep = "")
  invisible(x)
}

columns_of <- function(data) {
  if (!is.list(data)) stop("data must be a data frame or a list of columns")
  lapply(data, function(v) {
    if (is.factor(v)) v <- as.character(v)
    if (!is.character(v) && !is.numeric(v) && !is.logical(v)) v <- as.character(v)
    v
  })
}

options_of <- function(lops, td_cols, offsets, calibration, start, td_sigma, decimal,
                       datum = "WGS84", weight_cols = NULL, start_cols = NULL,
                       offset_cols = NULL, residual_sigma = 1, track = FALSE, track_by = NULL,
                       complete_digits = FALSE) {
  file <- ""
  if (inherits(calibration, "kestrune_calibration")) {
    offsets <- c(calibration$offsets, offsets)
  } else if (is.character(calibration)) {
    file <- normalizePath(calibration, mustWork = FALSE)
  } else if (!is.null(calibration)) {
    stop("calibration must be a loran_calibrate() result or a calibration file")
  }
  list(lops = as.character(if (is.null(lops)) character() else lops),
       td_cols = as.character(if (is.null(td_cols)) character() else td_cols),
       weight_cols = as.character(if (is.null(weight_cols)) character() else weight_cols),
       start_cols = as.character(if (is.null(start_cols)) character() else start_cols),
       datum = as.character(datum),
       offsets = if (is.null(offsets)) numeric() else unlist(offsets),
       calibration_file = file,
       start = as.numeric(if (is.null(start)) numeric() else start),
       td_sigma = as.numeric(td_sigma), decimal = as.character(decimal),
       offset_cols = as.character(if (is.null(offset_cols)) character() else offset_cols),
       residual_sigma = as.numeric(residual_sigma), track = isTRUE(track),
       track_by = if (is.null(track_by)) "" else as.character(track_by),
       complete_digits = isTRUE(complete_digits))
}

result_of <- function(data, columns, keep, sf, coords) {
  out <- as.data.frame(columns, stringsAsFactors = FALSE, optional = TRUE)
  if (keep && is.data.frame(data)) {
    passed <- data[, setdiff(names(data), names(out)), drop = FALSE]
    out <- cbind(passed, out)
  }
  if (isTRUE(sf)) {
    if (!requireNamespace("sf", quietly = TRUE)) stop("sf = TRUE needs the sf package")
    out <- sf::st_as_sf(out, coords = coords, crs = 4326, na.fail = FALSE, remove = FALSE)
  }
  out
}

#' Positions from observed TDs
#'
#' Every row gives one output row, in order, with the columns and statuses
#' of `kestrune-convert fix`; a row that cannot be converted carries the
#' reason in `status`.
#'
#' @param data a data frame: `lop1` ... `lop7` (the LOPs of each row, unless
#'   `lops` gives them for all), the TDs (columns named as the LOPs, "9007W",
#'   or `td1` ... `td7`, or `td_cols`), optional `weight1` ... (0 to 1) and
#'   `start_lat` and `start_lon` (or `est_lat`, `est_lon`) unless `start` is
#'   given. Numeric columns are taken as they are; character columns are
#'   read as the converter reads a logbook ("14867,1", "27 160.7 us").
#' @param lops LOP names for every row, `c("9007W", "9007X", "9007Y")`.
#' @param start `c(lat, lon)` in decimal degrees: the start of every fix
#'   whose row has none (the converter's `--near`); without it and without
#'   start cells the coverage is searched for the crossings.
#' @param offsets named ASF offsets in microseconds, `c("9007X" = -0.8)`.
#' @param calibration a [loran_calibrate()] result or a calibration file.
#' @param catalogue a [loran_catalogue()].
#' @param td_sigma TD standard deviation (microseconds) of the 95 percent
#'   ellipse and the 2drms.
#' @param decimal the decimal mark of character TDs: "auto", "." or ",".
#' @param td_cols the TD column of each LOP.
#' @param weight_cols the weight column of each LOP.
#' @param start_cols the latitude and longitude columns of a start per row;
#'   a row whose two start cells are blank takes `start`, its track's or the
#'   search.
#' @param offset_cols the per-row offset column of each LOP (else `offset1`
#'   ... where present).
#' @param residual_sigma microseconds: what a least-squares fix's residuals
#'   are tested against ("inconsistent TDs: ..." when they do not fit).
#' @param track each row's start the previous good fix of its track (all
#'   rows, or those sharing a `track_by` column's value), in row order.
#' @param track_by the column that names each row's track (implies `track`).
#' @param complete_digits complete TDs typed without their leading digits
#'   from the start's predictions.
#' @param datum "WGS84", "ED50" or "ED50:<EPSG>" (1612, 1613, 1311, 1133):
#'   the datum of every position read and written; with ED50 a `datum`
#'   column names the transformation used.
#' @param keep pass the input columns through in front of the results.
#' @param sf return an `sf` object of the fixes (needs the sf package).
#' @return a data frame with `fix_lat`, `fix_lon` (decimal degrees, WGS 84),
#'   `fix_lat_text`, `fix_lon_text`, `fix_kind`, `passes`, `gdop_at_fix`,
#'   `residual_<LOP>` (microseconds), `ellipse_major_m`, `ellipse_minor_m`,
#'   `ellipse_azimuth_deg`, `drms2_m`, `other_crossing_km`, `completed`,
#'   `start` (which start the row took) and `status`; NA where a row has no
#'   value.
#' @export
loran_fix <- function(data, lops = NULL, start = NULL, offsets = NULL, calibration = NULL,
                      catalogue = loran_catalogue(), td_sigma = 0.1, decimal = "auto",
                      td_cols = NULL, keep = TRUE, sf = FALSE, weight_cols = NULL,
                      start_cols = NULL, datum = "WGS84", offset_cols = NULL,
                      residual_sigma = 1, track = FALSE, track_by = NULL,
                      complete_digits = FALSE) {
  o <- options_of(lops, td_cols, offsets, calibration, start, td_sigma, decimal, datum,
                  weight_cols, start_cols, offset_cols, residual_sigma, track, track_by,
                  complete_digits)
  out <- .Call(kestrune_fix_table, catalogue, columns_of(data), o)
  result_of(data, out, keep, sf, c("fix_lon", "fix_lat"))
}

#' Predicted TDs at positions
#'
#' @inheritParams loran_fix
#' @param data a data frame with `lat` and `lon` (decimal degrees, or the
#'   window's coordinate texts such as "62 30 N") and `lop1` ... unless
#'   `lops` names the LOPs for all.
#' @return a data frame with `pos_lat`, `pos_lon`, `pos_lat_text`,
#'   `pos_lon_text`, `td_<LOP>` (microseconds, offset included),
#'   `gradient_<LOP>` (metres per microsecond), `datum` (with ED50) and
#'   `status`.
#' @export
loran_predict <- function(data, lops = NULL, offsets = NULL, calibration = NULL,
                          catalogue = loran_catalogue(), decimal = "auto", keep = TRUE,
                          sf = FALSE, datum = "WGS84") {
  o <- options_of(lops, NULL, offsets, calibration, NULL, 0.1, decimal, datum)
  out <- .Call(kestrune_predict_table, catalogue, columns_of(data), o)
  result_of(data, out, keep, sf, c("pos_lon", "pos_lat"))
}

#' ASF offsets from known positions
#'
#' @inheritParams loran_fix
#' @param data a data frame with `lat`, `lon` and the TDs read there (named
#'   as the LOPs or `td1` ...); a blank TD is a LOP not read at that point.
#' @param comment the first comment line of the calibration file.
#' @return an object of class `kestrune_calibration`: `offsets` (named,
#'   microseconds), `table` (lop, offset_us, stddev_us, rows), `before` and
#'   `after` (median and 95th percentile of the position errors in metres
#'   without and with the offsets), `row_status` ("ok", or why the row was
#'   left out: unreadable, or unfit to calibrate from), `helps` (whether the
#'   offsets make the fixes better; [loran_write_calibration()] refuses them
#'   when not), `centre` and `radius_m`.
#' @export
loran_calibrate <- function(data, lops, catalogue = loran_catalogue(), decimal = "auto",
                            comment = "Kestrune calibration") {
  o <- options_of(lops, NULL, NULL, NULL, NULL, 0.1, decimal)
  r <- .Call(kestrune_calibrate_table, catalogue, columns_of(data), o, as.character(comment))
  r$offsets <- stats::setNames(r$table$offset_us, r$table$lop)
  structure(r, class = "kestrune_calibration")
}

#' @export
print.kestrune_calibration <- function(x, ...) {
  print(x$table, row.names = FALSE)
  cat(sprintf("median position error %.1f m before, %.1f m after\n", x$before$median_m,
              x$after$median_m))
  invisible(x)
}

#' Write a calibration file
#'
#' Written whole or not at all: to a temporary file beside `path`, then
#' renamed. The window, `kestrune-convert --calibration` and the
#' `calibration` argument read it.
#'
#' @param calibration a [loran_calibrate()] result.
#' @param path the file to write.
#' @return `path`, invisibly.
#' @export
loran_write_calibration <- function(calibration, path) {
  stopifnot(inherits(calibration, "kestrune_calibration"))
  if (!isTRUE(calibration$helps)) {
    stop(sprintf(paste("the offsets do not make the fixes at the known points better",
                       "(median error %.1f m before, %.1f m after): no file written"),
                 calibration$before$median_m, calibration$after$median_m))
  }
  tmp <- tempfile(".kestrune-", tmpdir = dirname(normalizePath(path, mustWork = FALSE)))
  on.exit(if (file.exists(tmp)) unlink(tmp))
  con <- file(tmp, open = "wb")
  writeChar(calibration$file_text, con, eos = NULL, useBytes = TRUE)
  close(con)
  if (!file.rename(tmp, path)) stop("cannot write ", path)
  invisible(path)
}
