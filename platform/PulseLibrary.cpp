#include "platform/PulseLibrary.h"

#include <dlfcn.h>

#include <memory>

namespace qiva {

const PulseLibrary* LoadPulseLibrary(const char* file) {
    void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    auto lib = std::make_unique<PulseLibrary>();
    bool complete = true;
#define QIVA_PULSE_FIND(name)                                                \
    lib->name = reinterpret_cast<decltype(lib->name)>(dlsym(handle, #name)); \
    complete = complete && lib->name != nullptr;
    QIVA_PULSE_FUNCTIONS(QIVA_PULSE_FIND)
#undef QIVA_PULSE_FIND
    if (!complete) {
        dlclose(handle);
        return nullptr;
    }
    return lib.release();  // like the library itself, kept until the program ends
}

const PulseLibrary* Pulse() {
    static const PulseLibrary* const library = LoadPulseLibrary("libpulse.so.0");
    return library;
}

}  // namespace qiva
