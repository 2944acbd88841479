// Arbitrary bytes as a base file: index it, then read and decode every indexed record; then the
// edits the program makes: load, append, load (the new record is indexed and reads back), and
// load, delete, load (no byte outside the deleted record changes).
#include "base/Reporting.h"
#include "fakes/FixedClock.h"
#include "messaging/DatagramCodec.h"
#include "platform/linux/LinuxCodePage.h"
#include "store/BaseFormat.h"
#include "store/MessageBase.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

using namespace kestrola;

namespace {

class SilentSink : public core::ReportSink {
public:
    void ShowMessage(int) override {}
    void ShowText(const std::string&) override {}
};

void Write(const std::string& path, const std::uint8_t* data, std::size_t size) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        __builtin_trap();
    std::fwrite(data, 1, size, out);
    std::fclose(out);
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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

    Write(path, data, size);
    {
        core::MessageBase base(path, path + ".txt", clock);
        base.LoadIndex();
        if (base.Offsets().size() != base.Count() + 1u || base.NewCount() < 0 ||
            static_cast<std::uint32_t>(base.NewCount()) > base.Count())
            __builtin_trap();
        for (std::uint32_t i = 1; i <= base.Count(); ++i) {
            core::MessageRecord r;
            if (base.ReadRecord(i, r) != core::MessageBase::kRead || r.bodyLength > r.body.size())
                __builtin_trap();
            core::DecodeDatagram(*page, r);
        }
    }

    // Append: the new record is the last one indexed after a fresh load, and reads back.
    Write(path, data, size);
    {
        core::MessageBase base(path, path + ".txt", clock);
        base.LoadIndex();
        core::MessageRecord r;
        r.SetBody(std::string("FUZZ\0BASE\0appended\0", 19));
        if (!base.AppendRecord(r))
            __builtin_trap();
        const std::uint32_t offset = base.Offsets().back();
        core::MessageBase again(path, path + ".txt", clock);
        again.LoadIndex();
        core::MessageRecord back;
        // Behind damage a record cannot be indexed by a load; it is still in the file.
        const bool indexed = again.Count() > 0 && again.Offsets().back() == offset;
        if (indexed && (again.ReadRecord(again.Count(), back) != core::MessageBase::kRead ||
                        back.BodyBytes() != r.BodyBytes()))
            __builtin_trap();
        if (!indexed && Read(path).compare(offset, std::string::npos, core::EncodeRecord(r)) != 0)
            __builtin_trap();
    }

    // Delete: exactly the bytes of one indexed record go.
    Write(path, data, size);
    core::MessageBase base(path, path + ".txt", clock);
    base.LoadIndex();
    if (base.Count() == 0)
        return 0;
    const std::uint32_t index = 1 + (size > 0 ? data[0] : 0) % base.Count();
    const std::string before = Read(path);
    const std::uint64_t start = base.Offsets()[index];
    if (base.DeleteRecord(index) != core::MessageBase::kDeleted)
        return 0;
    const std::string after = Read(path);
    const std::uint64_t removed = before.size() - after.size();
    if (before.compare(0, start, after, 0, start) != 0 ||
        before.compare(start + removed, std::string::npos, after, start) != 0)
        __builtin_trap();
    core::MessageBase again(path, path + ".txt", clock);
    again.LoadIndex();
    if (again.Count() != base.Count())
        __builtin_trap();
    return 0;
}
