#!/usr/bin/env bash
# Sourced by scripts/test.sh: makes a private PulseAudio daemon with one null sink available to the engine
# tests, so the real output path can be recorded through the sink's monitor. It never fails the caller: when
# no daemon can be had, QIVA_PULSE_SERVER stays unset and the tests that need it skip.
# Exports PULSE_SERVER and QIVA_PULSE_SERVER (the same socket) and QIVA_PULSE_SINK (the null sink's name).

qiva_start_pulse() {
    local dir="${TMPDIR:-/tmp}/qiva-pulse-$(id -u)"
    local socket="$dir/native"
    local server="unix:$socket"
    command -v pulseaudio >/dev/null 2>&1 || { echo "start-pulse: pulseaudio is not installed" >&2; return 0; }
    mkdir -p "$dir" && chmod 700 "$dir" || return 0
    if ! PULSE_SERVER="$server" timeout 5 pactl info >/dev/null 2>&1; then
        rm -f "$socket"
        # As root the daemon only warns; a runtime and state dir of its own keep it away from any user session.
        XDG_RUNTIME_DIR="$dir" HOME="$dir" timeout 10 pulseaudio -n --daemonize=yes --exit-idle-time=-1 \
            --use-pid-file=yes --disallow-exit=false --log-target=syslog \
            -L "module-null-sink sink_name=qiva_null rate=48000" \
            -L "module-native-protocol-unix auth-anonymous=1 socket=$socket" \
            -L "module-always-sink" >/dev/null 2>&1
        local i
        for i in $(seq 1 50); do
            PULSE_SERVER="$server" timeout 2 pactl info >/dev/null 2>&1 && break
            sleep 0.1
        done
    fi
    if PULSE_SERVER="$server" timeout 5 pactl info >/dev/null 2>&1; then
        export PULSE_SERVER="$server" QIVA_PULSE_SERVER="$server" QIVA_PULSE_SINK=qiva_null
        echo "start-pulse: PulseAudio with a null sink at $server"
    else
        echo "start-pulse: no PulseAudio daemon could be started; tests of the real output will skip" >&2
    fi
}
qiva_start_pulse
unset -f qiva_start_pulse
