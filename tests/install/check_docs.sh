#!/usr/bin/env bash
# Checks the manual page and the example resource file against the program.
#   check_docs.sh resources SOURCE_DIR
#     every resource that startup/settings.cpp reads has an entry in the RESOURCES
#     section of dropcon.1 and a line in examples/dropcon.Xresources, neither
#     documents a resource that the program does not read, and the defaults
#     written in the code are the ones the page gives.
#   check_docs.sh groff SOURCE_DIR
#     dropcon.1 renders with groff's man macros without a single warning.
#   check_docs.sh example SOURCE_DIR DROPCON_BINARY
#     the example file loads with xrdb -merge on a private Xvfb, and dropcon
#     accepts every value in it, the commented alternatives included.
set -euo pipefail
mode=$1 src=$2
page=$src/dropcon.1
example=$src/examples/dropcon.Xresources
settings=$src/startup/settings.cpp
fail() { echo "FAIL: $*" >&2; exit 1; }

# The resource names the program looks up: every string literal handed to
# resource(), intSetting(), lengthSetting(), textSetting(), hotkey() or XGetDefault() in the settings code.
read_by_program() {
  grep -oE '(resource|intSetting|lengthSetting|textSetting|hotkey)\("[A-Za-z]+"|XGetDefault\([^;]*"[A-Za-z]+"' "$settings" |
    sed -E 's/.*"([A-Za-z]+)"$/\1/' | sort -u
}

# The RESOURCES section of the page, up to the next section or subsection.
resources_section() { awk '/^\.SH /{on = ($2 == "RESOURCES")} /^\.SS /{on = 0} on' "$page"; }

# The names of the entries in it: the first word of each tag after .TP.
documented() {
  resources_section | awk 'tag {print $2; tag = 0} /^\.TP/ {tag = 1}' | sort -u
}

case $mode in
resources)
  program=$(read_by_program)
  [ "$(wc -l <<<"$program")" -ge 10 ] || fail "found too few resources in $settings: $program"
  page_names=$(documented)
  missing=$(comm -23 <(echo "$program") <(echo "$page_names"))
  [ -z "$missing" ] || fail "read by the program but missing from RESOURCES in dropcon.1: $missing"
  extra=$(comm -13 <(echo "$program") <(echo "$page_names"))
  [ -z "$extra" ] || fail "documented in dropcon.1 but not read by the program: $extra"

  in_example=$(grep -oE '^!?dropcon\.[A-Za-z]+:' "$example" | sed -E 's/^!?dropcon\.//; s/:$//' | sort -u)
  missing=$(comm -23 <(echo "$program") <(echo "$in_example"))
  [ -z "$missing" ] || fail "read by the program but missing from $example: $missing"
  extra=$(comm -13 <(echo "$program") <(echo "$in_example"))
  [ -z "$extra" ] || fail "set in $example but not read by the program: $extra"

  # Defaults given as literals in the code: intSetting("name", 3, ...),
  # lengthSetting("name", 10, ...), settingInt(resource("name"), 1) and
  # textSetting("name", "grey70") and hotkey("name", "Alt+F11").
  defaults=$(grep -oE '(int|length)Setting\("[A-Za-z]+", -?[0-9]+|settingInt\(resource\("[A-Za-z]+"\), -?[0-9]+|(textSetting|hotkey)\("[A-Za-z]+", "[^"]+"' "$settings" |
    sed -E 's/^[a-zA-Z]+\((resource\()?"([A-Za-z]+)"\)?, "?([^"]+)"?$/\2 \3/')
  [ "$(wc -l <<<"$defaults")" -ge 8 ] || fail "found too few defaults in $settings: $defaults"
  while read -r name value; do
    # The whole section is read: a reader that left early would make the
    # writer die of SIGPIPE once the section outgrows one output buffer.
    tag=$(resources_section | awk -v n="$name" '!found && tag && $2 == n {print; found = 1} {tag = /^\.TP/}')
    [[ "$tag" == *"default $value)"* ]] || fail "dropcon.1 gives $name as '$tag', the program's default is $value"
    awk -v n="dropcon.$name:" -v v="$value" '$1 == n && $2 == v && NF == 2 {found = 1} END {exit !found}' "$example" ||
      fail "$example does not set $name to its default $value"
  done <<<"$defaults"
  echo "ok: $(wc -l <<<"$program") resources documented, $(wc -l <<<"$defaults") defaults checked"
  ;;
groff)
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "groff warns about dropcon.1:
$warnings"
  text=$(groff -man -Tutf8 -ww "$page" 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g; s/.\x08//g')
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS RESOURCES HOTKEYS EXAMPLES "EXIT STATUS" DIAGNOSTICS ENVIRONMENT FILES BUGS; do
    grep -qx "$section" <<<"$text" || fail "dropcon.1 has no $section section"
  done
  echo "ok: dropcon.1 renders without warnings"
  ;;
example)
  binary=$3
  scratch=$(mktemp -d)
  xvfb=""
  trap '[ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; wait 2>/dev/null; rm -rf "$scratch"' EXIT
  # -noreset: the resources must outlive xrdb's own connection.
  Xvfb -displayfd 3 -screen 0 1024x600x24 -nolisten tcp -noreset 3>"$scratch/display" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
  [ -s "$scratch/display" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$scratch/display")"

  # Runs dropcon for a moment with the resources of FILE loaded; its error
  # output must stay empty: no unknown key, colour or refused grab.
  try_with() {
    xrdb -load /dev/null
    errors=$(xrdb -merge "$1" 2>&1) || fail "xrdb -merge $1 failed: $errors"
    [ -z "$errors" ] || fail "xrdb -merge $1 complained: $errors"
    [ -n "$(xrdb -query)" ] || fail "xrdb -merge $1 loaded nothing"
    HOME=$scratch timeout 3 "$binary" >"$scratch/out" 2>"$scratch/err" || [ $? = 124 ] ||
      fail "dropcon ended with the resources of $2: $(cat "$scratch/err")"
    grep -q . "$scratch/err" && fail "dropcon with the resources of $2 printed: $(cat "$scratch/err")"
    return 0
  }
  try_with "$example" "the example file"
  # The commented alternatives too: uncommented, the last line of each
  # resource is kept.
  sed -nE 's/^!?(dropcon[.*][A-Za-z]+:)/\1/p' "$example" |
    awk -F: '{last[$1] = $0; if (!($1 in seen)) order[n++] = $1; seen[$1] = 1}
             END {for (i = 0; i < n; i++) print last[order[i]]}' >"$scratch/all.Xresources"
  try_with "$scratch/all.Xresources" "the example file with every line uncommented"
  echo "ok: the example resource file loads and dropcon takes every value in it"
  ;;
*) fail "unknown mode $mode" ;;
esac
