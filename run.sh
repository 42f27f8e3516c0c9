#!/usr/bin/env bash
# Installs what is missing, builds, and starts Calvestra.
# With a calvimetro plugged in or a service named in the user's settings it starts the
# application as installed, with the user's own settings and data. With neither it runs
# a demo: the simulated scanner, the reference service on a free loopback port, and a
# profile of its own under .demo/ with sample clients, which never touches the user's
# settings or data.
#
#   ./run.sh                  build and start (the demo when nothing is configured)
#   ./run.sh --demo           build and start the demo in any case
#   ./run.sh --check FILE.png start everything under Xvfb in a fresh profile, wait until
#                             the main window lists the sample clients and the service
#                             answers, save a screenshot to FILE.png, stop both; the exit
#                             status says whether that worked
set -euo pipefail
cd "$(dirname "$0")"

usage() { echo "usage: $0 [--demo | --check FILE.png]" >&2; exit 2; }
check=""
demo=0
case "${1:-}" in
  --check)
    { [ $# -eq 2 ] && [ -n "$2" ]; } || usage
    check=$2 ;;
  --demo)
    [ $# -eq 1 ] || usage
    demo=1 ;;
  "") ;;
  *) usage ;;
esac

# A real set-up: the calvimetro (USB 04d8:fbb7) is plugged in, or the user's settings name
# a service.
configured() {
  local dev
  for dev in /sys/bus/usb/devices/*; do
    if [ "$(cat "$dev/idVendor" 2>/dev/null)" = "04d8" ] && [ "$(cat "$dev/idProduct" 2>/dev/null)" = "fbb7" ]; then
      echo "a calvimetro is plugged in"
      return 0
    fi
  done
  local settings="${XDG_CONFIG_HOME:-$HOME/.config}/Vantrel/Calvestra.conf"
  if [ -f "$settings" ] && grep -q '^endpoint=' "$settings"; then
    echo "$settings names a service"
    return 0
  fi
  return 1
}

. tools/deps.sh
calvestra_install_deps

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what a start needs: the application, the reference service with the user guide it
# serves, and the demo's tools.
# The test programs and benchmarks are ./test.sh's.
cmake --build build --parallel "$(nproc)" --target calvestra calvestra-service calvestra_guide calvestra-account calvestra-demo-seed

if [ -n "$check" ]; then
  mkdir -p "$(dirname "$check")"
  shot=$(cd "$(dirname "$check")" && pwd)/$(basename "$check")
  rm -f "$shot"
  profile=$(mktemp -d "${TMPDIR:-/tmp}/calvestra-check.XXXXXX")
  trap 'rm -rf "$profile"' EXIT
  echo "checking in a fresh demo profile ($profile)"
  status=0
  # Always a screen of its own; the toolkit draws on it, not offscreen.
  env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY CALVESTRA_DEMO_DIR="$profile" \
    CALVESTRA_CHECK_TIMEOUT_S="${CALVESTRA_CHECK_TIMEOUT_S:-120}" \
    xvfb-run -a -s "-screen 0 1280x800x24" tools/start-demo.sh build --check "$shot" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "check failed (exit status $status); the service log:" >&2
    tail -n 20 "$profile/service.log" >&2 2>/dev/null || true
    exit "$status"
  fi
  if [ ! -s "$shot" ]; then
    echo "check failed: no screenshot in $shot" >&2
    exit 1
  fi
  echo "check passed: screenshot in $shot"
  exit 0
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found. Calvestra is a desktop application; without a desktop run it as:" >&2
  echo "  xvfb-run -a ./run.sh" >&2
  exit 1
fi

if [ "$demo" -eq 0 ] && reason=$(configured); then
  echo "Starting Calvestra with your own settings and data ($reason); ./run.sh --demo starts the demo."
  exec build/calvestra
fi
exec tools/start-demo.sh build
