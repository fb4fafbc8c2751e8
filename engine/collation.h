#pragma once

#include <QString>

namespace kdb {

// The Russian alphabetical order used wherever names are sorted: case-insensitive, digits and
// punctuation before Latin letters, Latin before Cyrillic, Cyrillic in the order of the Russian
// alphabet with Ё as its own letter after Е. Strings that differ only in letter case compare
// equal. Works on UTF-8 bytes as the store hands them over, without allocating.
int compareRussian(const char* a, int lengthA, const char* b, int lengthB);
int compareRussian(const QString& a, const QString& b);

// Upper case with the Russian letters (and every other letter Unicode knows), for Upper in
// queries and for case-insensitive locates. Appends the result to out as UTF-8.
void upperUtf8(const char* text, int length, std::string& out);
QString upperRussian(const QString& text);

} // namespace kdb
