# Sourced by the tool scripts that write a destination beside what they read,
# after messages.sh: they refuse, before writing anything, a destination that
# would replace what they read. Files are compared as the file system knows
# them (device and inode), so another spelling, a symbolic link and a hard
# link are all the same file.

# Ends the script when the destination $1 is the source $2 itself or, when $2
# is a folder, a file anywhere inside it.
refuse_destination_of_source() {
  [ ! "$1" -ef "$2" ] || fail "the destination $1 is the source $2 itself; nothing was written"
  [ -d "$2" ] && [ -e "$1" ] || return 0
  # find takes a starting point that begins with "-" for a test, and knows no "--".
  case $2 in -*) start=./$2 ;; *) start=$2 ;; esac
  same=$(find -L "$start" -samefile "$1" -print -quit 2>/dev/null) || true
  [ -z "$same" ] || fail "the destination $1 is the same file as $same, which is read; nothing was written"
}

# Ends the script when the destination $1 lies inside the folder $2, at any
# depth: the folder is read whole, and would then hold the result too.
refuse_destination_inside() {
  folder=$(CDPATH='' cd -P -- "$(dirname -- "$1")" 2>/dev/null && pwd) || return 0
  while :; do
    [ ! "$folder" -ef "$2" ] ||
      fail "the destination $1 lies inside the source folder $2; choose one outside it"
    [ "$folder" != / ] || return 0
    folder=$(dirname -- "$folder")
  done
}
