#pragma once

#include "platform/Sound.h"

#include <string>
#include <vector>

namespace kestrola::platform::testing {

/// Records the name of every sound asked for and plays nothing.
class RecordingSound : public Sound {
public:
    void PlaySoundFile(const std::string& name) override { played.push_back(name); }
    std::vector<std::string> played;
};

} // namespace kestrola::platform::testing
