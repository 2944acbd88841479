#pragma once

#include <memory>

namespace kestrola::platform {
class Mailslots;
}

namespace kestrola::cli {

/// `kestrola-cli base ...`: inspect a message base without writing to it.
int RunBaseCommand(int argc, char** argv);
/// `kestrola-cli send`: one messenger datagram to a computer, a workgroup or "*".
int RunSendCommand(int argc, char** argv);
/// `kestrola-cli listen`: prints every datagram arriving on the messenger mailslot.
int RunListenCommand(int argc, char** argv);
/// `kestrola-cli names`: our NetBIOS names and interfaces, or who answers for a name.
int RunNamesCommand(int argc, char** argv);
/// `kestrola-cli settings ...`: list, read and change the program's settings.
int RunSettingsCommand(int argc, char** argv);
/// `kestrola-cli browse`: the network's workgroups and their computers.
int RunBrowseCommand(int argc, char** argv);

/// The process's mailslots with their ports taken and every capability dropped, first thing
/// in a command that receives; what the user should know goes to the standard error.
std::shared_ptr<platform::Mailslots> TakeListeningMailslots();

} // namespace kestrola::cli
