#pragma once

#include "app/RecipientNetwork.h"

namespace kestrola::platform {
class CodePage;
class Mailslots;
} // namespace kestrola::platform

namespace kestrola::core {

/// The recipient network while the window has no network scanner: the provider is always
/// found, a scan lists nothing and nothing is checked; the local name is the transport's
/// computer name.
class StandInNetwork : public RecipientNetwork {
public:
    StandInNetwork(const platform::Mailslots& mailslots, const platform::CodePage& codePage);

    int StopMessengerService(int) override { return 0; }
    bool LookUpProvider() override { return true; }
    void InitTree(int, int) override {}
    void StartScan() override { m_scanned = 1; }
    int IsScanning() const override { return 0; }
    int HasScanned() const override { return m_scanned; }
    void CollectCheckedNames(std::vector<std::string>&) const override {}
    void ClearChecks() override {}
    std::string LocalName() const override { return m_localName; }
    std::string LocalNameUpper() const override { return m_localNameUpper; }

private:
    std::string m_localName;
    std::string m_localNameUpper;
    int m_scanned = 0;
};

} // namespace kestrola::core
