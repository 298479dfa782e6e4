#!/usr/bin/env bash
# ffprobe as the reader of the recordings the record panel's end-to-end test made: each kept copy
# must hold the frames our own reader found in it, dropped frames counted in the stream's length
# and left out of its packets.
#
#   record_files.sh KEEP-FOLDER
set -u
keep=${1:?folder of the kept recordings}
command -v ffprobe >/dev/null || { echo "SKIP: ffprobe is not installed"; exit 77; }
[ -s "$keep/manifest.txt" ] || { echo "FAIL: no recordings were kept in $keep"; exit 1; }

failures=0
files=0
while read -r name frames drops; do
    files=$((files + 1))
    probe() { ffprobe -v error -select_streams v:0 "$@" -of csv=p=0 "$keep/$name"; }
    length=$(probe -show_entries stream=nb_frames)
    packets=$(probe -count_packets -show_entries stream=nb_read_packets)
    if [ "$length" != "$frames" ] || [ "$packets" != $((frames - drops)) ]; then
        echo "FAIL: $name: ffprobe reads $length frames and $packets packets; our reader $frames frames, $drops dropped"
        failures=$((failures + 1))
    else
        echo "ok: $name: $frames frames, $drops dropped"
    fi
done <"$keep/manifest.txt"
echo "$files recordings, $failures failures"
[ "$failures" -eq 0 ]
