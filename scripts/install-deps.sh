#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
# Runs apt-get directly as root, through sudo otherwise. Used by run.sh and test.sh.
#   install-deps.sh            packages to build and run the game
#   install-deps.sh --test     also the packages the tests and benchmarks need
#   install-deps.sh --packages also the packages that build and check the Debian packages
set -euo pipefail

build_pkgs=(
  g++ make cmake pkg-config
  libsdl2-dev libgl-dev libgl1-mesa-dri
  libpng-dev zlib1g-dev libfreetype-dev
  libogg-dev libvorbis-dev
  fonts-dejavu-core
  fonts-clear-sans fonts-lato fonts-open-sans fonts-dotgothic16
  libmicrohttpd-dev libsqlite3-dev libsodium-dev
  libpq-dev
)
test_pkgs=(
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils libx11-dev curl
  clang libclang-rt-14-dev llvm-14
  libopenal1
  desktop-file-utils appstream
  systemd
  nginx
  postgresql
  chromium
)

# Building the Debian packages (scripts/build-debs.sh) and testing them in a fresh Debian root.
package_pkgs=(dpkg-dev lintian debootstrap gzip xz-utils)

want=("${build_pkgs[@]}")
[ "${1:-}" = "--test" ] && want+=("${test_pkgs[@]}")
[ "${1:-}" = "--packages" ] && want+=("${package_pkgs[@]}")

missing=()
for p in "${want[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing Debian packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
# Services among them (nginx, PostgreSQL) are installed for the tests, which start their own
# copies: none is started at install (a policy-rc.d that refuses, unless the machine has one).
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" > /dev/null
  "${sudo[@]}" chmod 755 "$policy"
  trap '"${sudo[@]}" rm -f "$policy"' EXIT
fi
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
