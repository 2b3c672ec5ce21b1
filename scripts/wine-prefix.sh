#!/usr/bin/env bash
# Makes the Wine prefix of one build tree, once: wine-prefix.sh <win32|win64>.
# Wine's own fonts are copied in and Tahoma is linked to NanumGothic, or
# Korean text renders as boxes; Gulim ("굴림"), the face Korean Windows
# ships and the column header asks for, stands in as NanumGothic.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh" "$1"
# Renamed whenever what the prefix holds changes, so older prefixes are made again.
stamp=$WINEPREFIX/.zt-ready-6
[ -f "$stamp" ] && exit 0

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$stamp" ] && exit 0

echo "wine-prefix: making $WINEPREFIX"
rm -rf "$WINEPREFIX"
"$ZT_WINE_LOADER" wineboot -i >/dev/null 2>&1 || true
wineserver -w || true
[ -f "$WINEPREFIX/system.reg" ] || { echo "wine-prefix: wineboot made no prefix" >&2; exit 1; }

mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp -f /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
for f in /usr/share/fonts/truetype/nanum/NanumGothic.ttf /usr/share/fonts/truetype/nanum/NanumGothicBold.ttf; do
  [ -f "$f" ] && cp -f "$f" "$WINEPREFIX/drive_c/windows/Fonts/"
done
key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for face in Tahoma "Tahoma Bold" "MS Shell Dlg" "MS Shell Dlg 2"; do
  "$ZT_WINE_LOADER" reg add "$key" /v "$face" /t REG_MULTI_SZ /d "NanumGothic.ttf,NanumGothic" /f >/dev/null 2>&1
done
# A .reg file in UTF-16: the value name is Korean.
reg_file=$WINEPREFIX/drive_c/zt-fonts.reg
{
  printf '\xff\xfe'
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n"\xea\xb5\xb4\xeb\xa6\xbc"="NanumGothic"\r\n"Gulim"="NanumGothic"\r\n\r\n' |
    iconv -f UTF-8 -t UTF-16LE
} >"$reg_file"
"$ZT_WINE_LOADER" regedit /S 'C:\zt-fonts.reg' >/dev/null 2>&1
rm -f "$reg_file"
# The virtual display runs no window manager, and Wine waits two seconds
# for one on every hide of a window it left to one (a dialog's close among
# them). The bench's programs place their windows themselves, so a post's
# time is the post's; the tests keep Wine's default, under which their
# focus checks are proven.
for program in zt_control_post.exe wininet_loop.exe zt_view_scale.exe; do
  "$ZT_WINE_LOADER" reg add "HKCU\Software\Wine\AppDefaults\\$program\X11 Driver" /v Managed /d N /f >/dev/null 2>&1
done
# Wine hands a file it cannot open itself to the host's browser; where the
# machine has one (the browser tests install two), a test that opens a
# file would start a real browser that outlives it.
for kind in Browsers Mailers; do
  "$ZT_WINE_LOADER" reg add 'HKCU\Software\Wine\WineBrowser' /v $kind /d zt-none /f >/dev/null 2>&1
done
# A crash prints its backtrace and ends the program, rather than waiting on
# the display for a person to close the debugger's dialog.
"$ZT_WINE_LOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w || true
touch "$stamp"
