#!/bin/sh
# Generates an app of many classes and resources and builds it, with the
# program's tool/apktool.sh, into a package of about SIZE MB: 200 classes and
# 8 raw resources of 100 KB per MB asked for, 20 000 strings. Prints one line
# on what it made.
#
# usage: bench/make_large_package.sh PROGRAM-FOLDER SIZE-MB PACKAGE
set -eu

program=$(cd -- "$1" && pwd)
size_mb=$2
package=$3
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
trap 'exit 1' HUP INT TERM

# A fifth of the size in code, the rest in raw resources of random bytes
# (which do not compress); 20 000 strings as well.
classes=$((size_mb * 200))
blobs=$((size_mb * 8))

app=$work/large
mkdir -p "$app/smali/org/velmora/large" "$app/res/values" "$app/res/raw"
cat >"$app/AndroidManifest.xml" <<'EOF'
<?xml version="1.0" encoding="utf-8" standalone="no"?>
<manifest xmlns:android="http://schemas.android.com/apk/res/android" package="org.velmora.large">
    <application android:label="@string/s0"/>
</manifest>
EOF
cat >"$app/apktool.yml" <<'EOF'
!!brut.androlib.meta.MetaInfo
apkFileName: large.apk
compressionType: false
doNotCompress:
- resources.arsc
- raw
isFrameworkApk: false
packageInfo:
  forcedPackageId: '127'
  renameManifestPackage: null
sdkInfo:
  minSdkVersion: '21'
  targetSdkVersion: '30'
sharedLibrary: false
sparseResources: false
usesFramework:
  ids:
  - 1
  tag: null
version: 2.7.0
versionInfo:
  versionCode: '1'
  versionName: '1.0'
EOF
awk -v classes="$classes" -v dir="$app/smali/org/velmora/large" 'BEGIN {
  for (c = 0; c < classes; c++) {
    file = dir "/C" c ".smali"
    printf ".class public Lorg/velmora/large/C%d;\n.super Ljava/lang/Object;\n", c > file
    for (m = 0; m < 20; m++) {
      printf "\n.method public static m%d(I)Ljava/lang/String;\n    .registers 2\n", m > file
      printf "    const-string v0, \"class %d method %d\"\n    return-object v0\n.end method\n", c, m > file
    }
    close(file)
  }
}'
awk 'BEGIN {
  print "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<resources>"
  for (s = 0; s < 20000; s++) printf "    <string name=\"s%d\">字符串 %d</string>\n", s, s
  print "</resources>"
}' >"$app/res/values/strings.xml"
i=0
while [ "$i" -lt "$blobs" ]; do
  head -c 102400 /dev/urandom >"$app/res/raw/blob$i"
  i=$((i + 1))
done

"$program/tool/apktool.sh" b -p "$work/framework" -o "$package" "$app" >"$work/log" 2>&1 ||
  { tail -n 20 "$work/log"; exit 1; }
echo "package: $(($(wc -c <"$package") / 1048576)) MB, $classes classes, $blobs raw resources, 20000 strings"
