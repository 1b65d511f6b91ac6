# The R package against kestrune-convert: the same values (to the digits the
# converter writes) and statuses on a mixed 2000-row logbook, the same
# predictions and calibration, and errors for bad arguments.

convert <- Sys.getenv("KESTRUNE_CONVERT")
testdata <- Sys.getenv("KESTRUNE_TESTDATA_DIR")
examples <- Sys.getenv("KESTRUNE_EXAMPLES_DIR")
have_convert <- nzchar(convert) && file.exists(convert)

converter <- function(...) {
  out <- suppressWarnings(system2(convert, c(...), stdout = TRUE, stderr = FALSE))
  read.csv(text = out, colClasses = "character", check.names = FALSE, encoding = "UTF-8")
}

# A number agrees with the converter's text when it rounds to it.
agree <- function(mine, theirs, decimals) {
  none <- theirs == ""
  ok <- ifelse(none, is.na(mine),
               abs(mine - suppressWarnings(as.numeric(theirs))) <=
                 0.5 * 10^-decimals * (1 + 1e-9) + 1e-12)
  all(ok %in% TRUE)
}

test_that("the mixed logbook gives the converter's values and statuses", {
  skip_if_not(have_convert && nzchar(testdata), "no kestrune-convert")
  path <- file.path(testdata, "mixed-logbook.csv")
  theirs <- converter("fix", "-o", "-", path)
  log <- read.csv(path, colClasses = "character", na.strings = character())
  mine <- loran_fix(log)
  expect_equal(nrow(mine), 2000)
  # Every row: given starts, the crossing search, two crossings, bad rows.
  expect_gte(sum(theirs$start == "search"), 100)
  expect_true(any(startsWith(theirs$status, "two crossings")))
  expect_gte(sum(theirs$other_crossing_km != ""), 20)
  expect_identical(mine$status, theirs$status)
  for (name in c("fix_lat_text", "fix_lon_text", "fix_kind", "completed", "start")) {
    expect_identical(mine[[name]], theirs[[name]], label = name)
  }
  decimals <- c(fix_lat = 8, fix_lon = 8, passes = 0, gdop_at_fix = 2, ellipse_major_m = 1,
                ellipse_minor_m = 1, ellipse_azimuth_deg = 1, drms2_m = 1, residual_1 = 3,
                residual_2 = 3, residual_3 = 3, residual_4 = 3, other_crossing_km = 1)
  for (name in names(decimals)) {
    expect_true(agree(mine[[name]], theirs[[name]], decimals[[name]]), label = name)
  }
})

test_that("predict and calibrate agree with the converter", {
  skip_if_not(have_convert && nzchar(examples), "no kestrune-convert")
  pts <- tempfile(fileext = ".csv")
  writeLines(c("lat,lon", "64.5,3", "62 30 N,2 E", "91,0", "x,1"), pts)
  theirs <- converter("predict", "--lops", "9007X,6731Y", "--offset", "9007X=-0.8", pts)
  mine <- loran_predict(read.csv(pts, colClasses = "character"), lops = c("9007X", "6731Y"),
                        offsets = c("9007X" = -0.8))
  expect_identical(mine$status, theirs$status)
  expect_true(agree(mine$td_9007X, theirs$td_9007X, 3))
  expect_true(agree(mine$td_6731Y, theirs$td_6731Y, 3))

  lops <- c("9007W", "9007X", "9007Y")
  known <- read.csv(file.path(examples, "known-points.csv"), sep = ";",
                    colClasses = "character", check.names = FALSE)
  cal <- loran_calibrate(known, lops = lops)
  expect_identical(cal$row_status[7], "TD 1 unreadable: '15O82.906'")
  expect_lt(cal$after$median_m, 5)
  file <- tempfile(fileext = ".csv")
  loran_write_calibration(cal, file)
  log <- file.path(examples, "frohavet-log.csv")
  fixed <- loran_fix(read.csv(log, sep = ";", colClasses = "character", check.names = FALSE),
                     lops = lops, start = c(63.9, 8.9), calibration = file)
  conv <- converter("fix", "--lops", paste(lops, collapse = ","), "--near", "63.9", "8.9",
                    "--calibration", file, log)
  expect_identical(fixed$status, conv$status)
  expect_true(agree(fixed$fix_lat, conv$fix_lat, 8))
  expect_identical(fixed$name, conv$name)
})

test_that("bad arguments are errors, bad rows statuses", {
  two <- data.frame(td1 = 1, td2 = 2)
  expect_error(loran_fix(two, lops = c("9007Q", "9007X"), start = c(64, 7)),
               "lops: no station 9007Q")
  expect_error(loran_fix(two, lops = c("9007W", "9007X"), residual_sigma = 0),
               "residual_sigma")
  expect_error(loran_fix(two, lops = c("9007W", "9007X"), start = c(64, 7), decimal = ";"),
               "decimal")
  expect_error(loran_fix(two, lops = c("9007W", "9007X"), start = 64), "start must be")
  expect_error(loran_catalogue("historical", date = "1990-13-01"), "YYYY-MM-DD")
  expect_error(loran_fix(two, lops = c("9007W", "9007X"), start = c(64, 7),
                         catalogue = loran_catalogue(file = "/dev/null")), "not a regular file")
  rows <- loran_fix(data.frame(td1 = c("14867,1", "abc", NA), td2 = 27160.7),
                    lops = c("9007W", "9007X"), start = c(64, 7))
  expect_identical(rows$status[2:3], c("TD 1 unreadable: 'abc'", "TD 1 missing"))
  expect_identical(attr(loran_catalogue("by_date", date = "2010-06-01"), "lops")[1:2],
                   c("9007W", "9007X"))
})

test_that("ED50 positions as the converter writes them", {
  skip_if_not(have_convert && nzchar(examples), "no kestrune-convert")
  log <- file.path(examples, "frohavet-log.csv")
  lops <- c("9007W", "9007X", "9007Y")
  theirs <- converter("fix", "--lops", paste(lops, collapse = ","), "--near", "63.9", "8.9",
                      "--datum", "ED50", log)
  mine <- loran_fix(read.csv(log, sep = ";", colClasses = "character", check.names = FALSE),
                    lops = lops, start = c(63.9, 8.9), datum = "ED50")
  expect_identical(mine$datum, theirs$datum)
  expect_identical(mine$fix_lat_text, theirs$fix_lat_text)
  expect_true(agree(mine$fix_lon, theirs$fix_lon, 8))
  expect_error(loran_fix(data.frame(td1 = 1, td2 = 2), lops = lops[1:2], start = c(64, 7),
                         datum = "NAD27"), "datum must be")
})
