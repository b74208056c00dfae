library(testthat)
library(vantor)

test_check("vantor")
