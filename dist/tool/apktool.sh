#!/bin/sh
# Starts apktool for the shipped sections, so that modern and large packages
# decode and rebuild with Debian's tools, and says what to do when a run fails.
#
# Which apktool: the release jar tool/apktool.jar when the user has put one
# there (current releases bring their own aapt2 and a newer framework), else
# Debian's /usr/bin/apktool. Both run on the java of --java-home.
#
# Rebuilding with Debian's apktool goes through aapt2 rather than its default,
# Android 10's aapt, which stops on many current apps ("First type is not
# attr!"); the aapt2 wrapper beside this script lets Android 10's aapt2 accept
# manifest elements that came after it (<queries>, say).
#
# The Java heap is VELMORA_APKTOOL_HEAP when set (a size as java -Xmx takes
# it: 8g, 6000m), else the -Xmx of JAVA_TOOL_OPTIONS or JDK_JAVA_OPTIONS when
# they give one (stated again here, as Debian's apktool puts its own 512m on
# the command line, which would override them), else a quarter of the
# machine's memory, at least 512m and at most 31g: the share Java itself takes
# when nothing caps it, which Debian's fixed 512m takes away. A quarter fits
# packages of hundreds of MB on a desktop and leaves the rest for the desktop
# and for aapt/aapt2, which run beside Java during a rebuild. The serial
# collector (lib/java_options.sh says why) keeps a large ceiling from becoming
# a large footprint on ordinary packages.
#
# apktool's output is passed on unchanged and as it comes; its standard error
# is also kept, so that a run that failed (or could not use its framework
# folder) ends with one line on what to do. The exit status is apktool's.
set -u

script_dir=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd)
. "$script_dir/lib/messages.sh"
. "$script_dir/lib/scratch_beside.sh"
. "$script_dir/lib/java_options.sh"

usage="usage: apktool.sh [--java-home DIR] APKTOOL-COMMAND [ARGUMENTS...]
  --java-home  the Java that runs apktool (empty: the java on PATH)
environment:
  VELMORA_APKTOOL_HEAP  Java's largest heap, as java -Xmx takes it (8g, 6000m);
                        default: the -Xmx of JAVA_TOOL_OPTIONS, else a quarter
                        of the memory, at least 512m, at most 31g
  VELMORA_JAVA_OPTIONS  Java options added last, separated by blanks"

hint() {
  echo "提示：$*"
}

java_home=''
while [ $# -gt 0 ]; do
  case $1 in
    --java-home)
      needs_value "$@"
      java_home=$2
      shift 2
      ;;
    --) shift; break ;;
    -*) usage "unknown option: $1" ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || usage "no apktool command given"

if [ -n "$java_home" ]; then
  java=$java_home/bin/java
else
  java=$(command -v java) || java=''
fi
if [ -z "$java" ] || [ ! -x "$java" ]; then
  echo "${0##*/}: no java at ${java:-any folder of PATH}" >&2
  hint "没有找到Java，无法运行apktool。请在Velmora.ini的[General]中把JAVA_HOME设为JDK或JRE的目录（例如 /usr/lib/jvm/default-java），或安装软件包 default-jre。"
  exit 127
fi
# Debian's apktool starts the java it finds on PATH.
PATH=$(dirname -- "$java"):$PATH
export PATH

if [ -n "${VELMORA_APKTOOL_HEAP:-}" ]; then
  heap=$VELMORA_APKTOOL_HEAP
  if ! printf '%s\n' "$heap" | grep -Eqx '[0-9]+[kKmMgG]?'; then
    usage "VELMORA_APKTOOL_HEAP must be a size such as 8g or 6000m, not: $heap"
  fi
else
  heap=$(heap_ceiling_in "${JAVA_TOOL_OPTIONS:-} ${JDK_JAVA_OPTIONS:-}")
  [ -n "$heap" ] || heap=$(quarter_of_the_memory)
fi

command=$1
framework=''
previous=''
for argument in "$@"; do
  case $previous in -p | --frame-path) framework=$argument ;; esac
  previous=$argument
done

case $command in
  b | build) choose_java_options all-tiers "$heap" ;;
  *) choose_java_options first-tier "$heap" ;;
esac

jar=$script_dir/apktool.jar
# The Java options are split at blanks on purpose, and never read as patterns.
# shellcheck disable=SC2046,SC2086
set -f
if [ -f "$jar" ]; then
  set -- "$java" -Dfile.encoding=utf-8 $java_options -jar "$jar" "$@"
else
  case $command in
    b | build)
      aapt2=$(command -v aapt2) || aapt2=''
      if [ -n "$aapt2" ]; then
        VELMORA_AAPT2=$aapt2
        PATH=$script_dir/aapt2:$PATH
        export VELMORA_AAPT2 PATH
        shift
        set -- "$command" --use-aapt2 "$@"
      fi
      ;;
  esac
  set -- /usr/bin/apktool $(java_options_for -J) "$@"
fi
set +f

make_scratch

# Standard output goes straight on; standard error goes on through tee, which
# keeps a copy. The status comes back through a file, as a pipeline's status
# is that of its last command.
{ { "$@" 2>&1 1>&3 3>&-; echo $? >"$scratch/status"; } | tee -- "$scratch/errors" >&2; } 3>&1
status=$(cat -- "$scratch/status")

said() {
  grep -Fq -e "$1" -- "$scratch/errors"
}

# apktool goes on without a framework folder it cannot make, and may even end
# with status 0, but then leaves the values of framework attributes undecoded.
if said "Can't create Framework directory" || said 'Pass a writable path with --frame-path' ||
  { [ -n "$framework" ] && said "$framework/1.apk (Permission denied)"; }; then
  hint "apktool无法写入framework目录${framework:+ $framework}。请在Velmora.ini的[General]中把framework_path设为一个可写的目录，再重新运行。"
elif [ "$status" -eq 0 ]; then
  :
elif said 'java.lang.OutOfMemoryError'; then
  hint "Java内存不足（本次最多可用 $(heap_ceiling_in "-Xmx$heap ${VELMORA_JAVA_OPTIONS:-}")）。请关闭其他程序，或设置环境变量 VELMORA_APKTOOL_HEAP（例如 VELMORA_APKTOOL_HEAP=16g）后重新启动Velmora。"
else
  case $command in
    b | build)
      if said 'could not exec (exit code'; then
        hint "资源编译失败：aapt/aapt2无法重新编译反编译出的资源（例如资源引用了本机framework中没有的较新属性）。请用“只解码代码”按钮重新反编译原安装包：资源保持原样不解码，回编译时也就不必重新编译资源。"
      fi
      ;;
    d | decode)
      if said 'at brut.androlib.res.'; then
        hint "资源解码失败。请改用“只解码代码”按钮反编译：只解码代码，资源保持原样。"
      fi
      ;;
  esac
fi
exit "$status"
