# The numbers beside R's own: correlation matrices within 1e-13, and the
# same numbers whatever form the table comes in.

test_that("correlations agree with cor()", {
  cases <- list(
    list(x = mtcars, options = list(conventional = TRUE), expected = cor(mtcars)),
    list(x = airquality, options = list(use = "pairwise"),
         expected = cor(airquality, use = "pairwise.complete.obs")),
    list(x = airquality, options = list(pearson = TRUE),
         expected = cor(airquality, use = "complete.obs"))
  )
  for (case in cases) {
    got <- do.call(analyse, c(list(case$x, components = 0), case$options))
    expect_lt(max(abs(got$correlation - case$expected)), 1e-13)
    expect_identical(dimnames(got$correlation), dimnames(case$expected))
  }
})

test_that("every input kind gives the same numbers", {
  dir <- tempfile("kinds")
  dir.create(dir)
  path <- file.path(dir, "iris.csv")
  write.csv(iris, path, row.names = FALSE)
  write.csv2(iris, semicolons <- file.path(dir, "iris2.csv"), row.names = FALSE)
  write.table(iris, tabs <- file.path(dir, "iris.tsv"), sep = "\t", row.names = FALSE)
  numbers <- as.matrix(iris[1:4])
  kinds <- list(frame = analyse(iris), matrix = analyse(numbers),
                path = analyse(path, csv = TRUE),
                path_in_passes = analyse(path, csv = TRUE, max_memory = 4096),
                decimal_commas = analyse(semicolons, separator = ";", comma_decimals = TRUE),
                tabs = analyse(tabs, separator = "tab"))
  for (kind in names(kinds)) {
    got <- kinds[[kind]]
    expect_s3_class(got, "vantor_analysis")
    expect_identical(got$statistics$mean, kinds$frame$statistics$mean, label = kind)
    expect_identical(got$correlation, kinds$frame$correlation, label = kind)
    expect_identical(got$components$eigenvalues, kinds$frame$components$eigenvalues,
                     label = kind)
  }
  expect_identical(kinds$frame$skipped, data.frame(column = 5L, name = "Species"))
  expect_identical(nrow(kinds$matrix$skipped), 0L)
  doubles <- data.frame(lapply(airquality, as.numeric))
  expect_identical(to_json(analyse(doubles)), to_json(analyse(airquality, name = "doubles")))
})
