#!/bin/sh
# Signs an Android package in place so that it installs on current Android.
#
# apksigner: zipalign -p 4 first, then v1, v2 and v3 signatures; aligning after
# a v2/v3 signature would break it.
# jarsigner: a v1 signature only, which rewrites the archive, so zipalign -p 4
# comes after it. Android refuses the SHA-256 digests of today's jarsigner
# below API level 18; sign such old packages with apksigner.
#
# The passwords come in the environment (lib/signing_key.sh says why) and go
# on to the signer by the variables' names, never on its command line.
#
# The package is replaced only when every step succeeded.
set -eu

here=$(dirname -- "$0")
. "$here/lib/messages.sh"
. "$here/lib/not_an_option.sh"
. "$here/lib/scratch_beside.sh"
. "$here/lib/signing_key.sh"
. "$here/lib/java_options.sh"

usage='usage: sign-apk.sh --signer apksigner|jarsigner --keystore FILE --alias NAME
                   [--java-home DIR] [--tsa URL] {[--] PACKAGE | --package PACKAGE}
  --java-home  the Java whose tools sign (empty: the java on PATH)
  --tsa        time-stamp authority for jarsigner
  --package    the package, whatever its name, with options after it
environment:
  VELMORA_STOREPASS, VELMORA_KEYPASS  the passwords of the keystore and of the
               key (--storepass PASSWORD and --keypass PASSWORD set them)'

signer='' tsa='' package=''
take_package() {
  [ -z "$package" ] || usage "more than one package: $package, $1"
  package=$1
}
while [ $# -gt 0 ]; do
  case $1 in
    --) shift; break ;;
    --signer) needs_value "$@"; signer=$2; shift 2 ;;
    --tsa) needs_value "$@"; tsa=$2; shift 2 ;;
    --package) needs_value "$@"; take_package "$2"; shift 2 ;;
    -*)
      take_key_option "$@" || usage "unknown option: $1"
      shift 2
      ;;
    *) take_package "$1"; shift ;;
  esac
done
for operand do take_package "$operand"; done

case $signer in
  apksigner | jarsigner) ;;
  *) usage "--signer must be apksigner or jarsigner" ;;
esac
[ -n "$package" ] || usage "no package given"
[ -n "$alias" ] || usage "no key alias given"
[ -f "$package" ] || fail "no such package: $package"
[ -f "$keystore" ] || fail "no keystore at: $keystore"
keep_from_options package

put_java_home_first_on_path
make_scratch_beside "$package"

# apksigner and jarsigner start Java with the shipped options for the package.
choose_java_options first-tier
apksigner() { run_with_java_options -J apksigner "$@"; }
jarsigner() { run_with_java_options -J- jarsigner "$@"; }

if [ "$signer" = apksigner ]; then
  zipalign -p -f 4 "$package" "$scratch/aligned.apk"
  apksigner sign --ks "$keystore" --ks-pass env:VELMORA_STOREPASS --key-pass env:VELMORA_KEYPASS \
    --ks-key-alias "$alias" --v1-signing-enabled true --v2-signing-enabled true \
    --v3-signing-enabled true --v4-signing-enabled false "$scratch/aligned.apk"
  say "I: Aligned and signed (v1, v2, v3): $package"
else
  # Java opens no file whose name is not valid UTF-8, so jarsigner reads the
  # package under a name of the scratch folder, as apksigner does.
  ln -L -- "$package" "$scratch/unsigned.apk" 2>/dev/null ||
    cp -- "$package" "$scratch/unsigned.apk"
  if [ -n "$tsa" ]; then set -- -tsa "$tsa"; else set --; fi
  jarsigner -keystore "$keystore" -storepass:env VELMORA_STOREPASS -keypass:env VELMORA_KEYPASS \
    "$@" -signedjar "$scratch/signed.apk" "$scratch/unsigned.apk" "$alias"
  zipalign -p -f 4 "$scratch/signed.apk" "$scratch/aligned.apk"
  say "I: Signed (v1) and aligned: $package"
fi

replace_from_scratch "$scratch/aligned.apk" "$package"
