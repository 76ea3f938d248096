#!/usr/bin/env bash
# quentool eval: the expression edge cases seen through the whole command, one expected line
# per expression.
set -euo pipefail
tool=$1
fail=0
check() {
  local expected=$1
  shift
  local got
  got=$("$tool" eval "$@")
  if [ "$got" != "$expected" ]; then
    printf 'FAIL: eval %s\n--- expected\n%s\n--- got\n%s\n' "$*" "$expected" "$got"
    fail=1
  fi
}
nl=$'\n'

check "none" 'a = 1 + 2 * 3'
check "none${nl}整数 7${nl}none${nl}整数 9${nl}none${nl}整数 3" --var a:int \
  'a = 1 + 2 * 3' a 'a = (1 + 2) * 3' a 'a = 10 - 4 - 3' a
check "整数 -6${nl}整数 -6${nl}整数 2" '-2 * 3' '2 * -3' '1 - -1'
check "none${nl}実数 3${nl}none${nl}実数 3.5" --var x:float 'x = 7 / 2' x 'x = 7.0 / 2' x
check "文字列 abcd${nl}文字列 42${nl}文字列 0" '"ab" ++ "cd"' '"12" + "30"' '"ab" + "cd"'
check "フラグ TRUE${nl}フラグ TRUE${nl}フラグ FALSE" '"abc" < "abd"' '2 == 2.0' '2.5 == 2'
check "整数 15${nl}整数 2" '-1 >> 28' '1 << 33'
check "error: 構文エラー${nl}整数 0" --var a:int --var b:int 'a = b = 1' a
# Functions run: SetArray makes a a 2 x 3 array that the next expression writes into.
check "整数 0${nl}none${nl}整数 5" --var a:int --var 'n:int=5' 'SetArray(a, 2, 3)' 'a[1,2] = n' 'a[1,2]'
check "none${nl}整数 5${nl}none" --var a:int 'a[0] = 5' 'a[0]' 'a[0, 0]'
check "none${nl}none${nl}none${nl}none${nl}実数 3000000000" \
  '1 / 0' '1.0 / 0' '$80000000 / -1' '$80000000 % -1' '3000000000.0 + 0'
check "none${nl}none" 'nan' 'inf'
check "実数 1E15${nl}実数 1E16${nl}実数 0.00001${nl}実数 9E-6${nl}実数 1.23456789012346E17${nl}実数 -0.5" \
  '1E15 + 0.0' '1E16 + 0.0' '0.00001 + 0.0' '0.000009 + 0.0' '123456789012345678' '-0.5'
check "整数 12${nl}整数 0${nl}整数 -1${nl}整数 0${nl}フラグ FALSE${nl}フラグ TRUE" \
  --var 'i:int= 12 ' --var 'j:int=12abc' --var 'h:int=$FFFFFFFF' --var 'k:int=2147483648' \
  --var 'f:bool=true' --var 'g:bool=TRUE' i j h k f g
check "整数 21${nl}文字列 ソソ${nl}整数 84" --var 'a:int=7' --var 'データ:str=ソ' --var 'ポイント:int=42' \
  '(a[0] + 0) * 3' 'データ ++ "ソ"' 'ポイント * 2'
check "文字列 ソ\"x" '"ソ\"x"'
check "error: \"Nope\" 関数名がありません${nl}error: Abs 引数の数が不正です" 'Nope(1)' 'Abs(1, 2)'
# Functions run: Shift-JIS aware text, half-width to full-width, dates, random numbers by seed.
check "整数 3${nl}整数 0${nl}文字列 パ${nl}文字列 表\\${nl}整数 7${nl}文字列 007" \
  'Pos("A", "xアA")' 'JPos("A", "ア")' 'HanToZen("ﾊﾟ")' 'AddBackSlash("表")' 'GetWeek(0)' \
  'IntToStr(7, 3)'
first=$("$tool" eval --seed 42 'Random(1000)' 'Random(1000)')
again=$("$tool" eval --seed 42 'Random(1000)' 'Random(1000)')
if [ "$first" != "$again" ]; then
  printf 'FAIL: seeded random numbers differ: %s / %s\n' "$first" "$again"
  fail=1
fi
dump=$("$tool" eval --dump 'a = (1 + 2) * x[3]')
expected="ocDimTo ____d_0 <- name x, 整数 3
ocPlus ____2 <- 整数 1, 整数 2
ocMul ____3 <- name ____2, name ____d_0
ocTo a <- name ____3"
if [ "$dump" != "$expected" ]; then
  printf 'FAIL: dump\n--- expected\n%s\n--- got\n%s\n' "$expected" "$dump"
  fail=1
fi
exit $fail
