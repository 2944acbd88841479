#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrola::platform {

/// Room for a web browser's command line, terminator included.
inline constexpr std::size_t kCommandBufferSize = 520;

/// Builds the browser command line: `program`, a blank and `url`. Returns 0, or 8 (out of
/// memory) and leaves `command` untouched when the line would not fit kCommandBufferSize.
int ComposeBrowserCommand(std::string_view program, std::string_view url, std::string& command);

} // namespace kestrola::platform
