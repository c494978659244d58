# Sourced by the tool scripts: how they print their lines, and how they say
# that they were started wrongly or that they failed, on standard error and in
# one way for all of them.

# Prints its arguments as one line on standard output. Unlike dash's echo, it
# leaves a "\" in a file name as it is.
say() {
  printf '%s\n' "$*"
}

# Prints "<script name>: <message>" and ends with status 1.
fail() {
  say "${0##*/}: $*" >&2
  exit 1
}

# Prints "<script name>: <message>" (when there is one) and then the script's
# own $usage text, and ends with status 2.
usage() {
  [ $# -eq 0 ] || say "${0##*/}: $*" >&2
  printf '%s\n' "$usage" >&2
  exit 2
}

# Ends the script through usage when the option $1 is the last argument:
# pass the arguments from the option on.
needs_value() {
  [ $# -ge 2 ] || usage "$1 needs a value"
}
