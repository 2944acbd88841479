#include "settings/StartupRules.h"

#include "settings/IniProfileStore.h"

namespace kestrola::core {

namespace {

std::string Join(const std::string& folder, std::string_view name) {
    // Without a known folder the name stays bare and resolves against the working directory.
    if (folder.empty())
        return std::string(name);
    return folder + "/" + std::string(name);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Options of the toolkit and the X session (the session manager restarts the program with
// "-session <id>"). Qt takes only those of the platform it runs on, so the others are left to
// the program. The first list carries a value, in the next argument or after "=".
constexpr std::string_view kToolkitOptionsWithValue[] = {"-display",       "-geometry",
                                                         "-icon",          "-name",
                                                         "-platform",      "-platformpluginpath",
                                                         "-platformtheme", "-plugin",
                                                         "-qmljsdebugger", "-qwindowgeometry",
                                                         "-qwindowicon",   "-qwindowtitle",
                                                         "-session",       "-style",
                                                         "-stylesheet",    "-title",
                                                         "-visual"};
constexpr std::string_view kToolkitFlags[] = {"-dograb", "-nograb",      "-reverse",
                                              "-sync",   "-testability", "-widgetcount"};

template <std::size_t N> bool Listed(const std::string_view (&list)[N], std::string_view option) {
    for (const std::string_view known : list) {
        if (known == option)
            return true;
    }
    return false;
}

} // namespace

std::string RawCommandLine(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        // Qt accepts its options with one dash or two.
        std::string_view option = argument;
        if (option.starts_with("--"))
            option.remove_prefix(1);
        const auto equals = option.find('=');
        if (Listed(kToolkitOptionsWithValue, option.substr(0, equals))) {
            if (equals == std::string_view::npos)
                ++i; // its value
            continue;
        }
        if (Listed(kToolkitFlags, option))
            continue;
        if (!line.empty())
            line += ' ';
        line += argument;
    }
    return line;
}

StoreChoice ChooseStore(std::string_view rawCommandLine) {
    for (const char c : rawCommandLine) {
        if (c == '\0')
            break;
        if (c == 'I' || c == 'i')
            return StoreChoice::IniFile;
    }
    return StoreChoice::PerUser;
}

std::string IniFileName(std::string_view executablePath) {
    std::string_view name = executablePath;
    if (const auto slash = name.rfind('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    return std::string(name) + ".INI";
}

std::string IniStorePath(const platform::ProcessEnvironment& environment,
                         std::string_view executablePath) {
    return Join(environment.ConfigFolder(), IniFileName(executablePath));
}

std::string UserStorePath(const platform::ProcessEnvironment& environment) {
    return Join(environment.ConfigFolder(),
                std::string(kCompanyName) + "/" + std::string(kApplicationName) + ".conf");
}

std::unique_ptr<ProfileStore> OpenStore(StoreChoice choice,
                                        const platform::ProcessEnvironment& environment,
                                        std::string_view executablePath) {
    return std::make_unique<IniProfileStore>(choice == StoreChoice::IniFile
                                                 ? IniStorePath(environment, executablePath)
                                                 : UserStorePath(environment));
}

std::string ChooseWorkingFolder(platform::ProcessEnvironment& environment) {
    const std::string own = FolderOf(environment.ExecutablePath());
    if (!own.empty() && environment.IsPrivateFolder(own))
        return own;
    const std::string data = environment.DataFolder();
    if (data.empty())
        return own;
    const std::string folder = Join(data, kDataFolderName);
    environment.MakeFolder(folder);
    return folder;
}

StartupOutcome BeginStartup(platform::ProcessEnvironment& environment,
                            std::string_view rawCommandLine) {
    StartupOutcome outcome;
    const auto marker =
        environment.CreateInstanceMarker(std::string(kInstanceMarkerName), outcome.marker);
    if (marker == platform::MarkerResult::AlreadyExists)
        return outcome;
    outcome.proceed = true;
    outcome.workingFolder = ChooseWorkingFolder(environment);
    if (!outcome.workingFolder.empty())
        environment.SetWorkingFolder(outcome.workingFolder);
    outcome.storeChoice = ChooseStore(rawCommandLine);
    outcome.store = OpenStore(outcome.storeChoice, environment, environment.ExecutablePath());
    return outcome;
}

} // namespace kestrola::core
