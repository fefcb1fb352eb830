#!/usr/bin/env bash
# Takes the README's screenshots: starts the built program on a virtual
# 1024 x 768 display in a scratch program folder, registers a user with the
# keyboard only and photographs the screens on the way.
# Needs: xvfb, xdotool, imagemagick (apt-get install xvfb xdotool imagemagick).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$top/docs/screenshots"
scratch=$(mktemp -d)
trap 'kill "${app:-0}" "${xvfb:-0}" 2>/dev/null || true; rm -rf "$scratch"' EXIT

cp "$top/build/wayfile" "$scratch/"
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
xdotool key alt+n; sleep 0.3
xdotool type Alice; xdotool key Tab; xdotool type pw1; xdotool key Tab; xdotool type pw1
xdotool key Return; sleep 1   # the account is created: "Success! Your USER ID was created!"
xdotool key Return; sleep 1   # the sign-in greeting
xdotool key Return; sleep 1
import -window root "$out/main-signed-in.png"
echo "screenshots in $out"
