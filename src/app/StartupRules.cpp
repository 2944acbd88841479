#include "app/StartupRules.h"

#include "app/IniProfileStore.h"

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

} // namespace

std::string RawCommandLine(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i];
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
