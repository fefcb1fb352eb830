#!/usr/bin/env bash
# Takes the README's screenshots: starts the built program on a virtual
# 1024 x 768 display in a scratch program folder, registers a user, adds
# categories and URLs with the keyboard only and photographs the screens on
# the way.
# Needs: xvfb, xdotool, imagemagick (apt-get install xvfb xdotool imagemagick).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$top/docs/screenshots"
scratch=$(mktemp -d)
trap 'kill "${app:-0}" "${xvfb:-0}" 2>/dev/null || true; rm -rf "$scratch"' EXIT

cp "$top/build/wayfile" "$scratch/"
# The settings file goes to the scratch folder, not to the real ~/.config.
export XDG_CONFIG_HOME="$scratch/config"
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=$display
"$scratch/wayfile" &
app=$!
sleep 2

focus() { xdotool windowfocus --sync "$(xdotool search --name "$1" | head -1)"; }
mkdir -p "$out"
import -window root "$out/main-signed-out.png"
focus "Wayfile V2.1"; xdotool key alt+l; sleep 1
focus "Login Form"
import -window root "$out/sign-in.png"
# Alt+H: the Change Password frame, the name and the current password typed.
xdotool key alt+h; sleep 0.3
xdotool type Alice; xdotool key Tab; xdotool type pw1; xdotool key Tab; sleep 0.3
import -window root "$out/change-password.png"
xdotool key alt+b; sleep 0.3   # "&Back": the sign-in frame again
xdotool key alt+n; sleep 0.3
xdotool type Alice; xdotool key Tab; xdotool type pw1; xdotool key Tab; xdotool type pw1
xdotool key Return; sleep 1   # the account is created: "Success! Your USER ID was created!"
xdotool key Return; sleep 1   # the sign-in greeting
xdotool key Return; sleep 1
import -window root "$out/main-signed-in.png"
# The Categories menu with three categories, added by keyboard: Alt+C opens
# the menu, Alt+A the Add panel (the focus waits in the name box), Enter adds
# and a second Enter closes the success box. Without a window manager the
# keyboard goes back to the main window by hand after each box.
main="Wayfile V2.1\$"
focus "$main"; xdotool key alt+c; sleep 0.5
for name in Work Home Travel; do
  focus "$main"; xdotool key alt+a; sleep 0.5
  xdotool type "$name"; xdotool key Return; sleep 0.7
  xdotool key Return; sleep 0.5
done
focus "$main"; xdotool key Home Down; sleep 0.3   # "Travel" chosen in the list
import -window root "$out/categories-menu.png"
# Alt+M: the Modify panel with "Travel" chosen and the focus in the new name.
xdotool key alt+m; sleep 0.5
xdotool type "Trips"; sleep 0.3
import -window root "$out/modify-category.png"
xdotool key alt+b; sleep 0.5   # "&Back": the Categories menu again
# Alt+I: Qt's own file dialog, the focus in its file-name box; a full path
# and Enter choose a browser's bookmark file, and the preview panel shows.
# Escape goes back without importing.
focus "$main"; xdotool key alt+i; sleep 1
focus "Import Bookmarks"; xdotool type "$top/tests/core/bookmarks/firefox.html"
xdotool key Return; sleep 1
focus "$main"; sleep 0.3
import -window root "$out/import-preview.png"
xdotool key Escape; sleep 0.5

# The URLs menu (Alt+U). On the Add URL panel (Alt+A) the focus waits in the
# address box; Shift+Tab reaches the category chooser, where Down picks the
# first category and End the last. Alt+A ("&Add") adds; Enter closes the
# success box and the URLs menu comes back.
add_url() { # category key, address, description
  focus "$main"; xdotool key alt+a; sleep 0.5
  xdotool key shift+Tab "$1"; sleep 0.3
  xdotool key Tab; xdotool type "$2"
  xdotool key Tab; xdotool type "$3"
  focus "$main"; xdotool key alt+a; sleep 0.7
  xdotool key Return; sleep 0.5
}
focus "$main"; xdotool key alt+u; sleep 0.7
add_url End "https://www.debian.org/" "The universal operating system"
add_url End "www.example.org/~alice/" "Alice's pages"
add_url End "https://doc.qt.io/" "Qt documentation"
add_url Down "news.example.com" "Morning news"
# Back on the URLs menu: the last category chosen is listed; Tab into the
# list and Home chooses the first address, showing its description.
focus "$main"; xdotool key Tab; sleep 0.3; xdotool key Home; sleep 0.5
import -window root "$out/urls-menu.png"
# The Add URL panel while a URL is typed.
xdotool key alt+a; sleep 0.5
xdotool key shift+Tab End; sleep 0.3
xdotool key Tab; xdotool type "https://www.gnu.org/"
xdotool key Tab; xdotool type "Free software"; xdotool key Return; xdotool type "and its philosophy"
sleep 0.5
import -window root "$out/urls-add.png"
# Ctrl+F, from any screen: the Find URL menu, searching as the words are
# typed; Down goes into the results and chooses the first one.
xdotool key ctrl+f; sleep 0.5
xdotool type "news"; sleep 0.3
xdotool key Down; sleep 0.5
import -window root "$out/find-url.png"
# The Add URL panel says where an address typed is saved already.
xdotool key Escape; sleep 0.3
focus "$main"; xdotool key alt+u; sleep 0.5; xdotool key alt+a; sleep 0.5
xdotool type "http://news.example.com"; sleep 0.5
import -window root "$out/urls-add-saved.png"
# Back on the URLs menu, Tab and Home choose the first address, Delete URL
# (Alt+D) opens with it chosen, and its "&Delete" (Alt+D again) moves it into
# the Trash; Enter closes the success box. Alt+T shows
# the Trash, the address deleted in it.
focus "$main"; xdotool key alt+b; sleep 0.5   # "&Back": the URLs menu
focus "$main"; xdotool key Tab; sleep 0.3; xdotool key Home; sleep 0.5
xdotool key alt+d; sleep 0.5
xdotool key alt+d; sleep 0.7
xdotool key Return; sleep 0.5
focus "$main"; xdotool key alt+t; sleep 0.7
xdotool key Tab Home; sleep 0.3
import -window root "$out/trash.png"
echo "screenshots in $out"
