# Sourced by the tool scripts: how they say that they were started wrongly or
# that they failed, on standard error and in one way for all of them.

# Prints "<script name>: <message>" and ends with status 1.
fail() {
  echo "${0##*/}: $*" >&2
  exit 1
}

# Prints "<script name>: <message>" (when there is one) and then the script's
# own $usage text, and ends with status 2.
usage() {
  [ $# -eq 0 ] || echo "${0##*/}: $*" >&2
  printf '%s\n' "$usage" >&2
  exit 2
}

# Ends the script through usage when the option $1 is the last argument:
# pass the arguments from the option on.
needs_value() {
  [ $# -ge 2 ] || usage "$1 needs a value"
}
