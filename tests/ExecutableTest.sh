#!/bin/bash
# Checks on the built Update.exe that need no Windows:
#   imports EXE   - its static imports are only DLLs Windows always takes
#                   from the system folder
#   manifest EXE  - exactly one manifest, asking for elevation and
#                   declaring the program DPI-aware
#   version EXE   - version 2.6.0.0, named, in Japanese with code page 932
set -euo pipefail

check=$1
exe=$2

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

case $check in
imports)
    allowed=" KERNEL32.DLL USER32.DLL GDI32.DLL ADVAPI32.DLL MSVCRT.DLL "
    mapfile -t imports < <(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print toupper($3) }')
    ((${#imports[@]})) || fail "no import table read from $exe"
    for dll in "${imports[@]}"; do
        [[ $allowed == *" $dll "* ]] || fail "imports $dll, which Windows may load from the program's folder"
    done
    echo "imports: ${imports[*]}"
    ;;
manifest)
    resources=$(i686-w64-mingw32-windres -i "$exe" -J coff -O rc)
    count=$(grep -c 'RT_MANIFEST' <<<"$resources" || true)
    [[ $count == 1 ]] || fail "$count manifest resources"
    manifest=$(tr '\r\n\0' '   ' <"$exe" | grep -ao '<assembly.*</assembly>' || true)
    grep -q 'requestedExecutionLevel level="requireAdministrator"' <<<"$manifest" || fail "no requireAdministrator"
    grep -q '<dpiAware[^>]*>true</dpiAware>' <<<"$manifest" || fail "not declared DPI-aware"
    echo "manifest: one, requireAdministrator, dpiAware"
    ;;
version)
    info=$(i686-w64-mingw32-windres -i "$exe" -J coff -O rc | sed -n '/VERSIONINFO/,/^END/p')
    # ペルセリオナヴィロ（改訂版） as the resource compiler writes it back
    product='L"\x30da\x30eb\x30bb\x30ea\x30aa\x30ca\x30f4\x30a3\x30ed\xff08\x6539\x8a02\x7248\xff09"'
    for expected in 'FILEVERSION 2, 6, 0, 0' 'PRODUCTVERSION 2, 6, 0, 0' '"FileVersion", "2.6.0.0"' \
        '"ProductVersion", "2.6.0.0"' '"OriginalFilename", "Update.exe"' "\"ProductName\", $product" \
        '"FileDescription", L"' 'BLOCK "041103a4"' '"Translation", 0x411, 932'; do
        grep -qF "$expected" <<<"$info" || fail "version information lacks: $expected"
    done
    echo "version: 2.6.0.0, Japanese, code page 932"
    ;;
*)
    fail "unknown check $check"
    ;;
esac
