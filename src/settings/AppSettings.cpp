#include "settings/AppSettings.h"

#include "base/Text.h"
#include "settings/FirstRun.h"
#include "settings/IniDocument.h"

namespace kestrola::core {

namespace {

ColorRef DefaultColor(const SettingKey& key, const SystemColors& colors) {
    return key.defaultColor == SystemColor::None ? static_cast<ColorRef>(key.defaultInt)
                                                 : colors.Get(key.defaultColor);
}

void ApplyDefaults(AppSettings& settings, const SystemColors& colors) {
    for (const SettingKey& key : kSettingKeys) {
        switch (key.type) {
        case SettingType::Int:
            settings.*key.intField = key.defaultInt;
            break;
        case SettingType::Text:
            settings.*key.textField = key.defaultText;
            break;
        case SettingType::Color:
            settings.*key.colorField = DefaultColor(key, colors);
            break;
        case SettingType::FontInt:
            settings.font.*key.fontInt = key.defaultInt;
            break;
        case SettingType::FontByte:
            settings.font.*key.fontByte = static_cast<std::uint8_t>(key.defaultInt);
            break;
        case SettingType::FaceName:
            settings.font.lfFaceName = key.defaultText;
            break;
        }
    }
}

} // namespace

void ApplyFontRule(LogFont& font) {
    const signed char first =
        font.lfFaceName.empty() ? 0 : static_cast<signed char>(font.lfFaceName.front());
    if (first < 0x20)
        font = LogFont{};
}

AppSettings::AppSettings() : AppSettings(ClassicSystemColors{}) {}

AppSettings::AppSettings(const SystemColors& colors) {
    ApplyDefaults(*this, colors);
}

bool AppSettings::IsOn(std::int32_t AppSettings::*field) const {
    const std::int32_t value = this->*field;
    const SettingKey* key = FindSettingKey(field);
    if (key != nullptr && key->test == FlagTest::EqualsOne)
        return value == 1;
    return value != 0;
}

const SettingKey* FindSettingKey(std::string_view section, std::string_view key) {
    for (const SettingKey& entry : kSettingKeys) {
        if (SameProfileName(entry.section, section) && SameProfileName(entry.key, key))
            return &entry;
    }
    return nullptr;
}

const SettingKey* FindSettingKey(std::int32_t AppSettings::*field) {
    for (const SettingKey& entry : kSettingKeys) {
        if (entry.type == SettingType::Int && entry.intField == field)
            return &entry;
    }
    return nullptr;
}

std::int32_t IntValue(const AppSettings& settings, const SettingKey& key) {
    switch (key.type) {
    case SettingType::Int:
        return settings.*key.intField;
    case SettingType::Color:
        return static_cast<std::int32_t>(settings.*key.colorField);
    case SettingType::FontInt:
        return settings.font.*key.fontInt;
    case SettingType::FontByte:
        return settings.font.*key.fontByte;
    case SettingType::Text:
    case SettingType::FaceName:
        break;
    }
    return 0;
}

const std::string& TextValue(const AppSettings& settings, const SettingKey& key) {
    static const std::string none;
    switch (key.type) {
    case SettingType::Text:
        return settings.*key.textField;
    case SettingType::FaceName:
        return settings.font.lfFaceName;
    default:
        return none;
    }
}

void ReadKey(AppSettings& settings, const SettingKey& key, const ProfileStore& store,
             const SystemColors& colors) {
    switch (key.type) {
    case SettingType::Int:
        settings.*key.intField = store.ReadInt(key.section, key.key, key.defaultInt);
        break;
    case SettingType::Text:
        settings.*key.textField = store.ReadString(key.section, key.key, key.defaultText);
        break;
    case SettingType::Color:
        settings.*key.colorField = static_cast<ColorRef>(store.ReadInt(
            key.section, key.key, static_cast<std::int32_t>(DefaultColor(key, colors))));
        break;
    case SettingType::FontInt:
        settings.font.*key.fontInt = store.ReadInt(key.section, key.key, key.defaultInt);
        break;
    case SettingType::FontByte:
        settings.font.*key.fontByte =
            static_cast<std::uint8_t>(store.ReadInt(key.section, key.key, key.defaultInt));
        break;
    case SettingType::FaceName:
        // The record's face-name field holds 31 characters and its terminator.
        settings.font.lfFaceName = std::string(FirstCharacters(
            store.ReadString(key.section, key.key, key.defaultText), kFaceNameMaxCharacters));
        break;
    }
}

bool WriteKey(const AppSettings& settings, const SettingKey& key, ProfileStore& store) {
    if (key.IsInteger())
        return store.WriteInt(key.section, key.key, IntValue(settings, key));
    return store.WriteString(key.section, key.key, TextValue(settings, key));
}

void AppSettings::ReadKeys(const ProfileStore& store, const SystemColors& colors) {
    for (const SettingKey& key : kSettingKeys) {
        if (key.writeBack != WriteBack::ByCheckFirstRun)
            ReadKey(*this, key, store, colors);
    }
    ApplyFontRule(font);
}

void AppSettings::LoadSettings(ProfileStore& store, const SystemColors& colors,
                               const FirstRunCallbacks& firstRun, platform::Shell& shell) {
    {
        ProfileStore::Batch batch(store);
        ReadKeys(store, colors);
    }
    CheckFirstRun(store, firstRun, shell, &currentVersion);
}

bool AppSettings::SaveSettings(ProfileStore& store) const {
    ProfileStore::Batch batch(store);
    bool written = true;
    for (const SettingName& name : kSaveOrder)
        written &= WriteKey(*this, *FindSettingKey(name.section, name.key), store);
    return batch.End() && written;
}

} // namespace kestrola::core
