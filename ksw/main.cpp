// ksw: the test and adjustment station. This file only picks the front-end; the engine is kswcore.
#include <cstdio>
#include <string>

#include "comkit32.h"
#include "ui/launch_options.h"
#include "zelw.h"

namespace {

constexpr int kExitStartupFailed = 3;
constexpr int kExitNotLoaded = 2;

void print_versions() {
    std::printf("ksw %s\n", KSW_VERSION);
    std::printf("zelw %X\n", static_cast<unsigned>(ZelwGetVersion()));
    std::printf("comkit32 %X\n", static_cast<unsigned>(ComkitGetVersion()));
}

}  // namespace

int main(int argc, char **argv) {
    ksw::LaunchOptions options;
    std::string error;
    if (!ksw::parse_launch_options(argc, argv, &options, &error)) {
        std::fprintf(stderr, "ksw: %s\n", error.c_str());
        return kExitStartupFailed;
    }
    if (options.help) {
        std::fputs(ksw::launch_usage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        print_versions();
        return 0;
    }
    std::fprintf(stderr, "ksw: loading and running test programs is not built yet\n");
    return kExitNotLoaded;
}
