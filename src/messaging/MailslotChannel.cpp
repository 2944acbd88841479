#include "messaging/MailslotChannel.h"

#include "base/Reporting.h"
#include "base/StatusTexts.h"
#include "messaging/DatagramCodec.h"

#include <algorithm>
#include <cstdio>

namespace kestrola::core {

using platform::MailslotStatus;

bool MailslotChannel::Open() {
    m_open = false;
    m_reader.reset();
    const platform::MailslotResult result = m_mailslots.CreateMailslot(kLocalMailslot, m_reader);
    if (!result.ok()) {
        m_reader.reset();
        // The numbered text cannot say which port is held or why; the standard error can.
        if (!result.detail.empty())
            std::fprintf(stderr, "kestrola: %s\n", result.detail.c_str());
        ShowSystemMessage(kFailedCreateMailslot);
        return false;
    }
    m_open = true;
    return true;
}

ReceiveResult MailslotChannel::Receive(MessageRecord& record, platform::DatagramOrigin* origin,
                                       std::string* whole) {
    std::fill_n(record.body.begin(), kReceiveBufferBytes, std::uint8_t{0});
    if (!m_open)
        return ReceiveFailed;
    std::uint32_t nextSize = 0;
    std::uint32_t count = 0;
    if (!m_reader->GetInfo(nextSize, count)) {
        ShowSystemMessage(kFailedGetStatus);
        Close();
        return ReceiveFailed;
    }
    if (count == 0)
        return NothingReceived;
    std::size_t got = 0;
    // A longer message is cut to the buffer by the read; nothing is written past it.
    if (!m_reader->Read(record.body.data(), kReceiveBufferBytes, got, origin)) {
        ShowSystemMessage(kFailedCreateMailslot);
        Close();
        return ReceiveFailed;
    }
    if (whole != nullptr)
        whole->assign(reinterpret_cast<const char*>(record.body.data()), got);
    record.bodyLength = static_cast<std::uint32_t>(got);
    if (got > kKeptDatagramBytes) {
        record.bodyLength = kKeptDatagramBytes;
        // Only the kept bytes stay; the cut tail must not linger in the record.
        std::fill(record.body.begin() + kKeptDatagramBytes,
                  record.body.begin() + kReceiveBufferBytes, std::uint8_t{0});
    }
    record.state = 0;
    return record.body[0] != 0 ? MessageReceived : NothingReceived;
}

bool MailslotChannel::Send(const std::string& target, const char* bytes, std::size_t length) {
    const std::string path = kRemotePathPrefix + target + kRemotePathSuffix;
    std::size_t written = 0;
    const platform::MailslotResult result =
        m_mailslots.WriteMailslot(path, std::string_view(bytes, length), written);
    if (!result.ok() && result.status != MailslotStatus::WriteFailed) {
        if (!result.detail.empty())
            std::fprintf(stderr, "kestrola: %s\n", result.detail.c_str());
        ShowSystemMessage(kFailedCreateFileToWrite);
        return false;
    }
    if (result.status == MailslotStatus::WriteFailed) {
        if (!result.detail.empty())
            std::fprintf(stderr, "kestrola: %s\n", result.detail.c_str());
        ShowSystemMessage(kFailedSendToSlot);
    }
    if (written != length)
        ShowSystemMessage(kNoRightSendLength);
    else if (result.ok() && !result.detail.empty())
        std::fprintf(stderr, "kestrola: %s\n", result.detail.c_str()); // sent, with a caveat
    return result.ok() && written == length;
}

void MailslotChannel::Close() {
    if (m_open)
        m_reader.reset();
    m_open = false;
}

platform::MailslotCounters MailslotChannel::Counters() const {
    return m_reader ? m_reader->Counters() : platform::MailslotCounters{};
}

std::vector<platform::SourceDrops> MailslotChannel::TakeDropEpisode() {
    return m_reader ? m_reader->TakeDropEpisode() : std::vector<platform::SourceDrops>{};
}

std::string DropEpisodeText(const std::vector<platform::SourceDrops>& drops) {
    std::string text = "Messages were lost because too many arrived at once:";
    const char* separator = " ";
    for (const platform::SourceDrops& d : drops) {
        text +=
            separator + std::to_string(d.dropped) + " from " +
            (d.address == 0 ? std::string("other computers") : platform::AddressText(d.address));
        separator = ", ";
    }
    return text + ".";
}

} // namespace kestrola::core
