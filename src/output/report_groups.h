// The report's group comparison under --by: per variable, the groups' box
// plots side by side, and the table of their means, standard deviations and
// medians. The page around it is report.cpp's.
#pragma once

#include <string>

#include "output/report.h"

// The section, or nothing when the input has no groups.
void groups_section(std::string &out, const ReportInput &in);

// The key of the group colours of the score plot.
void group_key(std::string &out, const ReportInput &in);

// The CSS rules of the box plots and group colours, for the page's style
// sheet.
std::string group_style();

// The CSS rules of the group tests' table, for a page that has one.
std::string group_tests_style();
