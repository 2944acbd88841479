// Appends and deletes records of a message base until it is killed, printing each operation once
// it has succeeded ("A seq", "D seq"; "d seq" before a delete starts) for the crash test to check.
// With "load" for FIRST-SEQUENCE it only loads the base, as a start does.
#include "fakes/FixedClock.h"
#include "store/MessageBase.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

using namespace kestrola;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s BASE SEED FIRST-SEQUENCE|load\n", argv[0]);
        return 2;
    }
    std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
    unsigned long seq = std::strtoul(argv[3], nullptr, 10);
    platform::testing::FixedClock clock;
    core::MessageBase base(argv[1], std::string(argv[1]) + ".txt", clock);
    if (!base.LoadIndex())
        return 3;
    if (std::string(argv[3]) == "load")
        return 0;
    for (;; std::fflush(stdout)) {
        core::MessageRecord r;
        // Deletes keep the base small; the newest, the oldest and middle ones all get deleted.
        if (base.Count() > 0 && random() % 10 < 4) {
            const std::uint32_t index = 1 + random() % base.Count();
            if (base.ReadRecord(index, r) != core::MessageBase::kRead)
                return 4;
            const unsigned long deleting = std::strtoul(r.BodyBytes().c_str() + 4, nullptr, 10);
            // Said first: a kill between the delete and its report leaves it in doubt.
            std::printf("d %lu\n", deleting);
            std::fflush(stdout);
            if (base.DeleteRecord(index) != core::MessageBase::kDeleted)
                return 5;
            std::printf("D %lu\n", deleting);
        } else {
            r.SetBody(std::string("W\0X\0", 4) + std::to_string(seq) + '\0'); // text: the number
            if (!base.AppendRecord(r))
                return 6;
            std::printf("A %lu\n", seq++);
        }
    }
}
