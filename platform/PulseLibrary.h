#pragma once

#include <pulse/pulseaudio.h>

namespace qiva {

// libpulse is loaded the first time a song is played rather than with the program: with the libraries it
// brings along it is a dozen shared objects, which cost the start-up about two milliseconds. A machine
// without it plays through the silent output, like one whose sound server does not answer.
#define QIVA_PULSE_FUNCTIONS(X)              \
    X(pa_context_connect)                    \
    X(pa_context_disconnect)                 \
    X(pa_context_get_state)                  \
    X(pa_context_new)                        \
    X(pa_context_rttime_new)                 \
    X(pa_context_set_sink_input_volume)      \
    X(pa_context_set_state_callback)         \
    X(pa_context_unref)                      \
    X(pa_cvolume_set)                        \
    X(pa_operation_cancel)                   \
    X(pa_operation_get_state)                \
    X(pa_operation_unref)                    \
    X(pa_rtclock_now)                        \
    X(pa_stream_connect_playback)            \
    X(pa_stream_cork)                        \
    X(pa_stream_disconnect)                  \
    X(pa_stream_drain)                       \
    X(pa_stream_get_index)                   \
    X(pa_stream_get_state)                   \
    X(pa_stream_get_time)                    \
    X(pa_stream_get_timing_info)             \
    X(pa_stream_new)                         \
    X(pa_stream_set_latency_update_callback) \
    X(pa_stream_set_started_callback)        \
    X(pa_stream_set_state_callback)          \
    X(pa_stream_set_underflow_callback)      \
    X(pa_stream_set_write_callback)          \
    X(pa_stream_unref)                       \
    X(pa_stream_writable_size)               \
    X(pa_stream_write)                       \
    X(pa_threaded_mainloop_free)             \
    X(pa_threaded_mainloop_get_api)          \
    X(pa_threaded_mainloop_lock)             \
    X(pa_threaded_mainloop_new)              \
    X(pa_threaded_mainloop_signal)           \
    X(pa_threaded_mainloop_start)            \
    X(pa_threaded_mainloop_stop)             \
    X(pa_threaded_mainloop_unlock)           \
    X(pa_threaded_mainloop_wait)             \
    X(pa_usec_to_bytes)

// The functions the sound output uses, each with libpulse's own signature.
struct PulseLibrary {
#define QIVA_PULSE_POINTER(name) decltype(&::name) name = nullptr;
    QIVA_PULSE_FUNCTIONS(QIVA_PULSE_POINTER)
#undef QIVA_PULSE_POINTER
};

// libpulse, loaded on the first call; nullptr when it cannot be loaded.
const PulseLibrary* Pulse();

// Loads `file` and finds every function in it; nullptr (and nothing kept loaded) when the file cannot be
// loaded or lacks one of them. What it returns stays valid for the life of the program.
const PulseLibrary* LoadPulseLibrary(const char* file);

}  // namespace qiva
