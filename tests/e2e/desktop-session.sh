#!/usr/bin/env bash
# Runs a command on a private desktop: Xvfb, the trayer notification area
# and a PulseAudio server with a null sink recorded into
# $TALVERO_RECORDING (raw s16le mono 22050 Hz). Stops only what it started.
#   desktop-session.sh [--no-tray] [--no-sound] [--] command [args...]
set -euo pipefail
tray=1 sound=1
while :; do
    case "${1-}" in --no-tray) tray=0 ;; --no-sound) sound=0 ;; --) shift; break ;; *) break ;; esac
    shift
done
session=$(mktemp -d "${TMPDIR:-/tmp}/talvero-session.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    for _ in 1 2 3 4 5; do rm -rf "$session" 2>/dev/null && break; sleep 0.2; done
}
trap cleanup EXIT
trap 'exit 130' INT TERM
export HOME="$session/home" XDG_RUNTIME_DIR="$session/run" XDG_CONFIG_HOME="$session/home/.config"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export TALVERO_SESSION_DIR="$session" TALVERO_TRAY="$tray" TALVERO_RECORDING="$session/recording.raw"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER # never the caller's own
wait_for() { # seconds, then a command
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.05; done
}

exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$session/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 20 -u "$displayfd" display || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"
if [ "$tray" = 1 ]; then
    trayer --edge top --align right --widthtype pixel --width 120 --height 24 --SetDockType true \
        >"$session/trayer.log" 2>&1 &
    pids+=($!)
    wait_for 10 xdotool search --class trayer || { echo "trayer did not start" >&2; exit 1; }
fi
export PULSE_SERVER="unix:$session/pulse/native" PULSE_RUNTIME_PATH="$session/pulse"
: >"$TALVERO_RECORDING"
if [ "$sound" = 1 ]; then
    mkdir -p "$PULSE_RUNTIME_PATH"
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
        -L "module-native-protocol-unix socket=$session/pulse/native auth-anonymous=1" \
        -L "module-null-sink sink_name=talvero_null" -L "module-always-sink" >"$session/pulse.log" 2>&1 &
    pids+=($!)
    wait_for 10 pactl info || { echo "PulseAudio did not start:" >&2; cat "$session/pulse.log" >&2; exit 1; }
    pactl set-default-sink talvero_null
    parec -d talvero_null.monitor --format=s16le --rate=22050 --channels=1 --raw >"$TALVERO_RECORDING" &
    pids+=($!)
fi
"$@"
