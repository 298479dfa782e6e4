#!/usr/bin/env bash
# ffmpeg as the oracle of recorded files: records Type 1 and Type 2 captures from the simulated
# camcorder with plover-capture-oracle.exe under Wine, then checks each file with ffprobe and
# ffmpeg against what the program's own readers found in it (the manifest).
#
#   run.sh WINDOWS-BUILD-FOLDER SOURCE-FOLDER
set -u
build=${1:?windows build folder}
source=${2:?source folder}
program=$build/bin/plover-capture-oracle.exe

for tool in ffprobe ffmpeg wine; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -x "$program" ] || [ -f "$program" ] || { echo "FAIL: $program is missing"; exit 1; }

out=$(mktemp -d "${TMPDIR:-/tmp}/plover-capture-oracle.XXXXXX")
keep=0
cleanup() { [ "$keep" = 1 ] && echo "files kept in $out" || rm -rf "$out"; }
trap cleanup EXIT

# Wine sees the host's root as drive Z:.
if ! "$source/scripts/wine-run" "$program" "Z:${out//\//\\}" </dev/null >"$out/program.log" 2>&1; then
    echo "FAIL: the capture program failed"; grep -v '^ALSA\|Read access denied' "$out/program.log"; keep=1; exit 1
fi

failures=0
fail() { echo "FAIL: $name: $*"; failures=$((failures + 1)); }
probe() { ffprobe -v error "$@" -of csv=p=0 "$out/$name"; }

lines=0
while read -r name type system rate entries drops; do
    lines=$((lines + 1))
    height=$([ "$system" = 625 ] && echo 576 || echo 480)
    ndrops=0
    [ "$drops" != - ] && ndrops=$(tr ',' '\n' <<<"$drops" | wc -l)

    # The first stream is DV video of the system's size.
    [ "$(probe -select_streams v:0 -show_entries stream=codec_name,width,height)" = "dvvideo,720,$height" ] ||
        fail "video stream is $(probe -select_streams v:0 -show_entries stream=codec_name,width,height)"

    # A dropped entry (offset 0) is no packet: ffmpeg reads every other frame.
    packets=$(probe -select_streams v:0 -count_packets -show_entries stream=nb_read_packets)
    [ "$packets" = $((entries - ndrops)) ] || fail "$packets video packets, expected $entries entries less $ndrops dropped"

    # The audio is 16-bit PCM at the DV audio's rate (ffmpeg's own DV demuxer finds it in Type 1).
    audio=$(probe -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels)
    [ "$audio" = "pcm_s16le,$rate,2" ] || fail "audio stream is '$audio', expected pcm_s16le,$rate,2"

    if [ "$type" = 2 ]; then
        # The stream length counts the dropped entries, and their time stamps are left out.
        length=$(probe -select_streams v:0 -show_entries stream=nb_frames)
        [ "$length" = "$entries" ] || fail "video length $length, expected $entries entries"
        expected=$(for ((n = 0; n < entries; n++)); do [[ ",$drops," == *",$n,"* ]] || echo $n; done | tr '\n' ' ')
        actual=$(probe -select_streams v:0 -show_entries packet=pts | tr '\n' ' ')
        [ "$actual" = "$expected" ] || fail "video time stamps '$actual', expected '$expected'"
        # The sound is as long as the picture, dropped frames included.
        samples=$(probe -select_streams a:0 -show_entries stream=nb_frames)
        wanted=$(awk -v n="$entries" -v r="$rate" -v s="$system" 'BEGIN { printf "%d", s == 625 ? n * r / 25 : n * r * 1001 / 30000 }')
        diff=$((samples - wanted))
        [ "${diff#-}" -le 4 ] || fail "$samples audio samples, expected about $wanted for $entries frames"
    else
        # ffmpeg numbers the frames of the interleaved stream as it finds them.
        expected=$(seq -s ' ' 0 $((packets - 1)))
        actual=$(probe -select_streams v:0 -show_entries packet=pts | tr '\n' ' ' | sed 's/ $//')
        [ "$actual" = "$expected" ] || fail "video time stamps '$actual', expected 0..$((packets - 1))"
    fi

    errors=$(ffmpeg -v error -nostdin -i "$out/$name" -f null - 2>&1)
    [ $? = 0 ] && [ -z "$errors" ] || fail "ffmpeg decoding: $errors"
    echo "checked $name: Type $type, $system lines, $rate Hz, $entries entries, dropped $drops"
done < <(tr -d '\r' <"$out/manifest.txt")  # written in the program's text mode

[ "$lines" = 8 ] || fail "the manifest lists $lines captures, expected 8"
if [ "$failures" != 0 ]; then
    keep=1
    echo "$failures check(s) failed"
    exit 1
fi
echo "all captures read back as written"
