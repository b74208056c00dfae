// The report's tables of whether a component analysis suits the data
// (Bartlett's test, KMO, each variable's MSA) and of the rotated loadings
// (--rotate). The page around them is report.cpp's.
#pragma once

#include <string>

#include "output/report.h"

// Whether the page carries either table, and so needs adequacy_style().
bool has_adequacy_tables(const ReportInput &in);

// The CSS rules of the tables, for the page's style sheet.
std::string adequacy_style();

// The sampling adequacy's heading, note and tables; nothing without them.
void adequacy_tables(std::string &out, const ReportInput &in);

// The rotated loadings with each column's explained variance, and the
// rotation matrix; nothing without --rotate.
void rotation_tables(std::string &out, const ReportInput &in);
