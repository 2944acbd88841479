#include "platform/NaturalOrder.h"

#include "platform/OemTable.h"

namespace kestrola::platform {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Sign(long long value) {
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

std::size_t DigitRunEnd(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsDigit(text[pos]))
        ++pos;
    return pos;
}

std::size_t SkipZeros(std::string_view text, std::size_t pos, std::size_t end) {
    while (pos < end && text[pos] == '0')
        ++pos;
    return pos;
}

} // namespace

int CompareNaturalOrder(std::string_view first, std::string_view second) {
    std::size_t i = 0;
    std::size_t j = 0;
    // "7" and "007" have one value; the first such difference decides only at the end.
    int zerosTieBreak = 0;
    while (i < first.size() && j < second.size()) {
        if (IsDigit(first[i]) && IsDigit(second[j])) {
            const std::size_t endFirst = DigitRunEnd(first, i);
            const std::size_t endSecond = DigitRunEnd(second, j);
            const std::size_t valueFirst = SkipZeros(first, i, endFirst);
            const std::size_t valueSecond = SkipZeros(second, j, endSecond);
            const std::size_t lengthFirst = endFirst - valueFirst;
            const std::size_t lengthSecond = endSecond - valueSecond;
            if (lengthFirst != lengthSecond)
                return lengthFirst < lengthSecond ? -1 : 1;
            if (const int order = first.substr(valueFirst, lengthFirst)
                                      .compare(second.substr(valueSecond, lengthSecond));
                order != 0)
                return Sign(order);
            if (zerosTieBreak == 0 && endFirst - i != endSecond - j)
                zerosTieBreak = endFirst - i < endSecond - j ? -1 : 1;
            i = endFirst;
            j = endSecond;
            continue;
        }
        const char32_t a = NextUtf8(first, i);
        const char32_t b = NextUtf8(second, j);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (i < first.size())
        return 1;
    if (j < second.size())
        return -1;
    return zerosTieBreak;
}

} // namespace kestrola::platform
