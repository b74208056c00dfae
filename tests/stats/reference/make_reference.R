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
#   shapiro.test(v)$statistic and $p.value (also on the columns of `small`,
#     3 to 12 values with ties, where Royston's p-value changes form at 11)
#   D'Agostino's K^2 and its p-value on 6000 values (k^2 %% 1009 + k^3 %% 1013
#     + k %% 1019, k = 1..6000) by the formula of D'Agostino, Belanger and
#     D'Agostino (1990) written out below, R having no function for it
# Group tests (per variable y of a set and group column g of <set>_groups.csv,
# the groups coded 1, 2, ... in order of first appearance; NA values left out):
#   t.test(y ~ g)$statistic, $parameter, $p.value (two groups; var.equal = FALSE)
#   oneway.test(y ~ g)$statistic, $parameter[2], $p.value (more groups)
#   oneway.test(y ~ g, var.equal = TRUE)$statistic, $p.value
#   kruskal.test(y ~ g)$statistic, $p.value
#   car::leveneTest(y ~ g, center = median): F value and Pr(>F)
#   eta^2 = sum(n_i (mean_i - mean)^2) / sum((y - mean)^2)
#   Cohen's d = (mean_1 - mean_2) / sqrt(((n_1 - 1) var_1 + (n_2 - 1) var_2) / (n_1 + n_2 - 2))
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
    put(set, "shapiro_w", i, 0, shapiro.test(v)$statistic)
    put(set, "shapiro_p", i, 0, shapiro.test(v)$p.value)
  }
}

small <- list(c(2.1, 3.7, 0.4), c(1, 1, 2, 5), c(3, 1, 4, 1, 5), c(9, 2, 6, 5, 3, 5, 8),
              c(2, 7, 1, 8, 2, 8, 1, 8, 2, 8, 4), c(1:11, 40))
smallset <- sapply(small, function(v) c(v, rep(NA, 12 - length(v))))
write.table(smallset, "small.csv", sep = ",", row.names = FALSE, col.names = FALSE, na = "NA")
for (i in seq_along(small)) {
  put("small", "shapiro_w", i, 0, shapiro.test(small[[i]])$statistic)
  put("small", "shapiro_p", i, 0, shapiro.test(small[[i]])$p.value)
}

k <- 1:6000
v <- k^2 %% 1009 + k^3 %% 1013 + k %% 1019
n <- length(v); d <- v - mean(v)
m2 <- mean(d^2); b1 <- mean(d^3) / m2^1.5; b2 <- mean(d^4) / m2^2
y <- b1 * sqrt((n + 1) * (n + 3) / (6 * (n - 2)))
beta2 <- 3 * (n^2 + 27 * n - 70) * (n + 1) * (n + 3) / ((n - 2) * (n + 5) * (n + 7) * (n + 9))
w2 <- -1 + sqrt(2 * (beta2 - 1))
z1 <- log(y / sqrt(2 / (w2 - 1)) + sqrt((y / sqrt(2 / (w2 - 1)))^2 + 1)) / sqrt(log(sqrt(w2)))
xk <- (b2 - 3 * (n - 1) / (n + 1)) / sqrt(24 * n * (n - 2) * (n - 3) / ((n + 1)^2 * (n + 3) * (n + 5)))
rb1 <- 6 * (n^2 - 5 * n + 2) / ((n + 7) * (n + 9)) * sqrt(6 * (n + 3) * (n + 5) / (n * (n - 2) * (n - 3)))
A <- 6 + 8 / rb1 * (2 / rb1 + sqrt(1 + 4 / rb1^2))
z2 <- (1 - 2 / (9 * A) - ((1 - 2 / A) / (1 + xk * sqrt(2 / (A - 4))))^(1 / 3)) / sqrt(2 / (9 * A))
put("residues", "dagostino_k2", 1, 0, z1^2 + z2^2)
put("residues", "dagostino_p", 1, 0, pchisq(z1^2 + z2^2, 2, lower.tail = FALSE))

code <- function(g) match(g, unique(g))
# Per set: the group columns (written as codes to <set>_groups.csv, numbered
# after the set's own columns in the figures) and the variables tested.
grouped <- list(
  mtcars = list(groups = list(cyl = mtcars$cyl, am = mtcars$am), vars = c(1, 3, 4, 6, 7)),
  iris = list(groups = list(Species = iris$Species), vars = 1:4),
  ToothGrowth = list(groups = list(supp = ToothGrowth$supp, dose = ToothGrowth$dose), vars = 1),
  airquality = list(groups = list(Month = airquality$Month), vars = 1:4)
)
for (set in names(grouped)) {
  codes <- as.data.frame(lapply(grouped[[set]]$groups, code))
  write.table(codes, paste0(set, "_groups.csv"), sep = ",", row.names = FALSE, col.names = FALSE)
  x <- cbind(sets[[set]], codes)
  name <- paste0(set, "_groups")
  for (i in grouped[[set]]$vars) for (j in ncol(sets[[set]]) + seq_along(codes)) {
    keep <- !is.na(x[[i]])
    y <- x[[i]][keep]; g <- factor(x[[j]][keep])
    if (nlevels(g) == 2) {
      w <- t.test(y ~ g)
      put(name, "welch", i, j, w$statistic)
      put(name, "welch_df", i, j, w$parameter)
      put(name, "welch_p", i, j, w$p.value)
      n1 <- sum(g == levels(g)[1]); n2 <- sum(g == levels(g)[2])
      s2 <- ((n1 - 1) * var(y[g == levels(g)[1]]) + (n2 - 1) * var(y[g == levels(g)[2]])) / (n1 + n2 - 2)
      put(name, "cohen_d", i, j, (mean(y[g == levels(g)[1]]) - mean(y[g == levels(g)[2]])) / sqrt(s2))
    } else {
      w <- oneway.test(y ~ g)
      put(name, "welch", i, j, w$statistic)
      put(name, "welch_df", i, j, w$parameter[2])
      put(name, "welch_p", i, j, w$p.value)
    }
    a <- oneway.test(y ~ g, var.equal = TRUE)
    put(name, "anova", i, j, a$statistic)
    put(name, "anova_p", i, j, a$p.value)
    kw <- kruskal.test(y ~ g)
    put(name, "kruskal", i, j, kw$statistic)
    put(name, "kruskal_p", i, j, kw$p.value)
    bf <- car::leveneTest(y ~ g, center = median)
    put(name, "brown_forsythe", i, j, bf[["F value"]][1])
    put(name, "brown_forsythe_p", i, j, bf[["Pr(>F)"]][1])
    ni <- tapply(y, g, length); mi <- tapply(y, g, mean)
    put(name, "eta_squared", i, j, sum(ni * (mi - mean(y))^2) / sum((y - mean(y))^2))
  }
}
close(out)
