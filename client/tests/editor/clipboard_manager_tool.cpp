// clipboard_manager_stand_in [multiple|one-by-one|never] [seconds]: holds
// CLIPBOARD_MANAGER on $DISPLAY, prints "READY" once it does, and after the
// first SAVE_TARGETS request (or the seconds, 60 by default) prints what it
// was given and exits:
//   LISTED <target>...       the targets the owner asked it to save
//   GOT <target> <hex bytes> each target fetched
// Exit status 1 when it could not take the selection, 2 when never asked.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/clipboard_manager_stand_in.h"

int main(int argc, char** argv) {
    using vobu::testing::ManagerStandIn;
    const std::string mode = argc > 1 ? argv[1] : "multiple";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 60.0;
    const ManagerStandIn::Fetch fetch = mode == "never"        ? ManagerStandIn::Fetch::Never
                                        : mode == "one-by-one" ? ManagerStandIn::Fetch::OneByOne
                                                               : ManagerStandIn::Fetch::Multiple;
    ManagerStandIn manager(fetch);
    if (!manager.owns()) return 1;
    std::printf("READY\n");
    std::fflush(stdout);
    ManagerStandIn::Report report = manager.report(seconds);
    if (!report.asked) return 2;
    std::printf("LISTED");
    for (const std::string& target : report.listed) std::printf(" %s", target.c_str());
    std::printf("\n");
    for (const auto& [target, bytes] : report.got) {
        std::printf("GOT %s ", target.c_str());
        for (uint8_t byte : bytes) std::printf("%02x", byte);
        std::printf("\n");
    }
    return 0;
}
