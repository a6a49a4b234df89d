#!/bin/bash
# Where the updater's time and memory go, measured in ways that do not
# depend on how busy the machine is: the wineserver requests of each
# program (one wineserver logging every request, -d2), and the resident
# memory of the updater's and the minimal window's processes by mapping.
# Writes bench/out/profile/profile.md (and the raw server logs beside it).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
source scripts/lib/wine-session.sh
source bench/lib/sample.sh
bench_start

out_dir="$ROOT/bench/out/profile"
rm -rf "$out_dir"
mkdir -p "$out_dir"
report="$out_dir/profile.md"
raw=$(windows_path "$out_dir/samples.csv")

lay_out_realistic
use_set realistic
updater=$(windows_path "${updater_dir[realistic]}/Update.exe")

# restart_server [LOG]: replaces the session's wineserver, with LOG by one
# that logs every request there; stopped by its PID like the one it
# replaces.
restart_server() {
    wineserver -k 2>/dev/null || true
    wait "$wineserver_pid" 2>/dev/null || true
    if [[ -n ${1-} ]]; then
        wineserver -f -p -d2 2>"$1" &
    else
        wineserver -f -p &
    fi
    wineserver_pid=$!
}

echo "# Updater profile" >"$report"
echo >>"$report"
echo "Run $(date -u '+%Y-%m-%d %H:%M UTC'): \`bash bench/profile.sh\`, $(wine --version)." >>"$report"
echo >>"$report"

echo "profile: wineserver requests at start-up" >&2
restart_server "$out_dir/server-startup.log"
driver startup "$updater" "$(windows_path "$bench_bin/minimal_window.exe")" 1 "$raw" >/dev/null
python3 "$ROOT/bench/lib/server_requests.py" "$out_dir/server-startup.log" Update.exe minimal_window.exe >>"$report"

echo "profile: wineserver requests of the copy run" >&2
restart_server "$out_dir/server-copy.log"
driver copy realistic "$updater" "$(windows_path "${updater_dir[realistic]}/copyfile_baseline.exe")" \
    "$(windows_path "${updater_dir[realistic]}/copy_run_no_window.exe")" 1 "$raw" >/dev/null
python3 "$ROOT/bench/lib/server_requests.py" "$out_dir/server-copy.log" Update.exe copyfile_baseline.exe \
    --copy-run >>"$report"
restart_server

# resident_memory NAME PID: the process's resident memory by mapping.
resident_memory() {
    echo "#### $1: $(grep -E '^VmHWM' "/proc/$2/status" | tr -s ' \t' ' ')"
    echo
    echo "| resident kB | mapping |"
    echo "|---|---|"
    awk '/^[0-9a-f]+-[0-9a-f]+ / { name = ($6 == "" ? "[anonymous]" : $6) }
         /^Rss:/ { rss[name] += $2 }
         END { for (n in rss) if (rss[n] >= 200) printf "| %d | %s |\n", rss[n], n }' "/proc/$2/smaps" |
        sort -t'|' -k2,2nr | sed "s|$SESSION_DIR|(session)|"
    echo
}

# wait_for_window TITLE: polls the display until a window of that title is
# mapped.
wait_for_window() {
    for _ in $(seq 200); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return
        sleep 0.05
    done
    echo "profile: no window \"$1\"" >&2
    return 1
}

echo "profile: resident memory" >&2
{
    echo "### Resident memory once the window is shown"
    echo
} >>"$report"
(cd "${updater_dir[realistic]}" && exec wine Update.exe) &
updater_pid=$!
wait_for_window "$product"
resident_memory Update.exe "$updater_pid" >>"$report"
wine "$bench_bin/minimal_window.exe" 495 257 &
minimal_pid=$!
wait_for_window Bench
resident_memory minimal_window.exe "$minimal_pid" >>"$report"
wineserver -k 2>/dev/null || true
wait "$updater_pid" "$minimal_pid" 2>/dev/null || true

cat "$report"
