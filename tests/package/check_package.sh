#!/usr/bin/env bash
# Checks a built Kalix package: its control fields, the files it installs,
# the installed programs run from a scratch root (dpkg -x), the desktop entry,
# the file types and the manual pages.
#
#   tests/package/check_package.sh build-release/kalix_VERSION_ARCH.deb
#
# Prints what it checks; exits non-zero at the first failure.
set -euo pipefail
deb=$(realpath "$1")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

fail() { echo "FAIL: $*" >&2; exit 1; }
ok() { echo "ok: $*"; }

scratch=$(mktemp -d)
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
inst="$scratch/root"

# --- control fields ---------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kalix ] || fail "package name: $(field Package)"
version=$(sed -n 's/^project(Kalix VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ "$(field Version)" = "$version" ] || fail "version $(field Version), expected $version"
case "$(basename "$deb")" in "kalix_${version}_$(field Architecture).deb") ;; *) fail "file name $(basename "$deb")" ;; esac
depends=$(field Depends)
# Computed from the programs by dpkg-shlibdeps.
for lib in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6gui6; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
grep -q "asan\|ubsan" <<<"$depends" && fail "the package was built with sanitizers: $depends"
description=$(field Description)
grep -q "Kalix is a desktop program" <<<"$description" || fail "no English description"
grep -q "Kalix est un programme" <<<"$description" || fail "no French description"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
ok "control fields (Depends: $depends)"

# --- files ------------------------------------------------------------------
dpkg-deb -x "$deb" "$inst"
expected=(
  usr/bin/kalix usr/bin/kalix-cli
  usr/share/kalix/nac.rul usr/share/kalix/eng.lng usr/share/kalix/sample.rtf
  usr/share/kalix/sample_fra.rtf usr/share/kalix/sample_eng.rtf
  usr/share/kalix/help_fra.rtf usr/share/kalix/help_eng.rtf
  usr/share/kalix/about_fra.rtf usr/share/kalix/about_eng.rtf
  usr/share/applications/kalix.desktop
  usr/share/mime/packages/kalix.xml
  usr/share/icons/hicolor/scalable/apps/kalix.svg
  usr/share/man/man1/kalix.1.gz usr/share/man/man1/kalix-cli.1.gz
)
for size in 16 24 32 48 64 128 256; do expected+=("usr/share/icons/hicolor/${size}x${size}/apps/kalix.png"); done
for f in "${expected[@]}"; do [ -f "$inst/$f" ] || fail "missing /$f"; done
for f in usr/bin/kalix usr/bin/kalix-cli; do [ -x "$inst/$f" ] || fail "/$f is not executable"; done
# Every file of the package is under /usr and is one we expect or a sample.
while IFS= read -r f; do
  case "$f" in
    ./usr/bin/kalix | ./usr/bin/kalix-cli | ./usr/share/kalix/* | ./usr/share/applications/kalix.desktop | \
      ./usr/share/mime/packages/kalix.xml | ./usr/share/icons/hicolor/*/apps/kalix.* | ./usr/share/man/man1/kalix*.1.gz) ;;
    *) fail "unexpected file in the package: $f" ;;
  esac
done < <(cd "$inst" && find . -type f)
# Owned by root in the archive.
dpkg-deb -c "$deb" | awk '{print $2}' | grep -vq '^root/root$' && fail "files not owned by root/root"
# Release programs: no sanitizer runtime, symbols stripped.
for f in kalix kalix-cli; do
  readelf -d "$inst/usr/bin/$f" | grep -q 'NEEDED.*\(asan\|ubsan\)' && fail "$f needs a sanitizer runtime"
  file "$inst/usr/bin/$f" | grep -q 'not stripped' && fail "$f is not stripped"
done
for icon in "$inst"/usr/share/icons/hicolor/*x*/apps/kalix.png; do
  size=$(basename "$(dirname "$(dirname "$icon")")")
  file "$icon" | grep -q "PNG image data, ${size/x/ x }," || fail "$icon is not a ${size} PNG: $(file -b "$icon")"
done
xmllint --noout "$inst/usr/share/icons/hicolor/scalable/apps/kalix.svg" || fail "the SVG icon is not well-formed"
ok "${#expected[@]} files installed under /usr, owned by root, programs stripped"

# --- the installed programs -------------------------------------------------
cli="$inst/usr/bin/kalix-cli"
[ "$("$cli" --version)" = "kalix-cli $version" ] || fail "kalix-cli --version: $("$cli" --version)"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$inst/usr/bin/kalix" --version)" = "kalix $version" ] ||
  fail "kalix --version"
"$cli" --help >"$scratch/help.txt" || fail "kalix-cli --help exits $?"
ok "kalix-cli --version, kalix --version, kalix-cli --help"

# A sample search in the installed data folder, with its rules file.
status=$(cd "$inst/usr/share/kalix" &&
  "$cli" search --string isle --string estoile --no-all --summary sample.rtf | iconv -f CP1252 -t UTF-8)
[ "$status" = "$(cat "$root/tests/package/sample-search.txt")" ] || fail "sample search: $status"
# The same from elsewhere, naming the rules file, as JSON.
json=$(cd "$scratch" && "$cli" -R "$inst/usr/share/kalix/nac.rul" search --string isle --json \
  "$inst/usr/share/kalix/sample.rtf")
grep -q '"targets": *\[ *{' <<<"$json" || fail "JSON search found nothing: $json"
# The English messages of the installed language file.
err=$(cd "$scratch" && "$cli" -L "$inst/usr/share/kalix/eng.lng" text absent.rtf 2>&1 >/dev/null) && fail "text absent.rtf succeeded"
[ -n "$err" ] || fail "no message for a missing document"
ok "sample search: $status"

# The desktop program starts from the package (offscreen) and finds its data.
if ls /usr/lib/*/qt6/plugins/platforms/libqoffscreen.so >/dev/null 2>&1; then
  home="$scratch/home"
  mkdir -p "$home/run"
  chmod 700 "$home/run"
  chmod 755 "$scratch" "$home"
  chmod -R a+rX "$inst"
  chmod a-w "$inst/usr/bin"
  run_gui=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run"
    QT_QPA_PLATFORM=offscreen
    KALIX_SCREENSHOT="$home/shot.png" KALIX_SCREENSHOT_DELAY=1500 "$inst/usr/bin/kalix" sample.rtf)
  # Settings go to ~/.config/kalix when the program's folder is not writable:
  # run as an unprivileged user when we are root (root may write anywhere).
  if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null 2>&1; then
    chown -R 65534:65534 "$home"
    run_gui=(setpriv --reuid=65534 --regid=65534 --clear-groups "${run_gui[@]}")
  fi
  if [ "$(id -u)" -ne 0 ] || [ "${run_gui[0]}" = setpriv ]; then
    (cd "$inst/usr/share/kalix" && timeout 60 "${run_gui[@]}") >"$scratch/gui.log" 2>&1 ||
      fail "kalix did not start and end cleanly: $(cat "$scratch/gui.log")"
    [ -s "$home/shot.png" ] || fail "kalix showed no window"
    [ -f "$home/.config/kalix/kalix.ini" ] || fail "no settings in ~/.config/kalix/kalix.ini"
    [ -e "$inst/usr/bin/kalix.ini" ] && fail "settings written beside the installed program"
    grep -q '^\[Window\]' "$home/.config/kalix/kalix.ini" || fail "the settings file holds no layout"
    ok "kalix starts from the package; settings in ~/.config/kalix/kalix.ini"
  else
    echo "skipped: kalix start-up as an unprivileged user (no setpriv)"
  fi
  [ -n "${KALIX_PACKAGE_SHOT:-}" ] && cp "$home/shot.png" "$KALIX_PACKAGE_SHOT"
  chmod u+w "$inst/usr/bin"
else
  echo "skipped: kalix start-up (no offscreen platform plugin)"
fi

# --- desktop entry ----------------------------------------------------------
desktop="$inst/usr/share/applications/kalix.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Exec | cut -d' ' -f1)" = kalix ] || fail "Exec: $(key Exec)"
[ "$(key Icon)" = kalix ] || fail "Icon: $(key Icon)"
for k in 'Name' 'Name\[fr\]' 'Comment' 'Comment\[fr\]' 'GenericName' 'GenericName\[fr\]'; do
  [ -n "$(key "$k")" ] || fail "no $k in the desktop entry"
done
ok "desktop entry valid"

# --- file types -------------------------------------------------------------
mime="$scratch/mime"
mkdir -p "$mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$inst/usr/share/mime/packages/kalix.xml" "$mime/packages/"
out=$(XDG_DATA_HOME="$scratch" XDG_DATA_DIRS="$scratch" update-mime-database "$mime" 2>&1) || fail "update-mime-database: $out"
[ -z "$out" ] || fail "update-mime-database complained: $out"
for pair in cor:application/x-kalix-corpus the:application/x-kalix-thesaurus rul:application/x-kalix-rules \
  lng:application/x-kalix-language; do
  ext=${pair%%:*}
  type=${pair#*:}
  grep -q ":$type:\*\.$ext\$" "$mime/globs2" || fail "*.$ext is not $type"
  grep -qx "$type text/plain" "$mime/subclasses" || fail "$type is not a kind of text/plain"
done
# Every type the desktop entry opens is known; the corpus, rich text and plain
# text are among them.
types=$(key MimeType)
for type in ${types//;/ }; do
  grep -q "^$type\$" "$mime/types" || grep -q "^$type " "$mime/aliases" || fail "unknown type $type"
done
for type in application/x-kalix-corpus application/rtf text/plain; do
  grep -q "\(^\|;\)$type;" <<<"$types" || fail "the desktop entry does not open $type"
done
ok "file types .cor .the .rul .lng; the entry opens: $types"

# --- manual pages -----------------------------------------------------------
for page in kalix kalix-cli; do
  gzip -t "$inst/usr/share/man/man1/$page.1.gz" || fail "$page.1.gz"
  warnings=$(zcat "$inst/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "$page(1): $warnings"
  zcat "$inst/usr/share/man/man1/$page.1.gz" | groff -man -Tascii -P-cbou >"$scratch/$page.txt" 2>/dev/null
  grep -q "$version" "$scratch/$page.txt" || fail "$page(1) does not carry the version"
done
# Every option that the installed kalix-cli --help shows, in its manual page.
options=$(grep -o -- '\(^\|[ [|]\)--\?[A-Za-z][A-Za-z-]*' "$scratch/help.txt" | sed 's/^[ [|]//' | sort -u)
count=0
for o in $options; do
  grep -q -- "\(^\|[^A-Za-z-]\)$o\([^A-Za-z-]\|\$\)" "$scratch/kalix-cli.txt" || fail "kalix-cli(1) lacks $o"
  count=$((count + 1))
done
[ "$count" -ge 25 ] || fail "only $count options found in --help"
for o in -L -R -F -T -C -O --version --help; do
  grep -q -- "\(^\|[^A-Za-z-]\)$o\([^A-Za-z-]\|\$\)" "$scratch/kalix.txt" || fail "kalix(1) lacks $o"
done
ok "manual pages render cleanly; kalix-cli(1) describes the $count options of --help"

echo "Package checked: $(basename "$deb")"
