# Sourced, after messages.sh, by sign-apk.sh and by the scripts that sign
# through it: they take the key the same way and hand it on unchanged.

keystore='' storepass='' keypass='' alias='' java_home=''

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
    --storepass) storepass=$2 ;;
    --keypass) keypass=$2 ;;
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
# key taken, through sign-apk.sh.
sign_with_apksigner() {
  "$(dirname -- "$0")/sign-apk.sh" --signer apksigner --java-home "$java_home" \
    --keystore "$keystore" --storepass "$storepass" --keypass "$keypass" --alias "$alias" -- "$1"
}
