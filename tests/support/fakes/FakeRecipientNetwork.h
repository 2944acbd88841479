#pragma once

#include "base/Reporting.h"
#include "base/StatusTexts.h"
#include "window/RecipientNetwork.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrola::testing {

/// A network neighbourhood made of plain fields; every call is written to `log` when given.
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
        if (finishScansAtOnce)
            scanned = 1;
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
    int scanning = 0;
    int scanned = 0;
    int scansStarted = 0;
    int fastScan = -1;
    int messengerWarnings = -1;
    std::vector<std::string> checked;
    std::string localName = "Pc1";
    std::string localNameUpper = "PC1";
    std::shared_ptr<std::vector<std::string>> log;

private:
    void Log(const std::string& line) {
        if (log)
            log->push_back(line);
    }
};

} // namespace kestrola::testing
