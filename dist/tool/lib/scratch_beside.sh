# Sourced by the tool scripts, after messages.sh: a scratch folder that goes
# when the script ends, and the way to use one beside the file to be produced,
# moving the finished result over it in one rename, so the file is either the
# old one or a complete new one, never a half-written package.

# Makes the directory $scratch with mktemp -d and the arguments given (none:
# in the temporary folder) and removes it, with whatever is left in it, when
# the script ends.
make_scratch() {
  scratch=$(mktemp -d "$@") || fail "cannot make a scratch directory"
  trap 'rm -rf -- "$scratch"' EXIT
  # A signal would otherwise end the shell without running the EXIT trap.
  trap 'exit 1' HUP INT TERM
}

# Makes $scratch beside $1: in the folder that holds it, on the same file
# system, so the final rename is atomic. Its name is short and its own, not
# $1's with more added, so a destination whose name is as long as the file
# system allows still has a scratch folder beside it.
make_scratch_beside() {
  make_scratch -p "$(dirname -- "$1")" .velmora.XXXXXX
}

# Ends the script when the file to be produced, $1, is a folder: mv would put
# the result into it, over whatever file of the folder has the scratch name.
refuse_folder_as_file() {
  [ ! -d "$1" ] || fail "the destination $1 is a folder; name a file to write; nothing was written"
}

# Moves $1 over $2. An existing $2 keeps its permissions; a new one gets the
# permissions any new file gets.
replace_from_scratch() {
  if [ -e "$2" ]; then
    chmod --reference="$2" -- "$1"
  fi
  mv -f -T -- "$1" "$2"
}
