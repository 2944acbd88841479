// kestrola-cli settings: the program has no settings window and reads its options from the
// store at start, so this is the tool that shows and changes them between runs.

#include "CliOutput.h"
#include "Commands.h"
#include "base/Text.h"
#include "platform/Platform.h"
#include "settings/AppSettings.h"
#include "settings/IniDocument.h"
#include "settings/StartupRules.h"
#include "settings/StringListSection.h"

#include <charconv>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

namespace kestrola::cli {

namespace {

using core::ProfileStore;
using core::SettingKey;
using core::SettingType;

constexpr const char* kUsage =
    "usage: kestrola-cli settings list [--ini]\n"
    "       kestrola-cli settings get [--ini] SECTION KEY\n"
    "       kestrola-cli settings set [--ini] SECTION KEY VALUE\n"
    "Without --ini the per-user store is used; --ini uses the INI file that kestrola-net\n"
    "reads when started with a letter I. The program writes every setting back when it\n"
    "exits, so change settings while it is not running.\n";

/// A key the command can address: one of the settings table or one of a list section.
struct Target {
    std::string section;
    std::string key;
    const SettingKey* setting = nullptr; // nullptr for list keys
    bool integer = false;
};

bool IsIndex(std::string_view text) {
    if (text.empty() || text.size() > 9 || (text.size() > 1 && text[0] == '0'))
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::optional<Target> Resolve(std::string_view section, std::string_view key, std::string& error) {
    if (const SettingKey* setting = core::FindSettingKey(section, key))
        return Target{std::string(setting->section), std::string(setting->key), setting,
                      setting->IsInteger()};
    for (const auto& list : core::kStringListSections) {
        if (!core::SameProfileName(list.section, section))
            continue;
        if (core::SameProfileName(key, "Count"))
            return Target{std::string(list.section), "Count", nullptr, true};
        if (IsIndex(key))
            return Target{std::string(list.section), std::string(key), nullptr, false};
        error = "the list section '" + std::string(list.section) +
                "' holds only \"Count\" and the entries 0, 1, 2, ... (not '" + std::string(key) +
                "')";
        return std::nullopt;
    }
    bool knownSection = false;
    for (const SettingKey& setting : core::kSettingKeys)
        knownSection |= core::SameProfileName(setting.section, section);
    error = knownSection ? "there is no key '" + std::string(key) + "' in section '" +
                               std::string(section) + "'"
                         : "there is no section '" + std::string(section) + "'";
    error += " (kestrola-cli settings list shows them all)";
    return std::nullopt;
}

std::unique_ptr<ProfileStore> OpenStore(const Arguments& args) {
    const auto environment = platform::CreateProcessEnvironment();
    return core::OpenStore(args.Has("ini") ? core::StoreChoice::IniFile
                                           : core::StoreChoice::PerUser,
                           *environment, core::kProgramExecutableName);
}

bool StartsWithNumber(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return false;
    text.remove_prefix(first);
    if (text[0] == '+' || text[0] == '-')
        text.remove_prefix(1);
    return !text.empty() && text[0] >= '0' && text[0] <= '9';
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string ColorText(std::int32_t value) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%06X", static_cast<unsigned>(value));
    return std::to_string(value) + " (" + hex + ")";
}

// The value as the program uses it, with a note on where it came from.
std::string DescribeSetting(const core::AppSettings& settings, const SettingKey& key,
                            const ProfileStore& store) {
    const std::optional<std::string> stored = store.Find(key.section, key.key);
    std::string line(key.key);
    line += " = ";
    if (key.IsInteger()) {
        const std::int32_t value = core::IntValue(settings, key);
        line += key.type == SettingType::Color ? ColorText(value) : std::to_string(value);
    } else {
        line += Quoted(core::TextValue(settings, key));
    }

    const bool fromDefault = !stored || (key.IsInteger() && stored->empty());
    if (fromDefault) {
        if (key.defaultColor != core::SystemColor::None)
            line += "  (default: system colour " +
                    std::string(core::SystemColorName(key.defaultColor)) + ")";
        else
            line += "  (default)";
        return line;
    }
    if (key.IsInteger()) {
        const std::int32_t read = core::ProfileIntFromText(*stored);
        if (key.type == SettingType::FontInt || key.type == SettingType::FontByte) {
            const std::int32_t kept =
                key.type == SettingType::FontByte ? static_cast<std::uint8_t>(read) : read;
            if (kept != core::IntValue(settings, key))
                return line + "  (stored " + std::to_string(read) +
                       ", reset by the font rule: FaceName is empty or not a name)";
            if (kept != read)
                return line + "  (stored " + std::to_string(read) + ", low 8 bits kept)";
        }
        if (!StartsWithNumber(*stored))
            line += "  (stored " + Quoted(*stored) + " is not a number and reads as 0)";
        return line;
    }
    if (key.type == SettingType::FaceName && *stored != settings.font.lfFaceName)
        line += settings.font.lfFaceName.empty()
                    ? "  (stored " + Quoted(*stored) + ", reset by the font rule)"
                    : "  (stored name cut to 31 characters)";
    return line;
}

int List(ProfileStore& store) {
    const core::ClassicSystemColors colors;
    ProfileStore::Batch batch(store);
    core::AppSettings settings(colors);
    settings.ReadKeys(store, colors);
    for (const SettingKey& key : core::kSettingKeys) {
        if (key.writeBack == core::WriteBack::ByCheckFirstRun)
            core::ReadKey(settings, key, store, colors);
    }

    std::printf("# %s\n", store.Location().c_str());
    std::string_view section;
    for (const SettingKey& key : core::kSettingKeys) {
        if (key.section != section) {
            section = key.section;
            std::printf("\n[%.*s]\n", static_cast<int>(section.size()), section.data());
        }
        std::printf("%s\n", DescribeSetting(settings, key, store).c_str());
    }
    for (const auto& list : core::kStringListSections) {
        std::printf("\n[%.*s]\n", static_cast<int>(list.section.size()), list.section.data());
        const auto count = store.Find(list.section, "Count");
        std::vector<std::string> entries;
        core::LoadStringList(store, entries, list.section);
        std::printf("Count = %d%s\n", store.ReadInt(list.section, "Count", 0),
                    count && !count->empty() ? "" : "  (default)");
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const bool present = store.Find(list.section, std::to_string(i)).has_value();
            std::printf("%zu = %s%s\n", i, Quoted(entries[i]).c_str(),
                        present ? "" : "  (missing: reads as empty)");
        }
    }
    return 0;
}

int Get(ProfileStore& store, const Target& target) {
    if (target.setting == nullptr) {
        if (target.integer)
            std::printf("%d\n", store.ReadInt(target.section, target.key, 0));
        else
            std::printf("%s\n", store.ReadString(target.section, target.key, "").c_str());
        return 0;
    }
    // Through the whole read, so that the font rule and the colour defaults apply.
    const core::ClassicSystemColors colors;
    ProfileStore::Batch batch(store);
    core::AppSettings settings(colors);
    settings.ReadKeys(store, colors);
    if (target.setting->writeBack == core::WriteBack::ByCheckFirstRun)
        core::ReadKey(settings, *target.setting, store, colors);
    if (target.integer)
        std::printf("%d\n", core::IntValue(settings, *target.setting));
    else
        std::printf("%s\n", core::TextValue(settings, *target.setting).c_str());
    return 0;
}

// Whole decimal numbers that fit 32 bits; colours also in hexadecimal as 0x00BBGGRR.
std::optional<std::int32_t> ParseNumber(std::string_view text, bool allowHex) {
    if (allowHex && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint32_t value = 0;
        const auto [end, ec] =
            std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
        if (ec != std::errc() || end != text.data() + text.size())
            return std::nullopt;
        return static_cast<std::int32_t>(value);
    }
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

int Set(ProfileStore& store, const Target& target, const std::string& value) {
    bool written;
    if (target.integer) {
        const bool color = target.setting != nullptr && target.setting->type == SettingType::Color;
        const auto number = ParseNumber(value, color);
        if (!number) {
            std::fprintf(stderr,
                         "kestrola-cli settings set: %s/%s takes a whole number from %d to %d%s, "
                         "not '%s'\n",
                         target.section.c_str(), target.key.c_str(),
                         std::numeric_limits<std::int32_t>::min(),
                         std::numeric_limits<std::int32_t>::max(),
                         color ? " or a colour as 0x00BBGGRR" : "", value.c_str());
            return 1;
        }
        written = store.WriteInt(target.section, target.key, *number);
    } else {
        if (!core::IniDocument::IsStorableValue(value)) {
            std::fprintf(stderr, "kestrola-cli settings set: a value cannot hold a line break "
                                 "or a NUL character\n");
            return 1;
        }
        if (target.setting != nullptr && target.setting->type == SettingType::FaceName &&
            core::FirstCharacters(value, core::kFaceNameMaxCharacters).size() != value.size()) {
            std::fprintf(stderr,
                         "kestrola-cli settings set: FaceName holds at most %zu "
                         "characters\n",
                         core::kFaceNameMaxCharacters);
            return 1;
        }
        written = store.WriteString(target.section, target.key, value);
    }
    if (!written) {
        std::fprintf(stderr, "kestrola-cli settings set: cannot write %s: %s\n",
                     store.Location().c_str(), store.Error().c_str());
        return 1;
    }
    return 0;
}

} // namespace

int RunSettingsCommand(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {}, args, error)) {
        std::fprintf(stderr, "kestrola-cli settings: %s\n", error.c_str());
        return 2;
    }
    for (const auto& option : args.options) {
        if (option.first != "ini") {
            std::fprintf(stderr, "kestrola-cli settings: unknown option --%s\n%s",
                         option.first.c_str(), kUsage);
            return 2;
        }
    }
    const auto& words = args.words;
    const std::string verb = words.empty() ? std::string() : words[0];
    const std::size_t wanted = verb == "list" ? 1 : verb == "get" ? 3 : verb == "set" ? 4 : 0;
    if (wanted == 0 || words.size() != wanted) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    const auto store = OpenStore(args);
    if (verb == "list")
        return List(*store);
    const auto target = Resolve(words[1], words[2], error);
    if (!target) {
        std::fprintf(stderr, "kestrola-cli settings %s: %s\n", verb.c_str(), error.c_str());
        return 1;
    }
    return verb == "get" ? Get(*store, *target) : Set(*store, *target, words[3]);
}

} // namespace kestrola::cli
