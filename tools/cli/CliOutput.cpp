#include "CliOutput.h"

#include "platform/OemTable.h"

#include <algorithm>
#include <cstdio>

namespace kestrola::cli {

namespace {

// Characters a terminal or a text viewer acts on instead of showing: C0 but tab,
// DEL, C1 (7-bit and UTF-8 forms both reach the terminal), and the bidirectional embeddings,
// overrides, isolates and marks that reorder what follows them.
bool IsControl(char32_t c) {
    return (c < 0x20 && c != '\t') || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E ||
           c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Walks UTF-8 text: `each(c, bytes)` per character, c = -1 for a byte that is not UTF-8.
template <class Each> void ForEachCharacter(std::string_view text, Each each) {
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const char32_t c = platform::NextUtf8(text, pos);
        // NextUtf8 gives U+FFFD for one byte it cannot decode; a real U+FFFD has three.
        const bool invalid = c == 0xFFFD && pos - start == 1;
        each(invalid ? char32_t(-1) : c, text.substr(start, pos - start));
    }
}

} // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    ForEachCharacter(text, [&](char32_t c, std::string_view bytes) {
        switch (c) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        case char32_t(-1):
            out += "\\ufffd";
            return;
        default:
            break;
        }
        if (IsControl(c)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += bytes;
        }
    });
    return out + "\"";
}

std::string Printable(std::string_view text, bool keepLineFeeds) {
    std::string out;
    out.reserve(text.size());
    ForEachCharacter(text, [&](char32_t c, std::string_view bytes) {
        char escaped[12];
        if (c == '\n' && keepLineFeeds) {
            out += '\n';
            return;
        }
        if (c == char32_t(-1))
            std::snprintf(escaped, sizeof escaped, "\\x%02X",
                          static_cast<unsigned char>(bytes.front()));
        else if (IsControl(c) && c < 0x100)
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
        else if (IsControl(c))
            std::snprintf(escaped, sizeof escaped, "\\u{%04X}", static_cast<unsigned>(c));
        else {
            out += bytes;
            return;
        }
        out += escaped;
    });
    return out;
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        out += kDigits[u >> 4];
        out += kDigits[u & 0x0F];
    }
    return out;
}

std::string Arguments::Option(std::string_view name, std::string_view fallback) const {
    for (auto it = options.rbegin(); it != options.rend(); ++it) {
        if (it->first == name)
            return it->second;
    }
    return std::string(fallback);
}

bool Arguments::Has(std::string_view name) const {
    return std::any_of(options.begin(), options.end(),
                       [&](const auto& option) { return option.first == name; });
}

bool ParseArguments(int argc, char** argv, const std::vector<std::string_view>& withValue,
                    Arguments& out, std::string& error) {
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        std::string word = argv[i];
        if (optionsEnded || word.size() < 3 || word.compare(0, 2, "--") != 0) {
            if (word == "--") {
                optionsEnded = true;
                continue;
            }
            out.words.push_back(std::move(word));
            continue;
        }
        std::string name = word.substr(2);
        std::string value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else if (std::find(withValue.begin(), withValue.end(), name) != withValue.end()) {
            if (i + 1 >= argc) {
                error = "option --" + name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        out.options.emplace_back(std::move(name), std::move(value));
    }
    return true;
}

} // namespace kestrola::cli
