#include "collation.h"

#include <array>
#include <cstdint>
#include <string>

namespace kdb {

namespace {

// Every code point maps to a sort key: the class in the top byte (0 digits and punctuation,
// 1 Latin, 2 Cyrillic, 3 other letters), the rank inside the class below it, and in the lowest
// bit the mark of Ё. Upper and lower case of a letter share one key, which makes the order
// case-insensitive; Е and Ё differ only in that bit, so that Ё sorts as Е and the bit decides
// only between names that are otherwise equal.
constexpr std::uint32_t classShift = 24;
constexpr std::uint32_t latinClass = 1u << classShift;
constexpr std::uint32_t cyrillicClass = 2u << classShift;
constexpr std::uint32_t otherLetterClass = 3u << classShift;
constexpr std::uint32_t yoMark = 1;
// Ranks inside a letter class beyond the 26 Latin or 32 Russian letters.
constexpr std::uint32_t extraLetterRank = 0x1000;
// Bytes that are not valid UTF-8 sort after every punctuation code point.
constexpr std::uint32_t malformedRank = 0x110000;

constexpr std::uint32_t cyrillicTableBase = 0x400;
constexpr std::uint32_t cyrillicTableEnd = 0x460;

constexpr std::uint32_t key(std::uint32_t letterClass, std::uint32_t rank)
{
    return letterClass | (rank << 1);
}

// The key of a Russian capital: А..Е are ranks 0..5 and Ж..Я 6..31; Ё is Е with its mark.
constexpr std::uint32_t russianKey(std::uint32_t upper)
{
    if (upper == 0x401)
        return key(cyrillicClass, 5) | yoMark;
    return key(cyrillicClass, upper - 0x410);
}

constexpr std::array<std::uint32_t, 128> makeAsciiKeys()
{
    std::array<std::uint32_t, 128> keys{};
    for (std::uint32_t c = 0; c < 128; ++c) {
        if (c >= 'a' && c <= 'z')
            keys[c] = key(latinClass, c - 'a');
        else if (c >= 'A' && c <= 'Z')
            keys[c] = key(latinClass, c - 'A');
        else
            keys[c] = key(0, c);
    }
    return keys;
}

constexpr std::array<std::uint32_t, cyrillicTableEnd - cyrillicTableBase> makeCyrillicKeys()
{
    std::array<std::uint32_t, cyrillicTableEnd - cyrillicTableBase> keys{};
    for (std::uint32_t cp = cyrillicTableBase; cp < cyrillicTableEnd; ++cp) {
        std::uint32_t upper = cp;
        if (cp >= 0x430 && cp <= 0x44F)
            upper = cp - 0x20;
        else if (cp >= 0x450)
            upper = cp - 0x50;
        if (upper == 0x401 || (upper >= 0x410 && upper <= 0x42F))
            keys[cp - cyrillicTableBase] = russianKey(upper);
        else // Ђ, Є, І, Ї, Ў and the like, after Я
            keys[cp - cyrillicTableBase] = key(cyrillicClass, extraLetterRank + upper);
    }
    return keys;
}

constexpr std::array<std::uint32_t, 128> asciiKeys = makeAsciiKeys();
constexpr std::array<std::uint32_t, cyrillicTableEnd - cyrillicTableBase> cyrillicKeys =
    makeCyrillicKeys();

std::uint32_t otherKey(char32_t cp)
{
    if (!QChar::isLetter(cp))
        return key(0, cp);
    const std::uint32_t folded = QChar::toCaseFolded(cp);
    switch (QChar::script(cp)) {
    case QChar::Script_Latin:
        return key(latinClass, extraLetterRank + folded);
    case QChar::Script_Cyrillic:
        return key(cyrillicClass, extraLetterRank + folded);
    default:
        return key(otherLetterClass, folded);
    }
}

inline std::uint32_t keyOf(char32_t cp)
{
    if (cp < 128)
        return asciiKeys[cp];
    if (cp >= cyrillicTableBase && cp < cyrillicTableEnd)
        return cyrillicKeys[cp - cyrillicTableBase];
    return otherKey(cp);
}

inline bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Decodes one code point at p (advancing p), or returns -1 for a byte that does not start a
// valid sequence; p then moves by that one byte. Only continuation bytes are ever taken after
// a lead byte, so a position holding a non-continuation byte is always a code point boundary.
std::int32_t decodeMultiByte(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char lead = *p;
    int count = 0;
    std::uint32_t cp = 0;
    std::uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        count = 1;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 2;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 3;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++p;
        return -1;
    }
    if (end - p <= count) {
        ++p;
        return -1;
    }
    for (int i = 1; i <= count; ++i) {
        if (!isContinuation(p[i])) {
            ++p;
            return -1;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++p;
        return -1;
    }
    p += count + 1;
    return static_cast<std::int32_t>(cp);
}

inline std::uint32_t nextKey(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char c = *p;
    if (c < 0x80) {
        ++p;
        return asciiKeys[c];
    }
    // Two-byte Cyrillic (U+0400..U+047F), the bulk of our names.
    if ((c == 0xD0 || c == 0xD1) && end - p >= 2 && isContinuation(p[1])) {
        const std::uint32_t cp = (static_cast<std::uint32_t>(c & 0x1F) << 6) | (p[1] & 0x3F);
        p += 2;
        return cp < cyrillicTableEnd ? cyrillicKeys[cp - cyrillicTableBase] : otherKey(cp);
    }
    const std::int32_t cp = decodeMultiByte(p, end);
    if (cp < 0)
        return key(0, malformedRank + c);
    return otherKey(static_cast<char32_t>(cp));
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

int compareRussian(const char* a, int lengthA, const char* b, int lengthB)
{
    const auto* ua = reinterpret_cast<const unsigned char*>(a);
    const auto* ub = reinterpret_cast<const unsigned char*>(b);
    // Neighbours in a name index share long prefixes: skip the equal bytes, then step back to
    // a position that starts a code point in both strings.
    const int shorter = lengthA < lengthB ? lengthA : lengthB;
    int start = 0;
    while (start < shorter && ua[start] == ub[start])
        ++start;
    while (start > 0 && ((start < lengthA && isContinuation(ua[start])) ||
                         (start < lengthB && isContinuation(ub[start]))))
        --start;

    const unsigned char* pa = ua + start;
    const unsigned char* pb = ub + start;
    const unsigned char* endA = ua + lengthA;
    const unsigned char* endB = ub + lengthB;
    int tie = 0; // Е before Ё, for names equal but for those letters
    while (pa < endA && pb < endB) {
        const std::uint32_t keyA = nextKey(pa, endA);
        const std::uint32_t keyB = nextKey(pb, endB);
        if (keyA != keyB) {
            if ((keyA | yoMark) != (keyB | yoMark))
                return keyA < keyB ? -1 : 1;
            if (tie == 0)
                tie = keyA < keyB ? -1 : 1;
        }
    }
    if (pa < endA)
        return 1;
    return pb < endB ? -1 : tie;
}

int compareRussian(const QString& a, const QString& b)
{
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    const QChar* endA = pa + a.size();
    const QChar* endB = pb + b.size();
    auto next = [](const QChar*& p, const QChar* end) -> std::uint32_t {
        char32_t cp = p->unicode();
        ++p;
        if (QChar::isHighSurrogate(cp) && p < end && p->isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(static_cast<char16_t>(cp), p->unicode());
            ++p;
        } else if (QChar::isSurrogate(cp)) {
            cp = 0xFFFD; // what the UTF-8 form of the text holds instead
        }
        return keyOf(cp);
    };
    int tie = 0; // Е before Ё, for names equal but for those letters
    while (pa < endA && pb < endB) {
        const std::uint32_t keyA = next(pa, endA);
        const std::uint32_t keyB = next(pb, endB);
        if (keyA != keyB) {
            if ((keyA | yoMark) != (keyB | yoMark))
                return keyA < keyB ? -1 : 1;
            if (tie == 0)
                tie = keyA < keyB ? -1 : 1;
        }
    }
    if (pa < endA)
        return 1;
    return pb < endB ? -1 : tie;
}

void upperUtf8(const char* text, int length, std::string& out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* end = p + length;
    out.reserve(out.size() + static_cast<size_t>(length));
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c));
            ++p;
            continue;
        }
        if (c == 0xD0 && end - p >= 2 && isContinuation(p[1])) {
            const unsigned char d = p[1];
            out.push_back(static_cast<char>(0xD0));
            // а..п (D0 B0..BF) become А..П (D0 90..9F); U+0400..U+042F are capitals already.
            out.push_back(static_cast<char>(d >= 0xB0 ? d - 0x20 : d));
            p += 2;
            continue;
        }
        if (c == 0xD1 && end - p >= 2 && p[1] >= 0x80 && p[1] <= 0x9F) {
            const unsigned char d = p[1];
            out.push_back(static_cast<char>(0xD0));
            // р..я (D1 80..8F) become Р..Я (D0 A0..AF); ѐ..џ with ё (D1 90..9F) become
            // Ѐ..Џ with Ё (D0 80..8F).
            out.push_back(static_cast<char>(d <= 0x8F ? d + 0x20 : d - 0x10));
            p += 2;
            continue;
        }
        const unsigned char* start = p;
        const std::int32_t cp = decodeMultiByte(p, end);
        if (cp < 0)
            out.push_back(static_cast<char>(*start)); // not UTF-8: kept as it is
        else
            appendUtf8(out, QChar::toUpper(static_cast<char32_t>(cp)));
    }
}

QString upperRussian(const QString& text)
{
    QString result;
    result.reserve(text.size());
    const QChar* p = text.constData();
    const QChar* end = p + text.size();
    while (p < end) {
        const char16_t c = p->unicode();
        ++p;
        if (c < 0x80) {
            result += QChar(c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c);
        } else if (c >= 0x430 && c <= 0x44F) {
            result += QChar(static_cast<char16_t>(c - 0x20));
        } else if (c >= 0x450 && c <= 0x45F) {
            result += QChar(static_cast<char16_t>(c - 0x50));
        } else if (QChar::isHighSurrogate(c) && p < end && p->isLowSurrogate()) {
            const char32_t upper = QChar::toUpper(QChar::surrogateToUcs4(c, p->unicode()));
            ++p;
            for (const char16_t unit : QChar::fromUcs4(upper))
                result += QChar(unit);
        } else {
            result += QChar(static_cast<char16_t>(QChar::toUpper(static_cast<char32_t>(c))));
        }
    }
    return result;
}

void searchFormUtf8(const char* text, int length, std::string& out)
{
    const size_t start = out.size();
    upperUtf8(text, length, out);
    // Ё is D0 81 in UTF-8 and Е is D0 95; D0 only ever starts a character.
    for (size_t i = start; i + 1 < out.size(); ++i) {
        if (out[i] == '\xD0' && out[i + 1] == '\x81')
            out[++i] = '\x95';
    }
}

QString searchFormRussian(const QString& text)
{
    QString result = upperRussian(text);
    result.replace(QChar(0x401), QChar(0x415));
    return result;
}

} // namespace kdb
