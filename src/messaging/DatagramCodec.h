#pragma once

#include "platform/CodePage.h"
#include "store/MessageRecord.h"

#include <string>
#include <string_view>

namespace kestrola::core {

/// Bytes of a received datagram that are kept, decoded and stored.
constexpr std::size_t kKeptDatagramBytes = 110;
/// What a decoded field that came out empty reads.
constexpr std::string_view kEmptyField = "//Error";

/// The messenger datagram for sender, target and text: sender NUL TARGET NUL text NUL in the
/// OEM code page, the target upper-cased first. May contain NUL bytes.
std::string EncodeDatagram(const platform::CodePage& codePage, std::string_view sender,
                           std::string_view target, std::string_view text);

/// Fills `from`, `to`, `text` and `dateText` of `record` from its body and stamp.
void DecodeDatagram(const platform::CodePage& codePage, MessageRecord& record);

} // namespace kestrola::core
