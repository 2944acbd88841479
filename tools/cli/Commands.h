#pragma once

namespace kestrola::cli {

/// `kestrola-cli base ...`: inspect a message base without writing to it.
int RunBaseCommand(int argc, char** argv);
/// `kestrola-cli settings ...`: list, read and change the program's settings.
int RunSettingsCommand(int argc, char** argv);

} // namespace kestrola::cli
