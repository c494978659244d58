# Sourced by the scripts that handle an app that comes as a set of APKs: one
# base APK and split APKs (CPU type, screen density, languages, features) whose
# manifests carry split="NAME". Android installs and updates them together.

# Prints the split name in the manifest of the APK $1 (config.xxhdpi, say), or
# nothing for a base APK. Fails when aapt2 cannot read the manifest.
split_name_of() {
  # Only the attributes of the first element, <manifest>, count; the depth of
  # its lines depends on how many namespaces the manifest declares.
  manifest=$(aapt2 dump xmltree --file AndroidManifest.xml "$1" 2>/dev/null) || return 1
  printf '%s\n' "$manifest" | awk '/^ *E: / { if (++elements > 1) exit }
       elements == 1 && /^ *A: split="/ { sub(/^ *A: split="/, ""); sub(/".*/, ""); print; exit }'
}

# Sets $base to the base APK of the set in the folder $1: base.apk when there
# is one, as Android names it on the phone; otherwise the one APK whose
# manifest names no split. $base stays empty when there is no such APK or more
# than one, and $bases then counts them.
find_base_apk() {
  base='' bases=0
  if [ -f "$1/base.apk" ]; then
    base=$1/base.apk bases=1
    return 0
  fi
  for apk in "$1"/*.[Aa][Pp][Kk]; do
    [ -f "$apk" ] || continue
    if name=$(split_name_of "$apk") && [ -z "$name" ]; then
      bases=$((bases + 1))
      candidate=$apk
    fi
  done
  [ "$bases" -ne 1 ] || base=$candidate
}
