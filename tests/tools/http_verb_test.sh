#!/usr/bin/env bash
# quentool http against a server of our own on 127.0.0.1: lines joined by 0x01, EUC-JP read as
# Shift-JIS, a refused connection and a file: URL completing empty.
set -euo pipefail
tool=$1
dir=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
printf 'a\r\nb\r\n' >"$dir/lines.txt"
printf '\xa4\xa2\x8e\xb1x\x00y\r\nz' >"$dir/euc.txt"
printf '\xa4' >"$dir/cut.txt"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
(cd "$dir" && exec python3 -m http.server "$port" --bind 127.0.0.1 >/dev/null 2>&1) &
server=$!
for _ in $(seq 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null && break
  sleep 0.1
done
url="http://127.0.0.1:$port"
check() {
  local got
  got=$("$tool" http "$1") || fail "$1 exited $?"
  [ "$got" = "$2" ] || fail "$1: got '$got', want '$2'"
}
check "$url/lines.txt" "61 01 62"
# A4 A2 is the hiragana a (82 A0); 8E B1 a half-width katakana; a zero byte reads as a space.
check "$url/euc.txt" "82 A0 B1 78 20 79 01 7A"
check "$url/cut.txt" ""
kill "$server"
wait "$server" 2>/dev/null || true
server=""
check "$url/lines.txt" ""
check "file://$dir/lines.txt" ""
echo ok
