#!/usr/bin/env bash
# Starts the application from the given build folder in the demo profile: settings and
# data under .demo/ (or CALVESTRA_DEMO_DIR), the simulated calvimetro, and (unless
# CALVESTRA_ENDPOINT names a service) the reference service on a free loopback port with
# its own data folder. An empty profile first gets the sample clients, with their past
# exams and questionnaires, on the service too. Closing the application stops the
# service. Arguments after the build folder go to the application.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
[ $# -gt 0 ] && shift
root=$(cd "$(dirname "$0")/.." && pwd)
demo="${CALVESTRA_DEMO_DIR:-$root/.demo}"
mkdir -p "$demo/config" "$demo/data" "$demo/cache" "$demo/service"
demo=$(cd "$demo" && pwd)

# The demo never uses the user's own settings or data.
export XDG_CONFIG_HOME="$demo/config"
export XDG_DATA_HOME="$demo/data"
export XDG_CACHE_HOME="$demo/cache"
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -w "${XDG_RUNTIME_DIR:-}" ]; then
  mkdir -p "$demo/runtime" && chmod 700 "$demo/runtime"
  export XDG_RUNTIME_DIR="$demo/runtime"
fi
export CALVESTRA_SCANNER="${CALVESTRA_SCANNER:-simulator}"

service_pid=""
stop_service() {
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
}
trap stop_service EXIT

endpoint="${CALVESTRA_ENDPOINT:-}"
if [ -z "$endpoint" ]; then
  log="$demo/service.log"
  : >"$log"
  "$build/service/calvestra-service" --listen 127.0.0.1:0 --data "$demo/service" >"$log" 2>&1 &
  service_pid=$!
  url=""
  for _ in $(seq 1 100); do
    url=$(sed -n 's/^listening on \(http:\/\/[^ ]*\).*/\1/p' "$log" | head -n1)
    [ -n "$url" ] && break
    kill -0 "$service_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$url" ]; then
    echo "The reference service did not start; its log:" >&2
    cat "$log" >&2
    exit 1
  fi
  endpoint="$url/Apps/Movelta/vq_webservice.php"
  echo "reference service at $url (data in $demo/service)"
fi

# A demo account, and the service this profile talks to.
"$build/tools/calvestra-account" --id "${CALVESTRA_DEMO_ACCOUNT:-1}" --name "${CALVESTRA_DEMO_USER:-Demo}" \
  --endpoint "$endpoint" >/dev/null

# Sample clients for an empty profile; a profile that has clients is left as it is.
if ! "$build/tools/calvestra-demo-seed"; then
  echo "The sample clients could not be added; the application starts without them." >&2
fi

status=0
"$build/calvestra" "$@" || status=$?
exit "$status"
