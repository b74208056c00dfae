# Writes the data files of the end-to-end cases for files exported by R, with
# R's own writers. Run from the repository root:
#   Rscript tests/e2e/real_files/make.R
cases <- "tests/e2e/cases"
put <- function(case, name) file.path(cases, case, "files", name)

# Text columns under --conventional: R's ToothGrowth (supp is a factor).
write.csv(ToothGrowth[c(1:3, 11:13, 31:33, 51:53), ], put("conventional_text_columns", "teeth.csv"))
