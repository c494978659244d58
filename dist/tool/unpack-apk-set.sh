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
# "..", with "/" or "\" between the parts), one with symbolic links or with a
# name twice (in any spelling), and one whose files would not fit into the
# free space of the destination's file system are refused whole. Then every
# file is taken out on its own, and never further than the size the archive
# records for it: a file that would inflate past it, or whose CRC does not
# match, ends the run, and nothing of it is left. The files are written here,
# not by unzip, so they and their folders get the user's umask, never the
# modes the archive records.
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
# The set goes into the folder that a link names: the final rename would
# otherwise have to replace the link, and rmdir removes no link.
if [ -L "$folder" ] && [ -d "$folder" ]; then
  folder=$(CDPATH='' cd -P -- "$folder" && pwd) || fail "cannot enter the folder $2"
fi

[ -f "$archive" ] || fail "no such archive: $archive"
refuse_destination_of_source "$folder" "$archive"
if [ -e "$folder" ] && { [ ! -d "$folder" ] || [ -n "$(ls -A -- "$folder")" ]; }; then
  fail "$folder already exists and is not an empty folder; choose a new one"
fi

# The short listing: permissions, version, system, size, type ("T" or "B", not
# "t" or "b", for an encrypted entry), method, date, time, then the name.
listing=$(zipinfo -s "$archive" 2>/dev/null) ||
  fail "not a ZIP archive, or a damaged one (an unfinished download?): $archive"
entries() {
  printf '%s\n' "$listing" | awk 'NF >= 9 && $2 ~ /^[0-9]+\.[0-9]+$/'
}

# One line a member: its recorded size, a tab, its name. zipinfo shows the
# control characters of a name as ^X, so no tab is part of a name here; such
# a name then matches no member, and the archive is refused when it is taken
# out.
members=$(entries | awk '{ size = $4
  sub(/^[^ ]+ +[^ ]+ +[^ ]+ +[^ ]+ +[^ ]+ +[^ ]+ +[^ ]+ +[^ ]+ /, ""); print size "\t" $0 }')

encrypted=$(entries | awk '$5 ~ /^[TB]/ { count++ } END { print count + 0 }')
[ "$encrypted" -eq 0 ] ||
  fail "the archive is encrypted ($encrypted entries), so it cannot be taken apart: $archive"

links=$(entries | awk '$1 ~ /^l/ { count++ } END { print count + 0 }')
[ "$links" -eq 0 ] || fail "the archive holds symbolic links; nothing taken apart: $archive"

unsafe=$(printf '%s\n' "$members" |
  awk -F '\t' '{ name = $2; gsub(/\\/, "/", name) }
       name ~ /^\// || name ~ /(^|\/)\.\.(\/|$)/ { print $2; exit }')
[ -z "$unsafe" ] || fail "the archive names a file outside its folder ($unsafe); nothing taken apart: $archive"

# "./a", "a" and "a/" name one file of the disk, and so do "a//b" and "a/b".
twice=$(printf '%s\n' "$members" |
  awk -F '\t' '{ name = "/" $2 "/"; while (gsub(/\/\.?\//, "/", name)); }
       seen[name]++ { print $2; exit }')
[ -z "$twice" ] || fail "the archive holds $twice twice; nothing taken apart: $archive"

printf '%s\n' "$members" | cut -f 2- | grep -qi '^\(splits/\)\{0,1\}[^/]*\.apk$' ||
  fail "no APK in the archive (not an app's set of APKs?): $archive"

needed=$(printf '%s\n' "$members" | awk -F '\t' '{ total += $1 } END { printf "%.0f\n", total }')
space=$(stat -f -c '%a %S' -- "$(dirname -- "$folder")") || fail "no folder to put $folder in"
free=$(echo "$space" | awk '{ printf "%.0f\n", $1 * $2 }')
if awk -v needed="$needed" -v free="$free" 'BEGIN { exit !(needed + 0 > free + 0) }'; then
  fail "the archive's files take $needed bytes, but only $free bytes are free where $folder would go; nothing taken apart: $archive"
fi

make_scratch_beside "$folder"
set_folder=$scratch/set
mkdir -- "$set_folder"

# unzip reads the names it is given as patterns; "\" makes each character of
# a name stand for itself, and one in front of "-" keeps it from being an option.
pattern_of() {
  printf '%s\n' "$1" | sed 's/[][\\*?]/\\&/g; s/^-/\\-/'
}

# Takes the member $2 out of the archive into the set folder, reading one byte
# more than its recorded size $1 at most, which is enough to tell a lie.
take_out() {
  case $2 in */) mkdir -p -- "$set_folder/$2"; return ;; esac
  file=$set_folder/$2
  mkdir -p -- "$(dirname -- "$file")"
  # unzip's status comes back on descriptor 3: a pipeline's status is head's.
  unzipped=$({
    {
      status=0
      unzip -p "$archive" "$(pattern_of "$2")" </dev/null || status=$?
      echo "$status" >&3
    } | head -c $(($1 + 1)) >"$file"
  } 3>&1)
  written=$(wc -c <"$file")
  [ "$written" -le "$1" ] ||
    fail "$2 inflates past the $1 bytes the archive records for it; nothing taken apart: $archive"
  [ "$unzipped" -eq 0 ] && [ "$written" -eq "$1" ] ||
    fail "$2 is damaged in the archive (see unzip's message above); nothing taken apart: $archive"
}

tab=$(printf '\t')
while IFS=$tab read -r size name; do
  take_out "$size" "$name"
done <<EOF
$members
EOF

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
