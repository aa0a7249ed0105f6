#!/bin/sh
# Builds the Debian package from an install tree: the tree goes to /usr/lib/fenwix, the kiosk's
# launcher, session and user unit beside it; Depends comes from the shared libraries the
# programs and libraries link (dpkg-shlibdeps), plus the modules they load at run time
# (runtime-depends).
#   makedeb.sh <install tree> <package version> <output folder>
# Prints the package's path as its last line.
set -eu
if [ $# -ne 3 ]; then
    echo "usage: makedeb.sh <install tree> <package version> <output folder>" >&2
    exit 2
fi
tree=$1
version=$2
output=$3
here=$(cd "$(dirname "$0")" && pwd)
name=fenwix-terminal
arch=$(dpkg --print-architecture)
[ -d "$tree" ] || { echo "makedeb: no install tree at $tree" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/fenwix-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
# dpkg-shlibdeps takes libraries found under debian/<package>/ as part of the package itself.
root=$work/debian/$name
lib=$root/usr/lib/fenwix
mkdir -p "$lib" "$root/usr/bin" "$root/usr/lib/systemd/user" "$root/usr/share/xsessions" \
    "$root/usr/share/doc/$name" "$root/DEBIAN"
cp -R "$tree/." "$lib/"
printf '%s\n' "$version" >"$lib/package-version"
install -m 755 "$here/fenwix-kiosk" "$here/fenwix-kiosk-session" "$root/usr/bin/"
install -m 644 "$here/fenwix-kiosk.service" "$root/usr/lib/systemd/user/"
install -m 644 "$here/fenwix-kiosk.desktop" "$root/usr/share/xsessions/"
install -m 644 "$here/copyright" "$root/usr/share/doc/$name/"

elves=$(find "$lib" -type f -exec sh -c 'head -c 4 "$1" | grep -q "ELF"' _ {} \; -print)
[ -n "$elves" ] || { echo "makedeb: no programs in $tree" >&2; exit 1; }
cat >"$work/debian/control" <<CONTROL
Source: $name
Maintainer: Fenwix Education <support@fenwix.invalid>

Package: $name
Architecture: any
CONTROL
# shellcheck disable=SC2086 # one argument per file
depends=$(cd "$work" && dpkg-shlibdeps -O -l"$lib" $elves 2>"$work/shlibdeps.err" |
    sed -n 's/^shlibs:Depends=//p') || true
if [ -z "$depends" ]; then
    cat "$work/shlibdeps.err" >&2
    echo "makedeb: dpkg-shlibdeps found no dependencies" >&2
    exit 1
fi
rm -f "$work/debian/control"
runtime=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$here/runtime-depends" | paste -sd, - |
    sed 's/,/, /g')
[ -z "$runtime" ] || depends="$depends, $runtime"

size=$(du -sk "$root" | cut -f1)
cat >"$root/DEBIAN/control" <<CONTROL
Package: $name
Version: $version
Architecture: $arch
Maintainer: Fenwix Education <support@fenwix.invalid>
Installed-Size: $size
Depends: $depends
Section: education
Priority: optional
Description: Fenwix classroom terminal for unattended room PCs
 The student-side terminal of a remote dual-teacher classroom with its updater,
 its conference and media libraries, pictures and sounds, and a kiosk session
 that shows it full screen and restarts it after a crash.
CONTROL

mkdir -p "$output"
deb=$(cd "$output" && pwd)/${name}_${version}_${arch}.deb
fakeroot dpkg-deb --build -Zxz -z3 "$root" "$deb" >/dev/null
printf '%s\n' "$deb" >"$output/last-built"
echo "$deb"
