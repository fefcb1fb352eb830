#!/usr/bin/env bash
# Set up, build, and then start Wayfile or run its tests, or install it.
#   tools/wayfile.sh run        install what is missing, build, start the program
#   tools/wayfile.sh test       install what is missing, check the source format,
#                               build and run every test, then build and run them
#                               all again under AddressSanitizer and UBSan
#   tools/wayfile.sh install    build a release of the program (in build-release/)
#                               and install it for the current user, with its
#                               readme.txt, a launcher and an icon; data already
#                               there are kept
#   tools/wayfile.sh uninstall  remove the installed program, readme, launcher and
#                               icon; the data stay where they are
#
# The installation goes to ${XDG_DATA_HOME:-~/.local/share}: the program, its
# readme.txt and its data in wayfile/, the launcher in applications/, the icon in
# icons/hicolor/scalable/apps/. With WAYFILE_INSTALL_FROM set to a build folder,
# install takes the program from that build as it is instead (the tests do so).
set -euo pipefail

mode=${1:-}
case "$mode" in
  run|test|install|uninstall) ;;
  *) echo "usage: $0 run|test|install|uninstall" >&2; exit 2 ;;
esac

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build"

if [ "$mode" = install ] || [ "$mode" = uninstall ]; then
  # The user's data folder: XDG_DATA_HOME when it is an absolute path.
  data_home=${XDG_DATA_HOME:-}
  [[ "$data_home" == /?* ]] || data_home="$HOME/.local/share"
  data_home=${data_home%/}
  app_dir="$data_home/wayfile"
  launcher="$data_home/applications/wayfile.desktop"
  icon="$data_home/icons/hicolor/scalable/apps/wayfile.svg"
fi

# The program holds a lock on its folder while it runs: its files are never
# replaced or removed under a running copy.
refuse_if_running() {
  if [ -d "$app_dir" ] && ! flock -n "$app_dir" true 2>/dev/null; then
    echo "Wayfile is running from $app_dir: close it, then $mode again." >&2
    exit 1
  fi
}

# Installs the program of a build whose install folders are relative to the
# prefix: <prefix>/share/... must be $data_home/...
install_build() {
  local share
  share=$(sed -n 's/^CMAKE_INSTALL_DATAROOTDIR:[A-Z]*=//p' "$1/CMakeCache.txt")
  if [ "$share" != "$(basename "$data_home")" ]; then
    echo "The build in $1 installs into <prefix>/$share, not into $data_home." >&2
    exit 1
  fi
  refuse_if_running
  # Every file is copied, even one whose time of change looks current.
  CMAKE_INSTALL_ALWAYS=1 cmake --install "$1" --prefix "$(dirname "$data_home")"
  echo "Wayfile is installed in $app_dir; its data are kept in that folder."
}

if [ "$mode" = uninstall ]; then
  refuse_if_running
  for f in "$app_dir/wayfile" "$app_dir/readme.txt" "$launcher" "$icon"; do
    if [ -e "$f" ] || [ -L "$f" ]; then
      rm -f -- "$f"
      echo "Removed $f"
    fi
  done
  # The folder goes as well when nothing is left in it. Whatever is left is
  # the users' data, which only the user deletes.
  if [ ! -d "$app_dir" ]; then
    echo "Wayfile is not installed in $app_dir."
  elif rmdir -- "$app_dir" 2>/dev/null; then
    echo "Wayfile is uninstalled; it had no data to keep."
  else
    echo "Your Wayfile data (info.qvx and the USR folders) were kept in $app_dir;" \
      "install Wayfile again to use them, or delete that folder when you no longer need them."
  fi
  exit 0
fi

if [ "$mode" = install ]; then
  refuse_if_running
  if [ -n "${WAYFILE_INSTALL_FROM:-}" ]; then
    # A program built already: nothing to set up or build.
    install_build "$WAYFILE_INSTALL_FROM"
    exit 0
  fi
fi

packages=(g++ cmake make pkg-config qt6-base-dev qt6-qpa-plugins libgtest-dev
          libbenchmark-dev fonts-dejavu-core fonts-liberation2 clang-format
          desktop-file-utils dbus-daemon)

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

if [ "$mode" = test ]; then
  echo "Checking the source format (clang-format)"
  find "$top/src" "$top/tests" "$top/bench" -name '*.cpp' -o -name '*.h' |
    sort | xargs clang-format --dry-run -Werror
fi

if [ "$mode" = install ]; then
  # A release build of its own, without tests and benchmarks, configured to
  # install under the user's data folder.
  release="$top/build-release"
  cmake -S "$top" -B "$release" -DCMAKE_BUILD_TYPE=Release \
    -DWAYFILE_BUILD_TESTS=OFF -DWAYFILE_BUILD_BENCH=OFF \
    -DCMAKE_INSTALL_PREFIX="$(dirname "$data_home")" \
    -DCMAKE_INSTALL_DATAROOTDIR="$(basename "$data_home")"
  cmake --build "$release" --parallel "$(nproc)"
  install_build "$release"
  exit 0
fi

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel "$(nproc)"

if [ "$mode" = run ]; then
  exec "$build/wayfile"
fi

run_tests() {
  (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 600)
}
run_tests "$build"

# The same tests once more in a checking build: memory errors, leaks and
# undefined behaviour fail the test that caused them.
sanitize="$top/build-sanitize"
cmake -S "$top" -B "$sanitize" -DCMAKE_BUILD_TYPE=Debug -DWAYFILE_SANITIZE=ON \
  -DWAYFILE_BUILD_BENCH=OFF
cmake --build "$sanitize" --parallel "$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_tests "$sanitize"
