#include "platform/linux/LinuxShellNamespace.h"

#include "platform/NaturalOrder.h"
#include "platform/Platform.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <memory>

namespace kestrola::platform {

namespace {

// The attributes a listing needs: what the object is, how it is called and drawn, whether it
// is hidden, and where a network place or mountable leads.
constexpr const char* kListAttributes = G_FILE_ATTRIBUTE_STANDARD_TYPE
    "," G_FILE_ATTRIBUTE_STANDARD_NAME "," G_FILE_ATTRIBUTE_STANDARD_DISPLAY_NAME
    "," G_FILE_ATTRIBUTE_STANDARD_ICON "," G_FILE_ATTRIBUTE_STANDARD_IS_HIDDEN
    "," G_FILE_ATTRIBUTE_STANDARD_IS_BACKUP "," G_FILE_ATTRIBUTE_STANDARD_TARGET_URI
    "," G_FILE_ATTRIBUTE_MOUNTABLE_CAN_MOUNT;
constexpr const char* kProbeAttributes = G_FILE_ATTRIBUTE_STANDARD_TYPE
    "," G_FILE_ATTRIBUTE_STANDARD_NAME "," G_FILE_ATTRIBUTE_STANDARD_IS_HIDDEN
    "," G_FILE_ATTRIBUTE_STANDARD_IS_BACKUP;
constexpr const char* kMenuAttributes =
    G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE "," G_FILE_ATTRIBUTE_STANDARD_FAST_CONTENT_TYPE;
// A folder with this many entries and no folder among them is taken to hold folders: looking
// further would make listing a large folder slow, and an expansion that finds none is harmless.
constexpr int kProbeLimit = 2048;

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, ObjectUnref>;

struct FreeString {
    void operator()(gchar* text) const { g_free(text); }
};
using OwnedString = std::unique_ptr<gchar, FreeString>;

class Error {
public:
    Error() = default;
    ~Error() {
        if (m_error != nullptr)
            g_error_free(m_error);
    }
    Error(const Error&) = delete;
    Error& operator=(const Error&) = delete;

    GError** out() { return &m_error; }
    int code() const { return m_error != nullptr ? m_error->code : G_IO_ERROR_FAILED; }
    ShellStatus status() const { return {false, code()}; }

private:
    GError* m_error = nullptr;
};

std::string Text(const gchar* text) {
    return text != nullptr ? std::string(text) : std::string();
}

std::string OwnedText(gchar* text) {
    OwnedString owned(text);
    return Text(owned.get());
}

GObjectPtr<GFile> FileFor(const std::string& location) {
    return GObjectPtr<GFile>(g_file_new_for_uri(location.c_str()));
}

bool IsHidden(GFileInfo* info) {
    return g_file_info_get_attribute_boolean(info, G_FILE_ATTRIBUTE_STANDARD_IS_HIDDEN) ||
           g_file_info_get_attribute_boolean(info, G_FILE_ATTRIBUTE_STANDARD_IS_BACKUP);
}

GFileType TypeOf(GFileInfo* info) {
    return static_cast<GFileType>(
        g_file_info_get_attribute_uint32(info, G_FILE_ATTRIBUTE_STANDARD_TYPE));
}

std::vector<std::string> IconNames(GFileInfo* info) {
    std::vector<std::string> names;
    GObject* icon = g_file_info_get_attribute_object(info, G_FILE_ATTRIBUTE_STANDARD_ICON);
    if (icon == nullptr || !G_IS_THEMED_ICON(icon))
        return names;
    const gchar* const* themed = g_themed_icon_get_names(G_THEMED_ICON(icon));
    for (; themed != nullptr && *themed != nullptr; ++themed)
        names.emplace_back(*themed);
    return names;
}

// Whether a local folder holds a visible folder, looking at no more than kProbeLimit entries.
bool HoldsFolder(GFile* folder) {
    Error error;
    GObjectPtr<GFileEnumerator> children(g_file_enumerate_children(
        folder, kProbeAttributes, G_FILE_QUERY_INFO_NONE, nullptr, error.out()));
    if (!children)
        return false;
    for (int seen = 0; seen < kProbeLimit; ++seen) {
        GFileInfo* info = nullptr;
        if (!g_file_enumerator_iterate(children.get(), &info, nullptr, nullptr, nullptr) ||
            info == nullptr)
            return false;
        if (TypeOf(info) == G_FILE_TYPE_DIRECTORY && !IsHidden(info))
            return true;
    }
    return true;
}

std::string FolderUri(const std::string& path) {
    return OwnedText(g_filename_to_uri(path.c_str(), nullptr, nullptr));
}

} // namespace

LinuxShellNamespaceOptions LinuxShellNamespaceOptions::FromEnvironment() {
    LinuxShellNamespaceOptions options;
    options.desktopFolder = Text(g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP));
    options.homeFolder = Text(g_get_home_dir());
    return options;
}

std::optional<std::string> LinuxShellNamespace::SpecialFolderLocation(int folderId) {
    if (folderId == kNetworkPlacesFolder)
        return m_options.networkLocation;
    return std::nullopt;
}

std::string LinuxShellNamespace::DesktopLocation() {
    if (!m_options.desktopFolder.empty() &&
        g_file_test(m_options.desktopFolder.c_str(), G_FILE_TEST_IS_DIR))
        return FolderUri(m_options.desktopFolder);
    return FolderUri(m_options.homeFolder);
}

ShellListing LinuxShellNamespace::EnumerateFolder(const std::string& location) {
    ShellListing listing;
    GObjectPtr<GFile> folder = FileFor(location);
    Error error;
    GObjectPtr<GFileEnumerator> children(g_file_enumerate_children(
        folder.get(), kListAttributes, G_FILE_QUERY_INFO_NONE, nullptr, error.out()));
    if (!children) {
        listing.status = error.status();
        return listing;
    }
    // A listing that breaks off keeps what came before, as a folder view would show it.
    for (;;) {
        GFileInfo* info = nullptr;
        GFile* child = nullptr;
        if (!g_file_enumerator_iterate(children.get(), &info, &child, nullptr, nullptr) ||
            info == nullptr)
            break;
        if (IsHidden(info))
            continue;
        ShellEntry entry;
        const GFileType type = TypeOf(info);
        const std::string target =
            Text(g_file_info_get_attribute_string(info, G_FILE_ATTRIBUTE_STANDARD_TARGET_URI));
        const bool place = type == G_FILE_TYPE_MOUNTABLE || type == G_FILE_TYPE_SHORTCUT;
        entry.isFolder = type == G_FILE_TYPE_DIRECTORY || type == G_FILE_TYPE_MOUNTABLE ||
                         (type == G_FILE_TYPE_SHORTCUT && !target.empty());
        entry.name =
            Text(g_file_info_get_attribute_byte_string(info, G_FILE_ATTRIBUTE_STANDARD_NAME));
        std::string display =
            Text(g_file_info_get_attribute_string(info, G_FILE_ATTRIBUTE_STANDARD_DISPLAY_NAME));
        if (display.empty())
            display = OwnedText(g_filename_display_name(entry.name.c_str()));
        entry.displayName = CutDisplayName(display, kDisplayNameMax);
        entry.location = place && !target.empty() ? target : OwnedText(g_file_get_uri(child));
        entry.iconNames = IconNames(info);
        entry.openIconNames = entry.iconNames;
        if (type == G_FILE_TYPE_DIRECTORY)
            entry.openIconNames.insert(entry.openIconNames.begin(), "folder-open");
        // Network places are containers; remote folders are not looked into, which would cost
        // a round trip per folder.
        if (place)
            entry.hasSubFolders = entry.isFolder;
        else if (type == G_FILE_TYPE_DIRECTORY)
            entry.hasSubFolders = !g_file_is_native(child) || HoldsFolder(child);
        listing.entries.push_back(std::move(entry));
    }
    return listing;
}

int LinuxShellNamespace::CompareEntries(const ShellEntry& first, const ShellEntry& second) {
    if (const int order =
            CompareNaturalOrder(FoldForOrder(first.displayName), FoldForOrder(second.displayName));
        order != 0)
        return order;
    // Names equal but for case keep one order from sort to sort.
    if (const int order = CompareNaturalOrder(first.displayName, second.displayName); order != 0)
        return order;
    return CompareNaturalOrder(first.name, second.name);
}

ShellMenu LinuxShellNamespace::QueryContextMenu(const ShellEntry& entry) {
    ShellMenu menu;
    GObjectPtr<GFile> file = FileFor(entry.location);
    Error error;
    GObjectPtr<GFileInfo> info(g_file_query_info(file.get(), kMenuAttributes,
                                                 G_FILE_QUERY_INFO_NONE, nullptr, error.out()));
    if (!info) {
        menu.status = error.status();
        return menu;
    }
    std::string type =
        Text(g_file_info_get_attribute_string(info.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE));
    if (type.empty())
        type = Text(g_file_info_get_attribute_string(info.get(),
                                                     G_FILE_ATTRIBUTE_STANDARD_FAST_CONTENT_TYPE));

    menu.commands.push_back({ShellCommand::Kind::Open, "Open", {}, {}});
    if (!type.empty()) {
        GList* applications = g_app_info_get_all_for_type(type.c_str());
        for (GList* item = applications; item != nullptr; item = item->next) {
            GAppInfo* application = G_APP_INFO(item->data);
            const char* id = g_app_info_get_id(application);
            if (id == nullptr)
                continue;
            menu.commands.push_back({ShellCommand::Kind::OpenWith,
                                     "Open With " + Text(g_app_info_get_name(application)),
                                     id,
                                     {}});
        }
        g_list_free_full(applications, g_object_unref);
    }
    menu.commands.push_back({ShellCommand::Kind::CopyLocation,
                             "Copy Location",
                             {},
                             OwnedText(g_file_get_parse_name(file.get()))});
    return menu;
}

ShellStatus LinuxShellNamespace::InvokeCommand(const ShellEntry& entry,
                                               const ShellCommand& command) {
    Error error;
    switch (command.kind) {
    case ShellCommand::Kind::Open:
        if (!g_app_info_launch_default_for_uri(entry.location.c_str(), nullptr, error.out()))
            return error.status();
        return {};
    case ShellCommand::Kind::OpenWith: {
        GObjectPtr<GDesktopAppInfo> application(
            g_desktop_app_info_new(command.application.c_str()));
        if (!application)
            return {false, G_IO_ERROR_NOT_FOUND};
        GList uris{const_cast<char*>(entry.location.c_str()), nullptr, nullptr};
        if (!g_app_info_launch_uris(G_APP_INFO(application.get()), &uris, nullptr, error.out()))
            return error.status();
        return {};
    }
    case ShellCommand::Kind::CopyLocation:
        break;
    }
    // Copying is the clipboard's business, not a launch.
    return {false, G_IO_ERROR_NOT_SUPPORTED};
}

std::string CutDisplayName(const std::string& text, std::size_t count) {
    if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
        return CutDisplayName(
            OwnedText(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()))), count);
    const glong length = g_utf8_strlen(text.data(), static_cast<gssize>(text.size()));
    if (length <= static_cast<glong>(count))
        return text;
    const char* end = g_utf8_offset_to_pointer(text.data(), static_cast<glong>(count));
    return std::string(text.data(), end);
}

std::string FoldForOrder(const std::string& text) {
    OwnedString valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
    OwnedString folded(g_utf8_casefold(valid.get(), -1));
    OwnedString decomposed(g_utf8_normalize(folded.get(), -1, G_NORMALIZE_DEFAULT));
    // Without their accents letters sort beside their plain forms ("Émile" before "Emma").
    std::string key;
    for (const gchar* p = decomposed.get(); *p != '\0'; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (g_unichar_type(c) == G_UNICODE_NON_SPACING_MARK)
            continue;
        const gchar* next = g_utf8_next_char(p);
        key.append(p, static_cast<std::size_t>(next - p));
    }
    return key;
}

} // namespace kestrola::platform
