# Sourced by the tool scripts: paths handed on to tools so that none of them
# takes a path for an option. zipalign and aapt2 know no "--", so a relative
# path that starts with "-" gets "./" in front instead.

# Puts "./" in front of the value of the variable named $1 when it starts
# with "-".
keep_from_options() {
  eval "case \$$1 in -*) $1=./\$$1 ;; esac"
}
