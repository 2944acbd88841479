// kestrola-cli browse: the network's workgroups and computers as the recipient tree would show
// them, through the same network provider.

#include "CliOutput.h"
#include "Commands.h"
#include "platform/Platform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kestrola::cli {

namespace {

constexpr double kLongestWait = 600;
constexpr const char* kUsage = "usage: kestrola-cli browse [--wait S] [--format text|json]";

struct Listed {
    platform::NetResource group;
    std::vector<platform::NetResource> computers;
};

// Every entry of `container` (the top level for nullptr), in as many calls as it takes.
std::uint32_t ReadAll(platform::NetworkProvider& provider, const platform::NetResource* container,
                      std::vector<platform::NetResource>& out) {
    std::unique_ptr<platform::ResourceEnumeration> enumeration;
    std::uint32_t result = provider.OpenEnum(platform::kResourceGlobalNet,
                                             platform::kResourceTypeAny, 0, container, enumeration);
    if (result != platform::kNetNoError)
        return result;
    std::size_t size = 0x4000;
    bool grown = false;
    for (;;) {
        std::uint32_t count = platform::kEnumerateAll;
        std::vector<platform::NetResource> entries;
        result = enumeration->EnumResource(count, size, entries);
        if (result == platform::kNetErrorNoMoreItems)
            return platform::kNetNoError;
        if (result == platform::kNetErrorMoreData && !grown) {
            grown = true; // `size` now holds what the next entry needs
            continue;
        }
        if (result != platform::kNetNoError)
            return result;
        grown = false;
        out.insert(out.end(), entries.begin(), entries.end());
    }
}

std::string Bare(const std::string& remoteName) {
    return remoteName.rfind("\\\\", 0) == 0 ? remoteName.substr(2) : remoteName;
}

} // namespace

int RunBrowseCommand(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {"wait", "format"}, args, error) || !args.words.empty()) {
        std::fprintf(stderr, "%s\n%s\n",
                     error.empty() ? "kestrola-cli browse: unexpected words"
                                   : ("kestrola-cli browse: " + error).c_str(),
                     kUsage);
        return 2;
    }
    const std::string format = args.Option("format", "text");
    const std::string waitText = args.Option(
        "wait",
        std::to_string(std::chrono::duration<double>(platform::kBrowseCollectTime).count()));
    char* end = nullptr;
    const double wait = std::strtod(waitText.c_str(), &end);
    if (waitText.empty() || *end != '\0' || !(wait >= 0 && wait <= kLongestWait) ||
        (format != "text" && format != "json")) {
        std::fprintf(stderr,
                     "kestrola-cli browse: --wait takes seconds from 0 to 600, --format "
                     "text or json\n%s\n",
                     kUsage);
        return 2;
    }
    // The provider browses with the process's datagram service, held here with its ports.
    const auto mailslots = TakeListeningMailslots();
    const auto provider = platform::CreateNetworkProvider(
        std::chrono::milliseconds(static_cast<long long>(wait * 1000)));

    std::vector<platform::NetResource> networks;
    if (ReadAll(*provider, nullptr, networks) != platform::kNetNoError || networks.empty()) {
        std::fprintf(stderr, "kestrola-cli browse: no network to browse: %s\n",
                     provider->LastErrorText().c_str());
        return 1;
    }
    const platform::NetResource network = networks.front();
    std::vector<platform::NetResource> groups;
    if (ReadAll(*provider, &network, groups) != platform::kNetNoError) {
        std::fprintf(stderr, "kestrola-cli browse: %s\n", provider->LastErrorText().c_str());
        return 1;
    }
    std::vector<Listed> listed;
    int failures = 0;
    for (const platform::NetResource& group : groups) {
        Listed entry{group, {}};
        if (ReadAll(*provider, &group, entry.computers) != platform::kNetNoError) {
            std::fprintf(stderr, "kestrola-cli browse: %s: %s\n", group.remoteName.c_str(),
                         provider->LastErrorText().c_str());
            ++failures;
        }
        listed.push_back(std::move(entry));
    }

    if (format == "json") {
        std::printf("{\"provider\": %s, \"workgroups\": [", JsonString(network.provider).c_str());
        for (std::size_t g = 0; g < listed.size(); ++g) {
            const Listed& entry = listed[g];
            std::printf("%s{\"name\": %s, \"master\": %s, \"computers\": [", g ? ", " : "",
                        JsonString(entry.group.remoteName).c_str(),
                        JsonString(entry.group.comment).c_str());
            for (std::size_t c = 0; c < entry.computers.size(); ++c)
                std::printf("%s{\"name\": %s, \"comment\": %s}", c ? ", " : "",
                            JsonString(Bare(entry.computers[c].remoteName)).c_str(),
                            JsonString(entry.computers[c].comment).c_str());
            std::printf("]}");
        }
        std::printf("]}\n");
    } else {
        for (const Listed& entry : listed) {
            std::printf("%s\n", Printable(entry.group.remoteName).c_str());
            for (const platform::NetResource& computer : entry.computers) {
                const std::string name = Printable(Bare(computer.remoteName));
                if (computer.comment.empty())
                    std::printf("    %s\n", name.c_str());
                else
                    std::printf("    %-16s%s\n", name.c_str(), Printable(computer.comment).c_str());
            }
        }
    }
    return failures == 0 ? 0 : 1;
}

} // namespace kestrola::cli
