// The runtime's number conventions.
#include "core/core.h"

#include <cmath>
#include <limits>

int64_t TextToLong(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  }
  // Accumulate as a negative number so the most negative value fits; saturate beyond the range.
  const int64_t min = std::numeric_limits<int64_t>::min();
  int64_t value = 0;
  bool saturated = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    if (digit >= base) break;
    if (saturated) continue;
    if (value < (min + digit) / base) {
      saturated = true;
      value = min;
      continue;
    }
    value = value * base - digit;
  }
  if (negative) return value;
  return value == min ? std::numeric_limits<int64_t>::max() : -value;
}

int TextToInt(std::string_view text) {
  const int64_t v = TextToLong(text);
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

int AbsInt(int v) {
  if (v == std::numeric_limits<int>::min()) return std::numeric_limits<int>::max();
  return v < 0 ? -v : v;
}

int64_t AbsLong(int64_t v) {
  if (v == std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::max();
  return v < 0 ? -v : v;
}

int TruncToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

std::string LastChars(std::string_view text, size_t n) {
  if (text.size() <= n) return std::string(text);
  return std::string(text.substr(text.size() - n));
}

std::string ZeroPad(int64_t value, size_t width) {
  return LastChars(std::string(width, '0') + std::to_string(value), width);
}
