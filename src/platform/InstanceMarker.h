#pragma once

namespace kestrola::platform {

/// What creating the single-instance marker found.
enum class MarkerResult {
    /// This process now holds the marker.
    Created,
    /// Another running process holds it: this start is a second instance.
    AlreadyExists,
    /// The marker could not be made at all (no folder, no lock support); the start goes on.
    Failed,
};

/// A named single-instance marker, held from creation until the object is destroyed or the
/// process ends, however it ends. It is never signalled or waited on; its existence alone
/// marks a running instance.
class InstanceMarker {
public:
    virtual ~InstanceMarker() = default;
};

} // namespace kestrola::platform
