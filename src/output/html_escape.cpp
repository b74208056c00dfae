// Escaping for HTML text and attributes. The page is also parsed as XML, so
// the rules are the stricter of the two: nothing XML 1.0 rejects gets out.
#include "output/html_escape.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at s[i], or 0 when the bytes
// there are not one (overlong forms, surrogates and values past U+10FFFF
// count as not well-formed). `cp` receives the decoded value.
size_t utf8_sequence(std::string_view s, size_t i, uint32_t &cp) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t b0 = byte(i);
  size_t len;
  uint32_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0Fu;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07u;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const uint8_t b = byte(i + k);
    if (b < (k == 1 ? lo : 0x80u) || b > (k == 1 ? hi : 0xBFu)) return 0;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  return len;
}

// Controls (all of C0, DEL, C1) and the two XML non-characters: a
// label holding one would either break the XML parse or show as nothing.
bool is_unwanted(uint32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xFFFE || cp == 0xFFFF;
}

void append_escaped(std::string &out, std::string_view s, bool attribute) {
  out.reserve(out.size() + s.size());
  for (size_t i = 0; i < s.size();) {
    uint32_t cp = 0;
    const size_t len = utf8_sequence(s, i, cp);
    if (len == 0) {
      // One replacement per bad byte: simple, and never swallows a good
      // character that follows a truncated sequence.
      out += kReplacement;
      ++i;
      continue;
    }
    if (is_unwanted(cp)) {
      out += kReplacement;
    } else if (cp == '&') {
      out += "&amp;";
    } else if (cp == '<') {
      out += "&lt;";
    } else if (cp == '>') {
      out += "&gt;";
    } else if (attribute && cp == '"') {
      out += "&quot;";
    } else if (attribute && cp == '\'') {
      out += "&#39;";
    } else {
      out.append(s.data() + i, len);
    }
    i += len;
  }
}

}  // namespace

void append_html_text(std::string &out, std::string_view s) { append_escaped(out, s, false); }

void append_html_attribute(std::string &out, std::string_view s) {
  append_escaped(out, s, true);
}

std::string shortened_label(const std::string &s, size_t chars) {
  // Character starts are the bytes that are not UTF-8 continuation bytes.
  const auto starts_char = [&](size_t i) { return (static_cast<uint8_t>(s[i]) & 0xC0) != 0x80; };
  size_t count = 0, cut = s.size();
  for (size_t i = 0; i < s.size(); ++i) {
    if (!starts_char(i)) continue;
    if (count == chars - 1 || chars == 0) cut = std::min(cut, i);
    if (++count > chars) return s.substr(0, cut) + "\u2026";
  }
  return s;
}
