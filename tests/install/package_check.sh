#!/usr/bin/env bash
# Installs the Debian package on this machine, checks what it laid out and
# that the program and its manual page work from there, purges it and checks
# that nothing of it is left. Needs root (or sudo); refuses to touch a
# dropcon package that was installed before.
#   package_check.sh DEB
set -euo pipefail
deb=$(realpath "$1")
fail() { echo "FAIL: $*" >&2; exit 1; }
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
apt() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "$@" -y -qq >"$scratch/apt.log" 2>&1 ||
    fail "apt-get $*: $(cat "$scratch/apt.log")"
}
installed() { dpkg-query -W -f='${db:Status-Status}' dropcon 2>/dev/null | grep -qx installed; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
installed && fail "a dropcon package is installed already: purge it first"
trap 'if installed; then apt purge dropcon; fi; rm -rf "$scratch"' EXIT

# The fields: a native version, libraries from what the binary links.
[ "$(dpkg-deb -f "$deb" Version)" = "$(sed -nE 's/^project\(dropcon VERSION ([0-9.]+).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")" ] ||
  fail "the package's version $(dpkg-deb -f "$deb" Version) is not the CMake project version"
[[ "$(dpkg-deb -f "$deb" Depends)" == *libx11-6* ]] || fail "Depends lacks libx11-6: $(dpkg-deb -f "$deb" Depends)"
[ "$(dpkg-deb -f "$deb" Recommends)" = "xterm | rxvt-unicode" ] || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"

apt install "$deb"
installed || fail "apt-get install $deb did not install dropcon"
dpkg -L dropcon >"$scratch/paths"
files=$(while read -r p; do [ -d "$p" ] || echo "$p"; done <"$scratch/paths" | sort)
want="/usr/bin/dropcon
/usr/share/doc/dropcon/README.md.gz
/usr/share/doc/dropcon/changelog.gz
/usr/share/doc/dropcon/copyright
/usr/share/doc/dropcon/examples/dropcon.Xresources
/usr/share/doc/dropcon/examples/dropcon.desktop
/usr/share/man/man1/dropcon.1.gz"
[ "$files" = "$want" ] || fail "installed files differ
expected:
$want
got:
$files"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  /usr/share/doc/dropcon/copyright || fail "the copyright file is not machine-readable"

out=$(/usr/bin/dropcon -h) || fail "/usr/bin/dropcon -h failed"
[ "$(head -n1 <<<"$out")" = "dropcon:" ] || fail "/usr/bin/dropcon -h printed: $out"
man -w -a dropcon | grep -qx /usr/share/man/man1/dropcon.1.gz || fail "man -w dropcon: $(man -w -a dropcon 2>&1)"

apt purge dropcon
installed && fail "apt-get purge left dropcon installed"
# What is still there is a directory that another package shares.
while read -r p; do
  [ -e "$p" ] || continue
  [ -d "$p" ] && dpkg -S "$p" >/dev/null 2>&1 || fail "left after the purge: $p"
done < <(grep -vx '/\.' "$scratch/paths")
[ -z "$(find /var/lib/dpkg/info -name 'dropcon.*')" ] || fail "dpkg still holds $(find /var/lib/dpkg/info -name 'dropcon.*')"
echo "ok: $(basename "$deb") installs, runs, and purges without a trace"
