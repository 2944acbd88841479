#pragma once

#include <string>
#include <vector>

namespace kestrola::core {

/// What the main window needs of the network neighbourhood: the Messenger service control,
/// the provider lookup, the recipient tree's scan and checks, and the local computer name.
class RecipientNetwork {
public:
    virtual ~RecipientNetwork() = default;

    /// Stops the system's Messenger service (0 at start-up, 1 at the end).
    virtual int StopMessengerService(int exitFlag) = 0;
    /// Finds the network provider; false (after message 1286) when there is no network.
    virtual bool LookUpProvider() = 0;
    /// Takes the "FastScan" and "MessengerWarnings" settings, before anything else.
    virtual void TakeSettings(int fastScan, int messengerWarnings) = 0;
    /// Prepares the tree.
    virtual void InitTree() = 0;
    /// Starts a scan unless one runs.
    virtual void StartScan() = 0;
    /// 1 while a scan runs.
    virtual int IsScanning() const = 0;
    /// 1 once a scan has finished.
    virtual int HasScanned() const = 0;
    /// Appends the names of the checked items in tree order.
    virtual void CollectCheckedNames(std::vector<std::string>& names) const = 0;
    /// Unchecks the items CollectCheckedNames reads.
    virtual void ClearChecks() = 0;
    /// The local computer name as the system gives it.
    virtual std::string LocalName() const = 0;
    /// The local computer name upper-cased.
    virtual std::string LocalNameUpper() const = 0;
};

} // namespace kestrola::core
