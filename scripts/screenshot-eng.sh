#!/usr/bin/env bash
# Builds Kalix, starts it in English (-L eng.lng) under a virtual X server on
# the sample document, opens the search dialog with the toolbar's "Recherche"
# button, types a string and saves the screen to docs/screenshot-eng.png.
# The program runs from a scratch folder with its own kalix.ini.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}" "${KALIX_SCREENSHOT_PACKAGES[@]}" imagemagick

build="$root/build-release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target kalix

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$build/kalix" "$root"/samples/* "$scratch/"
printf '[Window]\r\nState=0\r\nTop=0\r\nLeft=0\r\nWidth=1024\r\nHeight=720\r\n' >"$scratch/kalix.ini"
mkdir -p "$root/docs"
cat >"$scratch/session.sh" <<SESSION
#!/usr/bin/env bash
cd "$scratch"
./kalix -L eng.lng sample.rtf &
pid=\$!
for _ in \$(seq 100); do
  win=\$(xdotool search --name '^Kalix' 2>/dev/null | head -1) && [ -n "\$win" ] && break
  sleep 0.2
done
sleep 2
# The second toolbar button opens the search dialog.
xdotool mousemove 48 33 click 1
sleep 2
xdotool type --delay 50 isle
sleep 1
import -window root "$root/docs/screenshot-eng.png"
kill \$pid
SESSION
chmod +x "$scratch/session.sh"
xvfb-run -a -s "-screen 0 1024x720x24" "$scratch/session.sh"
echo "Saved $root/docs/screenshot-eng.png"
