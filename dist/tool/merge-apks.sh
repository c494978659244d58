#!/bin/sh
# Merges a split set (a folder of APKs, or an .xapk, .apks or .apkm file) into
# one APK that installs: velmora-merge writes it unsigned, then sign-apk.sh
# aligns it (zipalign -p 4) and signs it with apksigner (v1, v2, v3).
#
# DEST is replaced only when every step succeeded.
set -eu

here=$(dirname -- "$0")
. "$here/lib/messages.sh"
. "$here/lib/not_an_option.sh"
. "$here/lib/same_file.sh"
. "$here/lib/scratch_beside.sh"
. "$here/lib/signing_key.sh"

usage='usage: merge-apks.sh --merger PROGRAM --keystore FILE --alias NAME [--java-home DIR]
                     [--] SET DEST
  --merger  the velmora-merge program
environment:
  VELMORA_STOREPASS, VELMORA_KEYPASS  the passwords, as sign-apk.sh takes them'

merger='' set_path='' dest=''
take_operand() {
  if [ -z "$set_path" ]; then
    set_path=$1
  elif [ -z "$dest" ]; then
    dest=$1
  else
    usage "more than a set and a destination: $1"
  fi
}
while [ $# -gt 0 ]; do
  case $1 in
    --) shift; break ;;
    --merger) needs_value "$@"; merger=$2; shift 2 ;;
    -*)
      take_key_option "$@" || usage "unknown option: $1"
      shift 2
      ;;
    *) take_operand "$1"; shift ;;
  esac
done
for operand do take_operand "$operand"; done

[ -n "$merger" ] || usage "no --merger given"
[ -n "$dest" ] || usage "no set and destination given"
[ -x "$merger" ] || fail "no velmora-merge at: $merger"
# The merged APK must not replace a part of the set, nor join the set folder.
refuse_destination_of_source "$dest" "$set_path"
refuse_destination_inside "$dest" "$set_path"
keep_from_options set_path

refuse_folder_as_file "$dest"
make_scratch_beside "$dest"
"$merger" "$set_path" -o "$scratch/merged.apk"
sign_with_apksigner "$scratch/merged.apk"
replace_from_scratch "$scratch/merged.apk" "$dest"
say "I: Merged, aligned and signed: $dest"
