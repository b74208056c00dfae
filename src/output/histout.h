// The histogram file ".his": each variable's bin counts as relative
// frequencies, one line a variable. The counting is the statistics stage's.
#pragma once

#include "record/analysis.h"
#include "base/console.h"
#include "output/naming.h"

void write_his_file(const Analysis &a, const OutputPlace &place, const Console &con);  // ".his"
