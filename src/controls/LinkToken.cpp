#include "controls/LinkToken.h"

#include <algorithm>

namespace kestrola::core {

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\u00A0' || c == u'\u3000';
}

constexpr std::u16string_view kTrailing = u".,;:!?\"'\u2019\u201D\u00BB>";
constexpr std::u16string_view kLeading = u"(\"'\u2018\u201C\u00AB<";

} // namespace

TokenSpan LinkTokenAt(std::u16string_view line, std::size_t position) {
    position = std::min(position, line.size());
    TokenSpan span{position, position};
    while (span.first > 0 && !IsBlank(line[span.first - 1]))
        --span.first;
    while (span.last < line.size() && !IsBlank(line[span.last]))
        ++span.last;
    while (span.first < span.last && kLeading.find(line[span.first]) != std::u16string_view::npos)
        ++span.first;
    while (span.first < span.last) {
        const char16_t c = line[span.last - 1];
        if (c == u')') {
            // A link may hold its own pair of brackets; only an unmatched one is punctuation.
            const auto token = line.substr(span.first, span.last - span.first);
            if (std::count(token.begin(), token.end(), u'(') >=
                std::count(token.begin(), token.end(), u')'))
                break;
        } else if (kTrailing.find(c) == std::u16string_view::npos) {
            break;
        }
        --span.last;
    }
    return span;
}

} // namespace kestrola::core
