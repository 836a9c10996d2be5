#!/bin/sh
# Runs a test program under strace with a folder of bait (a file and a
# FIFO) in TALVERO_CANARY, and fails if the program opened any of it.
#   opens-nothing.sh program [args...]
set -eu
canary=$(mktemp -d "${TMPDIR:-/tmp}/talvero-canary.XXXXXX")
trap 'rm -rf "$canary"' EXIT
echo secret >"$canary/file.txt"
mkfifo "$canary/fifo"
TALVERO_CANARY="$canary" strace -f -qq -e trace=open,openat,openat2,stat,statx,newfstatat \
    -o "$canary.trace" "$@"
if grep -F "$canary/" "$canary.trace"; then
    echo "the program touched $canary" >&2
    rm -f "$canary.trace"
    exit 1
fi
rm -f "$canary.trace"
