# analyse() against the program: the same JSON document, report page and
# result files, byte for byte, on R's data sets written as CSV, from the frame and from
# the file.

cases <- list(
  list(data = "mtcars", options = list()),
  list(data = "mtcars", options = list(conventional = TRUE)),
  list(data = "mtcars", options = list(components = 0, bins = 12)),
  list(data = "iris", options = list(components = 2)),
  list(data = "airquality", options = list()),
  list(data = "airquality", options = list(conventional = TRUE, use = "pairwise")),
  list(data = "ToothGrowth", options = list(components = 0, pearson = TRUE)),
  list(data = "ToothGrowth", options = list(by = "supp")),
  list(data = "iris", options = list(by = "Species", components = 2, use = "pairwise")),
  list(data = "mtcars", options = list(by = "cyl", conventional = TRUE)),
  list(data = "mtcars", options = list(conventional = TRUE, rank = "spearman", ci = 0.9,
                                       rotate = "varimax", files = "sum")),
  list(data = "airquality", options = list(files = c("std", "cor", "cov", "his", "fsc", "da1"),
                                           quartiles = TRUE, square = "mirror")),
  list(data = "airquality", options = list(columns = c("Temp", "Ozone"), components = 2)),
  list(data = "mtcars", options = list(skip_columns = c("vs", "am"), use = "pairwise")),
  list(data = "iris", options = list(columns = c(4, 1, 2), components = 0))
)

write_case <- function(dir, data) {
  frame <- get(data, "package:datasets")
  file <- paste0(data, ".csv")
  write.csv(frame, file.path(dir, file), row.names = .row_names_info(frame) > 0L)
  list(frame = frame, file = file)
}

test_that("documents, pages and result files are the program's, byte for byte", {
  for (case in cases) {
    dir <- tempfile("program")
    dir.create(dir)
    table <- write_case(dir, case$data)
    expected <- run_program(dir, table$file, case$options)
    from_frame <- do.call(analyse, c(list(table$frame, name = table$file), case$options))
    expect_identical(same_revision(to_json(from_frame)), same_revision(expected),
                     label = paste(case$data, "frame", deparse(case$options)))
    page <- file.path(dir, paste0(case$data, ".html"))
    expect_identical(same_run(to_html(from_frame)),
                     same_run(readChar(page, file.size(page), useBytes = TRUE)),
                     label = paste(case$data, "page", deparse(case$options)))
    old <- setwd(dir)
    from_file <- do.call(analyse, c(list(table$file, csv = TRUE), case$options))
    setwd(old)
    expect_identical(same_revision(to_json(from_file)), same_revision(expected),
                     label = paste(case$data, "file", deparse(case$options)))
    written <- file.path(dir, "r")
    write_results(from_frame, written)
    for (f in list.files(written)) {
      expect_identical(readBin(file.path(written, f), "raw", 1e7),
                       readBin(file.path(dir, f), "raw", 1e7), label = paste(case$data, f))
    }
    expect_true(length(list.files(written)) >= 2L)
  }
})
