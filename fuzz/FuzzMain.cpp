// One libFuzzer target; QIVA_FUZZ_TARGET names which reader it feeds.

#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const qiva::fuzz::Target target = qiva::fuzz::TargetNamed(QIVA_FUZZ_TARGET);
    const std::string why = target(data, size);
    if (!why.empty()) {
        // An abort makes libFuzzer keep the input as a crash, like any sanitizer report.
        std::fprintf(stderr, "qiva fuzz target %s: %s\n", QIVA_FUZZ_TARGET, why.c_str());
        std::abort();
    }
    return 0;
}
