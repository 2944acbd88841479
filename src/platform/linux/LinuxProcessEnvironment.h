#pragma once

#include "platform/ProcessEnvironment.h"

namespace kestrola::platform {

/// The process on Linux: its executable from /proc, the XDG base folders (absolute values
/// only, else under $HOME or the password entry's home), and its single-instance marker as a
/// lock file in the runtime folder.
class LinuxProcessEnvironment : public ProcessEnvironment {
public:
    std::string ExecutablePath() const override;
    std::string ConfigFolder() const override;
    std::string DataFolder() const override;
    bool IsPrivateFolder(const std::string& folder) const override;
    bool MakeFolder(const std::string& folder) override;
    bool SetWorkingFolder(const std::string& folder) override;
    MarkerResult CreateInstanceMarker(const std::string& name,
                                      std::unique_ptr<InstanceMarker>& marker) override;
};

} // namespace kestrola::platform
