#include "window/ScannerNetwork.h"

#include "network/NetworkScanner.h"

namespace kestrola::core {

ScannerNetwork::ScannerNetwork(NetworkScanner& scanner, platform::PlatformVersion version)
    : m_scanner(scanner), m_version(std::move(version)) {
    // The version record is lent to the scanner for the service control.
    m_scanner.platformRecord = &m_version;
}

int ScannerNetwork::StopMessengerService(int exitFlag) {
    return m_scanner.StopMessengerService(exitFlag);
}

bool ScannerNetwork::LookUpProvider() {
    return m_scanner.LookUpProvider();
}

void ScannerNetwork::TakeSettings(int fastScan, int messengerWarnings) {
    m_scanner.mode = fastScan;
    m_scanner.warnings = messengerWarnings;
}

void ScannerNetwork::InitTree() {
    m_scanner.InitTree();
}

void ScannerNetwork::StartScan() {
    m_scanner.StartScan();
}

int ScannerNetwork::IsScanning() const {
    return m_scanner.IsScanning();
}

int ScannerNetwork::HasScanned() const {
    return m_scanner.HasScanned();
}

void ScannerNetwork::CollectCheckedNames(std::vector<std::string>& names) const {
    m_scanner.CollectCheckedNames(names);
}

void ScannerNetwork::ClearChecks() {
    m_scanner.ClearChecks();
}

std::string ScannerNetwork::LocalName() const {
    return m_scanner.LocalName();
}

std::string ScannerNetwork::LocalNameUpper() const {
    return m_scanner.LocalNameUpper();
}

} // namespace kestrola::core
