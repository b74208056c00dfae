// The histogram file ".his": each variable's bin counts as relative
// frequencies, one line a variable. The counting is the statistics stage's.
#pragma once

#include "analysis.h"
#include "console.h"
#include "naming.h"

void write_his_file(const Analysis &a, const OutputPlace &place, const Console &con);  // ".his"
