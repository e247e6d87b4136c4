#!/bin/bash
# The launcher's install and uninstall switches in a throw-away Wine prefix:
# velmor /install, then the installed copy with /uninstall /silent /plugin,
# then a restart of the prefix for the deletions scheduled at restart.
# Afterwards nothing the product wrote may remain.
#   velmor-round-trip.sh <wine loader> <velmor.exe> <work folder>
# Runs inside the build tree's Wine session (it uses its display).
set -u
WINE=$1 VELMOR=$2 WORK=$3
rm -rf "$WORK" && mkdir -p "$WORK"
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all
# No host menu entries or desktop files from the links we make.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
cleanup() { wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT
mkdir -p "$WINEPREFIX"
wineserver -p
"$WINE" wineboot -i </dev/null >/dev/null 2>&1
USERS=$WINEPREFIX/drive_c/users/$(id -un)
# The prefix's desktop is the Unix home; keep the links inside the prefix.
rm -f "$USERS/Desktop" && mkdir -p "$USERS/Desktop"
cp "$VELMOR" "$WORK/velmor setup.exe"

fail=0
check() {  # check <description> <command...>: the command must succeed
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
reg_has() { "$WINE" reg query "$1" ${2:+/v "$2"} >/dev/null 2>&1; }
reg_lacks() { ! reg_has "$@"; }
# The product's traces, and every start-menu entry (the prefix's own ones
# are listed before the install and must be all that is left).
product_files() {
  find "$WINEPREFIX/drive_c" \( -ipath '*dorvgame*' -o -iname '*.kvt.uninstall' \
       -o -iname '*.lnk' -path '*Desktop*' -o -ipath '*Start Menu/Programs/*' \) 2>/dev/null | sort
}

BEFORE=$(product_files)

PATH_KEY='HKCU\software\dorvgame\path'
UNINSTALL_KEYS='HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
NP_KEY='HKCU\Software\MozillaPlugins'

(cd "$WORK" && "$WINE" "velmor setup.exe" /install </dev/null >/dev/null 2>&1)
check "install exits with 0" test $? -eq 0
check "install folder value" bash -c "'$WINE' reg query '$PATH_KEY' | grep -q dorvgame"
check "uninstall entry" bash -c "'$WINE' reg query '$UNINSTALL_KEYS' /s | grep -q '/uninstall'"
check "Netscape-API plug-in registered" reg_has "$NP_KEY"
check "plug-ins unpacked" test -n "$(find "$USERS" -ipath '*dorvgame/kvtplayer/*')"
check "launcher copied into the data folder" test -n "$(find "$USERS" -ipath '*dorvgame/*' -iname '*.exe')"
check "control registered" reg_has 'HKCR\KVTPLAYER.kvtplayerCtrl.1'
check "links made" test -n "$(find "$USERS" -iname '*.lnk')"
INSTALLED=$(find "$USERS" -ipath '*dorvgame/*' -iname '*.exe' | head -n1)

(cd "$WORK" && "$WINE" "$INSTALLED" /uninstall /silent /plugin </dev/null >/dev/null 2>&1)
check "uninstall exits with 0" test $? -eq 0
# The hidden interpreter deletes the parked program once the launcher is gone.
for _ in $(seq 100); do
  [ -z "$(find "$WINEPREFIX/drive_c" -maxdepth 1 -iname '*.kvt.uninstall')" ] && break
  sleep 0.2
done
"$WINE" wineboot -r </dev/null >/dev/null 2>&1
check "install folder value gone" bash -c "! '$WINE' reg query '$PATH_KEY' /s 2>/dev/null | grep -qi dorvgame"
check "uninstall entry gone" bash -c "! '$WINE' reg query '$UNINSTALL_KEYS' /s 2>/dev/null | grep -q '/uninstall'"
check "Netscape-API plug-in unregistered" bash -c "! '$WINE' reg query '$NP_KEY' /s 2>/dev/null | grep -qi kvtplayer"
check "control unregistered" reg_lacks 'HKCR\KVTPLAYER.kvtplayerCtrl.1'
check "nothing scheduled at restart is left" \
  bash -c "! '$WINE' reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | grep -qi kvt"
LEFT=$(comm -13 <(echo "$BEFORE") <(product_files))
check "no file, folder or link of the product remains" test -z "$LEFT"
[ -n "$LEFT" ] && echo "$LEFT"
exit $fail
