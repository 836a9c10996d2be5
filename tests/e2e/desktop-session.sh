#!/usr/bin/env bash
# Runs a command on a private desktop: an Xvfb X server, the trayer
# notification area and a PulseAudio server whose only sink is a null sink,
# with a recorder on its monitor (so streams never stall and what was played
# can be checked). Stops only what it started.
#
#   desktop-session.sh [--no-tray] [--no-sound] [--] command [args...]
#
# The command sees DISPLAY, PULSE_SERVER, XDG_RUNTIME_DIR, HOME and
#   TALVERO_SESSION_DIR   a scratch folder for the session
#   TALVERO_RECORDING     raw s16le mono 22050 Hz recording of the sink
#   TALVERO_TRAY          1 when a notification area runs
set -euo pipefail

tray=1
sound=1
while [ $# -gt 0 ]; do
    case "$1" in
        --no-tray) tray=0; shift ;;
        --no-sound) sound=0; shift ;;
        --) shift; break ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--no-tray] [--no-sound] [--] command..." >&2; exit 2; }

session=$(mktemp -d "${TMPDIR:-/tmp}/talvero-session.XXXXXX")
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    # A program of the command may still be writing its last files.
    local try
    for try in 1 2 3 4 5; do rm -rf "$session" 2>/dev/null && break; sleep 0.2; done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export HOME="$session/home" XDG_RUNTIME_DIR="$session/run" XDG_CONFIG_HOME="$session/home/.config"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
export TALVERO_SESSION_DIR="$session" TALVERO_TRAY="$tray"
# Only the private servers below; never one of the caller's desktop.
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER

wait_for() {   # seconds, then a condition command
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.05
    done
}

# X server; it writes its display number when it is ready.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x1024x24 -nolisten tcp -noreset \
    >"$session/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 20 -u "$displayfd" display || { echo "Xvfb did not start" >&2; cat "$session/xvfb.log" >&2; exit 1; }
exec {displayfd}<&-
export DISPLAY=":$display"

if [ "$tray" = 1 ]; then
    trayer --edge top --align right --widthtype pixel --width 120 --height 24 \
        --transparent false --SetDockType true >"$session/trayer.log" 2>&1 &
    pids+=($!)
    # The tray owns the system-tray selection once it is ready.
    wait_for 10 sh -c "xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null; xdotool search --class trayer" \
        || { echo "trayer did not start" >&2; exit 1; }
fi

export TALVERO_RECORDING="$session/recording.raw"
if [ "$sound" = 1 ]; then
    export PULSE_RUNTIME_PATH="$session/pulse"
    mkdir -p "$PULSE_RUNTIME_PATH"
    export PULSE_SERVER="unix:$session/pulse/native"
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
        --log-target=stderr \
        -L "module-native-protocol-unix socket=$session/pulse/native auth-anonymous=1" \
        -L "module-null-sink sink_name=talvero_null" \
        -L "module-always-sink" >"$session/pulse.log" 2>&1 &
    pids+=($!)
    wait_for 10 pactl info || { echo "PulseAudio did not start" >&2; cat "$session/pulse.log" >&2; exit 1; }
    pactl set-default-sink talvero_null >/dev/null
    parec -d talvero_null.monitor --format=s16le --rate=22050 --channels=1 --raw \
        >"$TALVERO_RECORDING" 2>"$session/parec.log" &
    pids+=($!)
else
    # A server address where none listens: clients find no sound server.
    export PULSE_SERVER="unix:$session/no-such-server"
    : >"$TALVERO_RECORDING"
fi

status=0
"$@" || status=$?
exit $status
