#!/usr/bin/env bash
# Builds the tools and the demo game folder, then plays it: in a window where there is a
# display, otherwise headless with the trace and the variables at the end printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQP_TESTS=OFF -DQP_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
tool=build/release/tools/quentool
player=build/release/tools/quenplay/quenplay
out=build/demo
rm -rf "$out"
mkdir -p "$out/src"
cp -r demo/game/. "$out/src/"
# Pictures are stored as layered images: the blend test card becomes the demo's first one, and
# the scene's pictures and the map image's hot spots are drawn and encoded by their own script;
# the chime, the title music and the clip are made from their text forms by theirs.
"$tool" testcard -o "$out/testcard.png"
"$tool" brx encode "$out/testcard.png" -o "$out/src/testcard.brx"
rm "$out/testcard.png"
demo/media/make-media.sh "$tool" "$out/src"
demo/pictures/make-pictures.sh "$tool" "$out/src"
# Scenario pages are written as text and assembled.
for page in "$out"/src/*.qs; do
  "$tool" asm "$page" -o "${page%.qs}.qsb"
  rm "$page"
done
"$tool" project demo/project.txt -o "$out/src/quen.qpb"
"$tool" pack "$out/src" -o "$out/game.dat"
rm -rf "$out/src"
echo "demo: built the game folder $out:"
"$tool" list "$out/game.dat"
"$tool" verify "$out/game.dat"
echo "demo: its media as the player's managers see them:"
"$tool" media info chime.wav --game "$out" | tr '\n' ' '; echo
"$tool" media info clip.avi --game "$out" --video | tr '\n' ' '; echo
"$tool" media info theme.mid --game "$out" | tr '\n' ' '; echo
"$tool" media render theme.mid chime.wav --game "$out" -o "$out/heard.wav"
echo "demo: the music and the effect as the player plays them: $out/heard.wav"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: playing $out in a window"
  exec "$player" "$out"
fi
echo "demo: no display, playing $out headless with the input of demo/headless-input.txt"
"$player" --headless --trace "$out/trace.txt" --dump-vars "$out/vars.txt" \
  --display-modes 800x600x32@60,640x480x32@60 --input demo/headless-input.txt \
  --dump-frames "$out/frames" --dump-every 0 "$out"
echo "demo: start-up steps, screen switches, the first commands and shut-down steps:"
grep -v '^[0-9a-f]\{8\} ' "$out/trace.txt" || true
grep '^[0-9a-f]\{8\} ' "$out/trace.txt" | awk 'NR <= 40'
echo "demo: frames shown in full screen and back in the window: $(ls "$out/frames" | tr '\n' ' ')"
echo "demo: the game's variables at the end:"
cat "$out/vars.txt"
