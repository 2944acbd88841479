#pragma once

#include "settings/ProfileStore.h"
#include "settings/SystemColors.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrola::platform {
class Shell;
}

namespace kestrola::core {

struct FirstRunCallbacks;

// Section names. Stored files depend on their spelling, which is never corrected.
inline constexpr std::string_view kSystemSettings = "SystemSettings";
inline constexpr std::string_view kEventsSettings = "EventsSettings";
inline constexpr std::string_view kColorsSettings = "ColorsSettings";
inline constexpr std::string_view kTextFontSettings = "TextFontSettings";
inline constexpr std::string_view kSendRecervieSettings = "SendRecervieSettings";

/// Most characters of a font face name; a longer stored name is cut.
inline constexpr std::size_t kFaceNameMaxCharacters = 31;

/// The font of the viewer and composer, field by field as the platform's logical-font record
/// has them: five 32-bit integers, eight bytes and the face name.
struct LogFont {
    std::int32_t lfHeight = 0;
    std::int32_t lfWidth = 0;
    std::int32_t lfEscapement = 0;
    std::int32_t lfOrientation = 0;
    std::int32_t lfWeight = 0;
    std::uint8_t lfItalic = 0;
    std::uint8_t lfUnderline = 0;
    std::uint8_t lfStrikeOut = 0;
    std::uint8_t lfCharSet = 0;
    std::uint8_t lfOutPrecision = 0;
    std::uint8_t lfClipPrecision = 0;
    std::uint8_t lfQuality = 0;
    std::uint8_t lfPitchAndFamily = 0;
    std::string lfFaceName; ///< at most kFaceNameMaxCharacters characters

    bool operator==(const LogFont&) const = default;
};

/// Resets the whole record to zero when the face name's first byte, taken as a signed 8-bit
/// number, is below 0x20 (empty name, control character, byte 0x80 or above).
void ApplyFontRule(LogFont& font);

/// Every option kept between runs, one field per key of the settings table below. Read once
/// when the main window is built, constant while the program runs, written back at its end.
struct AppSettings {
    /// Every field at its table default, colours from the classic scheme.
    AppSettings();
    /// Every field at its table default, colours from `colors`.
    explicit AppSettings(const SystemColors& colors);

    // "SystemSettings"
    std::int32_t flatButtons = 0;
    std::int32_t confirmationOnExit = 0;
    std::int32_t toolTips = 0;
    std::int32_t minimizeOnESC = 0;
    std::int32_t minimizeToTray = 0;
    std::int32_t alwaysOnTop = 0;
    std::int32_t checkNetworkIfReply = 0;
    std::string skinFileName;
    std::int32_t blinkTrayIcon = 0;
    std::int32_t minimizeOnLast = 0;
    std::int32_t runMinimized = 0;
    std::int32_t scrollLock = 0;
    std::int32_t hotKey = 0;
    std::int32_t send2AllConfirmation = 0;
    std::int32_t fastScan = 0;
    std::int32_t noClose = 0;
    std::int32_t messengerWarnings = 0;
    std::string currentVersion; ///< as read by CheckFirstRun

    // "EventsSettings"
    std::int32_t autoShowNewMSG = 0;
    std::int32_t upWindowOnPopup = 0;
    std::int32_t upWindowOnPersonal = 0;
    std::int32_t enableGroupSound = 0;
    std::int32_t enablePersonalSound = 0;
    std::int32_t enableSendSound = 0;
    std::string personalSoundFile;
    std::string groupSoundFile;
    std::string sendSoundFile;
    std::int32_t customSounds = 0;
    std::int32_t desktopNotification = 0; ///< a desktop notification for a message unseen

    // "ColorsSettings"
    ColorRef backgroundTextColor = 0;
    ColorRef textColor = 0;
    ColorRef buttonInactiveBgColor = 0;
    ColorRef buttonInactiveFgColor = 0;
    ColorRef buttonActiveFgColor = 0;
    ColorRef buttonActiveBgColor = 0;
    ColorRef buttonFocusColor = 0;
    ColorRef backgroundWindowColor = 0;
    ColorRef foregroundWindowColor = 0;

    // "TextFontSettings"
    LogFont font;

    // "SendRecervieSettings"
    std::string baseFileName;
    std::string historyFileName;
    std::int32_t dublicateMessagesTimeOut = 0;
    std::int32_t succesMessageTimeOut = 0;
    std::int32_t minimiseAfterSend = 0;
    std::int32_t expandAfter = 0;
    std::int32_t includeSendedInBase = 0;
    std::int32_t historyLenght = 0;
    std::int32_t clearTextBox = 0;
    std::int32_t excludeDoubleReply = 0;
    std::int32_t clearSelected = 0;
    std::int32_t history = 0;

    /// The flag in `field` by its key's own test: equal to 1 for some keys, non-zero for
    /// others (so 2 is on for "FlatButtons" and off for "MinimizeOnESC"); keys without a
    /// test count as on when non-zero.
    bool IsOn(std::int32_t AppSettings::*field) const;

    /// Reads every key of the five sections except "CurrentVersion", in table order, then
    /// applies the font rule. Missing keys take their defaults, colours from `colors`.
    void ReadKeys(const ProfileStore& store, const SystemColors& colors);
    /// ReadKeys in one batch, then publishes the process-wide values and runs CheckFirstRun
    /// (which may ask the update question and show the About box through `firstRun`).
    void LoadSettings(ProfileStore& store, const SystemColors& colors,
                      const FirstRunCallbacks& firstRun, platform::Shell& shell);
    /// Writes back every key marked so, in the save order, in one batch; the result is false
    /// when the store could not be written (the program ignores it).
    bool SaveSettings(ProfileStore& store) const;
};

/// How a key is stored and where its value lives.
enum class SettingType { Int, Text, Color, FontInt, FontByte, FaceName };
/// Whether SaveSettings writes a key back.
enum class WriteBack { Yes, No, ByCheckFirstRun };
/// The test that the users of a flag apply.
enum class FlagTest { None, EqualsOne, NonZero };

/// One key of the settings table.
struct SettingKey {
    std::string_view section;
    std::string_view key;
    SettingType type = SettingType::Int;
    std::int32_t defaultInt = 0;  ///< Int, Font*, and Color without a system default
    std::string_view defaultText; ///< Text, FaceName
    SystemColor defaultColor = SystemColor::None; ///< Color keys defaulting to a system colour
    WriteBack writeBack = WriteBack::Yes;
    FlagTest test = FlagTest::None;
    std::int32_t AppSettings::*intField = nullptr;
    std::string AppSettings::*textField = nullptr;
    ColorRef AppSettings::*colorField = nullptr;
    std::int32_t LogFont::*fontInt = nullptr;
    std::uint8_t LogFont::*fontByte = nullptr;

    /// True for keys stored as integers (Int, Color, FontInt, FontByte).
    constexpr bool IsInteger() const {
        return type != SettingType::Text && type != SettingType::FaceName;
    }
};

namespace settings_table {

constexpr SettingKey Int(std::string_view section, std::string_view key, std::int32_t fallback,
                         FlagTest test, std::int32_t AppSettings::*field,
                         WriteBack writeBack = WriteBack::Yes) {
    SettingKey k;
    k.section = section;
    k.key = key;
    k.defaultInt = fallback;
    k.test = test;
    k.intField = field;
    k.writeBack = writeBack;
    return k;
}

constexpr SettingKey Text(std::string_view section, std::string_view key, std::string_view fallback,
                          std::string AppSettings::*field, WriteBack writeBack = WriteBack::Yes) {
    SettingKey k;
    k.section = section;
    k.key = key;
    k.type = SettingType::Text;
    k.defaultText = fallback;
    k.textField = field;
    k.writeBack = writeBack;
    return k;
}

constexpr SettingKey Color(std::string_view key, SystemColor fallback,
                           ColorRef AppSettings::*field) {
    SettingKey k;
    k.section = kColorsSettings;
    k.key = key;
    k.type = SettingType::Color;
    k.defaultColor = fallback;
    k.colorField = field;
    return k;
}

constexpr SettingKey Color(std::string_view key, ColorRef fallback, ColorRef AppSettings::*field) {
    SettingKey k = Color(key, SystemColor::None, field);
    k.defaultInt = static_cast<std::int32_t>(fallback);
    return k;
}

constexpr SettingKey FontInt(std::string_view key, std::int32_t LogFont::*field) {
    SettingKey k;
    k.section = kTextFontSettings;
    k.key = key;
    k.type = SettingType::FontInt;
    k.fontInt = field;
    return k;
}

constexpr SettingKey FontByte(std::string_view key, std::uint8_t LogFont::*field) {
    SettingKey k = FontInt(key, nullptr);
    k.type = SettingType::FontByte;
    k.fontByte = field;
    return k;
}

constexpr SettingKey FaceName() {
    SettingKey k = FontInt("FaceName", nullptr);
    k.type = SettingType::FaceName;
    return k;
}

using enum FlagTest;
using A = AppSettings;
using F = LogFont;

/// Every key of the five sections, letter for letter, in the order LoadSettings reads them.
inline constexpr SettingKey kKeys[] = {
    // clang-format off
    Int(kSystemSettings, "FlatButtons", 1, NonZero, &A::flatButtons),
    Int(kSystemSettings, "ConfirmationOnExit", 0, NonZero, &A::confirmationOnExit),
    Int(kSystemSettings, "ToolTips", 1, NonZero, &A::toolTips),
    Int(kSystemSettings, "MinimizeOnESC", 1, EqualsOne, &A::minimizeOnESC),
    Int(kSystemSettings, "MinimizeToTray", 1, EqualsOne, &A::minimizeToTray),
    Int(kSystemSettings, "AlwaysOnTop", 0, NonZero, &A::alwaysOnTop),
    Int(kSystemSettings, "CheckNetworkIfReply", 1, NonZero, &A::checkNetworkIfReply),
    Text(kSystemSettings, "SkinFileName", "default.skn", &A::skinFileName),
    Int(kSystemSettings, "BlinkTrayIcon", 1, EqualsOne, &A::blinkTrayIcon),
    Int(kSystemSettings, "MinimizeOnLast", 1, None, &A::minimizeOnLast),
    Int(kSystemSettings, "RunMinimized", 0, EqualsOne, &A::runMinimized),
    Int(kSystemSettings, "ScrollLock", 0, None, &A::scrollLock),
    Int(kSystemSettings, "HotKey", 1, EqualsOne, &A::hotKey),
    Int(kSystemSettings, "Send2AllConfirmation", 1, None, &A::send2AllConfirmation, WriteBack::No),
    Int(kSystemSettings, "FastScan", 1, None, &A::fastScan),
    Int(kSystemSettings, "NoClose", 0, NonZero, &A::noClose),
    Int(kSystemSettings, "MessengerWarnings", 0, NonZero, &A::messengerWarnings),
    Text(kSystemSettings, "CurrentVersion", "", &A::currentVersion, WriteBack::ByCheckFirstRun),

    Int(kEventsSettings, "AutoShowNewMSG", 1, EqualsOne, &A::autoShowNewMSG),
    Int(kEventsSettings, "UpWindowOnPopup", 1, EqualsOne, &A::upWindowOnPopup),
    Int(kEventsSettings, "UpWindowOnPersonal", 1, EqualsOne, &A::upWindowOnPersonal),
    Int(kEventsSettings, "EnableGroupSound", 1, EqualsOne, &A::enableGroupSound),
    Int(kEventsSettings, "EnablePersonalSound", 1, EqualsOne, &A::enablePersonalSound),
    Int(kEventsSettings, "EnableSendSound", 1, EqualsOne, &A::enableSendSound),
    Text(kEventsSettings, "PersonalSoundFile", "personal.wav", &A::personalSoundFile),
    Text(kEventsSettings, "GroupSoundFile", "group.wav", &A::groupSoundFile),
    Text(kEventsSettings, "SendSoundFile", "send.wav", &A::sendSoundFile),
    Int(kEventsSettings, "CustomSounds", 0, None, &A::customSounds),
    Int(kEventsSettings, "DesktopNotification", 1, NonZero, &A::desktopNotification),

    Color("BackgroundTextColor", SystemColor::Window, &A::backgroundTextColor),
    Color("TextColor", SystemColor::WindowText, &A::textColor),
    Color("ButtonInactiveBgColor", SystemColor::ButtonFace, &A::buttonInactiveBgColor),
    Color("ButtonInactiveFgColor", SystemColor::ButtonText, &A::buttonInactiveFgColor),
    Color("ButtonActiveFgColor", SystemColor::ButtonText, &A::buttonActiveFgColor),
    Color("ButtonActiveBgColor", SystemColor::ButtonFace, &A::buttonActiveBgColor),
    Color("ButtonFocusColor", SystemColor::ButtonText, &A::buttonFocusColor),
    Color("BackgroundWindowColor", Rgb(192, 192, 192), &A::backgroundWindowColor),
    Color("ForegroundWindowColor", Rgb(77, 77, 77), &A::foregroundWindowColor),

    FontInt("lfHeight", &F::lfHeight),
    FontInt("lfWidth", &F::lfWidth),
    FontInt("lfEscapement", &F::lfEscapement),
    FontInt("lfOrientation", &F::lfOrientation),
    FontInt("lfWeight", &F::lfWeight),
    FontByte("lfItalic", &F::lfItalic),
    FontByte("lfUnderline", &F::lfUnderline),
    FontByte("lfStrikeOut", &F::lfStrikeOut),
    FontByte("lfCharSet", &F::lfCharSet),
    FontByte("lfOutPrecision", &F::lfOutPrecision),
    FontByte("lfClipPrecision", &F::lfClipPrecision),
    FontByte("lfQuality", &F::lfQuality),
    FontByte("lfPitchAndFamily", &F::lfPitchAndFamily),
    FaceName(),

    Text(kSendRecervieSettings, "BaseFileName", "Murmeli.msg", &A::baseFileName),
    Text(kSendRecervieSettings, "HistoryFileName", "Murmeli.txt", &A::historyFileName),
    Int(kSendRecervieSettings, "DublicateMessagesTimeOut", 2, None, &A::dublicateMessagesTimeOut),
    Int(kSendRecervieSettings, "SuccesMessageTimeOut", 1, None, &A::succesMessageTimeOut),
    Int(kSendRecervieSettings, "MinimiseAfterSend", 0, EqualsOne, &A::minimiseAfterSend),
    Int(kSendRecervieSettings, "ExpandAfter", 0, EqualsOne, &A::expandAfter),
    Int(kSendRecervieSettings, "IncludeSendedInBase", 0, EqualsOne, &A::includeSendedInBase),
    Int(kSendRecervieSettings, "HistoryLenght", 7, None, &A::historyLenght),
    Int(kSendRecervieSettings, "ClearTextBox", 0, EqualsOne, &A::clearTextBox),
    Int(kSendRecervieSettings, "ExcludeDoubleReply", 1, None, &A::excludeDoubleReply),
    Int(kSendRecervieSettings, "ClearSelected", 1, EqualsOne, &A::clearSelected),
    Int(kSendRecervieSettings, "History", 0, EqualsOne, &A::history),
    // clang-format on
};

} // namespace settings_table

/// Every key of the five sections, letter for letter, with type, default and write-back, in
/// the order LoadSettings reads them. Stored files depend on the spelling: never correct it.
inline constexpr const auto& kSettingKeys = settings_table::kKeys;

/// A key by its section and name.
struct SettingName {
    std::string_view section;
    std::string_view key;
};

/// The order in which SaveSettings writes the keys back.
inline constexpr SettingName kSaveOrder[] = {
    {kSystemSettings, "FlatButtons"},
    {kSystemSettings, "ToolTips"},
    {kSystemSettings, "MinimizeOnESC"},
    {kSystemSettings, "ConfirmationOnExit"},
    {kSystemSettings, "MinimizeToTray"},
    {kSystemSettings, "AlwaysOnTop"},
    {kSystemSettings, "CheckNetworkIfReply"},
    {kSystemSettings, "SkinFileName"},
    {kSystemSettings, "BlinkTrayIcon"},
    {kSystemSettings, "MinimizeOnLast"},
    {kSystemSettings, "RunMinimized"},
    {kSystemSettings, "ScrollLock"},
    {kSystemSettings, "HotKey"},
    {kSystemSettings, "FastScan"},
    {kSystemSettings, "NoClose"},
    {kSystemSettings, "MessengerWarnings"},
    {kSendRecervieSettings, "BaseFileName"},
    {kSendRecervieSettings, "HistoryFileName"},
    {kSendRecervieSettings, "DublicateMessagesTimeOut"},
    {kSendRecervieSettings, "SuccesMessageTimeOut"},
    {kSendRecervieSettings, "IncludeSendedInBase"},
    {kSendRecervieSettings, "MinimiseAfterSend"},
    {kSendRecervieSettings, "ExpandAfter"},
    {kSendRecervieSettings, "HistoryLenght"},
    {kSendRecervieSettings, "ClearTextBox"},
    {kSendRecervieSettings, "ExcludeDoubleReply"},
    {kSendRecervieSettings, "ClearSelected"},
    {kSendRecervieSettings, "History"},
    {kEventsSettings, "AutoShowNewMSG"},
    {kEventsSettings, "UpWindowOnPopup"},
    {kEventsSettings, "EnableGroupSound"},
    {kEventsSettings, "EnablePersonalSound"},
    {kEventsSettings, "EnableSendSound"},
    {kEventsSettings, "PersonalSoundFile"},
    {kEventsSettings, "GroupSoundFile"},
    {kEventsSettings, "SendSoundFile"},
    {kEventsSettings, "UpWindowOnPersonal"},
    {kEventsSettings, "CustomSounds"},
    {kEventsSettings, "DesktopNotification"},
    {kColorsSettings, "BackgroundTextColor"},
    {kColorsSettings, "TextColor"},
    {kColorsSettings, "BackgroundWindowColor"},
    {kColorsSettings, "ForegroundWindowColor"},
    {kColorsSettings, "ButtonInactiveBgColor"},
    {kColorsSettings, "ButtonInactiveFgColor"},
    {kColorsSettings, "ButtonActiveFgColor"},
    {kColorsSettings, "ButtonActiveBgColor"},
    {kColorsSettings, "ButtonFocusColor"},
    {kTextFontSettings, "lfHeight"},
    {kTextFontSettings, "lfWidth"},
    {kTextFontSettings, "lfEscapement"},
    {kTextFontSettings, "lfOrientation"},
    {kTextFontSettings, "lfWeight"},
    {kTextFontSettings, "lfItalic"},
    {kTextFontSettings, "lfUnderline"},
    {kTextFontSettings, "lfStrikeOut"},
    {kTextFontSettings, "lfCharSet"},
    {kTextFontSettings, "lfOutPrecision"},
    {kTextFontSettings, "lfClipPrecision"},
    {kTextFontSettings, "lfQuality"},
    {kTextFontSettings, "lfPitchAndFamily"},
    {kTextFontSettings, "FaceName"},
};

namespace settings_table {

constexpr bool ExactlyOnceInSaveOrder(const SettingKey& k) {
    int seen = 0;
    for (const SettingName& name : kSaveOrder)
        seen += name.section == k.section && name.key == k.key ? 1 : 0;
    return seen == (k.writeBack == WriteBack::Yes ? 1 : 0);
}

constexpr bool SaveOrderMatchesTable() {
    for (const SettingKey& k : kSettingKeys) {
        if (!ExactlyOnceInSaveOrder(k))
            return false;
    }
    std::size_t writtenBack = 0;
    for (const SettingKey& k : kSettingKeys)
        writtenBack += k.writeBack == WriteBack::Yes ? 1 : 0;
    return writtenBack == std::size(kSaveOrder);
}

} // namespace settings_table

static_assert(settings_table::SaveOrderMatchesTable(),
              "the save order must name every written-back key once and nothing else");

/// The table entry of `section`/`key`, names matched without regard to case; nullptr when the
/// table has no such key.
const SettingKey* FindSettingKey(std::string_view section, std::string_view key);
/// The table entry whose value lives in `field`; nullptr when none does.
const SettingKey* FindSettingKey(std::int32_t AppSettings::*field);

/// The value of an integer key as it is written to the store.
std::int32_t IntValue(const AppSettings& settings, const SettingKey& key);
/// The value of a text key.
const std::string& TextValue(const AppSettings& settings, const SettingKey& key);
/// Reads one key into its field; a missing key gives its default (colours from `colors`).
/// A face name is cut to kFaceNameMaxCharacters; font bytes keep the low 8 bits.
void ReadKey(AppSettings& settings, const SettingKey& key, const ProfileStore& store,
             const SystemColors& colors);
/// Writes one key's field to the store.
bool WriteKey(const AppSettings& settings, const SettingKey& key, ProfileStore& store);

/// The button colours in their process-wide order.
struct ButtonColorBlock {
    ColorRef inactiveBackground = 0;
    ColorRef activeBackground = 0;
    ColorRef inactiveText = 0;
    ColorRef activeText = 0;
    ColorRef focus = 0;

    bool operator==(const ButtonColorBlock&) const = default;
};

} // namespace kestrola::core
