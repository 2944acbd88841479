#include "settings/IniDocument.h"

#include "base/Text.h"

#include <algorithm>
#include <string>

namespace kestrola::core {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool NeedsQuotes(std::string_view value) {
    if (value.empty())
        return false;
    return IsBlank(value.front()) || IsBlank(value.back()) ||
           (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front());
}

} // namespace

bool SameProfileName(std::string_view a, std::string_view b) {
    // The platform's profile functions fold the ASCII letters the program uses; other bytes
    // must match exactly.
    return SameIgnoringAsciiCase(a, b);
}

std::int32_t ProfileIntFromText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Unsigned arithmetic wraps at 32 bits the way the platform's conversion does.
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    if (negative)
        value = 0u - value;
    return static_cast<std::int32_t>(value);
}

IniDocument::IniDocument(std::string_view bytes) {
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        m_byteOrderMark = true;
        bytes.remove_prefix(kByteOrderMark.size());
    }
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            m_lines.push_back(Classify(std::string(bytes.substr(start))));
            break;
        }
        m_lines.push_back(Classify(std::string(bytes.substr(start, end - start))));
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n')
            ++start;
    }
}

IniDocument::Line IniDocument::Classify(std::string text) {
    Line line;
    line.text = std::move(text);
    const std::string_view view = line.text;
    const std::size_t first = view.find_first_not_of(" \t\v\f");
    if (first == std::string_view::npos || view[first] == ';')
        return line;
    if (view[first] == '[') {
        const std::size_t close = view.rfind(']');
        if (close != std::string_view::npos && close > first) {
            line.kind = Kind::Section;
            line.name = Trim(view.substr(first + 1, close - first - 1));
            return line;
        }
    }
    const std::size_t equals = view.find('=');
    if (equals == std::string_view::npos)
        return line;
    const std::string_view name = Trim(view.substr(0, equals));
    if (name.empty())
        return line;
    line.kind = Kind::Key;
    line.name = name;
    line.valueFrom = equals + 1;
    return line;
}

std::size_t IniDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Section && SameProfileName(m_lines[i].name, section))
            return i;
    }
    return std::string::npos;
}

std::size_t IniDocument::FindKey(std::size_t header, std::string_view key) const {
    for (std::size_t i = header + 1; i < m_lines.size() && m_lines[i].kind != Kind::Section; ++i) {
        if (m_lines[i].kind == Kind::Key && SameProfileName(m_lines[i].name, key))
            return i;
    }
    return std::string::npos;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    const std::size_t header = FindSection(section);
    if (header == std::string::npos)
        return std::nullopt;
    const std::size_t at = FindKey(header, key);
    if (at == std::string::npos)
        return std::nullopt;
    std::string_view value = Trim(std::string_view(m_lines[at].text).substr(m_lines[at].valueFrom));
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    value = value.substr(0, value.find('\0'));
    return std::string(FirstCharacters(value, kProfileTextMax));
}

bool IniDocument::IsStorableSection(std::string_view name) {
    return !name.empty() && !HasLineBreakOrNul(name) && name.find(']') == std::string_view::npos &&
           Trim(name).size() == name.size();
}

bool IniDocument::IsStorableKey(std::string_view name) {
    return !name.empty() && !HasLineBreakOrNul(name) && name.find('=') == std::string_view::npos &&
           Trim(name).size() == name.size() && name.front() != '[' && name.front() != ';';
}

bool IniDocument::IsStorableValue(std::string_view value) {
    return !HasLineBreakOrNul(value);
}

IniDocument::Edit IniDocument::Set(std::string_view section, std::string_view key,
                                   std::string_view value) {
    if (!IsStorableSection(section) || !IsStorableKey(key) || !IsStorableValue(value))
        return Edit::Refused;
    const std::string stored =
        NeedsQuotes(value) ? "\"" + std::string(value) + "\"" : std::string(value);

    const std::size_t header = FindSection(section);
    if (header == std::string::npos) {
        if (!m_lines.empty() && !Trim(m_lines.back().text).empty())
            m_lines.push_back(Classify({}));
        m_lines.push_back(Classify("[" + std::string(section) + "]"));
        m_lines.push_back(Classify(std::string(key) + "=" + stored));
        return Edit::Changed;
    }

    if (const std::size_t at = FindKey(header, key); at != std::string::npos) {
        if (Find(section, key) == value)
            return Edit::Unchanged;
        // Keep the line's own spelling and spacing up to where its value starts.
        Line& line = m_lines[at];
        std::size_t from = line.valueFrom;
        while (from < line.text.size() && (line.text[from] == ' ' || line.text[from] == '\t'))
            ++from;
        line.text = line.text.substr(0, from) + stored;
        return Edit::Changed;
    }

    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < m_lines.size() && m_lines[i].kind != Kind::Section; ++i) {
        if (m_lines[i].kind == Kind::Key)
            insertAt = i + 1;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   Classify(std::string(key) + "=" + stored));
    return Edit::Changed;
}

IniDocument::Edit IniDocument::SetInt(std::string_view section, std::string_view key,
                                      std::int32_t value) {
    // Integers read from an empty text take the caller's default, so only a non-empty text
    // can already hold the value.
    if (const auto stored = Find(section, key); stored && !stored->empty() &&
                                                ProfileIntFromText(*stored) == value &&
                                                IsStorableSection(section) && IsStorableKey(key))
        return Edit::Unchanged;
    return Set(section, key, std::to_string(value));
}

std::string IniDocument::Serialize(std::string_view lineEnd) const {
    std::string out;
    if (m_byteOrderMark)
        out += kByteOrderMark;
    for (const Line& line : m_lines) {
        out += line.text;
        out += lineEnd;
    }
    return out;
}

std::vector<std::string> IniDocument::SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : m_lines) {
        if (line.kind == Kind::Section)
            names.push_back(line.name);
    }
    return names;
}

std::vector<std::string> IniDocument::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    const std::size_t header = FindSection(section);
    if (header == std::string::npos)
        return names;
    for (std::size_t i = header + 1; i < m_lines.size() && m_lines[i].kind != Kind::Section; ++i) {
        if (m_lines[i].kind == Kind::Key)
            names.push_back(m_lines[i].name);
    }
    return names;
}

} // namespace kestrola::core
