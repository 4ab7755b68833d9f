#!/usr/bin/env bash
# Installs the Debian packages that building and testing Kalix need.
# Sourced by the other scripts; `kalix_install_deps PACKAGE...` installs what
# is missing, or prints the apt-get line and fails when it cannot.
kalix_missing_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]}"
}

kalix_install_deps() {
  local missing
  missing=$(kalix_missing_packages "$@")
  [ -z "$missing" ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then sudo="sudo -n"; fi
  fi
  if [ "$(id -u)" -eq 0 ] || [ -n "$sudo" ]; then
    echo "Installing: $missing" >&2
    $sudo apt-get update -qq >&2 && \
      DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >&2 && return 0
  fi
  echo "Cannot install the packages Kalix needs. Run:" >&2
  echo "  sudo apt-get install -y $missing" >&2
  return 1
}

# Every package a script installs is named in one of these lists;
# scripts/check-includes.py checks that each header the sources include
# comes from one of them (or from a package they depend on).
#
# Building and running kalix and kalix-cli (scripts/run.sh); ISA-L and zlib
# compress exported workbooks; libxml2 reads TEI, PAGE and ALTO documents;
# qt6-translations-l10n gives Qt's own dialogs and buttons in the program's
# language.
KALIX_BUILD_PACKAGES=(cmake g++ make qt6-base-dev libicu-dev zlib1g-dev libisal-dev libxml2-dev qt6-translations-l10n)
# The tests (scripts/test.sh): GoogleTest and GoogleMock (the CMake package
# of GoogleTest refers to both), JSON for the kalix-cli tests, Python for the
# include check, clang and its fuzzing runtime for the fuzz targets, a
# virtual X server, the accessibility bus for the end-to-end tests,
# imagemagick for their screenshots and openpyxl to read exported workbooks
# back.
KALIX_TEST_PACKAGES=(libgtest-dev libgmock-dev nlohmann-json3-dev python3 clang libclang-rt-14-dev
                     xvfb xauth python3-pyatspi at-spi2-core dbus dbus-x11 imagemagick
                     python3-openpyxl)
# scripts/screenshot.sh.
KALIX_SCREENSHOT_PACKAGES=(xvfb xauth xdotool)
# The timing scripts of bench/.
KALIX_BENCH_PACKAGES=(python3 hyperfine time)
# Making the Debian package (CPack finds the programs with `file` and their
# dependencies with dpkg-shlibdeps) and checking it.
KALIX_PACKAGE_PACKAGES=(dpkg-dev file)
KALIX_PACKAGE_TEST_PACKAGES=(desktop-file-utils groff-base shared-mime-info libxml2-utils)
