#include "messaging/ReceiveRules.h"

namespace kestrola::core {

bool IsPersonal(const platform::CodePage& codePage, std::string_view to,
                std::string_view localNameUpper) {
    return codePage.UpperCase(to) == localNameUpper;
}

bool ShowOnArrival(int autoShowNewMsg, bool nothingShown) {
    return autoShowNewMsg == 1 || nothingShown;
}

DuplicateDetector::DuplicateDetector(int ticks)
    : m_window(ticks), m_countdown(ticks), m_open(ticks > 0) {}

void DuplicateDetector::Tick() {
    if (m_window == 255) {
        m_open = true;
    } else if (m_window == 0) {
        m_open = false;
    } else {
        if (m_countdown == 0)
            m_open = false;
        --m_countdown;
    }
}

bool DuplicateDetector::IsDuplicate(const MessageRecord& received) {
    const std::string body = received.BodyBytes();
    const bool duplicate = m_open && body == m_previous;
    m_open = true;
    m_countdown = m_window;
    m_previous = body;
    return duplicate;
}

} // namespace kestrola::core
