// The reversible scrambling of the score file and the online requests: two rotations, two
// checksums, a key XOR, and upper-case hexadecimal. Positions below are 1-based, as the format
// counts them. Built as a library of its own (with core only), shared by the game and the server.
#include "scores/scramble.h"

#include "core/core.h"

namespace {

// The checksum: the sum of code x position x 3, modulo 4096 (0 to 4095).
int Checksum(std::string_view s) {
  int64_t v = 0;
  for (size_t i = 0; i < s.size(); ++i)
    v = (v + static_cast<unsigned char>(s[i]) * static_cast<int64_t>(i + 1) * 3) % 4096;
  return static_cast<int>(v);
}

// Position i takes the key's character (i mod m) + 1: position 1 the second, position m the first.
unsigned char KeyChar(std::string_view key, size_t i) {
  return static_cast<unsigned char>(key[i % key.size()]);
}

// XORs every character with the key character of its position.
std::string WithKey(std::string_view text, std::string_view key) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) ^ KeyChar(key, i + 1));
  return out;
}

// Rotates left by r (0 <= r < size): the character at r + 1 comes first.
std::string RotateLeft(std::string_view s, size_t r) {
  return std::string(s.substr(r)) + std::string(s.substr(0, r));
}

// The rotation that undoes a left rotation by count mod size. count may be any value read back
// from a damaged line, negative included.
std::string RotateRight(std::string_view s, int64_t count) {
  const int64_t n = static_cast<int64_t>(s.size());
  int64_t r = count % n;  // truncates toward zero: -(n-1)..n-1
  if (r < 0) r += n;
  return RotateLeft(s, static_cast<size_t>((n - r) % n));
}

// One pass: checksum, rotate left by it, append it as six digits.
std::string RotateAndSign(std::string_view s) {
  const int sum = Checksum(s);
  return RotateLeft(s, static_cast<size_t>(sum) % s.size()) + ZeroPad(sum, 6);
}

// Undoes RotateAndSign; false when the checksum does not match.
bool CheckAndUnrotate(std::string_view s, std::string& out) {
  if (s.size() <= 6) return false;  // nothing left beside the six digits
  const int sum = TextToInt(s.substr(s.size() - 6));
  out = RotateRight(s.substr(0, s.size() - 6), sum);
  return Checksum(out) == sum;
}

}  // namespace

std::string MakeDefaultKey(const GameIdentity& game) {
  const std::string phrase = std::string(game.TitleWord1) + " " + game.TitleWord2;
  const std::string_view tagline = game.Tagline;
  const int w = game.WeekNumber;
  std::string key;
  const int count = static_cast<int>(phrase.size() + tagline.size());
  for (int i = 1; i <= count; ++i) {
    int c = static_cast<unsigned char>(phrase[i % phrase.size()]);
    c = (c + w + 7 * i) % 76 + 32;
    c = (c + w + 5 * i) % 75 + 31;
    key.push_back(static_cast<char>(c));
    int d = static_cast<unsigned char>(tagline[i % tagline.size()]);
    d = (d + w + 3 * i) % 74 + 34;
    d = (d + w + 11 * i) % 71 + 36;
    key.push_back(static_cast<char>(d));
  }
  return key;
}

std::string ScrambleWithKey(std::string_view text, std::string_view key) {
  if (text.empty() || key.empty()) return "";  // nothing to scramble, or nothing to scramble with
  const std::string v = RotateAndSign(WithKey(RotateAndSign(text), key));
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(v.size() * 2);
  for (size_t i = 0; i < v.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(v[i]) ^ KeyChar(key, i + 1);
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

std::string UnscrambleWithKey(std::string_view text, std::string_view key) {
  if (key.empty()) return "XXX";
  std::string y;
  y.reserve(text.size() / 2);
  for (size_t i = 0; i + 1 < text.size(); i += 2)  // a trailing odd digit is ignored
    y.push_back(static_cast<char>((HexToInt(text.substr(i, 2)) ^ KeyChar(key, i / 2 + 1)) & 255));
  std::string z, t;
  if (!CheckAndUnrotate(y, z)) return "XXX";
  if (!CheckAndUnrotate(WithKey(z, key), t)) return "XXX";
  return t;
}

int32_t HexToInt(std::string_view text) {
  uint32_t value = 0;  // wraps like the runtime's 32-bit integer on long texts
  for (char c : text) {
    uint32_t digit = 0;
    if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
    else if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
    value = value * 16 + digit;
  }
  return static_cast<int32_t>(value);
}
