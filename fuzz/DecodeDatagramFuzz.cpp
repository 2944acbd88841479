// Arbitrary bytes as a received datagram: the receive cut, then decoding with every code page
// the program can be set to.
#include "messaging/DatagramCodec.h"
#include "platform/linux/LinuxCodePage.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

using namespace kestrola;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::unique_ptr<platform::LinuxCodePage>> pages = [] {
        std::vector<std::unique_ptr<platform::LinuxCodePage>> all;
        for (const int number : {437, 850, 852, 866, 737, 857, 775, 862})
            all.push_back(platform::LinuxCodePage::Create(number));
        return all;
    }();
    if (size == 0)
        return 0;
    const auto& page = *pages[data[0] % pages.size()];
    core::MessageRecord r;
    // Leave stale bytes behind the body, as a reused record has them.
    r.body.fill(0xAB);
    const std::size_t kept = std::min(size - 1, core::kBodyCapacity);
    std::memcpy(r.body.data(), data + 1, kept);
    r.bodyLength = static_cast<std::uint32_t>(kept);
    std::memcpy(r.stamp.data(), data + 1, std::min(size - 1, r.stamp.size()));
    core::DecodeDatagram(page, r);
    if (r.from.empty() || r.to.empty() || r.text.empty())
        __builtin_trap();
    // Encoding what was decoded must give a well-formed datagram again.
    const std::string again = core::EncodeDatagram(page, r.from, r.to, r.text);
    if (std::count(again.begin(), again.end(), '\0') != 3 || again.back() != '\0')
        __builtin_trap();
    return 0;
}
