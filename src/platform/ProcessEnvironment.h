#pragma once

#include "platform/InstanceMarker.h"

#include <memory>
#include <string>

namespace kestrola::platform {

/// What a starting program learns from and does to its surroundings: where it lives, the
/// per-user folders, its working directory and the single-instance marker.
class ProcessEnvironment {
public:
    virtual ~ProcessEnvironment() = default;

    /// Full path of the running program's executable; "" when the system does not say.
    virtual std::string ExecutablePath() const = 0;
    /// The per-user configuration folder (absolute, without a trailing slash).
    virtual std::string ConfigFolder() const = 0;
    /// The per-user data folder (absolute, without a trailing slash).
    virtual std::string DataFolder() const = 0;
    /// True when `folder` exists, a file can be created in it, it belongs to this user, nobody
    /// else can write in it and it is no system folder: a fit place for the user's messages.
    virtual bool IsPrivateFolder(const std::string& folder) const = 0;
    /// Creates `folder` with its missing parents, for the owner only; true when it exists
    /// afterwards.
    virtual bool MakeFolder(const std::string& folder) = 0;
    /// Makes `folder` the process's working directory; false when that failed.
    virtual bool SetWorkingFolder(const std::string& folder) = 0;
    /// Creates the single-instance marker called `name`. On `Created`, `marker` holds it;
    /// otherwise `marker` stays empty.
    virtual MarkerResult CreateInstanceMarker(const std::string& name,
                                              std::unique_ptr<InstanceMarker>& marker) = 0;
};

} // namespace kestrola::platform
