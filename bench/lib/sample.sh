# Sourced by the bench scripts, after scripts/lib/wine-session.sh: builds
# the bench programs and lays out sample installations in the session's
# prefix. Everything lands in the session folder, removed when it ends.

bench_bin="$BUILD_DIR/bench/bin"
product='ペルセリオナヴィロ（改訂版）'
declare -A install_dos updater_dir

# bench_start: builds the updater (with its tests, as the other scripts
# build it) and the bench programs, in their own build folder, then starts
# the session on a virtual display.
bench_start() {
    wine_session_build
    cmake -S "$ROOT/bench" -B "$BUILD_DIR/bench" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/i686-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD_DIR/bench" -j"$(nproc)" >/dev/null
    wine_session_start virtual
}

# windows_path UNIX_PATH: the same file through Wine's Z: drive.
windows_path() {
    local path=$1
    printf 'Z:%s' "${path//\//\\}"
}

# make_file PATH BYTES: random bytes, which no layer below can compress.
make_file() {
    mkdir -p "$(dirname "$1")"
    head -c "$2" /dev/urandom >"$1"
}

# lay_out SET NAME=BYTES...: an installed product (executable, old data
# files, sound tree) under C:\bench-SET\, and beside it the updater as
# shipped: Update.exe and the CopyFileA baseline next to a Data folder
# holding the named files.
lay_out() {
    local set=$1
    shift
    local install="$WINEPREFIX/drive_c/bench-$set/$product"
    install_dos[$set]="C:\\bench-$set\\$product"
    updater_dir[$set]="$SESSION_DIR/sample-$set"
    mkdir -p "$install" "${updater_dir[$set]}/Data"
    echo "placeholder executable" >"$install/DUVORUVO.exe"
    local name
    for name in LDATA.CXT SHARED.CXT START.DXR TRAIN.DXR END.DXR HTT.DXR SOUND/SENTENCE/THEME10/s1652.MP3 \
        SOUND/SENTENCE/THEME7/s1306.MP3 SOUND/DIALOGUE/THEME2/D01/3.MP3 SOUND/DIALOGUE/THEME5/D03/9.MP3 \
        SOUND/WORD/THEME4/605.MP3; do
        mkdir -p "$install/$(dirname "$name")"
        echo "old $name" >"$install/$name"
    done
    cp "$BUILD_DIR/bin/Update.exe" "$bench_bin/copyfile_baseline.exe" "$bench_bin/copy_run_no_window.exe" \
        "${updater_dir[$set]}/"
    local pair
    for pair in "$@"; do
        make_file "${updater_dir[$set]}/Data/${pair%=*}" "${pair#*=}"
    done
}

# Six data files of 1 to 30 MB, five sound files of 50 to 500 KB.
lay_out_realistic() {
    lay_out realistic LData.cxt=31037441 SHARED.cxt=12345679 START.dxr=4404019 Train.dxr=19821345 \
        END.dxr=1363201 HTT.dxr=8062977 s1652.mp3=487329 s1306.mp3=118113 3.mp3=52817 9.mp3=263361 605.mp3=81921
}

# Eleven files of about 100 MB.
lay_out_large() {
    local files=() i=0 name
    for name in LData.cxt SHARED.cxt START.dxr Train.dxr END.dxr HTT.dxr s1652.mp3 s1306.mp3 3.mp3 9.mp3 605.mp3; do
        files+=("$name=$((100 * 1024 * 1024 + i * 1021))")
        i=$((i + 1))
    done
    lay_out large "${files[@]}"
}

# use_set SET: points the product's App Paths entry at that set's install.
use_set() {
    reg_add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\DUVORUVO.exe' Path REG_SZ "${install_dos[$1]}"
}

driver() {
    wine "$bench_bin/bench_driver.exe" "$@"
}
