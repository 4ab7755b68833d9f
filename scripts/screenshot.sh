#!/usr/bin/env bash
# Builds Kalix, starts it under a virtual X server on the sample document
# (from the samples folder, so that nac.rul is found), goes to the second
# glyph so that the notes and the picture pane have something to show, and
# saves the screen to docs/screenshot.png.
#
# The program runs from a scratch folder with its own kalix.ini (a normal
# window filling the screen), so the screenshot never reads or changes the
# settings of the build folder. The program saves the screen itself when
# KALIX_SCREENSHOT names a file.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}" "${KALIX_SCREENSHOT_PACKAGES[@]}"

build="$root/build-release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target kalix

width=1024
height=720
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$build/kalix" "$scratch/"
cp "$root"/samples/help_*.rtf "$scratch/"
printf '[Window]\r\nState=0\r\nTop=0\r\nLeft=0\r\nWidth=%d\r\nHeight=%d\r\nGridSplitter=235\r\nFootnoteSplitter=150\r\nPictureSplitter=420\r\n' \
  "$width" "$height" >"$scratch/kalix.ini"

mkdir -p "$root/docs"
cat >"$scratch/session.sh" <<SESSION
#!/usr/bin/env bash
cd "$root/samples"
KALIX_SCREENSHOT="$root/docs/screenshot.png" KALIX_SCREENSHOT_DELAY=4000 "$scratch/kalix" sample.rtf &
pid=\$!
# Wait for the window, then type 2 in the glyph field and go to it (Ctrl+M).
for _ in \$(seq 50); do
  win=\$(xdotool search --name '^Kalix - ' 2>/dev/null | head -1) && [ -n "\$win" ] && break
  sleep 0.1
done
sleep 0.5
if [ -n "\${win:-}" ]; then
  xdotool mousemove --window "\$win" 310 62 click 1 2>/dev/null || true
  sleep 0.2
  # From the page field, Tab twice reaches the glyph field.
  xdotool key --window "\$win" Tab Tab ctrl+a 2 ctrl+m 2>/dev/null || true
fi
wait \$pid
SESSION
chmod +x "$scratch/session.sh"
xvfb-run -a -s "-screen 0 ${width}x${height}x24" "$scratch/session.sh"
echo "Saved $root/docs/screenshot.png"
