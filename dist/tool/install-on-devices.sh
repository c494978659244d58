#!/bin/sh
# Installs an APK, or an app's set of APKs (a folder: adb install-multiple,
# the base APK first), on every device adb lists, one after the other, with a
# result line for each device. The status is 1 when any of them failed.
#
# The devices are listed first and each is named with -s: with several
# attached, a bare "adb install" stops with "more than one device/emulator",
# and with none, adb can wait for one without end. adb is taken from PATH, so
# Android's own platform tools are used when the user put them first there.
set -eu

here=$(dirname -- "$0")
. "$here/lib/messages.sh"
. "$here/lib/not_an_option.sh"
. "$here/lib/apk_set.sh"

usage='usage: install-on-devices.sh [adb install flags, such as -r] [--] APK|FOLDER'

# adb's install flags (-r, -d, -g, -t) hold no blanks, so one text carries them.
flags=''
while [ $# -gt 1 ]; do
  case $1 in
    --) shift; break ;;
    -*) flags="$flags $1" ;;
    *) usage "not a flag: $1" ;;
  esac
  shift
done
[ $# -eq 1 ] || usage "no APK or folder given"
target=$1
keep_from_options target

if [ -d "$target" ]; then
  verb=install-multiple
  find_base_apk "$target"
  [ -n "$base" ] || fail "no single base APK in $target ($bases APKs name no split)"
  set -- "$base"
  for apk in "$target"/*.[Aa][Pp][Kk]; do
    [ ! -f "$apk" ] || [ "$apk" = "$base" ] || set -- "$@" "$apk"
  done
else
  [ -f "$target" ] || fail "no such APK or folder: $target"
  verb=install
fi

command -v adb >/dev/null 2>&1 ||
  fail "adb is not on PATH: install Debian's adb, or put Android's platform-tools on PATH"
devices=$(adb devices) || fail "adb could not list the devices"
# After its heading, adb lists one device a line: the serial, a tab, then its
# state ("device" when it is ready, "unauthorized", "no permissions (...)").
devices=$(printf '%s\n' "$devices" | awk -F '\t' 'NR > 1 && NF >= 2 { print $1, $2 }')
[ -n "$devices" ] ||
  fail "no device attached: connect a phone with USB debugging on, or start an emulator"

failed=0 total=0
while read -r serial state; do
  total=$((total + 1))
  # $flags is split into adb's flags on purpose.
  # shellcheck disable=SC2086
  if [ "$state" != device ]; then
    say "E: $serial: not installed, adb lists the device as: $state"
    failed=$((failed + 1))
  elif adb -s "$serial" "$verb" $flags "$@" </dev/null; then
    say "I: $serial: installed"
  else
    say "E: $serial: not installed, see adb's message above"
    failed=$((failed + 1))
  fi
done <<EOF
$devices
EOF
[ "$failed" -eq 0 ] || fail "$failed of $total devices failed"
