#!/bin/sh
# Assembles smali sources into a dex file, and fails when they do not assemble.
# smali reports syntax errors on standard error but still ends with status 0,
# writing no dex; so the dex is assembled beside the destination and the run
# fails when none appeared, leaving an existing destination as it was.
set -eu

here=$(dirname -- "$0")
. "$here/lib/messages.sh"
. "$here/lib/scratch_beside.sh"
. "$here/lib/java_options.sh"

usage='usage: smali-assemble.sh -o DEX [smali assemble options] SOURCE...'
if [ $# -lt 3 ] || [ "$1" != -o ]; then usage; fi
dex=$2
shift 2

make_scratch_beside "$dex"

# Debian's smali script puts JAVA_ARGS on java's command line: the user's own
# first, as the shipped options leave out what they set.
for sources in "$@"; do :; done
choose_java_options "$sources"
smali() { JAVA_ARGS="${JAVA_ARGS:-} $java_options" command smali "$@"; }
smali assemble -o "$scratch/classes.dex" "$@"
[ -s "$scratch/classes.dex" ] || fail "no dex was written, see the errors above: $dex"
replace_from_scratch "$scratch/classes.dex" "$dex"
echo "I: Assembled: $dex"
