#!/bin/bash
# Sets up and builds, lays out a sample installation in a throwaway prefix
# and starts the updater on it. On the user's display when DISPLAY is set;
# otherwise on a virtual one, where it takes screenshots of the ready
# window, presses the run button and takes one of the finished window.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
source scripts/lib/wine-session.sh
wine_session_build
user_display=${DISPLAY-}
wine_session_start

product='ペルセリオナヴィロ（改訂版）'
install_dos="C:\\Program Files (x86)\\MIRADEN\\$product"
install_dir="$WINEPREFIX/drive_c/Program Files (x86)/MIRADEN/$product"
sample_dir="$SESSION_DIR/sample"
shots_dir="$BUILD_DIR/screenshots"

# The product as installed: its executable, the six data files and the
# sound tree with the five sound files, all with old contents.
lay_out_installation() {
    mkdir -p "$install_dir"
    echo "placeholder executable" >"$install_dir/DUVORUVO.exe"
    local name
    for name in LDATA.CXT SHARED.CXT START.DXR TRAIN.DXR END.DXR HTT.DXR; do
        echo "old $name" >"$install_dir/$name"
    done
    for name in SENTENCE/THEME10/s1652.MP3 SENTENCE/THEME7/s1306.MP3 DIALOGUE/THEME2/D01/3.MP3 \
        DIALOGUE/THEME5/D03/9.MP3 WORD/THEME4/605.MP3; do
        mkdir -p "$install_dir/SOUND/$(dirname "$name")"
        echo "old $(basename "$name")" >"$install_dir/SOUND/$name"
    done
    reg_add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\DUVORUVO.exe' Path REG_SZ "$install_dos"
}

# The updater as shipped: Update.exe with its Data folder beside it.
lay_out_updater() {
    rm -rf "$sample_dir"
    mkdir -p "$sample_dir/Data"
    cp "$BUILD_DIR/bin/Update.exe" "$sample_dir/"
    local name
    for name in LData.cxt SHARED.cxt START.dxr Train.dxr END.dxr HTT.dxr s1652.mp3 s1306.mp3 3.mp3 9.mp3 605.mp3; do
        head -c 200000 /dev/urandom >"$sample_dir/Data/$name"
    done
}

window_id() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --name "^$product\$" 2>/dev/null | head -n1) && [[ -n $id ]] && { echo "$id"; return; }
        sleep 0.1
    done
    echo "the updater's window did not appear" >&2
    return 1
}

screenshot() {
    sleep 0.5
    xwd -id "$1" -silent | /usr/bin/convert xwd:- "$2"
    echo "screenshot: $2"
}

lay_out_installation
lay_out_updater
cd "$sample_dir"

if [[ -n $user_display ]]; then
    wine Update.exe
    exit 0
fi

mkdir -p "$shots_dir"
wine Update.exe &
updater=$!
window=$(window_id)
screenshot "$window" "$shots_dir/ready.png"
# Enter presses the focused run button; in the finished state it closes.
xdotool key Return
sleep 3
screenshot "$window" "$shots_dir/finished.png"
xdotool key Return
wait "$updater"
