#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# From a fresh machine: builds the Debian package of Orvane in
# ./build-package, checks it with lintian (any error or warning fails),
# installs it with apt-get, and runs the installed programs on the
# installed sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# dpkg-dev: dpkg-shlibdeps, which finds the package's dependencies, and
# dpkg-buildflags; the validators of the desktop entry and AppStream data;
# gio, which answers which program opens a type of file; lintian, Debian's
# checker of packages.
bash scripts/install_packages.sh dpkg-dev desktop-file-utils appstream \
  libglib2.0-bin lintian

desktop-file-validate data/orvane.desktop

# Debian's hardening flags, without its -g and -O2: the Release build's -O3
# stays, and CPack strips the programs.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export DEB_CXXFLAGS_MAINT_STRIP="-g -O2"
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

rm -rf build-package
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release \
  -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build-package -j"$(nproc)"
(cd build-package && cpack)
deb=(build-package/orvane_*.deb)
dpkg-deb --info "${deb[0]}"
dpkg-deb --contents "${deb[0]}"
# The AppStream description as the build made it for this release.
appstreamcli validate --no-net build-package/data/org.example.orvane.metainfo.xml

# lintian: any error or warning fails (exit status 1); its notes (I:) and
# pedantic hints (P:) are shown, not enforced.
lintian --info --pedantic --fail-on error,warning "${deb[0]}"

# --reinstall: a package of the same version built before is replaced.
$sudo apt-get install -y --reinstall "./${deb[0]}"

# The installed programs: no path of this machine's folders built in.
for program in /usr/bin/orvane /usr/bin/orvane-cli; do
  if strings "$program" | grep -F -e "$PWD" -e build-package; then
    echo "$program holds a path of the build machine" >&2
    exit 1
  fi
done

# The installed entry makes Orvane the default program of no type of file:
# a double-clicked text file still opens where it did.
for type in text/plain text/csv; do
  if gio mime "$type" 2>&1 | grep -q orvane; then
    echo "after installation gio mime $type names Orvane:" >&2
    gio mime "$type" >&2
    exit 1
  fi
done
if grep -qs orvane /etc/mailcap; then
  echo "after installation /etc/mailcap names Orvane:" >&2
  grep orvane /etc/mailcap >&2
  exit 1
fi

# Both programs name the release without a display; the manual pages are
# where man looks for them.
cli_version=$(/usr/bin/orvane-cli --version)
window_version=$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/orvane --version)
if [ "$window_version" != "orvane ${cli_version#orvane-cli }" ]; then
  echo "orvane --version says \"$window_version\"," \
    "orvane-cli --version \"$cli_version\"" >&2
  exit 1
fi
for page in orvane orvane-cli; do
  [ -f "/usr/share/man/man1/$page.1.gz" ] || {
    echo "no manual page $page(1) installed" >&2
    exit 1
  }
done

# The installed tool on the installed sample: the report, and the chart.
report=$(/usr/bin/orvane-cli /usr/share/orvane/examples/sampledata.txt)
echo "$report"
grep -q "R_s" <<<"$report"
chart=$(mktemp --suffix=.png)
trap 'rm -f "$chart"' EXIT
/usr/bin/orvane-cli --chart "$chart" /usr/share/orvane/examples/sampledata.txt \
  >/dev/null
if [ "$(head -c 8 "$chart" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
  echo "orvane-cli --chart wrote no PNG picture" >&2
  exit 1
fi
echo "installed ${deb[0]}: the report and the chart of the sample are right"
