// Arbitrary bytes as a settings file: every key read, two writes, and the written file read
// again. The written keys must read back as written and every other key as before.

#include "settings/IniDocument.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using kestrola::core::IniDocument;
using kestrola::core::ProfileIntFromText;

namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

struct Seen {
    std::string section;
    std::string key;
    std::optional<std::string> value;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniDocument document(bytes);

    std::vector<Seen> seen;
    for (const std::string& section : document.SectionNames()) {
        for (const std::string& key : document.KeyNames(section)) {
            auto value = document.Find(section, key);
            if (!value)
                std::abort(); // a listed key must be found
            ProfileIntFromText(*value);
            seen.push_back({section, key, std::move(value)});
        }
    }

    // A text write to one of the keys found (or a new one) with a value from the input's tail,
    // and an integer write to a key of its own.
    Seen text = seen.empty() ? Seen{"Fuzz", "Text", {}} : seen[size % seen.size()];
    std::string value(bytes.substr(size - std::min<std::size_t>(size, 12)));
    if (!IniDocument::IsStorableValue(value))
        value = "  written  ";
    const auto textEdit = document.Set(text.section, text.key, value);
    const std::int32_t number = static_cast<std::int32_t>(size * 2654435761u);
    if (document.SetInt("FuzzNumbers", "Number", number) == IniDocument::Edit::Refused)
        std::abort();

    const IniDocument reread(document.Serialize("\r\n"));
    if (textEdit != IniDocument::Edit::Refused && reread.Find(text.section, text.key) != value)
        std::abort();
    const auto stored = reread.Find("FuzzNumbers", "Number");
    if (!stored || stored->empty() || ProfileIntFromText(*stored) != number)
        std::abort();
    for (const Seen& other : seen) {
        const bool written =
            (SameName(other.section, text.section) && SameName(other.key, text.key)) ||
            (SameName(other.section, "FuzzNumbers") && SameName(other.key, "Number"));
        if (!written && reread.Find(other.section, other.key) != other.value)
            std::abort();
    }
    return 0;
}
