#include "Commands.h"

#include <cstdio>
#include <cstring>

namespace {

void PrintUsage(std::FILE* to) {
    // One command per line, columns aligned.
    // clang-format off
    std::fprintf(to,
                 "usage: kestrola-cli COMMAND ...\n"
                 "\n"
                 "commands:\n"
                 "  base stats FILE                         counts and first/last stamp\n"
                 "  base list FILE [--format text|history|json]\n"
                 "                                          every record, decoded\n"
                 "  base check FILE                         exit 0 when every record indexes\n"
                 "  send [--from NAME] TARGET TEXT...       one message to a computer, a\n"
                 "                                          workgroup or *\n"
                 "  send --hex BYTES TARGET                 a datagram of the given bytes\n"
                 "       (either with --repeat N: N datagrams back to back)\n"
                 "  listen [--count N] [--timeout S] [--format text|json|hex]\n"
                 "         [--hold S] [--stats]             print the messages that arrive\n"
                 "  names [--resolve NAME [--suffix HEX]]   our names, or who holds a name\n"
                 "  settings list [--ini]                   every setting with its value\n"
                 "  settings get [--ini] SECTION KEY        one setting's value\n"
                 "  settings set [--ini] SECTION KEY VALUE  change a setting between runs\n"
                 "  browse [--wait S] [--format text|json]  workgroups and their computers\n");
    // clang-format on
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (std::strcmp(argv[1], "base") == 0)
        return kestrola::cli::RunBaseCommand(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "send") == 0)
        return kestrola::cli::RunSendCommand(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "listen") == 0)
        return kestrola::cli::RunListenCommand(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "names") == 0)
        return kestrola::cli::RunNamesCommand(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "settings") == 0)
        return kestrola::cli::RunSettingsCommand(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "browse") == 0)
        return kestrola::cli::RunBrowseCommand(argc - 2, argv + 2);
    std::fprintf(stderr, "kestrola-cli: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
