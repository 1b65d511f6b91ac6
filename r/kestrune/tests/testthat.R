library(testthat)
library(kestrune)
test_check("kestrune")
