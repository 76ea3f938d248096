#!/usr/bin/env bash
# pack -> list -> extract keeps Japanese names byte for byte; big sounds are stored; archives
# appended to a program list through the trailer; damage is reported, never crashes.
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/src/画像" "$work/src/sub/深い"
printf 'こんにちは' >"$work/src/画像/背景ソ.txt"
head -c 6291456 /dev/urandom >"$work/src/bgm.wav"
head -c 100000 /dev/zero >"$work/src/sub/深い/zeros.bin"
printf 'x' >"$work/src/Readme.TXT"

"$tool" pack "$work/src" -o "$work/game.dat"
"$tool" list "$work/game.dat" >"$work/list.txt"
grep -qP '^bgm\.wav\t6291456\tstored\t[0-9a-f]{8}$' "$work/list.txt" || fail "6 MiB wave not stored"
grep -qP '^sub\\深い\\zeros\.bin\t100000\tdeflated\t' "$work/list.txt" || fail "zeros not deflated"
grep -qP '^画像\\背景ソ\.txt\t15\t' "$work/list.txt" || fail "Japanese name lost: $(cat "$work/list.txt")"
[ "$(wc -l <"$work/list.txt")" -eq 4 ] || fail "wrong entry count"

"$tool" extract "$work/game.dat" -o "$work/out"
diff -r "$work/src" "$work/out" || fail "extract differs"
"$tool" extract "$work/game.dat" -o "$work/one" '画像/背景ソ.txt'
[ "$(ls -R "$work/one" | grep -c txt)" -eq 1 ] || fail "named extract"
"$tool" verify "$work/game.dat" >/dev/null || fail "verify of a good archive"

cp "$(type -P true)" "$work/prog"
"$tool" pack "$work/src" -o "$work/prog-with-data" --append-to "$work/prog"
cmp -n "$(stat -c %s "$work/prog")" "$work/prog" "$work/prog-with-data" || fail "program bytes changed"
[ "$(tail -c 2 "$work/prog-with-data")" = "qn" ] || fail "no trailer"
"$tool" list "$work/prog-with-data" | diff - "$work/list.txt" || fail "trailer listing differs"
chmod +x "$work/prog-with-data"
"$work/prog-with-data" || fail "the program no longer runs"

# Flip a byte inside the stored wave data: verify names it and fails.
cp "$work/game.dat" "$work/bad.dat"
size=$(stat -c %s "$work/bad.dat")
printf '\xAA' | dd of="$work/bad.dat" bs=1 seek=$((size - 50000)) conv=notrunc status=none
if "$tool" verify "$work/bad.dat" >"$work/verify.txt"; then fail "damage not found"; fi
grep -q 'FAILED' "$work/verify.txt" || fail "no failure line"
# extract checks the same checksums: the damaged entry is not written, the others are.
if "$tool" extract "$work/bad.dat" -o "$work/badout" 2>"$work/err.txt"; then fail "extract of damage"; fi
grep -q 'bgm.wav: checksum mismatch' "$work/err.txt" || fail "extract: $(cat "$work/err.txt")"
[ ! -e "$work/badout/bgm.wav" ] && [ -e "$work/badout/Readme.TXT" ] || fail "extract of damage wrote"

# A link already in the output folder is never written through.
mkdir -p "$work/linked" "$work/elsewhere"
ln -s "$work/elsewhere" "$work/linked/sub"
if "$tool" extract "$work/game.dat" -o "$work/linked" 2>/dev/null; then fail "link followed"; fi
[ -z "$(ls -A "$work/elsewhere")" ] || fail "written through a link"

# Packing into the folder being packed, twice: the earlier output is no entry of the later, and
# numbered files beside the output stay.
cp -r "$work/src" "$work/self"
printf 'keep' >"$work/self/own.001"
"$tool" pack "$work/self" -o "$work/self/own.dat"
"$tool" pack "$work/self" -o "$work/self/own.dat"
"$tool" list "$work/self/own.dat" | grep -q '^own\.dat' && fail "own output packed"
[ "$(cat "$work/self/own.001")" = keep ] || fail "a neighbour of the output went"
ls "$work/self" | grep -q '~' && fail "temporary left: $(ls "$work/self")"

# Truncated archives fail with the system's message and status 1.
for cut in 3 9 40 200; do
  head -c $cut "$work/game.dat" >"$work/cut.dat"
  set +e
  "$tool" list "$work/cut.dat" >/dev/null 2>"$work/err.txt"
  rc=$?
  set -e
  [ $rc -eq 1 ] || fail "truncated to $cut: status $rc"
  grep -q 'Stream read error' "$work/err.txt" || fail "truncated to $cut: $(cat "$work/err.txt")"
done
echo "1 passed, 0 failed"
