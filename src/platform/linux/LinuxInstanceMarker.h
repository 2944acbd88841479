#pragma once

#include "platform/InstanceMarker.h"

#include <memory>
#include <string>

namespace kestrola::platform {

/// Holds an exclusive `flock` on the lock file at `path` (created when missing) for the
/// marker's life. The kernel drops the lock when the process ends, however it ends, and the
/// descriptor is not inherited by programs the process starts.
MarkerResult CreateLockFileMarker(const std::string& path, std::unique_ptr<InstanceMarker>& marker);

} // namespace kestrola::platform
