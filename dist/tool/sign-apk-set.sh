#!/bin/sh
# Signs every APK of an app's set (the *.apk files of one folder) with one key,
# then checks that they all carry the same signer certificate: Android installs
# a set only when they do.
#
# Each APK goes through sign-apk.sh with apksigner, whatever the signer type:
# sets exist only from Android 5 on, where current Android refuses v1-only
# signatures for them. An APK whose signing fails is left as it was and the
# others are still signed; the status is then 1.
set -eu

here=$(dirname -- "$0")
. "$here/lib/messages.sh"
. "$here/lib/not_an_option.sh"
. "$here/lib/signing_key.sh"
. "$here/lib/java_options.sh"

usage='usage: sign-apk-set.sh --keystore FILE --alias NAME [--java-home DIR] [--] FOLDER
environment:
  VELMORA_STOREPASS, VELMORA_KEYPASS  the passwords, as sign-apk.sh takes them'

folder=''
take_folder() {
  [ -z "$folder" ] || usage "more than one folder: $folder, $1"
  folder=$1
}
while [ $# -gt 0 ]; do
  case $1 in
    --) shift; break ;;
    -*)
      take_key_option "$@" || usage "unknown option: $1"
      shift 2
      ;;
    *) take_folder "$1"; shift ;;
  esac
done
for operand do take_folder "$operand"; done
[ -n "$folder" ] || usage "no folder given"
[ -d "$folder" ] || fail "no such folder: $folder"
keep_from_options folder
put_java_home_first_on_path
# apksigner starts Java with the shipped options for the set.
choose_java_options first-tier
apksigner() { run_with_java_options -J apksigner "$@"; }

# The SHA-256 digests of the signer certificates of $1, on one line. apksigner
# reads the APK as its standard input: Java opens no file whose name is not
# valid UTF-8.
certificate_of() {
  apksigner verify --print-certs /dev/stdin <"$1" 2>/dev/null |
    sed -n 's/^Signer #[0-9]* certificate SHA-256 digest: //p' | paste -s -d ' '
}

total=0 failed=0 certificate='' results=''
for apk in "$folder"/*.[Aa][Pp][Kk]; do
  [ -f "$apk" ] || continue
  total=$((total + 1))
  name=${apk##*/}
  if ! sign_with_apksigner "$apk"; then
    failed=$((failed + 1))
    results="$results
E:   not signed, left as it was: $name"
    continue
  fi
  signer=$(certificate_of "$apk")
  if [ -z "$signer" ]; then
    failed=$((failed + 1))
    results="$results
E:   signed, but apksigner does not verify it: $name"
  elif [ -n "$certificate" ] && [ "$signer" != "$certificate" ]; then
    failed=$((failed + 1))
    results="$results
E:   signed with another certificate (SHA-256 $signer): $name"
  else
    certificate=$signer
    results="$results
I:   signed: $name"
  fi
done
[ "$total" -gt 0 ] || fail "no APK in the folder: $folder"

say "I: The set in $folder:$results"
[ -z "$certificate" ] || say "I: Signer certificate, SHA-256: $certificate"
[ "$failed" -eq 0 ] || fail "$failed of $total APKs are not signed alike; the set will not install"
say "I: All $total APKs signed with one certificate"
