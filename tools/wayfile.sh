#!/usr/bin/env bash
# Set up, build, and then start Wayfile or run its tests.
#   tools/wayfile.sh run    install what is missing, build, start the program
#   tools/wayfile.sh test   install what is missing, check the source format,
#                           build and run every test, then build and run them
#                           all again under AddressSanitizer and UBSan
set -euo pipefail

mode=${1:-}
case "$mode" in
  run|test) ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build"

packages=(g++ cmake make pkg-config qt6-base-dev qt6-qpa-plugins libgtest-dev
          libbenchmark-dev fonts-dejavu-core fonts-liberation2 clang-format)

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
