#include "app/StandInNetwork.h"

#include "platform/CodePage.h"
#include "platform/Mailslots.h"

namespace kestrola::core {

StandInNetwork::StandInNetwork(const platform::Mailslots& mailslots,
                               const platform::CodePage& codePage)
    : m_localName(mailslots.Identity().computerName),
      m_localNameUpper(codePage.UpperCase(m_localName)) {}

} // namespace kestrola::core
