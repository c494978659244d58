#!/bin/sh
# Peak memory and disk of 拆开分包 (tool/unpack-apk-set.sh) on two archives:
# an honest set whose OBB file holds SIZE MB of random bytes, and a lying one
# whose base.apk records 620 bytes but inflates to SIZE MB of zeros. Beside
# each, the baseline: unzip of the whole archive, as the script once did.
# Prints the time, the largest resident set of the command and its children
# (/usr/bin/time), the bytes it left on disk and how it ended.
#
# usage: bench/unpack_memory.sh PROGRAM-FOLDER [SIZE-MB]   (build/program, 300)
set -eu

program=$(cd -- "$1" && pwd)
size_mb=${2:-300}
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
trap 'exit 1' HUP INT TERM

python3 - "$work" "$size_mb" <<'EOF'
import os, struct, sys, zipfile
work, size = sys.argv[1], int(sys.argv[2]) << 20
apk = os.path.join(work, "tiny.apk")
with zipfile.ZipFile(apk, "w") as tiny:
    tiny.writestr("AndroidManifest.xml", b"not a binary manifest")
with zipfile.ZipFile(os.path.join(work, "honest.xapk"), "w") as honest:
    honest.write(apk, "base.apk")
    with honest.open("Android/obb/main.obb", "w") as obb:
        for _ in range(size >> 20):
            obb.write(os.urandom(1 << 20))
lying_path = os.path.join(work, "lying.xapk")
with zipfile.ZipFile(lying_path, "w", zipfile.ZIP_DEFLATED) as lying:
    with lying.open("base.apk", "w") as base:
        for _ in range(size >> 20):
            base.write(bytes(1 << 20))
    member = lying.getinfo("base.apk")
    member.file_size = 620
# The local header records the lie too.
with open(lying_path, "r+b") as f:
    f.seek(member.header_offset + 22)
    f.write(struct.pack("<I", 620))
EOF

measure() {
  label=$1 destination=$2
  shift 2
  if /usr/bin/time -f '%e %M' -o "$work/time" "$@" >"$work/log" 2>&1; then
    outcome=ok
  else
    outcome="refused: $(tail -n 1 "$work/log" | cut -c 1-60)"
  fi
  # time puts "Command exited with non-zero status N" first when it did.
  read -r seconds kilobytes <<END || true
$(tail -n 1 "$work/time")
END
  left=$(du -sb -- "$destination" "$work"/.velmora.* 2>/dev/null | awk '{ total += $1 } END { print total + 0 }')
  printf '%-38s %6s s %5s MB peak %5s MB left  %s\n' "$label" "$seconds" \
    "$((${kilobytes:-0} / 1024))" "$((left / 1048576))" "$outcome"
  rm -rf -- "$destination"
}

echo "archives of $size_mb MB: honest $(($(wc -c <"$work/honest.xapk") / 1048576)) MB on disk, lying $(($(wc -c <"$work/lying.xapk") / 1048576)) MB"
for archive in honest lying; do
  measure "$archive, unzip (baseline)" "$work/unzipped" \
    unzip -qq -o "$work/$archive.xapk" -d "$work/unzipped"
  measure "$archive, unpack-apk-set.sh" "$work/set" \
    "$program/tool/unpack-apk-set.sh" -o "$work/set" -- "$work/$archive.xapk"
done
