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
#   psych::KMO(r)$MSA and $MSAi, psych::cortest.bartlett(r, n)$chisq and
#     $p.value, for r <- cor(x) and cor(x, method = "spearman") over the n
#     complete rows
#   varimax(L) and promax(L) (defaults: normalize = TRUE, eps = 1e-5; m = 4)
#     of L <- e$vectors[, 1:k] %*% diag(sqrt(e$values[1:k])), e <- eigen(cor(x)),
#     k = 2 and 3 (L itself as "unrotated": the rotations are checked from
#     R's loadings); the columns of L and of the rotated loadings (with the
#     rotation matrix's) signed so that each one's largest absolute value is
#     positive; $loadings, $rotmat and colSums(loadings^2)
sets <- list(
  mtcars = mtcars,
  mtcars_head = head(mtcars[, c("mpg", "cyl", "disp", "gear")], 6),
  swiss = swiss,
  USArrests = USArrests,
  airquality = airquality[, c("Ozone", "Solar.R", "Wind", "Temp")],
  ToothGrowth = ToothGrowth[, c("len", "dose")],
  iris = iris[, 1:4]
)
canonical <- function(x) {
  s <- apply(x, 2, function(v) sign(v[which.max(abs(v))]))
  sweep(x, 2, s, "*")
}
rotations <- function(set, r) {
  e <- eigen(r, symmetric = TRUE)
  top <- min(3, ncol(r))
  L0 <- canonical(e$vectors[, 1:top] %*% diag(sqrt(e$values[1:top])))
  for (i in seq_len(nrow(L0))) for (j in 1:top) put(set, "unrotated", i, j, L0[i, j])
  for (k in 2:top) {
    L <- L0[, 1:k]
    for (method in c("varimax", "promax")) {
      rot <- get(method)(L)
      s <- apply(unclass(rot$loadings), 2, function(v) sign(v[which.max(abs(v))]))
      z <- sweep(unclass(rot$loadings), 2, s, "*")
      tt <- sweep(rot$rotmat, 2, s, "*")
      kind <- paste0(method, k)
      for (i in seq_len(nrow(z))) for (j in 1:k) put(set, paste0(kind, "_loading"), i, j, z[i, j])
      for (i in 1:k) for (j in 1:k) put(set, paste0(kind, "_matrix"), i, j, tt[i, j])
      v <- colSums(z^2)
      for (j in 1:k) put(set, paste0(kind, "_variance"), j, k, v[j])
    }
  }
}
adequacy <- function(set, kind, r, n) {
  kmo <- psych::KMO(r)
  b <- psych::cortest.bartlett(r, n = n)
  put(set, paste0(kind, "kmo"), 0, 1, kmo$MSA)
  for (i in seq_along(kmo$MSAi)) put(set, paste0(kind, "msa"), i, 1, kmo$MSAi[[i]])
  put(set, paste0(kind, "bartlett_chi_square"), 0, 1, b$chisq)
  put(set, paste0(kind, "bartlett_p"), 0, 1, b$p.value)
}
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
  adequacy(set, "", rp, nrow(cx))
  adequacy(set, "spearman_", rs, nrow(cx))
  rotations(set, rp)
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
