#pragma once

#include <string>
#include <vector>

namespace kestrola::core {

/// What the main window offers the receiving and sending pipelines besides its view: window
/// operations, the network tree's checks, the local name and the sounds.
class WindowOperations {
public:
    virtual ~WindowOperations() = default;

    /// Expands (true) or collapses the window; true when it is now in that state.
    virtual bool SetExpanded(bool expand) = 0;
    /// Starts a network scan when the window is expanded and one is wanted.
    virtual void ScanIfNeeded() = 0;
    /// Minimises the window (into the tray when it lives there).
    virtual void MinimizeWindow() = 0;
    /// Restores the window or brings it to the front.
    virtual void RaiseWindow() = 0;
    /// Plays a sound file without waiting for it.
    virtual void PlaySoundFile(const std::string& name) = 0;
};

} // namespace kestrola::core
