# Sourced: the environment of one Wine prefix. Usage: source wine-env.sh <win32|win64>
# One prefix per Windows build tree, made once and reused.
zt_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
case "$1" in
  win32) export WINEARCH=win32; zt_wine_binary=/usr/lib/wine/wine ;;
  win64) export WINEARCH=win64; zt_wine_binary=/usr/lib/wine/wine64 ;;
  *) echo "wine-env.sh: arch must be win32 or win64, not '$1'" >&2; return 1 ;;
esac
# Wine's loader behind a fixed address layout (see wine-loader); processes
# Wine starts inherit the layout.
export ZT_WINE_BINARY=$zt_wine_binary
export ZT_WINE_LOADER=$zt_root/scripts/wine-loader
export WINEPREFIX=${ZT_WINE_ROOT:-$zt_root/build/wine}/$1
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
