#include "platform/linux/LinuxDesktopEntry.h"

#include "base/Text.h"
#include "platform/File.h"

#include <cctype>
#include <cstdlib>
#include <map>

namespace kestrola::platform {

namespace {

// Desktop files and association lists are small; anything far larger is not one.
constexpr std::int64_t kMaxListFile = 4 * 1024 * 1024;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::vector<std::string> SplitList(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        std::string_view part = text.substr(start, end - start);
        while (!part.empty() && std::isspace(static_cast<unsigned char>(part.front())))
            part.remove_prefix(1);
        while (!part.empty() && std::isspace(static_cast<unsigned char>(part.back())))
            part.remove_suffix(1);
        if (!part.empty())
            parts.emplace_back(part);
        start = end + 1;
    }
    return parts;
}

// Calls `visit(key, value)` for every entry of `group`, in file order.
template <typename Visit>
void ForEachEntry(std::string_view text, std::string_view group, Visit visit) {
    bool inGroup = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = core::Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inGroup =
                line.size() >= 2 && line.back() == ']' && line.substr(1, line.size() - 2) == group;
            continue;
        }
        if (!inGroup)
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        if (!visit(core::Trim(line.substr(0, equals)), core::Trim(line.substr(equals + 1))))
            return;
    }
}

bool ReadTextFile(const std::string& path, std::string& text) {
    File file;
    if (!file.Open(path, FileMode::ReadShared))
        return false;
    const std::int64_t size = file.Size();
    if (size < 0 || size > kMaxListFile)
        return false;
    text.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    if (!file.ReadAt(0, text.data(), text.size(), got))
        return false;
    text.resize(got);
    return true;
}

// A desktop id names a file below an applications folder with its slashes turned into dashes;
// the leading dashes are tried as folder separators in turn.
std::vector<std::string> DesktopIdPaths(const std::string& id) {
    std::vector<std::string> paths{id};
    std::string path = id;
    for (std::size_t dash = path.find('-'); dash != std::string::npos;
         dash = path.find('-', dash + 1)) {
        path[dash] = '/';
        paths.push_back(path);
    }
    return paths;
}

class HandlerSearch {
public:
    explicit HandlerSearch(const XdgDirs& dirs) {
        if (!dirs.dataHome.empty())
            m_appDirs.push_back(dirs.dataHome + "/applications");
        for (const auto& dir : dirs.dataDirs)
            m_appDirs.push_back(dir + "/applications");

        std::vector<std::string> listDirs;
        if (!dirs.configHome.empty())
            listDirs.push_back(dirs.configHome);
        listDirs.insert(listDirs.end(), dirs.configDirs.begin(), dirs.configDirs.end());
        listDirs.insert(listDirs.end(), m_appDirs.begin(), m_appDirs.end());
        for (const auto& dir : listDirs) {
            for (const auto& desktop : dirs.desktops)
                m_listFiles.push_back(dir + "/" + desktop + "-mimeapps.list");
            m_listFiles.push_back(dir + "/mimeapps.list");
        }
    }

    std::optional<std::string> Find(std::string_view mimeType) {
        for (const char* group : {"Default Applications", "Added Associations"}) {
            for (const auto& list : m_listFiles) {
                if (auto exec = FirstInstalled(list, group, mimeType))
                    return exec;
            }
        }
        for (const auto& dir : m_appDirs) {
            if (auto exec = FirstInstalled(dir + "/mimeinfo.cache", "MIME Cache", mimeType))
                return exec;
        }
        return std::nullopt;
    }

private:
    std::optional<std::string> FirstInstalled(const std::string& listFile, const char* group,
                                              std::string_view mimeType) {
        const std::string& text = Text(listFile);
        for (const auto& id : MimeAssociations(text, group, mimeType)) {
            if (auto exec = ExecOf(id))
                return exec;
        }
        return std::nullopt;
    }

    // The first folder holding the entry decides, also when the entry there is hidden.
    std::optional<std::string> ExecOf(const std::string& id) {
        for (const auto& dir : m_appDirs) {
            for (const auto& relative : DesktopIdPaths(id)) {
                std::string text;
                if (!ReadTextFile(dir + "/" + relative, text))
                    continue;
                if (DesktopEntryValue(text, "Hidden") == "true")
                    return std::nullopt;
                return DesktopEntryValue(text, "Exec");
            }
        }
        return std::nullopt;
    }

    const std::string& Text(const std::string& path) {
        auto [it, inserted] = m_texts.try_emplace(path);
        if (inserted && !ReadTextFile(path, it->second))
            it->second.clear();
        return it->second;
    }

    std::vector<std::string> m_appDirs;
    std::vector<std::string> m_listFiles;
    std::map<std::string, std::string> m_texts;
};

} // namespace

XdgDirs XdgDirs::FromEnvironment() {
    XdgDirs dirs;
    const std::string home = Environment("HOME");
    dirs.configHome = Environment("XDG_CONFIG_HOME");
    if (dirs.configHome.empty() && !home.empty())
        dirs.configHome = home + "/.config";
    dirs.dataHome = Environment("XDG_DATA_HOME");
    if (dirs.dataHome.empty() && !home.empty())
        dirs.dataHome = home + "/.local/share";
    dirs.configDirs = SplitList(Environment("XDG_CONFIG_DIRS"), ':');
    if (dirs.configDirs.empty())
        dirs.configDirs = {"/etc/xdg"};
    dirs.dataDirs = SplitList(Environment("XDG_DATA_DIRS"), ':');
    if (dirs.dataDirs.empty())
        dirs.dataDirs = {"/usr/local/share", "/usr/share"};
    for (auto desktop : SplitList(Environment("XDG_CURRENT_DESKTOP"), ':')) {
        dirs.desktops.push_back(core::AsciiLower(desktop));
    }
    return dirs;
}

std::string UnescapeDesktopValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[i + 1]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            // Left for the Exec quoting rules (\" \` \$).
            out += '\\';
            out += value[i + 1];
            break;
        }
        ++i;
    }
    return out;
}

std::string CutExecLine(std::string_view exec) {
    for (std::size_t i = 0; i + 1 < exec.size(); ++i) {
        if (exec[i] != '%')
            continue;
        const char code = exec[i + 1];
        if (code == '%') {
            ++i;
            continue;
        }
        if (code == 'u' || code == 'U' || code == 'f' || code == 'F') {
            std::size_t cut = i;
            if (cut > 0 && exec[cut - 1] == '"')
                --cut;
            return std::string(exec.substr(0, cut));
        }
    }
    return std::string(exec);
}

std::optional<std::vector<std::string>> SplitExecLine(std::string_view exec) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size() &&
                       std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                current += exec[++i];
            } else {
                current += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inArgument)
                args.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            inArgument = true;
            if (c == '"')
                quoted = true;
            else
                current += c;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inArgument)
        args.push_back(std::move(current));

    std::vector<std::string> result;
    for (auto& arg : args) {
        // Field codes that stand alone expand to things a browser start does not need.
        if (arg.size() == 2 && arg[0] == '%' &&
            std::string_view("ickdDnNvm").find(arg[1]) != std::string_view::npos)
            continue;
        std::string plain;
        for (std::size_t i = 0; i < arg.size(); ++i) {
            plain += arg[i];
            if (arg[i] == '%' && i + 1 < arg.size() && arg[i + 1] == '%')
                ++i;
        }
        result.push_back(std::move(plain));
    }
    return result;
}

std::optional<std::string> DesktopEntryValue(std::string_view text, std::string_view key) {
    std::optional<std::string> found;
    ForEachEntry(text, "Desktop Entry", [&](std::string_view k, std::string_view v) {
        if (k != key)
            return true;
        found = UnescapeDesktopValue(v);
        return false;
    });
    return found;
}

std::vector<std::string> MimeAssociations(std::string_view text, std::string_view group,
                                          std::string_view mimeType) {
    std::vector<std::string> ids;
    ForEachEntry(text, group, [&](std::string_view k, std::string_view v) {
        if (k != mimeType)
            return true;
        ids = SplitList(v, ';');
        return false;
    });
    return ids;
}

std::optional<std::string> FindMimeHandlerExec(const XdgDirs& dirs, std::string_view mimeType) {
    return HandlerSearch(dirs).Find(mimeType);
}

} // namespace kestrola::platform
