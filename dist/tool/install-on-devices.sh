#!/bin/sh
# Installs an APK, or an app's set of APKs (a folder: adb install-multiple,
# the base APK first), on every device adb lists, one after the other, with a
# result line for each device. The status is 1 when any of them failed.
#
# The devices are listed first and each is named with -s: with several
# attached, a bare "adb install" stops with "more than one device/emulator",
# and with none, adb can wait for one without end. adb is taken from PATH, so
# Android's own platform tools are used when the user put them first there.
#
# A wedged adb server leaves "adb devices" waiting for ever, so the listing
# has a time limit; the installs have none, since a large app on a slow
# device may take minutes.
set -eu

here=$(dirname -- "$0")
. "$here/lib/messages.sh"
. "$here/lib/not_an_option.sh"
. "$here/lib/scratch_beside.sh"
. "$here/lib/apk_set.sh"

usage='usage: install-on-devices.sh [adb install flags, such as -r] [--] APK|FOLDER
environment:
  VELMORA_ADB_WAIT  seconds adb has to list the devices (default: 30)'

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

adb_wait=${VELMORA_ADB_WAIT:-30}
case $adb_wait in
  '' | *[!0-9]*) usage "VELMORA_ADB_WAIT must be a number of seconds, not: $adb_wait" ;;
esac

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

# Lists the devices into $scratch/devices, giving up after $adb_wait seconds.
# timeout puts itself and adb into a process group of its own and ends the
# whole group, whatever a wrapper script around adb started. A signal sent to
# this script's group (the stop action) no longer reaches them, so this script
# passes it on.
list_devices() {
  timeout -k 5 "$adb_wait" adb devices >"$scratch/devices" &
  listing=$!
  trap 'kill "$listing" 2>/dev/null; exit 1' HUP INT TERM
  status=0
  wait "$listing" || status=$?
  trap 'exit 1' HUP INT TERM
  case $status in
    0) ;;
    124 | 137) fail "adb did not answer within $adb_wait seconds while listing the devices; its server may be stuck: run adb kill-server, then try again" ;;
    *) fail "adb could not list the devices" ;;
  esac
}

make_scratch
list_devices
# After its heading, adb lists one device a line: the serial, a tab, then its
# state ("device" when it is ready, "unauthorized", "no permissions (...)").
# The serial is all that comes before the tab, blanks included. Some adb
# builds and wrappers end the lines with CRLF.
devices=$(awk -F '\t' '{ sub(/\r$/, "") } NR > 1 && NF >= 2 && $1 != "" { print }' "$scratch/devices")
[ -n "$devices" ] ||
  fail "no device attached: connect a phone with USB debugging on, or start an emulator"

failed=0 total=0 tab=$(printf '\t')
while IFS=$tab read -r serial state; do
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
