// Message base against the bare file operations it is built from, on a base of 1,000,000
// generated records. Prints each ratio; targets: LoadIndex <= 1.0x a raw read in 1 MiB blocks,
// delete <= 1.5x copying the file, append >= 0.5x a bare open-append-sync-close loop (as a rate;
// every append is on the disk before it counts as stored).
#include "base/Reporting.h"
#include "platform/Platform.h"
#include "store/BaseFormat.h"
#include "store/MessageBase.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

using namespace kestrola;

namespace {

constexpr int kRecords = 1000000;

class SilentSink : public core::ReportSink {
public:
    void ShowMessage(int id) override { std::fprintf(stderr, "report %d\n", id); }
    void ShowText(const std::string&) override {}
};

struct Fixture {
    std::string dir;
    std::string base;
    std::unique_ptr<platform::Clock> clock = platform::CreateClock();

    Fixture() {
        dir = std::filesystem::temp_directory_path() / "kestrola-bench-XXXXXX";
        if (mkdtemp(dir.data()) == nullptr)
            std::abort();
        base = dir + "/big.msg";
        std::string bytes;
        for (int i = 0; i < kRecords; ++i) {
            core::MessageRecord r;
            r.SetBody("PC" + std::to_string(i % 500) + std::string(1, '\0') + "WORKGROUP" +
                      std::string(1, '\0') + "message number " + std::to_string(i) +
                      std::string(1, '\0'));
            r.state = i % 7 == 0 ? 0 : 1;
            bytes += core::EncodeRecord(r);
        }
        FILE* f = std::fopen(base.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    ~Fixture() { std::filesystem::remove_all(dir); }
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void BM_RawRead_1MiBBlocks(benchmark::State& state) {
    std::vector<char> block(1 << 20);
    for (auto _ : state) {
        const int fd = ::open(Shared().base.c_str(), O_RDONLY);
        std::size_t total = 0;
        ssize_t n;
        while ((n = ::read(fd, block.data(), block.size())) > 0)
            total += static_cast<std::size_t>(n);
        ::close(fd);
        benchmark::DoNotOptimize(total);
    }
}

void BM_MessageBase_LoadIndex(benchmark::State& state) {
    for (auto _ : state) {
        core::MessageBase base(Shared().base, Shared().dir + "/h.txt", *Shared().clock);
        if (!base.LoadIndex() || base.Count() != kRecords)
            state.SkipWithError("LoadIndex failed");
        benchmark::DoNotOptimize(base.Offsets().data());
    }
}

core::MessageRecord SampleRecord() {
    core::MessageRecord r;
    r.SetBody(std::string("PC1\0WORKGROUP\0a short message of some length\0", 45));
    return r;
}

void BareAppend(benchmark::State& state, bool sync) {
    const std::string path = Shared().dir + "/bare.msg";
    const std::string bytes = core::EncodeRecord(SampleRecord());
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666);
        if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            state.SkipWithError("write failed");
        if (sync)
            ::fdatasync(fd);
        ::close(fd);
    }
    std::filesystem::remove(path);
}

void BM_BareAppend_OpenWriteClose(benchmark::State& state) {
    BareAppend(state, false);
}

// What the disk's sync costs by itself, the floor of an append that is on the disk on return.
void BM_BareAppend_OpenWriteSyncClose(benchmark::State& state) {
    BareAppend(state, true);
}

void BM_MessageBase_AppendRecord(benchmark::State& state) {
    const std::string path = Shared().dir + "/append.msg";
    core::MessageBase base(path, Shared().dir + "/h.txt", *Shared().clock);
    base.LoadIndex();
    core::MessageRecord r = SampleRecord();
    for (auto _ : state) {
        if (!base.AppendRecord(r))
            state.SkipWithError("append failed");
    }
    std::filesystem::remove(path);
}

void CopyFile(const std::string& from, const std::string& to, bool sync) {
    std::vector<char> block(1 << 20);
    const int in = ::open(from.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ssize_t n;
    while ((n = ::read(in, block.data(), block.size())) > 0) {
        if (::write(out, block.data(), static_cast<std::size_t>(n)) != n)
            std::abort();
    }
    if (sync)
        ::fsync(out);
    ::close(in);
    ::close(out);
}

void BM_CopyFile(benchmark::State& state) {
    const std::string copy = Shared().dir + "/copy.msg";
    for (auto _ : state)
        CopyFile(Shared().base, copy, false);
    std::filesystem::remove(copy);
}

void BM_CopyFileSynced(benchmark::State& state) {
    const std::string copy = Shared().dir + "/copy.msg";
    for (auto _ : state)
        CopyFile(Shared().base, copy, true);
    std::filesystem::remove(copy);
}

void BM_MessageBase_DeleteMiddle(benchmark::State& state) {
    const std::string path = Shared().dir + "/delete.msg";
    CopyFile(Shared().base, path, false);
    core::MessageBase base(path, Shared().dir + "/h.txt", *Shared().clock);
    base.LoadIndex();
    for (auto _ : state) {
        if (base.DeleteRecord(base.Count() / 2) != core::MessageBase::kDeleted)
            state.SkipWithError("delete failed");
    }
    std::filesystem::remove(path);
}

// The viewer's steps on the big base: each reads or writes one record of it.
struct ViewerBase {
    std::string path = Shared().dir + "/viewer.msg";
    core::MessageBase base{path, Shared().dir + "/h.txt", *Shared().clock};
    ViewerBase() {
        CopyFile(Shared().base, path, false);
        base.LoadIndex();
        base.SetCurrent(base.Count() / 2);
    }
    ~ViewerBase() { std::filesystem::remove(path); }
};

void BM_Viewer_NextPrevious(benchmark::State& state) {
    ViewerBase v;
    core::MessageRecord r;
    for (auto _ : state) {
        if (!v.base.NextRecord(r) || !v.base.PreviousRecord(r))
            state.SkipWithError("step failed");
    }
}

// What Reply asks of the base: the shown record marked read.
void BM_Viewer_ReplyMark(benchmark::State& state) {
    ViewerBase v;
    for (auto _ : state)
        benchmark::DoNotOptimize(v.base.MarkRead(v.base.Current()));
}

// Deleting the newest record; one is stored again outside the timing for the next round.
void BM_Viewer_DeleteNewest(benchmark::State& state) {
    ViewerBase v;
    core::MessageRecord r = SampleRecord();
    for (auto _ : state) {
        if (v.base.DeleteRecord(v.base.Count()) != core::MessageBase::kDeleted)
            state.SkipWithError("delete failed");
        state.PauseTiming();
        v.base.AppendRecord(r);
        state.ResumeTiming();
    }
}

BENCHMARK(BM_RawRead_1MiBBlocks)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_MessageBase_LoadIndex)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_BareAppend_OpenWriteClose)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareAppend_OpenWriteSyncClose)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MessageBase_AppendRecord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_CopyFileSynced)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_MessageBase_DeleteMiddle)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_Viewer_NextPrevious)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Viewer_ReplyMark)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Viewer_DeleteNewest)->Unit(benchmark::kMicrosecond)->Iterations(200);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.benchmark_name().substr(0, run.benchmark_name().find('/'))] =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    SilentSink sink;
    core::ScopedReportSink installed(&sink);
    benchmark::Initialize(&argc, argv);
    std::fprintf(stderr, "generating a base of %d records...\n", kRecords);
    std::fprintf(stderr, "base file: %llu bytes\n",
                 static_cast<unsigned long long>(std::filesystem::file_size(Shared().base)));
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.times;
    auto ratio = [&](const char* what, const char* ours, const char* baseline, const char* target) {
        if (t.count(ours) && t.count(baseline))
            std::printf("%-44s %6.2fx  (target %s)\n", what, t[ours] / t[baseline], target);
    };
    std::printf("\nratios (time of ours / time of baseline):\n");
    ratio("LoadIndex / raw read in 1 MiB blocks", "BM_MessageBase_LoadIndex",
          "BM_RawRead_1MiBBlocks", "<= 1.0");
    ratio("DeleteRecord (middle) / copy of the file", "BM_MessageBase_DeleteMiddle", "BM_CopyFile",
          "<= 1.5");
    ratio("DeleteRecord (middle) / copy with fsync", "BM_MessageBase_DeleteMiddle",
          "BM_CopyFileSynced", "info");
    const auto budget = [&](const char* what, const char* name, double perRound, double ms) {
        if (t.count(name))
            std::printf("%-44s %6.2f ms  (target <= %.0f ms)\n", what, t[name] * 1e3 / perRound,
                        ms);
    };
    budget("viewer Next or Previous on 1M records", "BM_Viewer_NextPrevious", 2, 5);
    budget("viewer Reply (mark read) on 1M records", "BM_Viewer_ReplyMark", 1, 5);
    budget("viewer Delete of the newest on 1M records", "BM_Viewer_DeleteNewest", 1, 5);
    const auto rate = [&](const char* what, const char* baseline, const char* target) {
        if (t.count("BM_MessageBase_AppendRecord") && t.count(baseline))
            std::printf("%-44s %6.2fx  (target %s)\n", what,
                        t[baseline] / t["BM_MessageBase_AppendRecord"], target);
    };
    rate("AppendRecord rate / bare append rate", "BM_BareAppend_OpenWriteClose", "info");
    rate("AppendRecord rate / bare synced append rate", "BM_BareAppend_OpenWriteSyncClose",
         ">= 0.5");
    if (t.count("BM_BareAppend_OpenWriteSyncClose") && t.count("BM_BareAppend_OpenWriteClose"))
        std::printf("%-44s %6.1f us\n", "the sync's cost per message",
                    (t["BM_BareAppend_OpenWriteSyncClose"] - t["BM_BareAppend_OpenWriteClose"]) *
                        1e6);
    benchmark::Shutdown();
    return 0;
}
