// skelmor-doctor: says in plain words what the computer-use host can see on this desktop,
// and why it would refuse ("mac_locked", "screen_permission_required",
// "accessibility_permission_required", "engine_failed"). --json gives the same as an
// object. Exit status 0 when the host could work, 1 when it could not, 2 for a bad option.

#include "desktop_probe.h"
#include "tarnwick_version.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("skelmor-doctor %s\n", tarnwick::kVersion);
            return 0;
        } else {
            std::fprintf(stderr, "usage: skelmor-doctor [--json] [--version]\n");
            return 2;
        }
    }
    const auto facts = doctor::probeDesktop();
    const std::string text = json ? common::compact(facts) + "\n" : doctor::describe(facts);
    std::fputs(text.c_str(), stdout);
    return facts["verdict"].empty() ? 0 : 1;
}
