# Sourced by the tool scripts, after messages.sh: work on a scratch copy beside
# the file to be produced and move the finished result over it in one rename,
# so the file is either the old one or a complete new one, never a
# half-written package.

# Makes the directory $scratch beside $1 (same file system, so the final rename
# is atomic) and removes it, with whatever is left in it, when the script ends.
make_scratch_beside() {
  scratch=$(mktemp -d "$1.XXXXXX") || fail "cannot make a scratch directory beside $1"
  trap 'rm -rf -- "$scratch"' EXIT
  # A signal would otherwise end the shell without running the EXIT trap.
  trap 'exit 1' HUP INT TERM
}

# Moves $1 over $2. An existing $2 keeps its permissions; a new one gets the
# permissions any new file gets.
replace_from_scratch() {
  if [ -e "$2" ]; then
    chmod --reference="$2" -- "$1"
  fi
  mv -f -- "$1" "$2"
}
