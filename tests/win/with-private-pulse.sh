#!/usr/bin/env bash
# Runs a command with a private PulseAudio server of two null sinks ("Test"
# and "TestB") that Wine's sound driver reaches, and names the wave-out
# devices Wine makes of it in PARLINO_TEST_SINKS: first the server's default
# output, under the server's name, then the sinks in the server's order.
# Usage: with-private-pulse.sh COMMAND...
set -euo pipefail
RT=$(mktemp -d)
export PULSE_RUNTIME_PATH=$RT PULSE_STATE_PATH=$RT/state PULSE_SERVER=unix:$RT/native
pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-target=file:"$RT/pa.log" \
    --load=module-native-protocol-unix \
    --load="module-null-sink sink_name=test norewinds=1 sink_properties=device.description=Test" \
    --load="module-null-sink sink_name=test_b norewinds=1 sink_properties=device.description=TestB" &
pulse=$!
trap 'kill $pulse 2>/dev/null; wait $pulse 2>/dev/null; rm -rf "$RT"' EXIT
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
pactl set-default-sink test
PARLINO_TEST_SINKS=PulseAudio,Test,TestB "$@"
