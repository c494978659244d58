# Sourced, after messages.sh, by sign-apk.sh and by the scripts that sign
# through it: they take the key the same way and hand it on unchanged.
#
# The passwords travel in the environment, VELMORA_STOREPASS and
# VELMORA_KEYPASS, which Velmora sets for its tools: a command line can be read
# by every user of the machine (ps, /proc/PID/cmdline), an environment only by
# the same user. apksigner and jarsigner read them from there by name.
# --storepass and --keypass are still taken, for settings files whose
# templates pass them; they set the two variables, and go on from there.

keystore='' alias='' java_home=''
# An empty variable is an empty password to apksigner and jarsigner, as an
# empty option was; a variable that is not set at all they refuse.
VELMORA_STOREPASS=${VELMORA_STOREPASS-} VELMORA_KEYPASS=${VELMORA_KEYPASS-}
export VELMORA_STOREPASS VELMORA_KEYPASS

# Takes the option $1 of the key, or --java-home (the Java whose tools sign),
# with its value $2; pass the arguments from the option on. Status 1, with
# nothing taken, when $1 is another option.
take_key_option() {
  case $1 in
    --keystore | --storepass | --keypass | --alias | --java-home) needs_value "$@" ;;
    *) return 1 ;;
  esac
  case $1 in
    --keystore) keystore=$2 ;;
    --storepass) VELMORA_STOREPASS=$2 ;;
    --keypass) VELMORA_KEYPASS=$2 ;;
    --alias) alias=$2 ;;
    --java-home) java_home=$2 ;;
  esac
}

# Puts the Java of --java-home first on PATH: Debian's apksigner starts the
# java it finds there.
put_java_home_first_on_path() {
  if [ -n "$java_home" ]; then
    PATH=$java_home/bin:$PATH
    export PATH
  fi
}

# Aligns and signs the package $1 in place with apksigner (v1, v2, v3) and the
# key taken, through sign-apk.sh; the passwords go with the environment.
sign_with_apksigner() {
  "$(dirname -- "$0")/sign-apk.sh" --signer apksigner --java-home "$java_home" \
    --keystore "$keystore" --alias "$alias" -- "$1"
}
