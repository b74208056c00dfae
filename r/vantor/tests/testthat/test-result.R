# The result object: its parts, names and methods.

test_that("the result carries named parts and prints in R's style", {
  a <- analyse(airquality, scores = TRUE)
  expect_identical(rownames(a$statistics), names(airquality))
  expect_identical(a$n, 111)
  expect_identical(a$rows_left_out, 42)
  expect_identical(a$statistics$missing, c(37, 7, 0, 0, 0, 0))
  expect_identical(dim(a$histogram$counts), c(30L, 6L))
  expect_identical(dim(a$histogram$edges), c(31L, 6L))
  expect_identical(colSums(a$histogram$counts), setNames(rep(111, 6), names(airquality)))
  expect_identical(dim(a$scores), c(111L, 3L))
  expect_null(rownames(a$scores))
  labelled <- analyse(mtcars, scores = TRUE)
  expect_identical(rownames(labelled$scores), rownames(mtcars))
  expect_identical(labelled$labels, rownames(mtcars))
  expect_identical(names(a$components$eigenvalues), paste0("PC", 1:6))
  expect_output(print(a), "111 observations of 6 variables")
  expect_output(print(summary(a)), "Importance of components")
  frame <- as.data.frame(a)
  expect_identical(frame$variable, names(airquality))
  expect_identical(frame$mean, a$statistics$mean)
  expect_match(to_html(a), "<html", fixed = TRUE)
  expect_null(analyse(mtcars, components = 0)$components)
})

test_that("groups are analysed and named by their values", {
  a <- analyse(iris, by = "Species", components = 0)
  expect_identical(names(a$groups), levels(iris$Species))
  expect_identical(vapply(a$groups, `[[`, numeric(1), "n"), c(setosa = 50, versicolor = 50,
                                                              virginica = 50))
  expect_identical(rownames(a$groups$setosa$statistics), names(iris)[1:4])
  expect_identical(nrow(a$skipped), 0L)
  expect_output(print(a), "Group Species = virginica: 50 observations")
})

test_that("options reach the analysis", {
  cases <- list(
    list(options = list(bins = 12), check = function(a) dim(a$histogram$counts) == c(12, 11)),
    list(options = list(components = 0), check = function(a) is.null(a$components)),
    list(options = list(components = 5, scores = TRUE), check = function(a) ncol(a$scores) == 5),
    list(options = list(threads = 1), check = function(a) {
      identical(a$correlation, analyse(mtcars, threads = 2)$correlation)
    }),
    list(options = list(conventional = TRUE), check = function(a) {
      all.equal(a$covariance, cov(mtcars), tolerance = 1e-13)
    }),
    list(options = list(name = "cars.txt"), check = function(a) {
      grepl("\"data_file\": \"cars.txt\"", to_json(a), fixed = TRUE)
    })
  )
  for (case in cases) {
    a <- do.call(analyse, c(list(mtcars), case$options))
    expect_true(all(case$check(a)), label = deparse(case$options))
  }
})

test_that("a matrix's names name the variables and label the rows", {
  x <- as.matrix(mtcars[1:3])
  a <- analyse(x, scores = TRUE)
  expect_identical(rownames(a$statistics), colnames(x))
  expect_identical(a$statistics$column, 2:4)
  expect_identical(rownames(a$scores), rownames(mtcars))
  unnamed <- analyse(unname(x), components = 0)
  expect_identical(rownames(unnamed$statistics), c("x1", "x2", "x3"))
  expect_identical(scores(a, 2), a$scores[, 1:2])
})

test_that("an analysis saved and loaded again says it is gone", {
  path <- tempfile(fileext = ".rds")
  saveRDS(analyse(mtcars), path)
  expect_error(to_json(readRDS(path)), "analyse anew", fixed = TRUE)
})
