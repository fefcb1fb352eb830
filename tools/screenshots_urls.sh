#!/usr/bin/env bash
# Takes the README's screenshots of the URL screens: starts the built program
# on a virtual 1024 x 768 display in a scratch program folder, registers a user
# and opens the URLs menu and the Add URL panel with the keyboard only.
# Needs: xvfb, xdotool, imagemagick (apt-get install xvfb xdotool imagemagick).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$top/docs/screenshots"
scratch=$(mktemp -d)
trap 'kill "${app:-0}" "${xvfb:-0}" 2>/dev/null || true; rm -rf "$scratch"' EXIT

cp "$top/build/wayfile" "$scratch/"
display=:$((80 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=$display
"$scratch/wayfile" &
app=$!
sleep 2

focus() { xdotool windowfocus --sync "$(xdotool search --name "$1" | head -1)"; }
mkdir -p "$out"
focus "Wayfile V2.1"; xdotool key alt+l; sleep 1
focus "Login Form"
xdotool key alt+n; sleep 0.3
xdotool type Alice; xdotool key Tab; xdotool type pw1; xdotool key Tab; xdotool type pw1
xdotool key Return; sleep 1   # "Success! Your USER ID was created!"
xdotool key Return; sleep 1   # the sign-in greeting
xdotool key Return; sleep 1
focus "Wayfile V2.1"
xdotool key alt+u; sleep 1    # "&URL'S": the URLs menu
import -window root "$out/urls-menu.png"
xdotool key alt+a; sleep 1    # "&Add URL": the Add URL panel, the cursor in the address box
xdotool type 'https://www.example.org/~alice/'
xdotool key Tab               # into the description box: the hint goes
xdotool type "Alice's page"; xdotool key Return; xdotool type 'with two lines'
sleep 0.5
import -window root "$out/urls-add.png"
echo "screenshots in $out"
