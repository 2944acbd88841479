#pragma once

#include "platform/ProcessEnvironment.h"

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kestrola::platform::testing {

/// A process's surroundings made of plain fields. Markers live in `heldMarkers`, which several
/// fakes may share to stand for several processes on one desktop.
class FakeProcessEnvironment : public ProcessEnvironment {
public:
    std::string ExecutablePath() const override { return executablePath; }
    std::string ConfigFolder() const override { return configFolder; }
    std::string DataFolder() const override { return dataFolder; }
    bool IsPrivateFolder(const std::string& folder) const override {
        return writableFolders.count(folder) != 0;
    }
    bool MakeFolder(const std::string& folder) override {
        madeFolders.push_back(folder);
        writableFolders.insert(folder);
        return true;
    }
    bool SetWorkingFolder(const std::string& folder) override {
        workingFolders.push_back(folder);
        return setWorkingFolderSucceeds;
    }
    MarkerResult CreateInstanceMarker(const std::string& name,
                                      std::unique_ptr<InstanceMarker>& marker) override {
        marker.reset();
        markerRequests.push_back(name);
        if (markerFails)
            return MarkerResult::Failed;
        if (!heldMarkers->insert(name).second)
            return MarkerResult::AlreadyExists;
        marker = std::make_unique<Marker>(heldMarkers, name);
        return MarkerResult::Created;
    }
    std::string executablePath = "/opt/kestrola/kestrola-net";
    std::string configFolder = "/home/user/.config";
    std::string dataFolder = "/home/user/.local/share";
    std::set<std::string> writableFolders;
    bool setWorkingFolderSucceeds = true;
    bool markerFails = false;
    std::vector<std::string> madeFolders;
    std::vector<std::string> workingFolders;
    std::vector<std::string> markerRequests;
    std::shared_ptr<std::set<std::string>> heldMarkers = std::make_shared<std::set<std::string>>();

private:
    class Marker : public InstanceMarker {
    public:
        Marker(std::shared_ptr<std::set<std::string>> held, std::string name)
            : m_held(std::move(held)), m_name(std::move(name)) {}
        ~Marker() override { m_held->erase(m_name); }

    private:
        std::shared_ptr<std::set<std::string>> m_held;
        std::string m_name;
    };
};

} // namespace kestrola::platform::testing
