// kestrola-cli base: the message base is binary and the program has no export, so this is how
// users read, export and check it. It opens the file read-only and never writes to it.

#include "CliOutput.h"
#include "Commands.h"
#include "base/StatusTexts.h"
#include "messaging/DatagramCodec.h"
#include "platform/File.h"
#include "platform/Platform.h"
#include "store/BaseFormat.h"
#include "store/HistoryLog.h"
#include "store/Stamp.h"

#include <cstdio>
#include <string>

namespace kestrola::cli {

namespace {

using core::BaseScan;
using core::MessageRecord;

// A base read whole while it was held, then let go of before anything is printed: a reader
// that waits on a pager must not keep the program from storing its messages.
struct LoadedBase {
    std::string bytes; // the whole file, when the records are wanted
    std::vector<std::uint32_t> offsets;
    BaseScan scan;
    bool whole = false;
    std::vector<MessageRecord> ends; // else just the first and the last record
};

enum class Want { Index, Records };

bool LoadBase(const std::string& path, LoadedBase& base, Want want) {
    platform::File file;
    std::string error;
    if (!file.Open(path, platform::FileMode::ReadShared)) {
        std::fprintf(stderr, "kestrola-cli: cannot open %s: %s\n", path.c_str(),
                     file.Error().c_str());
        return false;
    }
    if (want == Want::Records) {
        if (!file.ReadAll(base.bytes)) {
            std::fprintf(stderr, "kestrola-cli: cannot read %s: %s\n", path.c_str(),
                         file.Error().c_str());
            return false;
        }
        file.Close();
        base.whole = core::ScanBase(std::string_view(base.bytes), base.offsets, base.scan);
    } else {
        // The index is read in place; only the first and the last record are read out.
        base.whole = core::ScanBase(file, base.offsets, base.scan);
        for (const std::size_t index : {std::size_t{0}, base.offsets.size() - 1}) {
            MessageRecord r;
            if (!base.offsets.empty() &&
                core::ReadRecordAt(file, base.offsets[index], r, error) == core::RecordRead::Ok)
                base.ends.push_back(r);
        }
        file.Close();
    }
    if (!base.whole && !base.scan.damaged) {
        std::fprintf(stderr, "kestrola-cli: cannot read %s: %s\n", path.c_str(),
                     base.scan.reason.c_str());
        return false;
    }
    return true;
}

bool ReadAt(LoadedBase& base, std::size_t index, MessageRecord& r, std::string& reason) {
    core::MemoryBytes bytes(base.bytes);
    return core::ReadRecordAt(bytes, base.offsets[index], r, reason) == core::RecordRead::Ok;
}

void ReportDamage(const std::string& path, const BaseScan& scan) {
    std::fprintf(stderr, "%s: damaged record at offset %llu: %s\n", path.c_str(),
                 static_cast<unsigned long long>(scan.damagedOffset), scan.reason.c_str());
}

std::string StampText(const MessageRecord& r) {
    std::string text;
    for (const char c : r.stamp) {
        if (c == '\0')
            break;
        text += c;
    }
    return text;
}

std::string WithLineFeeds(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

int Stats(const std::string& path) {
    LoadedBase base;
    if (!LoadBase(path, base, Want::Index))
        return 1;
    std::printf("file: %s\n", path.c_str());
    std::printf("bytes: %llu\n", static_cast<unsigned long long>(base.scan.fileSize));
    std::printf("records: %zu\n", base.offsets.size());
    std::printf("new: %u\n", base.scan.newCount);
    if (base.ends.size() == 2) {
        std::printf("first: %s\n", StampText(base.ends[0]).c_str());
        std::printf("last: %s\n", StampText(base.ends[1]).c_str());
    }
    if (!base.whole) {
        ReportDamage(path, base.scan);
        return 1;
    }
    return 0;
}

int List(const std::string& path, const std::string& format) {
    LoadedBase base;
    if (!LoadBase(path, base, Want::Records))
        return 1;
    const auto codePage = platform::CreateCodePage();
    const bool json = format == "json";
    if (json)
        std::printf("[");
    int status = base.whole ? 0 : 1;
    for (std::size_t i = 0; i < base.offsets.size(); ++i) {
        MessageRecord r;
        std::string reason;
        const std::uint64_t offset = base.offsets[i];
        if (!ReadAt(base, i, r, reason)) {
            std::fprintf(stderr, "%s: record %zu at offset %llu unreadable: %s\n", path.c_str(),
                         i + 1, static_cast<unsigned long long>(offset), reason.c_str());
            status = 1;
            break;
        }
        core::DecodeDatagram(*codePage, r);
        const char* state = r.state == 0 ? "new" : "read";
        if (json) {
            std::printf(
                "%s\n  {\"number\": %zu, \"offset\": %llu, \"state\": \"%s\", \"from\": %s, "
                "\"to\": %s, \"stamp\": %s, \"text\": %s, \"body\": \"%s\"}",
                i == 0 ? "" : ",", i + 1, static_cast<unsigned long long>(offset), state,
                JsonString(r.from).c_str(), JsonString(r.to).c_str(),
                JsonString(r.dateText).c_str(), JsonString(r.text).c_str(),
                Hex(r.BodyBytes()).c_str());
        } else if (format == "history") {
            const auto time = core::ParseStamp(r.dateText);
            const std::string timeText =
                time ? core::HistoryTimeText(*time, core::LoadString(core::kHistoryTimeSeparator))
                     : r.dateText;
            const std::string entry = core::FormatHistoryEntry(r.from, r.to, timeText, r.text);
            std::fwrite(entry.data(), 1, entry.size(), stdout);
        } else {
            std::printf("#%zu %s %s\nFrom: %s\nTo:   %s\n%s\n\n", i + 1, state,
                        Printable(r.dateText).c_str(), Printable(r.from).c_str(),
                        Printable(r.to).c_str(), Printable(WithLineFeeds(r.text), true).c_str());
        }
    }
    if (json)
        std::printf("%s]\n", base.offsets.empty() ? "" : "\n");
    if (!base.whole)
        ReportDamage(path, base.scan);
    return status;
}

int Check(const std::string& path) {
    LoadedBase base;
    if (!LoadBase(path, base, Want::Index))
        return 1;
    // Not damage: what a short tail or an unfinished append left; the next record replaces it.
    if (base.scan.tailLength != 0)
        std::printf("ignored tail: %llu bytes at offset %llu\n",
                    static_cast<unsigned long long>(base.scan.tailLength),
                    static_cast<unsigned long long>(base.scan.dataEnd));
    if (!base.whole) {
        ReportDamage(path, base.scan);
        std::printf("damaged: %zu records index before offset %llu\n", base.offsets.size(),
                    static_cast<unsigned long long>(base.scan.damagedOffset));
        return 1;
    }
    std::printf("ok: %zu records, %u new\n", base.offsets.size(), base.scan.newCount);
    return 0;
}

} // namespace

int RunBaseCommand(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {"format"}, args, error)) {
        std::fprintf(stderr, "kestrola-cli base: %s\n", error.c_str());
        return 2;
    }
    if (args.words.size() != 2) {
        std::fprintf(stderr, "usage: kestrola-cli base stats|list|check FILE "
                             "[--format text|history|json]\n");
        return 2;
    }
    const std::string& verb = args.words[0];
    const std::string& path = args.words[1];
    if (verb == "stats")
        return Stats(path);
    if (verb == "check")
        return Check(path);
    if (verb == "list") {
        const std::string format = args.Option("format", "text");
        if (format != "text" && format != "history" && format != "json") {
            std::fprintf(stderr,
                         "kestrola-cli base list: unknown format '%s' "
                         "(text, history or json)\n",
                         format.c_str());
            return 2;
        }
        return List(path, format);
    }
    std::fprintf(stderr, "kestrola-cli base: unknown action '%s' (stats, list or check)\n",
                 verb.c_str());
    return 2;
}

} // namespace kestrola::cli
