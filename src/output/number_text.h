// Numbers as page text: the rounded form people read, the exact form kept
// in tooltips, and the short fixed form of SVG coordinates.
#pragma once

#include <cstdint>
#include <string>

// Rounded to four significant digits (%.4g); "NaN", "inf" and "-inf" as such.
void append_shown(std::string &out, double v);

// Shortest text that reads back as exactly `v`.
void append_exact(std::string &out, double v);

// A coordinate to one decimal, without a trailing ".0"; non-finite as 0.
void append_coord(std::string &out, double v);

void append_count(std::string &out, uint64_t v);

// ` title="EXACT">SHOWN`: the rest of an opening tag whose text is `v`
// rounded, with the exact value as its tooltip.
void append_titled(std::string &out, double v);

// A count grouped by thousands with commas (12,345), for captions.
void append_grouped(std::string &out, uint64_t v);
