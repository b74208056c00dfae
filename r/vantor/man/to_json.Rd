\name{to_json}
\alias{to_json}
\alias{to_html}
\alias{write_results}
\title{The Program's Documents and Result Files of an Analysis}
\description{
  The JSON document, the HTML report page and the result files that the
  \command{vantor} program writes for the same table and options.
}
\usage{
to_json(x)
to_html(x)
write_results(x, dir = ".")
}
\arguments{
  \item{x}{an analysis made by \code{\link{analyse}}.}
  \item{dir}{the directory the files are written to; made when missing.}
}
\value{
  \code{to_json} and \code{to_html} return the document as one string.
  \code{write_results} writes the statistics (\file{.mvd}), the data for
  TETRAD (\file{.inp}), with components the eigen analysis (\file{.eig}) and
  the scores (\file{.sco}), and the files asked for with \code{files} in
  \code{\link{analyse}}, named after the table; it returns the lines the
  program prints for them, invisibly.
}
\examples{
a <- analyse(mtcars, files = c("cor", "json"))
substr(to_json(a), 1, 60)
nchar(to_html(a)) > 0
write_results(a, file.path(tempdir(), "mtcars"))
list.files(file.path(tempdir(), "mtcars"))
}
