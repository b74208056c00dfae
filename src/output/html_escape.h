// Untrusted text (variable names, file names, switches) on the report page:
// escaping, one function per place the text lands, and shortening of names.
#pragma once

#include <string>
#include <string_view>

// Element content: & < > escaped. Invalid UTF-8, control characters and
// characters XML forbids become U+FFFD, so the page stays well-formed.
void append_html_text(std::string &out, std::string_view s);

// Attribute value inside double or single quotes: as above plus " and '.
void append_html_attribute(std::string &out, std::string_view s);

// `s` cut to at most `chars` characters (UTF-8 aware), the last being an
// ellipsis when anything was cut. Escape the result as usual.
std::string shortened_label(const std::string &s, size_t chars);
