// Text conventions: case, trimming, the field splitter, 8-bit <-> UTF-8.
#include "core/core.h"

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string Trim(std::string_view text) {
  size_t a = 0, b = text.size();
  while (a < b && static_cast<unsigned char>(text[a]) <= 32) ++a;
  while (b > a && static_cast<unsigned char>(text[b - 1]) <= 32) --b;
  return std::string(text.substr(a, b - a));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Upper(text.substr(0, prefix.size())) == Upper(prefix);
}

std::string Field(std::string_view text, std::string_view separator, int index, int spaceToo) {
  const std::string t = Trim(text);
  if (separator.empty()) return index <= 1 ? t : MissingField;
  // Positions are 1-based below, 0 meaning "not found", as the splitter has always counted them.
  auto find = [&](std::string_view what, size_t from) -> size_t {
    const size_t at = t.find(what, from > 0 ? from - 1 : 0);
    return at == std::string::npos ? 0 : at + 1;
  };
  size_t pos = 1, last = 0;
  bool missing = false;
  for (int k = 1; k < index; ++k) {
    const size_t p = find(separator, pos);
    if (p == 0 || p + 1 <= last) {
      missing = true;
    } else {
      last = p + separator.size();  // the next field starts after the whole separator
      if (spaceToo) {
        const size_t blank = find(" ", pos);
        if (blank != 0 && blank < p) last = blank + 1;
      }
    }
    pos = last;
  }
  if (missing) return MissingField;
  if (pos == 0) pos = 1;
  size_t end = find(separator, pos);
  if (spaceToo) {
    const size_t blank = find(" ", pos);
    if (blank != 0 && (end == 0 || blank < end)) end = blank;
  }
  if (pos > t.size()) return "";
  return end == 0 ? t.substr(pos - 1) : t.substr(pos - 1, end - pos);
}

std::string Latin1FromUtf8(std::string_view utf8) {
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    uint32_t code;
    size_t len;
    if (c < 0x80) { code = c; len = 1; }
    else if ((c & 0xE0) == 0xC0) { code = c & 0x1F; len = 2; }
    else if ((c & 0xF0) == 0xE0) { code = c & 0x0F; len = 3; }
    else if ((c & 0xF8) == 0xF0) { code = c & 0x07; len = 4; }
    else { ++i; continue; }  // a stray continuation or invalid byte
    if (i + len > utf8.size()) break;
    bool valid = true;
    for (size_t k = 1; k < len; ++k) {
      const unsigned char cc = static_cast<unsigned char>(utf8[i + k]);
      if ((cc & 0xC0) != 0x80) { valid = false; break; }
      code = (code << 6) | (cc & 0x3F);
    }
    if (!valid) { ++i; continue; }
    i += len;
    if (code <= 255) out.push_back(static_cast<char>(code));
  }
  return out;
}

std::string Utf8FromLatin1(std::string_view text) {
  std::string out;
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}
