#pragma once

#include "base/Text.h"

#include <string>
#include <string_view>

namespace kestrola::core {

/// The most characters the recipient and the text may hold together.
constexpr int kLengthLimit = 100;
/// The most characters of the recipient box.
constexpr int kRecipientLimit = 32;
/// The most characters of the composer.
constexpr int kComposerLimit = 16384;

// CharacterCount (base/Text.h) counts a text's characters: each is one OEM byte on the wire.

/// Recipient and composer characters together, as the length indicator counts them.
int UsedLength(std::string_view recipient, std::string_view composer);

/// The length indicator's text: "used/100".
std::string LengthIndicatorText(int usedLength);

/// The first input check of a send that fails, as its string-table id (1325 too long, 1292 no
/// recipient, 1293 no text), or 0 when the send may go ahead.
int CheckSend(std::string_view recipient, std::string_view composer, bool anyTreeItemChecked);

/// The composer text of a reply: the quotation of the viewer text followed by CR LF.
/// `excludeDoubleReply` 1 leaves out lines that begin with ">", 0 quotes every line, any other
/// value copies the lines without ">".
std::string QuoteForReply(std::string_view viewerText, int excludeDoubleReply);

} // namespace kestrola::core
