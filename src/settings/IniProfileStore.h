#pragma once

#include "settings/IniDocument.h"
#include "settings/ProfileStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrola::core {

/// A profile store in one INI file (bracketed section lines, key=value lines), read and
/// written the way the platform's profile functions treat such files. Every operation opens
/// the file for that operation only. A write replaces the file through a temporary file and
/// a rename, so a failed write leaves the old file as it was; a missing folder is created.
class IniProfileStore final : public ProfileStore {
public:
    /// Files above this size are not read (their keys read as missing) and never rewritten.
    static constexpr std::int64_t kMaxFileSize = 16 * 1024 * 1024;

    explicit IniProfileStore(std::string path);

    std::optional<std::string> Find(std::string_view section, std::string_view key) const override;
    bool WriteString(std::string_view section, std::string_view key,
                     std::string_view value) override;
    /// Leaves a stored text that already reads as `value` as it is, so that a note a person
    /// wrote after the number survives the program's write-back.
    bool WriteInt(std::string_view section, std::string_view key, std::int32_t value) override;
    void BeginBatch() override;
    bool EndBatch() override;
    std::string Location() const override { return m_path; }
    std::string Error() const override { return m_error; }

private:
    struct Write {
        std::string section;
        std::string key;
        std::string value;
        bool integer = false; // value is the decimal text of an integer
    };

    bool Store(Write write);
    static IniDocument::Edit Apply(IniDocument& document, const Write& write);

    /// Reads and parses the file; false when it is missing or cannot be read.
    bool ReadDocument(IniDocument& document) const;
    /// Applies `writes` to the file as it is now and replaces it; false when nothing changed
    /// on disk because of a failure.
    bool Commit(const std::vector<Write>& writes);

    std::string m_path;
    int m_batchDepth = 0;
    IniDocument m_snapshot;
    std::vector<Write> m_pending;
    std::string m_error;
};

} // namespace kestrola::core
