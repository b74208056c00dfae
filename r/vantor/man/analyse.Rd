\name{analyse}
\alias{analyse}
\alias{vantor_analysis}
\alias{print.vantor_analysis}
\alias{summary.vantor_analysis}
\alias{print.summary.vantor_analysis}
\alias{as.data.frame.vantor_analysis}
\title{Statistics, Correlation and Principal Components of a Table}
\description{
  Analyses a data frame, a numeric matrix or a data file as the
  \command{vantor} program does: per-variable statistics, the covariance
  and correlation matrices, histograms and the principal components of the
  correlation matrix. Every number is computed by the program's own C++
  library and is the program's to the bit.
}
\usage{
analyse(x, components = 3, pearson = FALSE, conventional = FALSE,
        use = c("complete", "pairwise"), by = NULL, bins = 30,
        threads = NULL, ...)

\method{print}{vantor_analysis}(x, digits = max(3L, getOption("digits") - 3L), ...)
\method{summary}{vantor_analysis}(object, ...)
\method{as.data.frame}{vantor_analysis}(x, row.names = NULL, optional = FALSE, ...)
}
\arguments{
  \item{x}{a data frame, a numeric matrix, or the path of a data file. In a
    data frame the numeric and integer columns are the variables; factor,
    character, logical, date and other columns are left out and listed in
    \code{skipped}. \code{NA} and \code{NaN} are missing values. Row names
    that are not R's default are the row labels (and count as the table's
    first column, as in a file \code{write.csv} wrote). A matrix's column
    names name its variables and its row names label its rows.}
  \item{components}{the number of component scores per observation; 0 for
    no principal-component analysis.}
  \item{pearson}{\code{TRUE} for Pearson's r as the correlation.}
  \item{conventional}{\code{TRUE} for the definitions of the statistics
    packages: the covariance with divisor n - 1, and a constant variable
    shown as measured.}
  \item{use}{\code{"complete"}: a row with a missing value is left out
    whole; \code{"pairwise"}: each statistic over the values it has, as
    \code{cor(use = "pairwise.complete.obs")}.}
  \item{by}{the name of a column whose values group the rows: each group is
    analysed too (a data frame or a data file).}
  \item{bins}{the number of histogram bins.}
  \item{threads}{worker threads; \code{NULL} for the program's default.}
  \item{\dots}{for \code{analyse}, further options by name. Reading options
    of a data file: \code{csv} (\code{TRUE} for comma-separated values),
    \code{separator} (one byte, or \code{"tab"}), \code{comma_decimals},
    \code{missing} (words that mark a missing value), \code{header}
    (\code{TRUE}: the first line holds the names), \code{numbers_only},
    \code{inverse} (the variables in reversed order), \code{max_memory}
    (bytes the rows may take: a larger file is read in passes);
    \code{columns} or \code{skip_columns} (names or 1-based numbers, also
    for a data frame or a matrix). Result options: \code{files} (the extra result files of
    \code{\link{write_results}}: any of \code{"std"}, \code{"cor"},
    \code{"cov"}, \code{"his"}, \code{"fsc"}, \code{"da1"}, \code{"sum"}
    (needs \code{conventional}), \code{"json"},
    \code{"html"}), \code{name} (how the documents name the table; default
    the path, or the data frame's variable name), \code{scores} (\code{TRUE}
    to keep the component scores), \code{quartiles}, \code{scores_mean},
    \code{allscores}, \code{four}, \code{split_file}, \code{square}
    (\code{"none"}, \code{"zeros"} or \code{"mirror"}: the upper triangle
    of \file{.cor}), \code{group_limit} (the most groups \code{by} may
    make). Statistics options: \code{rank} (\code{"spearman"} or
    \code{"kendall"}: the rank correlation the matrices and components
    use), \code{ci} (the intervals' level, with \code{conventional}),
    \code{rotate} (\code{"varimax"} or \code{"promax"} of the scored
    components' loadings, with \code{conventional} and components). For the methods,
    passed on to \code{print}.}
  \item{object}{an analysis.}
  \item{digits}{significant digits shown.}
  \item{row.names, optional}{as for \code{\link{as.data.frame}}.}
}
\value{
  \code{analyse} returns an object of class \code{"vantor_analysis"}, a list
  with
  \item{n, m, rows_left_out}{the observations and variables analysed and the
    rows left out for a missing value;}
  \item{statistics}{a data frame with a row per variable: its column in the
    table, count, missing, mean, variance, standard_deviation, minimum,
    maximum, skewness, kurtosis, median, lower_quartile, upper_quartile and
    constant;}
  \item{covariance, correlation}{named matrices;}
  \item{histogram}{a list of \code{counts} (bins x variables) and
    \code{edges} (bins + 1 x variables);}
  \item{components}{\code{NULL} without components, else a list of the
    \code{eigenvalues} in descending order, their \code{explained} share in
    percent, the \code{loadings}, the score \code{coefficients} and
    \code{scores_written};}
  \item{scores}{the component scores when asked for with
    \code{scores = TRUE}, else \code{NULL} (see \code{\link{scores}});}
  \item{groups}{with \code{by}, a list of each group's \code{n}, \code{m},
    \code{statistics}, matrices, histogram and components, named by the
    group's value;}
  \item{skipped, labels, log, call}{the columns left out, the row labels,
    what the analysis said, and the call.}

  \code{summary} returns the statistics with the importance of the
  components; \code{as.data.frame} the statistics with the variables in a
  column.
}
\seealso{\code{\link{to_json}}, \code{\link{to_html}}, \code{\link{write_results}},
  \code{\link{scores}}}
\examples{
a <- analyse(mtcars)
a
summary(a)
head(as.data.frame(a), 3)
analyse(iris, components = 2)$skipped
analyse(airquality, use = "pairwise", components = 0)$correlation[1:3, 1:3]
analyse(iris, by = "Species", components = 0)
}
