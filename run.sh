#!/usr/bin/env bash
# Installs what is missing, builds, and starts Calvestra.
# With no scanner configured (CALVESTRA_SCANNER unset) and no service configured
# (CALVESTRA_ENDPOINT unset) it runs a demo: the simulated scanner, the reference
# service on a free loopback port, and a profile of its own under .demo/ that never
# touches the user's settings or data.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
calvestra_install_deps

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found. Calvestra is a desktop application; without a desktop run it as:" >&2
  echo "  xvfb-run -a ./run.sh" >&2
  exit 1
fi

exec tools/start-demo.sh build
