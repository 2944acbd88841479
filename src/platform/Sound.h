#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kestrola::platform {

/// Plays event sounds. Playing never blocks the caller: each request is handed to a player of
/// its own and the call returns at once. A file that is missing or cannot be played gives the
/// desktop's default message sound instead; nothing is reported.
class Sound {
public:
    virtual ~Sound() = default;
    /// Plays the sound file `name` (absolute, or relative to the working directory and then to
    /// the installed sound folders).
    virtual void PlaySoundFile(const std::string& name) = 0;
};

/// The file a sound name stands for: an absolute name as it is; a relative one in the working
/// directory when `exists` finds it there, else in the first of `soundFolders` that holds it;
/// the name itself when none does (the player then falls back to the default sound).
std::string ResolveSoundFile(const std::string& name, const std::vector<std::string>& soundFolders,
                             const std::function<bool(const std::string&)>& exists);

} // namespace kestrola::platform
