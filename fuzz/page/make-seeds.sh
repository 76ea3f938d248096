#!/usr/bin/env bash
# Makes the seed corpus of the page fuzz target with quentool: pages of several versions with
# control flow, calls, waits and component commands with property lists.
# usage: fuzz/page/make-seeds.sh QUENTOOL OUTDIR
set -euo pipefail
tool=$(realpath "$1")
out=$(realpath -m "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
for v in 103 106 107 110 115; do
  cat > "flow$v.qs" <<QS
.version $v
Label top
WhileInit i = 0
While i < 3
  If i == 1
    Break
  Elseif i == 2
    Continue
  Else
    Calc s = s + i
WhileLoop i = i + 1
Call page="sub.qsb" result=r args={1} args={"a"}
Wait time=16 flag
Flip kind={1} names={"a"}
BoxNew p1={10} p2={"name"}
TextIns "text"
VarNew name=v type=str init={"x"} scope=2
Jump target=top
QS
  "$tool" asm "flow$v.qs" -o "$out/flow$v.qsb"
done
