#pragma once

#include <QString>
#include <string>

namespace kdb {

// The Russian alphabetical order used wherever names are sorted: case-insensitive, digits and
// punctuation before Latin letters, Latin before Cyrillic, Cyrillic in the order of the Russian
// alphabet with Ё sorted as Е, the way a dictionary does (Егоров, Ёлкин, Ефремова); only
// names equal but for Е and Ё are ordered Е first (Алена, Алёна), by the first place they
// differ. Strings that differ only in letter case compare equal. Works on UTF-8 bytes as the
// store hands them over, without allocating.
int compareRussian(const char* a, int lengthA, const char* b, int lengthB);
int compareRussian(const QString& a, const QString& b);

// Upper case with the Russian letters (and every other letter Unicode knows), for Upper in
// queries and for case-insensitive locates. Appends the result to out as UTF-8.
void upperUtf8(const char* text, int length, std::string& out);
QString upperRussian(const QString& text);

// The search form of a text for case-insensitive searches: upper case with Ё written as Е, so
// that "ел" finds "Ёлкин" and "ЁЛКИН" finds "Елкин". Upper-casing itself keeps Ё. Appends
// the result to out as UTF-8.
void searchFormUtf8(const char* text, int length, std::string& out);
QString searchFormRussian(const QString& text);

// Changes whenever compareRussian orders some texts differently: a store that keeps indexes in
// that order records the version it built them with and rebuilds them when it differs.
// 1: Ё a letter of its own after Е; 2: Ё sorted as Е.
constexpr int russianCollationVersion = 2;

} // namespace kdb
