#pragma once

namespace kestrola::platform {

/// The system's requests to end the program (on Linux the signals SIGTERM, SIGINT and SIGHUP),
/// turned into something the window's event loop can wait for: a descriptor that becomes
/// readable when a request has come. While an object lives, those requests no longer end the
/// process at once.
class QuitRequests {
public:
    virtual ~QuitRequests() = default;
    /// The descriptor to watch for reading; -1 when requests cannot be caught.
    virtual int Descriptor() const = 0;
    /// Takes the waiting requests; returns the number of the last one (0 when none waited).
    virtual int Take() = 0;
};

} // namespace kestrola::platform
