#include "platform/linux/LinuxSound.h"

#include "base/Product.h"
#include "platform/File.h"
#include "platform/Platform.h"

#include <canberra.h>
#include <cstdlib>
#include <dlfcn.h>
#include <optional>
#include <unistd.h>

namespace kestrola::platform {

namespace {

bool Readable(const std::string& path) {
    return ::access(path.c_str(), R_OK) == 0;
}

// libcanberra and the codecs it pulls in are loaded with the first sound, on the player
// thread, instead of with every start of the program.
struct Canberra {
    void* library = ::dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
    decltype(&ca_context_create) create = Find<decltype(create)>("ca_context_create");
    decltype(&ca_context_play) play = Find<decltype(play)>("ca_context_play");
    decltype(&ca_context_destroy) destroy = Find<decltype(destroy)>("ca_context_destroy");

    Canberra(const Canberra&) = delete;
    Canberra& operator=(const Canberra&) = delete;
    Canberra() = default;
    ~Canberra() {
        if (library != nullptr)
            ::dlclose(library);
    }
    bool Loaded() const { return create != nullptr && play != nullptr && destroy != nullptr; }

    template <typename Function> Function Find(const char* name) const {
        return library != nullptr ? reinterpret_cast<Function>(::dlsym(library, name)) : nullptr;
    }
};

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
    std::optional<Canberra> canberra;
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
            canberra.emplace();
            if (!canberra->Loaded() || canberra->create(&context) != CA_SUCCESS)
                context = nullptr;
        }
        if (context == nullptr)
            continue; // no sound system: nothing is played and nothing is said
        const std::string path = ResolveSoundFile(name, m_soundFolders, Readable);
        int result = CA_ERROR_NOTFOUND;
        if (Readable(path)) {
            result =
                canberra->play(context, 0, CA_PROP_MEDIA_FILENAME, path.c_str(),
                               CA_PROP_EVENT_DESCRIPTION, core::kApplicationName.data(), nullptr);
        }
        if (result != CA_SUCCESS)
            canberra->play(context, 0, CA_PROP_EVENT_ID, kFallbackEvent, nullptr);
    }
    if (context != nullptr)
        canberra->destroy(context);
}

} // namespace kestrola::platform
