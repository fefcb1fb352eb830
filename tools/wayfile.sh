#!/usr/bin/env bash
# Set up, build, and then start Wayfile or run its tests.
#   tools/wayfile.sh run    install what is missing, build, start the program
#   tools/wayfile.sh test   install what is missing, build, run every test
set -euo pipefail

mode=${1:-}
case "$mode" in
  run|test) ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build"

packages=(g++ cmake make pkg-config qt6-base-dev qt6-qpa-plugins libgtest-dev
          libbenchmark-dev fonts-dejavu-core fonts-liberation2)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel "$(nproc)"

if [ "$mode" = run ]; then
  exec "$build/wayfile"
fi
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 600
