// The program's reversible text scrambling, usable on its own: the score server links only this and
// core, so it reads and writes exactly what the game does.
//
// A scrambled text is upper-case hexadecimal with two checksums inside; a text that fails either
// unscrambles to "XXX". The key is given explicitly here; the scores folder's Scramble and
// Unscramble add the rule that an empty key means the built-in default key.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct GameIdentity;
// The default key made from a game's title words, tagline and week number: two characters for each
// character of "WORD1 WORD2" and of the tagline; never stored anywhere.
std::string MakeDefaultKey(const GameIdentity& game);
// Upper-case hexadecimal, 2 x (n + 12) digits for n characters; "" for an empty text or key.
std::string ScrambleWithKey(std::string_view text, std::string_view key);
// The text back, or "XXX" when a checksum fails, the text is too short to hold one, or the key is empty.
std::string UnscrambleWithKey(std::string_view text, std::string_view key);
// "A".."F" count 10..15, digits their value, anything else (lower case too) 0.
int32_t HexToInt(std::string_view text);
