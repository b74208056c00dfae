# What a user gets wrong comes back as an R error saying what is wrong.

test_that("bad input is an error with a clear message", {
  cases <- list(
    list(call = quote(analyse(data.frame(a = letters, b = factor(letters)))),
         message = "no numeric column"),
    list(call = quote(analyse(data.frame())), message = "the data frame is empty"),
    list(call = quote(analyse(mtcars[0, ])), message = "the data frame is empty"),
    list(call = quote(analyse(mtcars, columns = c("mpg", "nope"))),
         message = "columns: no column \"nope\""),
    list(call = quote(analyse(iris, columns = c("Species", "Sepal.Width"))),
         message = "column 5 (Species) holds no numbers"),
    list(call = quote(analyse(matrix(letters[1:4], 2))), message = "must hold numbers"),
    list(call = quote(analyse(list(1, 2))), message = "data frame, a numeric matrix"),
    list(call = quote(analyse(file.path(tempdir(), "no-such-file.txt"))),
         message = "no-such-file.txt"),
    list(call = quote(analyse(mtcars, csv = TRUE)), message = "for data files only"),
    list(call = quote(analyse(mtcars, components = -1)), message = "components must be"),
    list(call = quote(analyse(mtcars, colour = "red")), message = "unknown option(s): colour"),
    list(call = quote(analyse(ToothGrowth, by = "kind")), message = "by: no column \"kind\""),
    list(call = quote(analyse(as.matrix(mtcars), by = "cyl")), message = "by applies to a data frame"),
    list(call = quote(analyse(data.frame(x = c(1, Inf)))), message = "Infinite value in row 2"),
    list(call = quote(analyse(mtcars, use = "everything")), message = "should be one of")
  )
  for (case in cases) {
    expect_error(eval(case$call), case$message, fixed = TRUE, label = deparse(case$call))
  }
})

test_that("an unknown column of a data file is the library's error", {
  path <- tempfile(fileext = ".csv")
  write.csv(mtcars, path)
  expect_error(analyse(path, csv = TRUE, columns = "nope"), "no column \"nope\"", fixed = TRUE)
})
