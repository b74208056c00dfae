# analyse(): what the caller hands over (a data frame, a numeric matrix or a
# path) and the options, checked and turned into the compiled layer's
# inputs. Computes nothing itself: every number comes from the C++ library.

analyse <- function(x, components = 3, pearson = FALSE, conventional = FALSE,
                    use = c("complete", "pairwise"), by = NULL, bins = 30,
                    threads = NULL, ...) {
  use <- match.arg(use)
  more <- more_options(list(...))
  options <- c(list(components = whole_number(components, "components", 0),
                    pearson = truth(pearson, "pearson"),
                    conventional = truth(conventional, "conventional"),
                    use = use, bins = whole_number(bins, "bins", 1),
                    threads = if (is.null(threads)) NULL else whole_number(threads, "threads", 1)),
               more$options)
  name <- more$name
  if (is.character(x) && length(x) == 1L && is.null(dim(x))) {
    if (!is.null(by)) options$by <- group_column(by)
    path <- path.expand(x)
    if (is.null(name)) name <- path
    handle <- .analyse_path(path, options, name)
  } else {
    file_only <- setdiff(more$reading, c("columns", "skip_columns"))
    if (length(file_only) > 0L) {
      stop("reading options (", paste(file_only, collapse = ", "),
           ") are for data files only", call. = FALSE)
    }
    table <- table_of(x, more$columns, more$skip_columns, by)
    options$columns <- NULL
    options$skip_columns <- NULL
    if (is.null(name)) name <- table_name(substitute(x))
    handle <- .analyse_columns(table$values, table, options, name)
  }
  new_analysis(handle, name, more$scores, match.call(), use)
}

group_column <- function(by) {
  if (!((is.character(by) || is.numeric(by)) && length(by) == 1L && !is.na(by))) {
    stop("by must name one column (by name or 1-based number)", call. = FALSE)
  }
  as.character(by)
}

# The name the documents give an in-memory table: the variable's name when
# the table was passed as one, else "data".
table_name <- function(expression) {
  if (is.name(expression)) as.character(expression) else "data"
}

# The options of `...`: reading options of a data file, result files, the
# name the documents give the table, scores on request, and the
# command line's remaining analysis switches.
more_options <- function(more) {
  known <- c("csv", "separator", "comma_decimals", "columns", "skip_columns", "missing",
             "header", "numbers_only", "max_memory", "files", "name", "scores", "quartiles",
             "scores_mean", "allscores", "four", "inverse", "split_file", "square",
             "group_limit", "rank", "ci", "rotate")
  unknown <- setdiff(names(more), known)
  if (length(more) > 0L && (is.null(names(more)) || any(names(more) == ""))) {
    stop("every option in ... needs a name", call. = FALSE)
  }
  if (length(unknown) > 0L) {
    stop("unknown option(s): ", paste(unknown, collapse = ", "), call. = FALSE)
  }
  reading <- intersect(names(more), c("csv", "separator", "comma_decimals", "columns",
                                      "skip_columns", "missing", "header", "numbers_only",
                                      "max_memory", "inverse"))
  options <- list()
  for (key in c("csv", "comma_decimals", "header", "numbers_only", "quartiles", "scores_mean",
                "allscores", "four", "inverse", "split_file")) {
    if (!is.null(more[[key]])) options[[key]] <- truth(more[[key]], key)
  }
  if (!is.null(more$separator)) options$separator <- separator_byte(more$separator)
  if (!is.null(more$columns) && !is.null(more$skip_columns)) {
    stop("columns and skip_columns exclude each other", call. = FALSE)
  }
  if (!is.null(more$columns)) options$columns <- column_list(more$columns, "columns")
  if (!is.null(more$skip_columns)) {
    options$skip_columns <- column_list(more$skip_columns, "skip_columns")
  }
  if (!is.null(more$missing)) options$missing <- as.character(more$missing)
  if (!is.null(more$files)) options$files <- result_files(more$files)
  if (!is.null(more$max_memory)) {
    options$max_memory <- whole_number(more$max_memory, "max_memory", 1, 2^53)
  }
  if (!is.null(more$square)) {
    options$square <- match.arg(more$square, c("none", "zeros", "mirror"))
  }
  if (!is.null(more$rank)) options$rank <- match.arg(more$rank, c("spearman", "kendall"))
  if (!is.null(more$rotate)) options$rotate <- match.arg(more$rotate, c("varimax", "promax"))
  if (!is.null(more$ci)) {
    if (!(is.numeric(more$ci) && length(more$ci) == 1L && more$ci > 0 && more$ci < 1)) {
      stop("ci must be one number between 0 and 1", call. = FALSE)
    }
    options$ci <- as.numeric(more$ci)
  }
  if (!is.null(more$group_limit)) {
    options$group_limit <- whole_number(more$group_limit, "group_limit", 1)
  }
  name <- more$name
  if (!is.null(name) && !(is.character(name) && length(name) == 1L && nzchar(name))) {
    stop("name must be one non-empty string", call. = FALSE)
  }
  scores <- if (is.null(more$scores)) FALSE else truth(more$scores, "scores")
  list(options = options, reading = reading, name = name, scores = scores,
       columns = more$columns, skip_columns = more$skip_columns)
}

truth <- function(value, what) {
  if (!(is.logical(value) && length(value) == 1L && !is.na(value))) {
    stop(what, " must be TRUE or FALSE", call. = FALSE)
  }
  value
}

whole_number <- function(value, what, least, most = 2^31) {
  if (!(is.numeric(value) && length(value) == 1L && !is.na(value) &&
        value == floor(value) && value >= least && value < most)) {
    stop(what, " must be a whole number of at least ", least, call. = FALSE)
  }
  as.numeric(value)
}

separator_byte <- function(value) {
  if (identical(value, "tab")) value <- "\t"
  if (!(is.character(value) && length(value) == 1L && nchar(value, type = "bytes") == 1L)) {
    stop("separator must be one byte, or \"tab\"", call. = FALSE)
  }
  value
}

# A column list as the library reads it: names and numbers separated by
# commas, a name holding a comma or a quote in CSV quotes.
column_list <- function(value, what) {
  if (!(is.character(value) || is.numeric(value)) || length(value) == 0L || anyNA(value)) {
    stop(what, " must name columns by name or 1-based number", call. = FALSE)
  }
  value <- as.character(value)
  quoted <- grepl("[,\"]", value)
  value[quoted] <- paste0("\"", gsub("\"", "\"\"", value[quoted], fixed = TRUE), "\"")
  paste(value, collapse = ",")
}

result_files <- function(files) {
  kinds <- c("std", "cor", "cov", "his", "fsc", "da1", "sum", "json", "html")
  bad <- setdiff(files, kinds)
  if (length(bad) > 0L) {
    stop("unknown result file(s) ", paste(bad, collapse = ", "), " (known: ",
         paste(kinds, collapse = ", "), ")", call. = FALSE)
  }
  as.character(files)
}
