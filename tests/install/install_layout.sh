#!/usr/bin/env bash
# Installs dropcon into a scratch DESTDIR and checks the files that land there.
#   install_layout.sh destdir SOURCE_DIR BUILD_DIR
#     the default install of an existing build: the program and the manual
#     page under PREFIX, nothing else, no autostart entry unless asked for.
#   install_layout.sh autostart SOURCE_DIR
#     a fresh configure with -DDROPCON_AUTOSTART=ON: the .desktop file goes to
#     PREFIX's etc/xdg/autostart, or to /etc/xdg/autostart when
#     CMAKE_INSTALL_SYSCONFDIR is /etc, and is a valid desktop entry.
set -euo pipefail
mode=$1 src=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Every regular file and link under a DESTDIR, relative to it, sorted.
layout() { (cd "$1" && find . \( -type f -o -type l \) | sed 's|^\./|/|' | sort); }

expect_layout() {  # expect_layout DESTDIR FILE...
  local dest=$1; shift
  local want got
  want=$(printf '%s\n' "$@" | sort)
  got=$(layout "$dest")
  [ "$got" = "$want" ] || fail "installed files differ
expected:
$want
got:
$got"
}

case $mode in
destdir)
  build=$3
  dest=$scratch/stage
  DESTDIR=$dest cmake --install "$build" --prefix /usr >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "cmake --install failed"; }
  expected=(/usr/bin/dropcon /usr/share/man/man1/dropcon.1)
  if grep -q '^DROPCON_AUTOSTART:BOOL=ON$' "$build/CMakeCache.txt"; then
    sysconf=$(sed -n 's/^CMAKE_INSTALL_SYSCONFDIR:PATH=//p' "$build/CMakeCache.txt")
    [[ $sysconf == /* ]] || sysconf=/usr/$sysconf
    expected+=("$sysconf/xdg/autostart/dropcon.desktop")
  fi
  expect_layout "$dest" "${expected[@]}"
  [ -x "$dest/usr/bin/dropcon" ] || fail "/usr/bin/dropcon is not executable"
  cmp -s "$dest/usr/share/man/man1/dropcon.1" "$src/dropcon.1" || fail "the installed manual page is not dropcon.1"
  # The installed program is the one that was built and runs from there.
  out=$("$dest/usr/bin/dropcon" -h) || fail "the installed dropcon -h failed"
  [ "$(printf '%s\n' "$out" | head -n1)" = "dropcon:" ] || fail "the installed dropcon -h printed: $out"
  ;;
autostart)
  build=$scratch/build
  configure() {  # configure EXTRA-CMAKE-ARGS...
    rm -rf "$build"
    cmake -S "$src" -B "$build" -DBUILD_TESTING=OFF "$@" >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "configure $* failed"; }
  }
  # Only the autostart component: it needs no build of the program.
  configure -DDROPCON_AUTOSTART=ON
  DESTDIR=$scratch/a cmake --install "$build" --prefix /usr/local --component autostart >/dev/null
  expect_layout "$scratch/a" /usr/local/etc/xdg/autostart/dropcon.desktop

  configure -DDROPCON_AUTOSTART=ON -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_SYSCONFDIR=/etc
  DESTDIR=$scratch/b cmake --install "$build" --component autostart >/dev/null
  expect_layout "$scratch/b" /etc/xdg/autostart/dropcon.desktop
  cmp -s "$scratch/b/etc/xdg/autostart/dropcon.desktop" "$src/dropcon.desktop" || fail "the installed entry is not dropcon.desktop"

  # Without the option the component is empty.
  configure
  DESTDIR=$scratch/c cmake --install "$build" --prefix /usr --component autostart >/dev/null
  [ -z "$(layout "$scratch/c" 2>/dev/null)" ] || fail "autostart installed without DROPCON_AUTOSTART: $(layout "$scratch/c")"

  out=$(desktop-file-validate "$src/dropcon.desktop" 2>&1) || fail "dropcon.desktop: $out"
  [ -z "$out" ] || fail "dropcon.desktop: $out"
  grep -qx 'Exec=dropcon' "$src/dropcon.desktop" || fail "dropcon.desktop does not run dropcon"
  ;;
*) fail "unknown mode $mode" ;;
esac
echo "ok: $mode"
