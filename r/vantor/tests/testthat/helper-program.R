# The program of the checkout (VANTOR_PROGRAM, which r/check.sh sets) run on
# a table written as CSV, and the documents made comparable: their version
# tags (one per document, one per group) name the commit each was built at.

program <- function() {
  path <- Sys.getenv("VANTOR_PROGRAM")
  if (!nzchar(path) || !file.exists(path)) skip("VANTOR_PROGRAM names no program")
  path
}

switches_of <- function(options) {
  out <- character(0)
  components <- if (is.null(options$components)) 3 else options$components
  if (components > 0) out <- c(out, paste0("-e", components))
  if (!is.null(options$bins)) out <- c(out, paste0("-h", options$bins))
  if (isTRUE(options$pearson)) out <- c(out, "--pearson")
  if (isTRUE(options$conventional)) out <- c(out, "--conventional")
  if (identical(options$use, "pairwise")) out <- c(out, "--use=pairwise")
  if (!is.null(options$by)) out <- c(out, paste0("--by=", options$by))
  if (!is.null(options$rank)) out <- c(out, paste0("--rank=", options$rank))
  if (!is.null(options$ci)) out <- c(out, paste0("--ci=", options$ci))
  if (!is.null(options$rotate)) out <- c(out, paste0("--rotate=", options$rotate))
  file_switches <- c(std = "-b", cor = "-c", cov = "-v", his = "-h", fsc = "-f",
                     da1 = "--oldtetrad", sum = "--summary-file")
  out <- c(out, unname(file_switches[options$files]))
  if (isTRUE(options$quartiles)) out <- c(out, "--quartiles")
  if (identical(options$square, "mirror")) out <- c(out, "--square")
  if (!is.null(options$columns)) {
    out <- c(out, paste0("--columns=", paste(options$columns, collapse = ",")))
  }
  if (!is.null(options$skip_columns)) {
    out <- c(out, paste0("--skip-columns=", paste(options$skip_columns, collapse = ",")))
  }
  out
}

# Runs the program in `dir` on `file` with the options' switches and the
# reading switches; returns the JSON document it wrote (its report page
# lies beside it).
run_program <- function(dir, file, options, reading = "--csv") {
  old <- setwd(dir)
  on.exit(setwd(old))
  status <- system2(program(), c("--quiet", "--no-log", reading, "--json", "--report",
                                 switches_of(options), file) |> shQuote(),
                    stdout = FALSE, stderr = FALSE)
  expect_equal(status, 0L)
  json_file <- sub("\\.[a-z0-9]*$", ".json", file)
  readChar(json_file, file.size(json_file), useBytes = TRUE)
}

same_revision <- function(document) {
  gsub("\"version\": \"[^\"]*\"", "\"version\": \"\"", document)
}

# A report page without what names its own run: the switches, the date and
# the version tags (the commit each was built at).
same_run <- function(page) {
  for (what in c("Switches", "Date")) {
    page <- gsub(paste0("<dt>", what, "</dt><dd>[^<]*</dd>"), "", page)
  }
  gsub("v[0-9.]+-[0-9]+-g[0-9a-f]{7}", "", page)
}
