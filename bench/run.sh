#!/bin/bash
# Benchmarks the updater under Wine against baselines measured in the same
# run: start-up against a program that only shows one window, the copy run
# against plain CopyFileA over the same eleven files (a realistic and a
# large file set), and the footprint. Writes bench/out/summary.md and the
# raw samples in bench/out/samples.csv.
#
# Repetitions: BENCH_STARTUP_RUNS (30), BENCH_REALISTIC_RUNS (18),
# BENCH_LARGE_RUNS (6), each per program; the copy runs turn through the
# six orders of their three programs, so multiples of 6 keep them even.
set -euo pipefail
cd "$(dirname "$0")/.."

startup_runs=${BENCH_STARTUP_RUNS:-30}
realistic_runs=${BENCH_REALISTIC_RUNS:-18}
large_runs=${BENCH_LARGE_RUNS:-6}
began=$(date +%s)

# Sources and destinations of both sets, plus one temporary copy of the
# largest file: about 2.6 GB.
need_kb=$((4 * 1024 * 1024))
mkdir -p build
avail_kb=$(df --output=avail -k build | tail -n1)
if ((avail_kb < need_kb)); then
    echo "bench: $((avail_kb / 1024)) MiB free under build/, need $((need_kb / 1024)) MiB" >&2
    exit 1
fi

bash scripts/setup.sh
source scripts/lib/wine-session.sh
source bench/lib/sample.sh
bench_start

out_dir="$ROOT/bench/out"
mkdir -p "$out_dir"
summary="$out_dir/summary.md"
samples="$out_dir/samples.csv"
echo "phase,program,run,seconds,more..." >"$samples"

# The large set is laid out only when its turn comes: writing it back
# would disturb the phases before it.
lay_out_realistic
sync

raw=$(windows_path "$samples")
{
    echo "# Updater benchmark"
    echo
    echo "Run $(date -u '+%Y-%m-%d %H:%M UTC'): \`bash bench/run.sh\`" \
        "(BENCH_STARTUP_RUNS=$startup_runs BENCH_REALISTIC_RUNS=$realistic_runs BENCH_LARGE_RUNS=$large_runs)."
    echo
    echo "- Machine: $(nproc) CPUs, $(lscpu | sed -n 's/^Model name: *//p' | head -n1)," \
        "$(free -h | awk '/^Mem:/ {print $2}') memory, kernel $(uname -r)"
    echo "- File system of the prefix: $(findmnt -no FSTYPE,OPTIONS --target "$SESSION_DIR")"
    echo "- $(wine --version), LC_ALL=$LC_ALL, Xvfb with Wine drawing its own frames"
    echo "- Update.exe commit: $(git -C "$ROOT" rev-parse --short HEAD)$(git -C "$ROOT" diff --quiet HEAD -- src || echo ' plus uncommitted changes in src/')"
    echo
} >"$summary"

driver size "$(windows_path "${updater_dir[realistic]}/Update.exe")" >>"$summary"
i686-w64-mingw32-strip -o "$SESSION_DIR/Update-stripped.exe" "$BUILD_DIR/bin/Update.exe"
echo "Without its symbol table (strip): $(stat -c %s "$SESSION_DIR/Update-stripped.exe") bytes." >>"$summary"
echo >>"$summary"
use_set realistic
echo "bench: start-up, $startup_runs runs each" >&2
driver startup "$(windows_path "${updater_dir[realistic]}/Update.exe")" \
    "$(windows_path "$bench_bin/minimal_window.exe")" "$startup_runs" "$raw" >>"$summary"
for set in realistic large; do
    runs=$realistic_runs
    if [[ $set == large ]]; then
        runs=$large_runs
        echo "bench: laying out the large set" >&2
        lay_out_large
        sync
    fi
    use_set "$set"
    echo "bench: copy run, $set set, $runs runs each" >&2
    driver copy "$set" "$(windows_path "${updater_dir[$set]}/Update.exe")" \
        "$(windows_path "${updater_dir[$set]}/copyfile_baseline.exe")" \
        "$(windows_path "${updater_dir[$set]}/copy_run_no_window.exe")" "$runs" "$raw" >>"$summary"
    driver phases "$set" "$(windows_path "${updater_dir[$set]}/Update.exe")" "$runs" >>"$summary"
done

echo "Total benchmark time: $(($(date +%s) - began)) s." >>"$summary"
cat "$summary"
