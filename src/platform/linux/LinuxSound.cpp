#include "platform/linux/LinuxSound.h"

#include "base/Product.h"
#include "platform/File.h"
#include "platform/Platform.h"

#include <canberra.h>
#include <cstdlib>
#include <unistd.h>

namespace kestrola::platform {

namespace {

bool Readable(const std::string& path) {
    return ::access(path.c_str(), R_OK) == 0;
}

} // namespace

LinuxSound::LinuxSound(std::vector<std::string> soundFolders, std::string requestLog)
    : m_soundFolders(std::move(soundFolders)), m_requestLog(std::move(requestLog)),
      m_player([this] { Run(); }) {}

LinuxSound::~LinuxSound() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        m_waiting.clear();
    }
    m_wake.notify_one();
    m_player.join();
}

void LinuxSound::PlaySoundFile(const std::string& name) {
    if (!m_requestLog.empty())
        LogRequest(name);
    {
        const std::lock_guard lock(m_mutex);
        if (m_waiting.size() >= kMaxWaiting)
            return; // a burst of arrivals: the sounds would only pile up
        m_waiting.push_back(name);
    }
    m_wake.notify_one();
}

void LinuxSound::LogRequest(const std::string& name) {
    File file;
    if (!file.Open(m_requestLog, FileMode::ReadWriteExclusive))
        return;
    const std::int64_t end = file.Size();
    const std::string line = name + "\n";
    if (end >= 0)
        file.WriteAt(static_cast<std::uint64_t>(end), line.data(), line.size());
}

void LinuxSound::Run() {
    // The context is made on this thread: connecting to the sound server may take a while.
    ca_context* context = nullptr;
    bool tried = false;
    for (;;) {
        std::string name;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_waiting.empty(); });
            if (m_stop)
                break;
            name = std::move(m_waiting.front());
            m_waiting.pop_front();
        }
        if (!tried) {
            tried = true;
            if (ca_context_create(&context) != CA_SUCCESS)
                context = nullptr;
        }
        if (context == nullptr)
            continue; // no sound system: nothing is played and nothing is said
        const std::string path = ResolveSoundFile(name, m_soundFolders, Readable);
        int result = CA_ERROR_NOTFOUND;
        if (Readable(path)) {
            result =
                ca_context_play(context, 0, CA_PROP_MEDIA_FILENAME, path.c_str(),
                                CA_PROP_EVENT_DESCRIPTION, core::kApplicationName.data(), nullptr);
        }
        if (result != CA_SUCCESS)
            ca_context_play(context, 0, CA_PROP_EVENT_ID, kFallbackEvent, nullptr);
    }
    if (context != nullptr)
        ca_context_destroy(context);
}

} // namespace kestrola::platform
