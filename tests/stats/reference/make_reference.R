# Writes the reference figures the rank-correlation, inference and robust
# tests compare with: R's own results on R's data sets. Run from this
# directory with `Rscript make_reference.R`; the tests read the files it
# writes (<set>.csv and figures.txt) and do not need R.
#
# Commands (per data set x, numeric columns; correlations over the complete
# rows, per-variable figures over each column's values present):
#   cor(x, method = "spearman"), cor(x, method = "kendall")
#   cor.test(a, b)$p.value and $conf.int (conf.level 0.95 and 0.90)
#   cor.test(a, b, method = "spearman", exact = FALSE)$p.value
#   cor.test(a, b, method = "kendall", exact = FALSE)$p.value
#   p.adjust(p, "holm"), p.adjust(p, "BH") over the Pearson p-values of the
#     pairs above the diagonal, row by row
#   sd(v) / sqrt(n), t.test(v, conf.level = 0.95)$conf.int,
#   mean(v, trim = 0.1), mean(v, trim = 0.2), mad(v), IQR(v),
#   quantile(v, c(0.01, 0.05, 0.95, 0.99))   (type 7)
sets <- list(
  mtcars = mtcars,
  mtcars_head = head(mtcars[, c("mpg", "cyl", "disp", "gear")], 6),
  swiss = swiss,
  USArrests = USArrests,
  airquality = airquality[, c("Ozone", "Solar.R", "Wind", "Temp")],
  ToothGrowth = ToothGrowth[, c("len", "dose")],
  iris = iris[, 1:4]
)
out <- file("figures.txt", "w")
put <- function(set, kind, i, j, value)
  writeLines(sprintf("%s %s %d %d %.17g", set, kind, i, j, value), out)
for (set in names(sets)) {
  x <- sets[[set]]
  write.table(x, paste0(set, ".csv"), sep = ",", row.names = FALSE, col.names = FALSE,
              na = "NA")
  cx <- x[complete.cases(x), ]
  m <- ncol(x)
  rs <- cor(cx, method = "spearman")
  rk <- cor(cx, method = "kendall")
  rp <- cor(cx)
  p <- c()
  for (i in 1:(m - 1)) for (j in (i + 1):m) {
    a <- cx[[i]]; b <- cx[[j]]
    put(set, "pearson", i, j, rp[i, j])
    put(set, "spearman", i, j, rs[i, j])
    put(set, "kendall", i, j, rk[i, j])
    tp <- cor.test(a, b)
    p <- c(p, tp$p.value)
    put(set, "pearson_p", i, j, tp$p.value)
    if (nrow(cx) > 3) {
      put(set, "ci_low", i, j, tp$conf.int[1])
      put(set, "ci_high", i, j, tp$conf.int[2])
      t90 <- cor.test(a, b, conf.level = 0.90)
      put(set, "ci90_low", i, j, t90$conf.int[1])
      put(set, "ci90_high", i, j, t90$conf.int[2])
    }
    put(set, "spearman_p", i, j, suppressWarnings(cor.test(a, b, method = "spearman", exact = FALSE))$p.value)
    put(set, "kendall_p", i, j, suppressWarnings(cor.test(a, b, method = "kendall", exact = FALSE))$p.value)
  }
  holm <- p.adjust(p, "holm")
  bh <- p.adjust(p, "BH")
  for (k in seq_along(p)) {
    put(set, "holm", k, 0, holm[k])
    put(set, "bh", k, 0, bh[k])
  }
  for (i in 1:m) {
    v <- x[[i]][!is.na(x[[i]])]
    n <- length(v)
    put(set, "standard_error", i, 0, sd(v) / sqrt(n))
    ci <- t.test(v, conf.level = 0.95)$conf.int
    put(set, "mean_low", i, 0, ci[1])
    put(set, "mean_high", i, 0, ci[2])
    put(set, "trimmed_10", i, 0, mean(v, trim = 0.1))
    put(set, "trimmed_20", i, 0, mean(v, trim = 0.2))
    put(set, "mad", i, 0, mad(v))
    put(set, "iqr", i, 0, IQR(v))
    q <- quantile(v, c(0.01, 0.05, 0.95, 0.99))
    put(set, "p1", i, 0, q[[1]])
    put(set, "p5", i, 0, q[[2]])
    put(set, "p95", i, 0, q[[3]])
    put(set, "p99", i, 0, q[[4]])
  }
}
close(out)
