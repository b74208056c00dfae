# Writes the data files of the end-to-end cases for files exported by R, with
# R's own writers. Run from the repository root:
#   Rscript tests/e2e/real_files/make.R
cases <- "tests/e2e/cases"
put <- function(case, name) file.path(cases, case, "files", name)

# Text columns under --conventional: R's ToothGrowth (supp is a factor).
write.csv(ToothGrowth[c(1:3, 11:13, 31:33, 51:53), ], put("conventional_text_columns", "teeth.csv"))

# A factor whose levels look like numbers until one does not: Cars93's
# Cylinders holds "rotary" in row 57 (file line 58, column 11).
library(MASS)
write.csv(Cars93, put("text_value_in_numeric_column", "cars93.csv"), row.names = FALSE)
write.csv(Cars93, put("bad_numbers_only_text_value", "cars93.csv"), row.names = FALSE)
# A missing value before the text: the row stays once the column is text.
held <- data.frame(x = c(1.5, 2, 3.25, 4, 5.5), level = c("1", NA, "2", "high", "3"),
                   y = c(2, 4.5, NA, 8, 9.75))
write.csv(held, put("text_value_in_numeric_column", "held.csv"))

# A white-space file with names from write.table(quote = FALSE): NA marks
# the missing values.
write.table(head(airquality, 8), put("names_white_space_missing_words", "air.txt"),
            quote = FALSE, row.names = FALSE)

# R's write.table: the names line is one field short, the rows' first
# field being the row name (quoted, or text).
write.table(head(mtcars), put("r_write_table_row_names", "cars.tsv"), sep = "\t")
write.table(head(airquality[, 1:4], 7), put("r_write_table_row_names", "air.tsv"), sep = "\t",
            quote = FALSE, row.names = paste0("day", 1:7))
