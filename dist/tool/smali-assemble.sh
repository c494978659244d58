#!/bin/sh
# Assembles smali sources into a dex file, and fails when they do not assemble.
# smali reports syntax errors on standard error but still ends with status 0,
# writing no dex; so the dex is assembled beside the destination and the run
# fails when none appeared, leaving an existing destination as it was.
set -eu

here=$(dirname -- "$0")
. "$here/lib/messages.sh"
. "$here/lib/not_an_option.sh"
. "$here/lib/same_file.sh"
. "$here/lib/scratch_beside.sh"
. "$here/lib/java_options.sh"

usage='usage: smali-assemble.sh -o DEX [smali assemble options] [--] SOURCE...'
if [ $# -lt 3 ] || [ "$1" != -o ]; then usage; fi
dex=$2
shift 2

# After "--" every argument is a source. Without it, sources and the values of
# smali's options cannot be told apart, so every argument that names a file or
# folder is checked against the destination.
sources_follow=false
for argument do
  shift
  if [ "$sources_follow" = false ] && [ "$argument" = -- ]; then
    sources_follow=true
    continue
  fi
  [ ! -e "$argument" ] || refuse_destination_of_source "$dex" "$argument"
  [ "$sources_follow" = false ] || keep_from_options argument
  set -- "$@" "$argument"
done
[ $# -gt 0 ] || usage "no source given"

refuse_folder_as_file "$dex"
make_scratch_beside "$dex"

# Debian's smali script puts JAVA_ARGS on java's command line: the user's own
# first, as the shipped options leave out what they set.
choose_java_options first-tier
smali() { JAVA_ARGS="${JAVA_ARGS:-} $java_options" command smali "$@"; }
smali assemble -o "$scratch/classes.dex" "$@"
[ -s "$scratch/classes.dex" ] || fail "no dex was written, see the errors above: $dex"
replace_from_scratch "$scratch/classes.dex" "$dex"
say "I: Assembled: $dex"
