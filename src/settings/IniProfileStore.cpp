#include "settings/IniProfileStore.h"

#include "platform/File.h"
#include "platform/Platform.h"

#include <chrono>
#include <filesystem>

namespace kestrola::core {

namespace {

using platform::File;
using platform::FileMode;

bool ReadWhole(File& file, std::string& bytes, std::string& error) {
    if (!file.ReadAll(bytes, IniProfileStore::kMaxFileSize)) {
        error = file.Error();
        return false;
    }
    return true;
}

// How long a write waits for another writer (a second `kestrola-cli settings set`).
constexpr std::chrono::milliseconds kPatience{2000};

} // namespace

IniProfileStore::IniProfileStore(std::string path) : m_path(std::move(path)) {}

bool IniProfileStore::ReadDocument(IniDocument& document) const {
    File file;
    if (!file.Open(m_path, FileMode::ReadShared))
        return false;
    std::string bytes;
    std::string error;
    if (!ReadWhole(file, bytes, error))
        return false;
    document = IniDocument(bytes);
    return true;
}

std::optional<std::string> IniProfileStore::Find(std::string_view section,
                                                 std::string_view key) const {
    if (m_batchDepth > 0)
        return m_snapshot.Find(section, key);
    IniDocument document;
    if (!ReadDocument(document))
        return std::nullopt;
    return document.Find(section, key);
}

bool IniProfileStore::WriteString(std::string_view section, std::string_view key,
                                  std::string_view value) {
    if (!IniDocument::IsStorableSection(section) || !IniDocument::IsStorableKey(key) ||
        !IniDocument::IsStorableValue(value)) {
        m_error = "section or key name or value cannot be stored in an INI file";
        return false;
    }
    return Store({std::string(section), std::string(key), std::string(value), false});
}

bool IniProfileStore::WriteInt(std::string_view section, std::string_view key, std::int32_t value) {
    if (!IniDocument::IsStorableSection(section) || !IniDocument::IsStorableKey(key)) {
        m_error = "section or key name cannot be stored in an INI file";
        return false;
    }
    return Store({std::string(section), std::string(key), std::to_string(value), true});
}

IniDocument::Edit IniProfileStore::Apply(IniDocument& document, const Write& write) {
    return write.integer
               ? document.SetInt(write.section, write.key, ProfileIntFromText(write.value))
               : document.Set(write.section, write.key, write.value);
}

bool IniProfileStore::Store(Write write) {
    if (m_batchDepth > 0) {
        Apply(m_snapshot, write);
        m_pending.push_back(std::move(write));
        return true;
    }
    return Commit({write});
}

void IniProfileStore::BeginBatch() {
    if (m_batchDepth++ > 0)
        return;
    m_pending.clear();
    if (!ReadDocument(m_snapshot))
        m_snapshot = IniDocument();
}

bool IniProfileStore::EndBatch() {
    if (m_batchDepth == 0 || --m_batchDepth > 0)
        return true;
    std::vector<Write> writes;
    writes.swap(m_pending);
    m_snapshot = IniDocument();
    return writes.empty() || Commit(writes);
}

bool IniProfileStore::Commit(const std::vector<Write>& writes) {
    namespace fs = std::filesystem;
    // A store kept as a symbolic link (a dotfiles folder, say) stays one: the replacement goes
    // beside the file the link points to.
    const std::string target = File::WriteTarget(m_path);
    std::error_code ignored;
    const bool existed = fs::exists(target, ignored);
    if (const fs::path folder = fs::path(target).parent_path(); !folder.empty())
        File::MakePrivateFolder(folder.string());

    // The exclusive open keeps a second writer out while this one reads, edits and replaces;
    // writes are re-applied to the file as it is now, so changes made meanwhile survive.
    File file;
    if (!file.OpenWaiting(target, kPatience)) {
        m_error = target + ": " + file.Error();
        return false;
    }
    auto fail = [&](const std::string& why) {
        m_error = target + ": " + why;
        file.Close();
        if (!existed)
            File::Remove(target);
        return false;
    };

    std::string bytes;
    std::string error;
    if (!ReadWhole(file, bytes, error))
        return fail(error);
    IniDocument document(bytes);
    bool changed = false;
    for (const Write& write : writes)
        changed |= Apply(document, write) == IniDocument::Edit::Changed;
    if (!changed)
        return true;
    bytes = document.Serialize(platform::NativeLineEnd());

    File replacement;
    std::string tempPath;
    if (!replacement.CreateTemporaryBeside(target, tempPath))
        return fail(replacement.Error());
    if (!replacement.WriteAt(0, bytes.data(), bytes.size()) || !replacement.Sync()) {
        error = replacement.Error();
        replacement.Close();
        File::Remove(tempPath);
        return fail(error);
    }
    replacement.Close();
    if (!File::Replace(tempPath, target, error)) {
        File::Remove(tempPath);
        return fail(error);
    }
    return true;
}

} // namespace kestrola::core
