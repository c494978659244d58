#!/bin/sh
# Takes an app that comes as a set of APKs out of its archive (.xapk, .apks,
# .apkm: all ZIP archives) into a new folder: every APK of the set lands in the
# folder under its own name, the base APK as base.apk; the other files (icon,
# manifest.json, OBB data) keep their places. The APKs of bundletool's layout
# (splits/) are set members too; other folders (standalones/) are left as they
# are.
#
# The archive comes from anywhere, so it is checked before anything is written:
# an encrypted one, one whose names would reach outside the folder (absolute,
# "..") and one with symbolic links are refused whole. unzip is the second
# guard: it strips such names and defers links by itself.
set -eu

here=$(dirname -- "$0")
. "$here/lib/messages.sh"
. "$here/lib/not_an_option.sh"
. "$here/lib/same_file.sh"
. "$here/lib/scratch_beside.sh"
. "$here/lib/apk_set.sh"

usage='usage: unpack-apk-set.sh -o FOLDER [--] ARCHIVE'
if [ $# -eq 4 ] && [ "$3" = -- ]; then set -- "$1" "$2" "$4"; fi
if [ $# -ne 3 ] || [ "$1" != -o ]; then usage; fi
folder=$2 archive=$3
keep_from_options archive
keep_from_options folder
# The scratch folder goes beside the folder, not into it.
while [ "${folder%/}" != "$folder" ] && [ -n "${folder%/}" ]; do folder=${folder%/}; done

[ -f "$archive" ] || fail "no such archive: $archive"
refuse_destination_of_source "$folder" "$archive"
if [ -e "$folder" ] && { [ ! -d "$folder" ] || [ -n "$(ls -A -- "$folder")" ]; }; then
  fail "$folder already exists and is not an empty folder; choose a new one"
fi

names=$(zipinfo -1 "$archive" 2>/dev/null) ||
  fail "not a ZIP archive, or a damaged one (an unfinished download?): $archive"
# The short listing: permissions first, "T" or "B" (not "t", "b") in the fifth
# field for an encrypted entry.
listing=$(zipinfo -s "$archive" 2>/dev/null) || fail "cannot list the archive: $archive"

encrypted=$(printf '%s\n' "$listing" |
  awk 'NF >= 9 && $2 ~ /^[0-9]+\.[0-9]+$/ && $5 ~ /^[TB]/ { count++ } END { print count + 0 }')
[ "$encrypted" -eq 0 ] ||
  fail "the archive is encrypted ($encrypted entries), so it cannot be taken apart: $archive"

links=$(printf '%s\n' "$listing" |
  awk 'NF >= 9 && $2 ~ /^[0-9]+\.[0-9]+$/ && $1 ~ /^l/ { count++ } END { print count + 0 }')
[ "$links" -eq 0 ] || fail "the archive holds symbolic links; nothing taken apart: $archive"

unsafe=$(printf '%s\n' "$names" |
  awk '{ name = $0; gsub(/\\/, "/", name) }
       name ~ /^\// || name ~ /(^|\/)\.\.(\/|$)/ { print; exit }')
[ -z "$unsafe" ] || fail "the archive names a file outside its folder ($unsafe); nothing taken apart: $archive"

printf '%s\n' "$names" | grep -qi '^\(splits/\)\{0,1\}[^/]*\.apk$' ||
  fail "no APK in the archive (not an app's set of APKs?): $archive"

make_scratch_beside "$folder"
set_folder=$scratch/set
unzip -qq -o "$archive" -d "$set_folder" ||
  fail "the archive is damaged; nothing taken apart: $archive"
# Permissions come from the archive; the user must be able to sign and delete.
chmod -R u+rwX "$set_folder"

for apk in "$set_folder"/splits/*.[Aa][Pp][Kk]; do
  [ -f "$apk" ] || continue
  if [ -e "$set_folder/${apk##*/}" ]; then
    say "W: ${apk#"$set_folder"/} stays where it is: the set has a ${apk##*/} already"
  else
    mv -- "$apk" "$set_folder/"
  fi
done
rmdir -- "$set_folder/splits" 2>/dev/null || true

find_base_apk "$set_folder"
if [ -n "$base" ] && [ "${base##*/}" != base.apk ]; then
  mv -- "$base" "$set_folder/base.apk"
  say "I: The base APK ${base##*/} is now base.apk"
elif [ -z "$base" ]; then
  say "W: No single base APK ($bases APKs name no split), so none is called base.apk"
fi

if [ -d "$folder" ]; then rmdir -- "$folder"; fi
mv -- "$set_folder" "$folder"

count=0
for apk in "$folder"/*.[Aa][Pp][Kk]; do
  [ -f "$apk" ] || continue
  count=$((count + 1))
  split=$(split_name_of "$apk") || split='manifest unreadable'
  say "I:   ${apk##*/} (${split:-base})"
done
say "I: Took $count APKs apart into: $folder"
