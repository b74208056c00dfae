# The checkout's example data files (beside the program's build directory)
# read by analyse() and by the program with the same reading options: the
# same JSON document. R's export of the plots, read by read.csv, gives the
# same numbers as a data frame.

examples_dir <- function() {
  dir <- file.path(dirname(dirname(program())), "examples")
  if (!dir.exists(dir)) skip("no examples beside the program")
  dir
}

test_that("the example files give the program's documents", {
  cases <- list(
    list(file = "plots_r.csv", reading = list(csv = TRUE), words = "--csv"),
    list(file = "plots.tsv", reading = list(separator = "tab"), words = "--separator=tab"),
    list(file = "plots_csv2.csv", reading = list(separator = ";", comma_decimals = TRUE),
         words = c("--separator=;", "--comma-decimals")),
    list(file = "survey.csv", reading = list(csv = TRUE), words = "--csv"),
    list(file = "fish.txt", reading = list(), words = character(0)),
    list(file = "weather.txt", reading = list(), words = character(0)),
    list(file = "measurements.txt", reading = list(quartiles = TRUE), words = "--quartiles")
  )
  for (case in cases) {
    dir <- tempfile("examples")
    dir.create(dir)
    file.copy(file.path(examples_dir(), case$file), dir)
    expected <- run_program(dir, case$file, list(components = 2), case$words)
    old <- setwd(dir)
    got <- do.call(analyse, c(list(case$file, components = 2), case$reading))
    setwd(old)
    expect_identical(same_revision(to_json(got)), same_revision(expected), label = case$file)
  }
})

test_that("R's export read back as a data frame gives the program's numbers", {
  path <- file.path(examples_dir(), "plots_r.csv")
  frame <- read.csv(path, row.names = 1)
  from_frame <- analyse(frame, name = "plots_r.csv")
  from_file <- analyse(path, csv = TRUE, name = "plots_r.csv")
  expect_identical(to_json(from_frame), to_json(from_file))
})
