#pragma once
// Short strings and the text helpers every folder uses.
//
// Names and paths are the file system's bytes, kept in std::string. Like the program's
// fixed records they hold at most 255 bytes; longer texts are cut without a message.
#include <cstddef>
#include <string>
#include <string_view>

namespace parelix {

constexpr std::size_t kShortStringMax = 255;

// The first 255 bytes of s (all of it when shorter).
std::string cut255(std::string_view s);

// Locale-aware, case-sensitive comparison of whole texts, as used for every child sort
// and the search list: negative, zero or positive. "--> " stays part of the text, so
// folders of the results tree do not interleave with files.
int lstrcmpA(std::string_view a, std::string_view b);

// a * b / c with a 64-bit intermediate, rounded half away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

}  // namespace parelix
