#pragma once

#include "base/Reporting.h"
#include "base/StatusTexts.h"
#include "window/RecipientNetwork.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrola::testing {

/// A network neighbourhood of plain fields; stopping the service goes to `log`.
class FakeRecipientNetwork : public core::RecipientNetwork {
public:
    int StopMessengerService(int exitFlag) override {
        log->push_back("StopMessengerService(" + std::to_string(exitFlag) + ")");
        return 0;
    }
    bool LookUpProvider() override {
        if (!providerFound)
            core::ShowSystemMessage(core::kGetNetworkProviderFailed);
        return providerFound;
    }
    void TakeSettings(int, int) override {}
    void InitTree() override {}
    void StartScan() override { ++scansStarted; }
    int IsScanning() const override { return 0; }
    int HasScanned() const override { return scansStarted > 0 ? 1 : 0; }
    void CollectCheckedNames(std::vector<std::string>& names) const override {
        names.insert(names.end(), checked.begin(), checked.end());
    }
    void ClearChecks() override { checked.clear(); }
    std::string LocalName() const override { return "Pc1"; }
    std::string LocalNameUpper() const override { return "PC1"; }

    bool providerFound = true;
    int scansStarted = 0;
    std::vector<std::string> checked;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
};

} // namespace kestrola::testing
