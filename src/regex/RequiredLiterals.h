// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

class Regex;

// Byte strings at least one of which every match of an expression contains, so that a subject
// holding none of them cannot match. They never hold a carriage return or a line feed, so
// finding them in a file's raw lines tells the same as finding them in lines whose CR LF ending
// reads as LF. Case-insensitive expressions give lower-case literals, to be found folding A to Z.
struct RequiredLiterals
{
    std::vector<std::string> Literals; // empty: nothing is known, every subject must be tried
    bool CaseSensitive = true;
    bool IsMatch = false; // a subject holding one of them matches, nothing else does
};

// Derived from the compiled program (any program that compiled, back references and negations
// included). At most MaxRequiredLiterals literals of at most MaxRequiredLiteralLength bytes.
RequiredLiterals FindRequiredLiterals(const Regex& regex);

inline constexpr std::size_t MaxRequiredLiterals = 32;
inline constexpr std::size_t MaxRequiredLiteralLength = 64;
