// Arbitrary bytes as a base file: index it, then read and decode every indexed record.
#include "messaging/DatagramCodec.h"
#include "messaging/Reporting.h"
#include "platform/linux/LinuxCodePage.h"
#include "platform/testing/FixedClock.h"
#include "store/MessageBase.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace kestrola;

namespace {

class SilentSink : public core::ReportSink {
public:
    void ShowMessage(int) override {}
    void ShowText(const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SilentSink sink;
    static core::ScopedReportSink installed(&sink);
    static const std::string path = [] {
        static std::string name = "/tmp/kestrola-fuzz-base-" + std::to_string(getpid());
        std::atexit([] {
            std::remove(name.c_str());
            std::remove((name + ".txt").c_str());
        });
        return name;
    }();
    static const auto page = platform::LinuxCodePage::Create(437);
    static platform::testing::FixedClock clock;

    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);

    core::MessageBase base(path, path + ".txt", clock);
    base.LoadIndex();
    if (base.offsets.size() != base.count + 1u || base.newCount < 0 ||
        static_cast<std::uint32_t>(base.newCount) > base.count)
        __builtin_trap();
    for (std::uint32_t i = 1; i <= base.count; ++i) {
        core::MessageRecord r;
        if (base.ReadRecord(i, r) != core::MessageBase::kRead || r.bodyLength > r.body.size())
            __builtin_trap();
        core::DecodeDatagram(*page, r);
    }
    return 0;
}
