#pragma once

#include <string>
#include <string_view>

namespace kestrola::core {

/// The help file beside the program: its path with the extension replaced by ".HLP" (added
/// when it has none).
std::string HelpFilePath(std::string_view programPath);

} // namespace kestrola::core
