# Sourced by the tool scripts that start Java (apktool, apksigner, jarsigner,
# smali): the options Java gets for the job, and how the user's own win.
#
# The shipped choice:
# - the serial collector (-XX:+UseSerialGC). These tools do their work on one
#   thread. The default collector (G1) runs threads of its own beside it, which
#   compete with it on a small machine, and spends a large heap ceiling
#   freely: runs were slower and took two to three times the memory. The
#   serial collector keeps the same ceiling possible and collects in the
#   thread that works.
# - the first compiler tier only (-XX:TieredStopAtLevel=1), except for an
#   apktool rebuild. The optimising compiler works in threads of its own, and
#   for decoding (the 3 MB and 18 MB apps and a generated package of 103 MB),
#   signing and smali it cost more processor time than its faster code saved:
#   without it the 3 MB app decoded in a tenth less time and a third less
#   processor time. An apktool
#   rebuild is mostly smali being assembled on one thread, long enough for
#   the optimised code to pay: with the first tier only, the 18 MB app's
#   rebuild took half as long again, and the 103 MB package's a third longer.
#
# A class-data archive of apktool's classes is left out: it saved about a
# tenth of a second, nothing next to a decode or a rebuild.
#
# The user's options win over it:
# - JAVA_TOOL_OPTIONS and JDK_JAVA_OPTIONS, which Java reads itself, before the
#   command line, and JAVA_ARGS, which Debian's smali and baksmali scripts put
#   on it: a shipped option of a kind they set (the collector, the compiler
#   tiers) is left out, as a later option on the command line would override
#   theirs; two collectors would even stop Java starting.
# - VELMORA_JAVA_OPTIONS, options separated by blanks (no quoting), come last
#   on the command line, so they override every option before them. A
#   collector there also takes the place of the shipped one.

# The options the user has set.
users_java_options() {
  printf '%s\n' "${JAVA_TOOL_OPTIONS:-} ${JDK_JAVA_OPTIONS:-} ${JAVA_ARGS:-} ${VELMORA_JAVA_OPTIONS:-}"
}

# Whether one of the user's options matches one of the case patterns given.
user_sets() {
  set -f
  for option in $(users_java_options); do
    for pattern in "$@"; do
      # shellcheck disable=SC2254
      case $option in $pattern) set +f; return 0 ;; esac
    done
  done
  set +f
  return 1
}

# The value of the last -Xmx or -XX:MaxHeapSize among the options $1
# (separated by blanks), or nothing.
heap_ceiling_in() {
  set -f
  ceiling=''
  for option in $1; do
    case $option in
      -Xmx*) ceiling=${option#-Xmx} ;;
      -XX:MaxHeapSize=*) ceiling=${option#-XX:MaxHeapSize=} ;;
    esac
  done
  set +f
  printf '%s\n' "$ceiling"
}

# A quarter of the machine's memory, at least 512m and at most 31g: the share
# Java itself takes when nothing caps it. Past 31g Java gives up its
# compressed pointers and so needs more memory, not less.
quarter_of_the_memory() {
  megabytes=$(($(getconf _PHYS_PAGES) / 1024 * $(getconf PAGE_SIZE) / 1024 / 4))
  [ "$megabytes" -ge 512 ] || megabytes=512
  [ "$megabytes" -le 31744 ] || megabytes=31744
  echo "${megabytes}m"
}

# Sets $java_options, separated by blanks, for a job whose compilers $1 are
# "first-tier" or "all-tiers": the shipped ones the user has not set, the heap
# ceiling $2 when given (a size as -Xmx takes it), and the user's
# VELMORA_JAVA_OPTIONS last.
choose_java_options() {
  java_options=''
  if ! user_sets '-XX:[+-]Use*GC'; then
    java_options='-XX:+UseSerialGC'
  fi
  if [ "$1" = first-tier ] &&
    ! user_sets '-XX:TieredStopAtLevel=*' '-XX:[+-]TieredCompilation' '-XX:CompilationMode=*' \
      -Xint -Xcomp; then
    java_options="$java_options -XX:TieredStopAtLevel=1"
  fi
  [ -z "${2:-}" ] || java_options="$java_options -Xmx$2"
  java_options="$java_options ${VELMORA_JAVA_OPTIONS:-}"
}

# Prints $java_options, each with its leading "-" replaced by $1: "-J" for
# Debian's apktool and apksigner scripts (-JXmx2g), "-J-" for the JDK's own
# tools (jarsigner -J-Xmx2g).
java_options_for() {
  set -f
  for option in $java_options; do
    printf '%s\n' "$1${option#-}"
  done
  set +f
}

# Runs the program $2 with the arguments from $3 on, $java_options put before
# them with each leading "-" replaced by $1 (as java_options_for does).
run_with_java_options() {
  prefix=$1 program=$2
  shift 2
  set -f
  # shellcheck disable=SC2046
  set -- $(java_options_for "$prefix") "$@"
  set +f
  command "$program" "$@"
}
