#!/usr/bin/env bash
# Starts the application from the given build folder in the demo profile.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
demo="$root/.demo"
mkdir -p "$demo/config" "$demo/data" "$demo/cache"

# The demo never uses the user's own settings or data.
export XDG_CONFIG_HOME="$demo/config"
export XDG_DATA_HOME="$demo/data"
export XDG_CACHE_HOME="$demo/cache"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  mkdir -p "$demo/runtime" && chmod 700 "$demo/runtime"
  export XDG_RUNTIME_DIR="$demo/runtime"
fi
export CALVESTRA_SCANNER="${CALVESTRA_SCANNER:-simulator}"

exec "$build/calvestra"
