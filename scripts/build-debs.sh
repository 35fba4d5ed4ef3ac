#!/usr/bin/env bash
# Builds the Debian packages: one per game of the series and one for the score server, into
# build-deb/packages/, and checks each with lintian (no error allowed). A build of its own
# (build-deb/) for /usr, its settings in /etc and the server's systemd unit in /lib/systemd/system.
#   scripts/build-debs.sh
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --packages
build=build-deb
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVQ_BUILD_TESTS=OFF -DVQ_BUILD_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_SYSCONFDIR=/etc -DVQ_SYSTEMD_UNIT_DIR=/lib/systemd/system -DVQ_GAME_BINDIR=games >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -rf "$build/packages"
mkdir -p "$build/packages"
while read -r component version; do
  [ -n "$component" ] || continue
  (cd "$build" && cpack -G DEB -B "$PWD/packages/work" -D CPACK_COMPONENTS_ALL="$component" \
     -D CPACK_PACKAGE_VERSION="$version" > "packages/$component.cpack.log" 2>&1) ||
    { tail -n 20 "$build/packages/$component.cpack.log"; echo "cpack failed for $component"; exit 1; }
  mv "$build"/packages/work/*.deb "$build/packages/"
  rm -rf "$build/packages/work"
done < "$build/packaging/packages.txt"
status=0
for deb in "$build"/packages/*.deb; do
  echo "== $(basename "$deb")"
  dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Depends\|Recommends\|Installed-Size\):/  \1:/p'
  # Errors fail the build; warnings and notes are printed.
  lintian --tag-display-limit 0 "$deb" > "$deb.lintian" 2>&1 || true
  grep -v "running with root privileges" "$deb.lintian" | sed 's/^/  /'
  grep -q '^E:' "$deb.lintian" && status=1
done
exit $status
