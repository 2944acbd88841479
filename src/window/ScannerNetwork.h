#pragma once

#include "platform/PlatformVersion.h"
#include "window/RecipientNetwork.h"

namespace kestrola::core {

class NetworkScanner;

/// The main window's network neighbourhood: the network scanner with its recipient tree and
/// the Messenger service control, given the settings they read and the platform record.
class ScannerNetwork : public RecipientNetwork {
public:
    ScannerNetwork(NetworkScanner& scanner, platform::PlatformVersion version);

    int StopMessengerService(int exitFlag) override;
    bool LookUpProvider() override;
    void TakeSettings(int fastScan, int messengerWarnings) override;
    void InitTree() override;
    void StartScan() override;
    int IsScanning() const override;
    int HasScanned() const override;
    void CollectCheckedNames(std::vector<std::string>& names) const override;
    void ClearChecks() override;
    std::string LocalName() const override;
    std::string LocalNameUpper() const override;

private:
    NetworkScanner& m_scanner;
    platform::PlatformVersion m_version;
};

} // namespace kestrola::core
