#pragma once

#include "base/Reporting.h"
#include "base/StatusTexts.h"
#include "window/RecipientNetwork.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrola::testing {

/// A network neighbourhood of plain fields; the calls go to `log`.
class FakeRecipientNetwork : public core::RecipientNetwork {
public:
    int StopMessengerService(int exitFlag) override {
        Log("StopMessengerService(" + std::to_string(exitFlag) + ")");
        return 0;
    }
    bool LookUpProvider() override {
        Log("LookUpProvider");
        if (!providerFound)
            core::ShowSystemMessage(core::kGetNetworkProviderFailed);
        return providerFound;
    }
    void TakeSettings(int fastScanValue, int warnings) override {
        Log("TakeSettings");
        fastScan = fastScanValue;
        messengerWarnings = warnings;
    }
    void InitTree() override { Log("InitTree"); }
    void StartScan() override {
        Log("StartScan");
        ++scansStarted;
        scanned = finishScansAtOnce ? 1 : scanned;
    }
    int IsScanning() const override { return scanning; }
    int HasScanned() const override { return scanned; }
    void CollectCheckedNames(std::vector<std::string>& names) const override {
        names.insert(names.end(), checked.begin(), checked.end());
    }
    void ClearChecks() override {
        Log("ClearChecks");
        checked.clear();
    }
    std::string LocalName() const override { return localName; }
    std::string LocalNameUpper() const override { return localNameUpper; }

    bool providerFound = true;
    bool finishScansAtOnce = true;
    int scanning = 0, scanned = 0, scansStarted = 0, fastScan = -1, messengerWarnings = -1;
    std::vector<std::string> checked;
    std::string localName = "Pc1";
    std::string localNameUpper = "PC1";
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();

private:
    void Log(const std::string& line) { log->push_back(line); }
};

} // namespace kestrola::testing
