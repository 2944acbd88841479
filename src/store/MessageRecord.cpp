#include "store/MessageRecord.h"

#include <algorithm>
#include <cstring>

namespace kestrola::core {

void MessageRecord::SetBody(const std::string& bytes) {
    bodyLength = static_cast<std::uint32_t>(std::min(bytes.size(), body.size()));
    body.fill(0);
    std::memcpy(body.data(), bytes.data(), bodyLength);
}

std::string MessageRecord::BodyBytes() const {
    return std::string(reinterpret_cast<const char*>(body.data()), bodyLength);
}

} // namespace kestrola::core
