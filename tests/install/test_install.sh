#!/usr/bin/env bash
# Installs, reinstalls and uninstalls Wayfile for a user whose home is a
# scratch folder, taking the program of an existing build.
#   usage: test_install.sh <source folder> <build folder>
set -uo pipefail

top=$1
build=$2
scratch=$(mktemp -d)
holder=
cleanup() {
  [ -z "$holder" ] || kill "$holder" 2>/dev/null
  rm -rf -- "$scratch"
}
trap cleanup EXIT

passed=0
failed=0
pass() {
  echo "ok - $1"
  passed=$((passed + 1))
}
fail() {
  echo "FAILED - $1"
  failed=$((failed + 1))
}
# check <what is checked> <command...>
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
# expect_text <what> <expected> <actual>: exact comparison, shown on failure.
expect_text() {
  if [ "$2" = "$3" ]; then
    pass "$1"
  else
    fail "$1"
    printf '  expected: %s\n  actual:   %s\n' "$2" "$3"
  fi
}
# expect_line <what> <expected line> <file>: the file holds that exact line.
expect_line() {
  if grep -qxF -- "$2" "$3"; then
    pass "$1"
  else
    fail "$1"
    printf '  expected the line: %s\n  in:\n' "$2"
    sed 's/^/    /' "$3"
  fi
}
mode_is() { [ "$(stat -c %a -- "$2")" = "$1" ]; }
absent() { [ ! -e "$1" ] && [ ! -L "$1" ]; }

# Every file and folder of the data in a program folder, with its mode, size,
# time of change and a digest of its bytes.
snapshot() {
  (cd "$1" && find info.qvx USR* -printf '%p %m %s %T@\n' | sort &&
    find info.qvx USR* -type f -print0 | sort -z | xargs -0 sha256sum)
}

# Runs tools/wayfile.sh for the user of $home, taking the program from the
# build; $xdg is the user's XDG_DATA_HOME (empty: unset). Output in $out.
home=
xdg=
out="$scratch/out"
wayfile() {
  if [ -n "$xdg" ]; then
    HOME=$home XDG_DATA_HOME=$xdg WAYFILE_INSTALL_FROM=$build "$top/tools/wayfile.sh" "$@" \
      >"$out" 2>&1
  else
    env -u XDG_DATA_HOME HOME="$home" WAYFILE_INSTALL_FROM="$build" \
      "$top/tools/wayfile.sh" "$@" >"$out" 2>&1
  fi
}

# The program, launcher and icon of an installation under the data folder
# $1, as the case named $2.
check_installed() {
  local share=$1 name=$2
  local app="$share/wayfile"
  local launcher="$share/applications/wayfile.desktop"
  local icon="$share/icons/hicolor/scalable/apps/wayfile.svg"
  check "$name: the program folder is the owner's only" mode_is 700 "$app"
  check "$name: the program is the build's" cmp -s "$build/wayfile" "$app/wayfile"
  check "$name: the program can be run by its owner only" mode_is 700 "$app/wayfile"
  check "$name: the readme is the build's, beside the program" \
    cmp -s "$build/readme.txt" "$app/readme.txt"
  check "$name: the readme is readable by its owner only" mode_is 600 "$app/readme.txt"
  check "$name: the launcher is readable by its owner" mode_is 600 "$launcher"
  check "$name: the icon is the drawn one" cmp -s "$top/data/wayfile.svg" "$icon"
  check "$name: the icon is readable by its owner" mode_is 600 "$icon"
  check "$name: the launcher passes desktop-file-validate" desktop-file-validate "$launcher"
  expect_line "$name: the launcher starts the installed program" \
    "Exec=\"$app/wayfile\"" "$launcher"
  expect_line "$name: the launcher is shown only while the program is there" \
    "TryExec=$app/wayfile" "$launcher"
  expect_line "$name: the launcher shows the icon" "Icon=wayfile" "$launcher"

  # What the desktop runs: the command of Exec=, without its quotes. Without
  # a display the program answers with its sentence and ends.
  local command
  command=$(sed -n 's/^Exec="\(.*\)"$/\1/p' "$launcher")
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$command" >"$scratch/started" 2>&1
  check "$name: the launcher's command runs the program" \
    grep -q "Wayfile needs a graphical desktop to show its windows" "$scratch/started"
}

# ---- The readme beside the program in the build folder ----
readme="$build/readme.txt"
check "the build has readme.txt beside the program" test -f "$readme" -a -x "$build/wayfile"
expect_line "the readme starts with the program's name" "Wayfile v2.1" <(head -n 1 "$readme")
for heading in "First steps" "Where the data live" "What the messages mean" \
  "After a crash or a power failure"; do
  expect_line "the readme has the part \"$heading\"" "$heading" "$readme"
done
expect_line "the readme explains the Imposter message of the categories" \
  "    Imposter! These Category Files don't seem to belong to you!" "$readme"
expect_line "the readme explains the Imposter message of the URLs" \
  "    Imposter! These files don't seem to belong to you." "$readme"
expect_line "the readme says how to back up" \
  "    cp -a ~/.local/share/wayfile/info.qvx ~/.local/share/wayfile/USR* /path/to/backup/" "$readme"
check "the readme is plain text, without images, table pipes, markers or marks" \
  bash -c '! grep -nE "^#|^!\[|^\||\*\*|\`|<!--" "$1"' _ "$readme"
check "the readme leaves out the developers' part" bash -c '! grep -q "Development" "$1"' _ "$readme"
# The character table that the refusals of unstorable characters point to,
# in columns: lined up by characters, not bytes, and "\|" a pipe of its text.
expect_line "the readme keeps the character table's heading row" \
  "Characters                                     Stored as" "$readme"
expect_line "the readme underlines the heading row with dashes" "$(printf -- '-%.0s' {1..86})" \
  "$readme"
expect_line "the readme lines up a row of several-byte characters" \
  "typographic quotes ‘ ’ ‚ ‹ › ´ / “ ” „ « »     ' / \"" "$readme"
expect_line "the readme keeps an escaped pipe in a cell" \
  "{ } ~ |                                        ( ) - /" "$readme"

# The same conversion on a README of its own: a table outside the readme's
# part is not taken, a table of images alone goes, and a table of text keeps
# its rows, each column as wide as its widest cell.
cat >"$scratch/README.md" <<'END'
| Not | taken |
|---|---|
| a | b |
<!-- readme.txt -->
# Keys

Before the tables.

| Key | What it does |
|---|:---|
| `Alt+L` | **Login** |
| `é` or `\|` | an accent; a pipe |
| Ctrl+F | find |

| Picture | Another |
|---|---|
| ![](a.png) | ![](b.png) |

After the tables.
<!-- /readme.txt -->
END
expected="Keys
====

Before the tables.

Key     What it does
-------------------------
Alt+L   Login
é or |  an accent; a pipe
Ctrl+F  find

After the tables."
if cmake -DINPUT="$scratch/README.md" -DOUTPUT="$scratch/readme.txt" \
  -P "$top/cmake/ReadmeText.cmake" >"$out" 2>&1; then
  expect_text "a table becomes aligned plain text" "$expected" "$(cat "$scratch/readme.txt")"
else
  fail "a table becomes aligned plain text"
  sed 's/^/  /' "$out"
fi

# ---- Installing into the default data folder, ~/.local/share ----
home="$scratch/home of a user"
mkdir -p "$home"
share="$home/.local/share"
app="$share/wayfile"
launcher="$share/applications/wayfile.desktop"
icon="$share/icons/hicolor/scalable/apps/wayfile.svg"

check "install succeeds" wayfile install
expect_line "install says where the program and data are" \
  "Wayfile is installed in $app; its data are kept in that folder." "$out"
check_installed "$share" "default data folder"

# Data of two users, as the program leaves them.
printf '123456*QVX*654321*QVX*987\r\n' >"$app/info.qvx"
mkdir -m 700 "$app/USR1" "$app/USR2"
printf '111222*QVX*333444*QVX*555\r\n' >"$app/USR1/CAT.DAT"
printf '1*QVX*2*QVX*3*QVX*4\r\n5*QVX*6*QVX*7*QVX*8' >"$app/USR1/CAT1.DAT"
chmod 600 "$app/info.qvx" "$app/USR1/CAT.DAT" "$app/USR1/CAT1.DAT"
before=$(snapshot "$app")

# ---- Installing again over that installation ----
printf 'not the program\n' >"$app/wayfile"
printf '[Desktop Entry]\nName=Stale\n' >"$launcher"
check "installing again succeeds" wayfile install
check_installed "$share" "installed again"
expect_text "installing again keeps the data byte for byte" "$before" "$(snapshot "$app")"

# ---- Nothing is replaced or removed while the program runs ----
QT_QPA_PLATFORM=offscreen QT_QPA_FONTDIR=/usr/share/fonts HOME=$home "$app/wayfile" \
  >"$scratch/running" 2>&1 &
holder=$!
# A checking build starts slowly on a busy machine: wait up to two minutes
# for the program to take its folder's lock (the loop ends once it has, or
# once the program has ended). The wait reads the system's table of locks
# instead of trying the lock itself: a try that held the lock at the moment
# the program looked would make it end as a second copy.
inode=$(stat -c %i "$app")
for _ in $(seq 1 1200); do
  grep -qE "FLOCK +ADVISORY +WRITE +$holder +[0-9a-f]+:[0-9a-f]+:$inode " /proc/locks && break
  kill -0 "$holder" 2>/dev/null || break
  sleep 0.1
done
if flock -n "$app" true 2>/dev/null; then
  fail "the installed program runs"
  sed 's/^/  /' "$scratch/running"
else
  for action in install uninstall; do
    if wayfile "$action"; then
      fail "$action ends with failure while the program runs"
    else
      pass "$action ends with failure while the program runs"
    fi
    expect_line "$action says why it was refused" \
      "Wayfile is running from $app: close it, then $action again." "$out"
  done
  check "the running program stays installed" cmp -s "$build/wayfile" "$app/wayfile"
  check "the launcher stays while the program runs" test -f "$launcher"
fi
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
holder=

# ---- Uninstalling keeps the data ----
check "uninstall succeeds" wayfile uninstall
expect_line "uninstall says where the data are" \
  "Your Wayfile data (info.qvx and the USR folders) were kept in $app; install Wayfile again to use them, or delete that folder when you no longer need them." \
  "$out"
check "uninstall removes the program" absent "$app/wayfile"
check "uninstall removes the readme" absent "$app/readme.txt"
check "uninstall removes the launcher" absent "$launcher"
check "uninstall removes the icon" absent "$icon"
expect_text "uninstall keeps the data byte for byte" "$before" "$(snapshot "$app")"

# ---- A data folder of the user's choice (XDG_DATA_HOME) ----
home="$scratch/second home"
xdg="$scratch/elsewhere/share"
mkdir -p "$home"
check "install into XDG_DATA_HOME succeeds" wayfile install
check_installed "$xdg" "XDG_DATA_HOME"
check "nothing is installed in ~/.local" absent "$home/.local"
check "uninstall without data succeeds" wayfile uninstall
expect_line "uninstall without data says so" "Wayfile is uninstalled; it had no data to keep." "$out"
check "a program folder without data goes" absent "$xdg/wayfile"
check "uninstall without data removes the launcher" absent "$xdg/applications/wayfile.desktop"
check "uninstall without data removes the icon" \
  absent "$xdg/icons/hicolor/scalable/apps/wayfile.svg"
xdg=

# ---- cmake --install with a prefix of its own ----
prefix="$scratch/prefix"
if cmake --install "$build" --prefix "$prefix" >"$out" 2>&1; then
  pass "cmake --install succeeds"
  check_installed "$prefix/share" "cmake --install"
else
  fail "cmake --install succeeds"
  sed 's/^/  /' "$out"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
