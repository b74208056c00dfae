# The table of a data frame or a numeric matrix as the compiled layer takes
# it, by the command line's rule for a data file: numeric and integer
# columns are the variables; factor, character, logical, date and other
# columns are left out and listed; row names that are not R's default are
# row labels, counted as the table's first column; the column `by` names
# gives each row its group value as text ("" for none) and is neither a
# variable nor listed. No value is copied here.

table_of <- function(x, columns = NULL, skip_columns = NULL, by = NULL) {
  if (is.data.frame(x)) return(table_of_frame(x, columns, skip_columns, by))
  if (!is.null(by)) stop("by applies to a data frame or a data file", call. = FALSE)
  if (is.matrix(x)) return(table_of_matrix(x, columns, skip_columns))
  stop("x must be a data frame, a numeric matrix or the path of a data file, not ",
       class(x)[1L], call. = FALSE)
}

is_variable <- function(column) {
  is.numeric(column) && is.null(dim(column)) && typeof(column) %in% c("double", "integer")
}

table_of_frame <- function(x, columns, skip_columns, by) {
  if (ncol(x) == 0L || nrow(x) == 0L) {
    stop("Too few variables: the data frame is empty (", nrow(x), " rows, ", ncol(x),
         " columns)", call. = FALSE)
  }
  labelled <- .row_names_info(x) > 0L
  shift <- if (labelled) 1L else 0L
  numeric <- vapply(x, is_variable, logical(1L))
  chosen <- chosen_columns(names(x), numeric, columns, skip_columns)
  groups <- group_values(x, by)
  chosen <- setdiff(chosen, groups$position)
  if (!any(numeric[chosen])) {
    stop("Too few variables: the data frame has no numeric column", call. = FALSE)
  }
  skipped <- chosen[!numeric[chosen]]
  taken <- chosen[numeric[chosen]]
  list(values = unclass(x)[taken], names = names(x)[taken], columns = taken + shift,
       skipped = list(column = skipped + shift, name = names(x)[skipped]),
       labels = if (labelled) rownames(x) else character(0),
       group_values = groups$values, group_column = groups$column)
}

# The group value of every row as text, "" where it is missing.
group_values <- function(x, by) {
  if (is.null(by)) return(list(position = integer(0), values = character(0), column = ""))
  if (!(is.character(by) && length(by) == 1L && !is.na(by))) {
    stop("by must name one column", call. = FALSE)
  }
  position <- match(by, names(x))
  if (is.na(position)) stop("by: no column \"", by, "\"", call. = FALSE)
  values <- as.character(x[[position]])
  values[is.na(values)] <- ""
  list(position = position, values = values, column = by)
}

table_of_matrix <- function(x, columns, skip_columns) {
  if (!(is.numeric(x) && typeof(x) %in% c("double", "integer"))) {
    stop("the matrix must hold numbers (double or integer), not ", typeof(x), call. = FALSE)
  }
  if (ncol(x) == 0L || nrow(x) == 0L) {
    stop("Too few variables: the matrix is empty (", nrow(x), " x ", ncol(x), ")",
         call. = FALSE)
  }
  labelled <- !is.null(rownames(x))
  shift <- if (labelled) 1L else 0L
  names <- if (is.null(colnames(x))) character(0) else colnames(x)
  chosen <- chosen_columns(if (length(names)) names else NULL, rep(TRUE, ncol(x)),
                           columns, skip_columns)
  values <- if (identical(chosen, seq_len(ncol(x)))) x else lapply(chosen, function(j) x[, j])
  list(values = values, names = if (length(names)) names[chosen] else character(0),
       columns = chosen + shift, skipped = list(column = integer(0), name = character(0)),
       labels = if (labelled) rownames(x) else character(0),
       group_values = character(0), group_column = "")
}

# The positions `columns` picks (in its order) or `skip_columns` leaves,
# named or 1-based; an unknown or text column is an error.
chosen_columns <- function(names, numeric, columns, skip_columns) {
  all <- seq_along(numeric)
  if (is.null(columns) && is.null(skip_columns)) return(all)
  what <- if (is.null(columns)) "skip_columns" else "columns"
  listed <- column_positions(if (is.null(columns)) skip_columns else columns, names,
                             length(numeric), what)
  if (is.null(columns)) return(setdiff(all, listed))
  text <- listed[!numeric[listed]]
  if (length(text) > 0L) {
    stop("columns: column ", text[1L], " (", names[text[1L]], ") holds no numbers",
         call. = FALSE)
  }
  listed
}

column_positions <- function(listed, names, count, what) {
  if (is.numeric(listed)) {
    bad <- listed[is.na(listed) | listed < 1 | listed > count | listed != floor(listed)]
    if (length(bad) > 0L) stop(what, ": no column ", bad[1L], call. = FALSE)
    positions <- as.integer(listed)
  } else {
    positions <- match(listed, names)
    if (anyNA(positions)) {
      stop(what, ": no column \"", listed[is.na(positions)][1L], "\"", call. = FALSE)
    }
  }
  if (anyDuplicated(positions)) {
    stop(what, ": column ", positions[anyDuplicated(positions)], " listed twice", call. = FALSE)
  }
  positions
}
