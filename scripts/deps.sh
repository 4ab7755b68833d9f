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

KALIX_BUILD_PACKAGES=(cmake g++ make qt6-base-dev libgtest-dev libgmock-dev)
# The end-to-end tests (tests/e2e) run kalix under Xvfb with its own D-Bus and
# accessibility buses and read it through AT-SPI from the system python3.
KALIX_TEST_PACKAGES=(clang libclang-rt-14-dev xvfb dbus dbus-x11 at-spi2-core python3 python3-pyatspi imagemagick)
