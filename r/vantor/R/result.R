# The analysis as an R value: class "vantor_analysis", the library's numbers
# with R's names on them, and the documents and result files the command
# line writes, made by the library from the record the object holds.

variable_names <- function(parts) {
  if (length(parts$names) > 0L) parts$names else paste0("x", parts$columns)
}

statistics_frame <- function(parts, names) {
  s <- parts$statistics
  colnames(s) <- c("count", "missing", "mean", "variance", "standard_deviation", "minimum",
                   "maximum", "skewness", "kurtosis", "median", "lower_quartile",
                   "upper_quartile", "constant")
  frame <- data.frame(column = parts$columns, s, check.names = FALSE)
  frame$constant <- frame$constant != 0
  rownames(frame) <- make.unique(names)
  frame
}

components_of <- function(parts, names) {
  k <- parts$components
  if (is.null(k)) return(NULL)
  labels <- paste0("PC", seq_along(k$eigenvalues))
  names(k$eigenvalues) <- labels
  names(k$explained) <- labels
  dimnames(k$loadings) <- list(names, labels)
  limit <- nrow(k$coefficients)
  dimnames(k$coefficients) <- list(names[seq_len(limit)], labels[seq_len(limit)])
  k
}

# One table's numbers (the whole table's or a group's) with R's names.
table_parts <- function(parts) {
  names <- variable_names(parts)
  square <- function(x) `dimnames<-`(x, list(names, names))
  list(n = parts$n, m = parts$m, rows_left_out = parts$rows_left_out,
       statistics = statistics_frame(parts, names),
       covariance = square(parts$covariance), correlation = square(parts$correlation),
       histogram = lapply(parts$histogram, function(x) `colnames<-`(x, names)),
       components = components_of(parts, names),
       skipped = data.frame(column = parts$skipped_columns, name = parts$skipped_names),
       labels = parts$labels)
}

new_analysis <- function(handle, name, want_scores, call, use) {
  parts <- .analysis_parts(handle)
  result <- c(list(call = call, name = name, use = use), table_parts(parts),
              list(groups = lapply(parts$groups, table_parts), group_column = parts$group_column,
                   scores = NULL, log = parts$log, handle = handle))
  class(result) <- "vantor_analysis"
  if (want_scores) {
    if (is.null(result$components)) stop("scores need components > 0", call. = FALSE)
    result$scores <- scores(result)
  }
  result
}

check_analysis <- function(x) {
  if (!inherits(x, "vantor_analysis")) stop("not a vantor analysis", call. = FALSE)
}

scores <- function(x, count = NULL) {
  check_analysis(x)
  if (is.null(x$components)) stop("No components: analyse with components > 0", call. = FALSE)
  if (is.null(count)) count <- x$components$scores_written
  out <- .analysis_scores(x$handle, whole_number(count, "count", 1))
  dimnames(out) <- list(if (length(x$labels)) x$labels else NULL,
                        paste0("PC", seq_len(ncol(out))))
  out
}

to_json <- function(x) {
  check_analysis(x)
  .analysis_json(x$handle)
}

to_html <- function(x) {
  check_analysis(x)
  .analysis_html(x$handle)
}

write_results <- function(x, dir = ".") {
  check_analysis(x)
  if (!dir.exists(dir)) dir.create(dir, recursive = TRUE)
  lines <- .analysis_write(x$handle, normalizePath(dir))
  invisible(strsplit(lines, "\n", fixed = TRUE)[[1L]])
}

as.data.frame.vantor_analysis <- function(x, row.names = NULL, optional = FALSE, ...) {
  frame <- data.frame(variable = rownames(x$statistics), x$statistics, check.names = FALSE,
                      row.names = row.names)
  if (is.null(row.names)) rownames(frame) <- NULL
  frame
}

headline <- function(x) {
  if (x$use == "pairwise") {
    cat("vantor analysis of ", x$name, ": ", x$n + x$rows_left_out, " rows of ", x$m,
        " variables, each statistic over the values present\n", sep = "")
    if (x$rows_left_out > 0) {
      cat(x$rows_left_out, " rows with missing values left out of the row files and scores\n",
          sep = "")
    }
  } else {
    cat("vantor analysis of ", x$name, ": ", x$n, " observations of ", x$m, " variables\n",
        sep = "")
    if (x$rows_left_out > 0) cat(x$rows_left_out, " rows with missing values left out\n", sep = "")
  }
  if (nrow(x$skipped) > 0L) {
    cat("Columns left out: ", paste0(x$skipped$name, " (", x$skipped$column, ")",
                                     collapse = ", "), "\n", sep = "")
  }
}

print.vantor_analysis <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  headline(x)
  cat("\nStatistics:\n")
  shown <- c("mean", "standard_deviation", "minimum", "median", "maximum")
  print(as.matrix(x$statistics[, shown]), digits = digits, ...)
  k <- x$components
  if (!is.null(k)) {
    cat("\nEigenvalues of the correlation matrix (1, .., p=", length(k$eigenvalues), "):\n",
        sep = "")
    print(unname(k$eigenvalues), digits = digits, ...)
    shown <- min(3L, ncol(k$loadings))
    cat("\nLoadings (", nrow(k$loadings), " x ", shown, "):\n", sep = "")
    print(k$loadings[, seq_len(shown), drop = FALSE], digits = digits, ...)
  }
  print_groups(x, c("mean", "standard_deviation", "minimum", "median", "maximum"), digits, ...)
  invisible(x)
}

print_groups <- function(x, shown, digits, ...) {
  for (value in names(x$groups)) {
    g <- x$groups[[value]]
    cat("\nGroup ", x$group_column, " = ", value, ": ", g$n, " observations\n", sep = "")
    print(as.matrix(g$statistics[, shown]), digits = digits, ...)
  }
}

summary.vantor_analysis <- function(object, ...) {
  out <- object[c("call", "name", "use", "n", "m", "rows_left_out", "skipped", "statistics",
                  "groups", "group_column")]
  k <- object$components
  if (!is.null(k)) {
    out$importance <- rbind(Eigenvalue = k$eigenvalues,
                            "Proportion of Variance" = k$explained / 100,
                            "Cumulative Proportion" = cumsum(k$explained) / 100)
  }
  class(out) <- "summary.vantor_analysis"
  out
}

print.summary.vantor_analysis <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  cat("\nCall:\n", paste(deparse(x$call), sep = "\n", collapse = "\n"), "\n\n", sep = "")
  headline(x)
  cat("\nStatistics:\n")
  print(as.matrix(x$statistics[, setdiff(names(x$statistics), c("column", "constant"))]),
        digits = digits, ...)
  if (any(x$statistics$constant)) {
    cat("Constant: ", paste(rownames(x$statistics)[x$statistics$constant], collapse = ", "),
        "\n", sep = "")
  }
  if (!is.null(x$importance)) {
    cat("\nImportance of components:\n")
    print(x$importance, digits = digits, ...)
  }
  print_groups(x, setdiff(names(x$statistics), c("column", "constant")), digits, ...)
  cat("\n")
  invisible(x)
}
