\name{scores}
\alias{scores}
\title{Component Scores of the Observations}
\description{
  The principal-component scores of every observation, as the program
  writes them to its \file{.sco} file.
}
\usage{
scores(x, count = NULL)
}
\arguments{
  \item{x}{an analysis made by \code{\link{analyse}} with components.}
  \item{count}{scores per observation; by default those the analysis
    writes (\code{components} in \code{\link{analyse}}).}
}
\value{
  A matrix with a row per observation analysed (named by the row labels)
  and a column per component.
}
\examples{
head(scores(analyse(mtcars)))
}
