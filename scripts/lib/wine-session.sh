# Sourced by the scripts: a throwaway Wine prefix with a Japanese locale, a
# virtual X display when none is given, and a wineserver kept running for
# the session. Everything started here is stopped by its own PID on exit.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_DIR="$ROOT/build"
# One folder per session, so that sessions side by side never share a
# prefix or a display.
mkdir -p "$BUILD_DIR/wine"
SESSION_DIR=$(mktemp -d "$BUILD_DIR/wine/session.XXXXXX")

export LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

xvfb_pid=
wineserver_pid=
trap wine_session_stop EXIT

wine_session_stop() {
    if [[ -n $wineserver_pid ]]; then
        # The server ends this prefix's processes, then itself.
        wineserver -k 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$wineserver_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill "$wineserver_pid" 2>/dev/null || true
        wait "$wineserver_pid" 2>/dev/null || true
        wineserver_pid=
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=
    fi
    rm -rf "$SESSION_DIR"
}

# build: configure and build the Windows programs with the cross toolchain.
# Serialised, so that sessions side by side do not build into each other.
wine_session_build() {
    (
        flock 9
        cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/i686-w64-mingw32.cmake" \
            -DCMAKE_BUILD_TYPE=Release >/dev/null
        cmake --build "$BUILD_DIR" -j"$(nproc)"
    ) 9>"$BUILD_DIR/wine/build.lock"
}

start_virtual_display() {
    local number_file="$SESSION_DIR/display"
    : >"$number_file"
    Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$number_file" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [[ -s $number_file ]] && break
        sleep 0.05
    done
    [[ -s $number_file ]] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$number_file")"
}

# reg_add KEY NAME TYPE DATA: one value into the prefix's registry.
reg_add() {
    wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null
}

# A fresh prefix: no Mono or Gecko prompts, no crash dialog that would hang
# a failing test, frames drawn by Wine itself, the Japanese UI font under
# the name Windows gives it.
prepare_prefix() {
    export WINEPREFIX="$SESSION_DIR/prefix"
    export HOME="$SESSION_DIR/home"
    rm -rf "$WINEPREFIX" "$HOME"
    mkdir -p "$HOME"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    wineserver -f -p 2>/dev/null &
    wineserver_pid=$!
    reg_add 'HKCU\Software\Wine\WineDbg' ShowCrashDialog REG_DWORD 0
    reg_add 'HKCU\Software\Wine\X11 Driver' Managed REG_SZ N
    reg_add 'HKCU\Software\Wine\Fonts\Replacements' 'ＭＳ Ｐゴシック' REG_SZ IPAPGothic
    reg_add 'HKCU\Software\Wine\Fonts\Replacements' 'ＭＳ ゴシック' REG_SZ IPAGothic
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
}

# wine_session_start [virtual]: prefix, display and wineserver for this
# shell; with "virtual", a virtual display even when DISPLAY is set.
wine_session_start() {
    trap 'exit 130' INT TERM
    if [[ ${1-} == virtual || -z ${DISPLAY-} ]]; then
        start_virtual_display
    fi
    prepare_prefix
}
