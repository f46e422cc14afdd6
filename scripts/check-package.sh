#!/usr/bin/env bash
# Checks the artifacts of scripts/package.sh under Wine, in a prefix of their own that starts empty:
# a silent install puts the programs, the shortcuts and the uninstall entry in place and the
# installed console program answers with the version; a silent uninstall removes all of it and
# keeps the user's settings unless asked; the zip holds both programs with that version.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
version=$(tr -d '[:space:]' <"$root/build/version.txt")
setup="$root/build/dist/Varenko-$version-setup.exe"
zip="$root/build/dist/Varenko-$version-portable.zip"

export WINEPREFIX="$root/build/package-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
failures=0
check() { # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT

# Where the user's folders of this prefix are, as Linux paths.
folder() { winepath -u "$(wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')" 2>/dev/null; }
programs="$(folder LOCALAPPDATA)/Programs/Varenko"
menu="$(folder APPDATA)/Microsoft/Windows/Start Menu/Programs/Varenko.lnk"
sendto="$(folder APPDATA)/Microsoft/Windows/SendTo/Varenko.lnk"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Varenko'
reg_value() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v name="$1" '$1 == name { print $3 }'; }
installed() { [ -f "$programs/Varenko.exe" ] && [ -f "$programs/varenko-cmd.exe" ] && [ -f "$programs/Uninstall.exe" ]; }
answer() { printf '%s\n' "$1" | wine "$programs/varenko-cmd.exe" 2>/dev/null | tr -d '\r'; }
nothing_left() { [ ! -e "$programs" ] && [ ! -e "$menu" ] && [ ! -e "$sendto" ] && ! wine reg query "$key" >/dev/null 2>&1; }
has_setting() { wine reg query 'HKCU\Software\Varenko' /v probe >/dev/null 2>&1; }
uninstall() { wine "$programs/Uninstall.exe" "$@"; wineserver -w; } # the uninstaller runs from a copy

echo "== silent install of $(basename "$setup")"
wine "$setup" /S
wineserver -w
check "the programs are installed in the user's programs folder" installed
check "a Start menu shortcut is made" test -f "$menu"
check "a Send to entry is made" test -f "$sendto"
check "the uninstall entry has the version" test "$(reg_value DisplayVersion)" = "$version"
check "the uninstall entry has the publisher" test "$(reg_value Publisher)" = "Varenko"
check "the uninstall entry has an icon" test -n "$(reg_value DisplayIcon)"
check "the uninstall entry has a size" test -n "$(reg_value EstimatedSize)"
check "the installed console program answers getappver with the version" \
  test "$(answer '{"cmd":"getappver"}')" = "{\"hr\":0,\"answer\":\"$version\"}"

answer '{"cmd":"setsetting","name":"probe","value":"kept"}' >/dev/null
echo "== silent uninstall"
uninstall /S
check "a silent uninstall leaves no program, shortcut or entry behind" nothing_left
check "the user's settings are kept" has_setting

echo "== silent install, then silent uninstall that removes the settings"
wine "$setup" /S
wineserver -w
check "installing again works" installed
answer '{"cmd":"setsetting","name":"probe","value":"kept"}' >/dev/null
uninstall /S /REMOVESETTINGS
check "the uninstall leaves nothing behind" nothing_left
check "the settings are removed when asked" test "$(has_setting; echo $?)" != 0

echo "== the portable zip"
check "the zip holds both programs of this version, a README and the licences" \
  python3 "$root/scripts/package/check-zip.py" "$zip" "$version"

[ "$failures" -eq 0 ] && echo "package checks: passed" || echo "package checks: $failures FAILED"
[ "$failures" -eq 0 ]
