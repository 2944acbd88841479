#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrola::core {

/// The store of settings: 32-bit integers and texts addressed by section and key name. Reading
/// never fails (a missing or unreadable value gives the caller's default); writes report
/// success, which the program itself ignores.
class ProfileStore {
public:
    virtual ~ProfileStore() = default;

    /// The stored text of `key` in `section`, as the profile functions return it; nothing when
    /// the key is missing or the store cannot be read.
    virtual std::optional<std::string> Find(std::string_view section,
                                            std::string_view key) const = 0;
    /// Stores a text; false when the store could not be written (it is then unchanged).
    virtual bool WriteString(std::string_view section, std::string_view key,
                             std::string_view value) = 0;
    /// Starts a batch: reads come from one copy of the store and writes are gathered and put
    /// into the store together when the outermost batch ends.
    virtual void BeginBatch() = 0;
    /// Ends a batch; false when its writes could not be stored (none of them then is).
    virtual bool EndBatch() = 0;
    /// Where the store lives, for messages.
    virtual std::string Location() const = 0;
    /// Why the last write failed.
    virtual std::string Error() const = 0;

    /// The integer under `key`: `fallback` when the key is missing or its value is empty,
    /// 0 when the value does not start with a number, else its leading decimal number.
    std::int32_t ReadInt(std::string_view section, std::string_view key,
                         std::int32_t fallback) const;
    /// The text under `key`, or `fallback` when the key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    /// Stores an integer as signed decimal text. Backends may leave a stored text that
    /// already reads as `value` as it is.
    virtual bool WriteInt(std::string_view section, std::string_view key, std::int32_t value) = 0;

    /// Keeps a batch open for the life of a scope.
    class Batch {
    public:
        explicit Batch(ProfileStore& store) : m_store(store) { m_store.BeginBatch(); }
        ~Batch() {
            if (!m_ended)
                m_store.EndBatch();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        /// Ends the batch early and reports whether its writes were stored.
        bool End() {
            m_ended = true;
            return m_store.EndBatch();
        }

    private:
        ProfileStore& m_store;
        bool m_ended = false;
    };
};

} // namespace kestrola::core
