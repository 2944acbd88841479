#pragma once

#include "platform/Sound.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrola::platform {

/// Sounds through libcanberra on a player thread of its own: requests queue up (at most
/// kMaxWaiting; more are dropped) and the caller never waits for the sound system.
class LinuxSound : public Sound {
public:
    /// The freedesktop sound event played when a file cannot be.
    static constexpr const char* kFallbackEvent = "message-new-instant";
    static constexpr std::size_t kMaxWaiting = 16;

    /// `soundFolders`: where relative names are looked for after the working directory.
    /// `requestLog`: when not empty, every requested name is appended to this file as a line.
    LinuxSound(std::vector<std::string> soundFolders, std::string requestLog);
    ~LinuxSound() override;
    LinuxSound(const LinuxSound&) = delete;
    LinuxSound& operator=(const LinuxSound&) = delete;

    void PlaySoundFile(const std::string& name) override;

private:
    void Run();
    void LogRequest(const std::string& name);

    std::vector<std::string> m_soundFolders;
    std::string m_requestLog;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::string> m_waiting;
    bool m_stop = false;
    std::thread m_player;
};

} // namespace kestrola::platform
