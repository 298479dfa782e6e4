# Shared by the benchmarks that run the real Plover.exe (sourced by scripts/bench-capture, -play,
# -thumbnails and -idle). plover-bench-driver.exe drives the program and prints "mark N NAME" at the
# start and the end of each measured phase; here each mark is answered with a snapshot of the
# processor time of Plover.exe and of the Wine server together (utime + stime of /proc/PID/stat),
# then with the file ack-N in the work folder, which lets the driver go on.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WIN_BUILD=${PLOVER_WIN_BUILD:-$ROOT/build/win}
export WINEPREFIX=${PLOVER_WINEPREFIX:-$ROOT/build/wineprefix}
WORK=$WINEPREFIX/drive_c/plover-bench
WORK_WIN='C:\plover-bench'
CLK_TCK=$(getconf CLK_TCK)
CAMCORDER_FPS=29.97003  # the simulated camcorder's 525/60 stream

blog() { printf '[bench-%s] %s\n' "$BENCH_NAME" "$*" >&2; }

bench_prepare() {
  blog "building Plover.exe and plover-bench-driver in $WIN_BUILD"
  cmake --build "$WIN_BUILD" --target Plover plover_bench_driver plover_timer_floor -j "${PLOVER_JOBS:-2}" >/dev/null
  rm -rf "$WORK"; mkdir -p "$WORK"
  trap 'bench_cleanup' EXIT
  DRIVER_OUT=$WORK/driver.out
  RUN=("$ROOT/scripts/wine-run")
  XVFB_PID=""
  if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    local n
    for n in $(seq 130 160); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
      xdpyinfo >/dev/null 2>&1 && break
      kill "$XVFB_PID" 2>/dev/null || true; XVFB_PID=""
    done
    give_resource_database
  fi
  # One long-lived server for the run, so that its processor time is counted from one process.
  # PLOVER_BENCH_SERVER_TRACE=1 has it trace every request (the figures then count the tracing
  # too) and prints the requests of each measured phase by kind, per frame of the stream.
  wineserver -k 2>/dev/null || true
  if [ -n "${PLOVER_BENCH_SERVER_TRACE:-}" ]; then
    wineserver -d1 -p 2> "$WORK/server.trace" || true
  else
    wineserver -p 2>/dev/null || true
  fi
  "${RUN[@]}" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# As ./plover does for its headless server: without a resource database Xlib looks for a defaults
# file anew at every query (Wine asks at each font it selects, hundreds of file opens a second while
# a file plays), which no desktop session pays. One entry of our own, read by no program.
give_resource_database() {
  export XENVIRONMENT=$WORK/x-resources
  printf 'plover.headless:\ttrue\n' > "$XENVIRONMENT"
}

bench_cleanup() {
  [ -n "${DRIVER_PID:-}" ] && kill "$DRIVER_PID" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  [ -n "${KEEP_WORK:-}" ] || rm -rf "$WORK"
}

# The Wine server of this prefix: its working folder is named after the prefix's device and inode.
wineserver_pid() {
  local dir pid
  dir=server-$(printf '%x' "$(stat -c %d "$WINEPREFIX")")-$(printf '%x' "$(stat -c %i "$WINEPREFIX")")
  for pid in $(pgrep '^wineserver'); do
    [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$dir" ] && { echo "$pid"; return 0; }
  done
  return 1
}

# The Plover.exe started by the driver in this prefix.
plover_pid() {
  local pid
  for pid in $(pgrep -f 'Plover\.exe'); do
    tr '\0' '\n' 2>/dev/null < "/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    echo "$pid"; return 0
  done
  return 1
}

# utime + stime of a process in clock ticks.
cpu_ticks() {
  local stat rest
  read -r stat < "/proc/$1/stat" || { echo 0; return; }
  rest=${stat##*) }
  set -- $rest
  echo $(( ${12} + ${13} ))
}

now_seconds() { date +%s.%N; }

# Follows the private resident memory of the running Plover.exe (a new process starts anew).
WATCHED_PID="" ANON_KB=0 PEAK_ANON_KB=0 WATCH_TICK=0
watch_memory() {
  if [ -z "$WATCHED_PID" ] || [ ! -e "/proc/$WATCHED_PID" ]; then
    WATCH_TICK=$((WATCH_TICK + 1))
    [ $((WATCH_TICK % 10)) -eq 1 ] || return 0
    local pid
    pid=$(plover_pid) || return 0
    WATCHED_PID=$pid PEAK_ANON_KB=0
  fi
  local key value _
  while read -r key value _; do
    [ "$key" = "RssAnon:" ] && { ANON_KB=$value; break; }
  done < "/proc/$WATCHED_PID/status" 2>/dev/null || return 0
  [ "$ANON_KB" -gt "$PEAK_ANON_KB" ] && PEAK_ANON_KB=$ANON_KB
  return 0
}

# Runs the driver with the arguments and answers its marks. For each phase NAME it leaves
# PHASE_PROGRAM[NAME], PHASE_SERVER[NAME] (processor seconds) and PHASE_WALL[NAME] (seconds),
# and the program's peak memory from /proc at the phase's end in PHASE_PEAK_KB[NAME].
declare -A PHASE_PROGRAM PHASE_SERVER PHASE_WALL PHASE_PEAK_KB BEGIN_P BEGIN_S BEGIN_T BEGIN_PID TRACE_FROM TRACE_TO
run_driver() {
  : > "$DRIVER_OUT"
  "${RUN[@]}" "$WIN_BUILD/bin/plover-bench-driver.exe" "$@" > "$DRIVER_OUT" 2> "$WORK/driver.err" < /dev/null &
  DRIVER_PID=$!
  local seen=0 server line n name pid
  server=$(wineserver_pid) || { blog "no Wine server found"; return 1; }
  while :; do
    local lines
    lines=$(wc -l < "$DRIVER_OUT")
    while [ "$seen" -lt "$lines" ]; do
      seen=$((seen + 1))
      line=$(sed -n "${seen}p" "$DRIVER_OUT" | tr -d '\r')
      case "$line" in
        mark\ *)
          read -r _ n name <<< "$line"
          if [ -z "${BEGIN_T[$name]:-}" ]; then
            pid=$(plover_pid) || { blog "Plover.exe is not running"; return 1; }
            BEGIN_PID[$name]=$pid
            BEGIN_P[$name]=$(cpu_ticks "$pid"); BEGIN_S[$name]=$(cpu_ticks "$server"); BEGIN_T[$name]=$(now_seconds)
            [ -f "$WORK/server.trace" ] && TRACE_FROM[$name]=$(wc -l < "$WORK/server.trace")
          else
            pid=${BEGIN_PID[$name]}
            local p s t
            p=$(cpu_ticks "$pid"); s=$(cpu_ticks "$server"); t=$(now_seconds)
            PHASE_PROGRAM[$name]=$(awk -v a="${BEGIN_P[$name]}" -v b="$p" -v h="$CLK_TCK" 'BEGIN { printf "%.3f", (b - a) / h }')
            PHASE_SERVER[$name]=$(awk -v a="${BEGIN_S[$name]}" -v b="$s" -v h="$CLK_TCK" 'BEGIN { printf "%.3f", (b - a) / h }')
            PHASE_WALL[$name]=$(awk -v a="${BEGIN_T[$name]}" -v b="$t" 'BEGIN { printf "%.3f", b - a }')
            PHASE_PEAK_KB[$name]=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status")
            [ -f "$WORK/server.trace" ] && TRACE_TO[$name]=$(wc -l < "$WORK/server.trace")
          fi
          touch "$WORK/ack-$n" ;;
        probe\ *)
          # The program's private resident memory (RssAnon), its highest seen so far in this
          # run of the program, and its peak resident set (VmHWM), in KiB.
          watch_memory
          printf '%s private_kb %s peak_private_kb %s peak_resident_kb %s\n' "$line" "$ANON_KB" "$PEAK_ANON_KB" \
            "$(awk '/^VmHWM/ { print $2 }' "/proc/$WATCHED_PID/status" 2>/dev/null)" >> "$WORK/driver.lines" ;;
        *) [ -n "$line" ] && printf '%s\n' "$line" >> "$WORK/driver.lines" ;;
      esac
    done
    kill -0 "$DRIVER_PID" 2>/dev/null || break
    watch_memory
    sleep 0.02
  done
  local rc=0
  wait "$DRIVER_PID" || rc=$?
  DRIVER_PID=""
  if [ "$rc" -ne 0 ]; then blog "the driver failed ($rc): $(tr -d '\r' < "$WORK/driver.err" | grep -v '^[0-9a-f]*:fixme' | tail -3)"; return 1; fi
}

# The simulated camcorder's processor seconds per second in a phase: the driver's measurements of
# the pattern encoder just before and after it, times the camcorder's frame rate.
camcorder_cost() {
  tr -d '\r' < "$WORK/driver.lines" | awk -v p="$1" -v f="$CAMCORDER_FPS" '$1 == "encode" && $2 == p { s += $3; n++ }
    END { printf "%.4f", n ? s / n * f : 0 }'
}

# A value the driver printed: "info KEY VALUE" or "file NAME PATH" (Windows path).
driver_info() { tr -d '\r' < "$WORK/driver.lines" | awk -v k="$1" '$1 == "info" && $2 == k { print $3 }' | tail -1; }
driver_file() { tr -d '\r' < "$WORK/driver.lines" | awk -v k="$1" '$1 == "file" && $2 == k { sub(/^file [^ ]+ /, ""); print }' | tail -1; }
# A Windows path of the prefix's drive C as a host path.
host_path() { local p=${1#C:\\}; echo "$WINEPREFIX/drive_c/${p//\\//}"; }

# The driver's probes: handles and memory of the program at the start and the end.
print_probes() {
  tr -d '\r' < "$WORK/driver.lines" | awk '$1 == "probe" {
    printf "  %-22s handles %5d   private %7.1f MiB   peak private %7.1f MiB   peak resident %7.1f MiB\n",
           $2, $4, $6 / 1024, $8 / 1024, $10 / 1024 }'
}

# Processor seconds (user + system) of a command run here.
cpu_of() {
  local out
  out=$( { TIMEFORMAT='%U %S'; time "$@" >/dev/null 2>&1; } 2>&1 | tail -1 )
  awk -v u="${out% *}" -v s="${out#* }" 'BEGIN { printf "%.3f", u + s }'
}

# plover-timer-floor running the window timers of SET (those Plover.exe keeps in that situation,
# with nothing done on their ticks) for FLOOR_SECONDS: its and the Wine server's processor seconds
# per second, the least the program can spend there while its timers keep their periods.
FLOOR_SECONDS=20
timer_floor() {
  local set=$1 run server pid p0 s0 t0 p1 s1 t1
  "${RUN[@]}" "$WIN_BUILD/bin/plover-timer-floor.exe" "$set" $((FLOOR_SECONDS + 5)) </dev/null >/dev/null 2>&1 &
  run=$!
  sleep 3
  server=$(wineserver_pid) || true
  for pid in $(pgrep -f 'plover-timer-floor\.exe'); do
    tr '\0' '\n' 2>/dev/null < "/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && break
    pid=""
  done
  if [ -z "${server:-}" ] || [ -z "${pid:-}" ]; then wait "$run" || true; echo "?"; return 0; fi
  p0=$(cpu_ticks "$pid"); s0=$(cpu_ticks "$server"); t0=$(now_seconds)
  sleep "$FLOOR_SECONDS"
  p1=$(cpu_ticks "$pid"); s1=$(cpu_ticks "$server"); t1=$(now_seconds)
  wait "$run" || true
  awk -v a=$((p1 - p0 + s1 - s0)) -v h="$CLK_TCK" -v t0="$t0" -v t1="$t1" 'BEGIN { printf "%.4f", a / h / (t1 - t0) }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "n/a" }'; }
per_second() { awk -v a="$1" -v t="$2" 'BEGIN { printf "%.4f", (t > 0) ? a / t : 0 }'; }

# With PLOVER_BENCH_SERVER_TRACE set: the Wine server's requests during a phase by kind, the
# most frequent first, per frame of FPS frames a second.
print_server_requests() {
  local name=$1 fps=$2
  [ -n "${TRACE_FROM[$name]:-}" ] || return 0
  local frames
  frames=$(awk -v t="${PHASE_WALL[$name]}" -v f="$fps" 'BEGIN { print t * f }')
  printf '  Wine server requests during %s, per frame (%s frames):\n' "$name" "${frames%.*}"
  sed -n "$((TRACE_FROM[$name] + 1)),${TRACE_TO[$name]}p" "$WORK/server.trace" |
    sed -n 's/^[0-9a-f]*: \([a-z_]*\)( .*/\1/p' | sort | uniq -c | sort -rn | head -${PLOVER_BENCH_TRACE_TOP:-15} |
    awk -v f="$frames" '{ total += $1; printf "    %8.2f  %s\n", $1 / f, $2 } END { printf "    %8.2f  (these together)\n", total / f }'
}
