#pragma once

#include "platform/CodePage.h"
#include "store/MessageRecord.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrola::core {

/// True when a message's decoded recipient is this computer (compared after upper-casing);
/// anything else (a workgroup, "*", another computer, "//Error") is a group message.
bool IsPersonal(const platform::CodePage& codePage, std::string_view to,
                std::string_view localNameUpper);

/// Whether a message that arrives (or a sent copy that is kept) is put on display: always with
/// "AutoShowNewMSG" 1, else only when nothing is shown.
bool ShowOnArrival(int autoShowNewMsg, bool nothingShown);

/// Whether a received datagram repeats the previous one within a window of
/// "DublicateMessagesTimeOut" poll ticks (255: for ever, 0: never). Computed, not acted on.
class DuplicateDetector {
public:
    explicit DuplicateDetector(int ticks);
    /// Called on every tick before polling.
    void Tick();
    /// Tests a received datagram and makes it the previous one.
    bool IsDuplicate(const MessageRecord& received);

private:
    int m_window;
    int m_countdown;
    bool m_open;
    std::string m_previous;
};

} // namespace kestrola::core
