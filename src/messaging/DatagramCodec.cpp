#include "messaging/DatagramCodec.h"

#include <algorithm>

namespace kestrola::core {

namespace {

// A NUL inside a field would split it on the wire; it travels as '?' instead.
std::string FieldToOem(const platform::CodePage& codePage, std::string_view ansi) {
    std::string oem = codePage.AnsiToOem(ansi);
    std::replace(oem.begin(), oem.end(), '\0', '?');
    return oem;
}

} // namespace

std::string EncodeDatagram(const platform::CodePage& codePage, std::string_view sender,
                           std::string_view target, std::string_view text) {
    std::string datagram = FieldToOem(codePage, sender);
    datagram += '\0';
    datagram += FieldToOem(codePage, codePage.UpperCase(target));
    datagram += '\0';
    datagram += FieldToOem(codePage, text);
    datagram += '\0';
    return datagram;
}

void DecodeDatagram(const platform::CodePage& codePage, MessageRecord& record) {
    const std::size_t n = std::min<std::size_t>(record.bodyLength, record.body.size());
    // Bytes beyond the valid length read as NUL, whatever an earlier record left there.
    auto at = [&](std::size_t i) -> std::uint8_t { return i < n ? record.body[i] : 0; };

    std::size_t i = 0;
    // One field: its first byte is always examined; it ends after a NUL or at the end.
    auto takeName = [&]() {
        std::string field;
        do {
            const std::uint8_t b = at(i++);
            if (b == 0)
                break;
            if (b >= 0x20)
                field += static_cast<char>(b);
        } while (i < n);
        return field;
    };
    std::string from = takeName();
    std::string to = takeName();
    std::string text;
    do {
        const std::uint8_t b = at(i++);
        if (b == 0)
            break;
        if (b == 0x14)
            text += "\r\n";
        else if (b >= 0x0A)
            text += static_cast<char>(b);
    } while (i < n);

    record.dateText.clear();
    for (const char c : record.stamp) {
        if (c == '\0')
            break;
        record.dateText += c;
    }

    record.from = codePage.OemToAnsi(from);
    record.to = codePage.OemToAnsi(to);
    record.text = codePage.OemToAnsi(text);
    for (std::string* field : {&record.from, &record.text, &record.to}) {
        if (field->empty())
            *field = kEmptyField;
    }
}

} // namespace kestrola::core
