#!/usr/bin/env bash
# Starts the application from the given build folder in the demo profile: settings and
# data under .demo/ (or CALVESTRA_DEMO_DIR), the simulated calvimetro, and (unless
# CALVESTRA_ENDPOINT names a service) the reference service on a free loopback port with
# its own data folder and a demo account made with its own account command (a new token
# at every start); that service also serves the maker's pages (the user guide among
# them). With CALVESTRA_ENDPOINT, CALVESTRA_DEMO_ACCOUNT and CALVESTRA_DEMO_TOKEN name the
# account there. An empty profile first gets the sample clients, with their past
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
# The demo's token stays in the demo's settings file, never in the user's keyring.
export CALVESTRA_KEYRING=off

service_pid=""
stop_service() {
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
}
trap stop_service EXIT

endpoint="${CALVESTRA_ENDPOINT:-}"
number="${CALVESTRA_DEMO_ACCOUNT:-1}"
token="${CALVESTRA_DEMO_TOKEN:-}"
if [ -z "$endpoint" ]; then
  svc="$build/service/calvestra-service"
  existing=$("$svc" account list --data "$demo/service" | awk -F'\t' '$2 == "Demo" && $0 !~ /removed/ { print $1; exit }')
  if [ -n "$existing" ]; then
    account=$("$svc" account rotate "$existing" --data "$demo/service" 2>/dev/null)
  elif [ -f "$demo/service/service.db" ]; then
    # A demo profile from before accounts: its records stay with the number they had.
    account=$("$svc" account add --name Demo --number "$number" --data "$demo/service" 2>/dev/null)
  else
    account=$("$svc" account add --name Demo --data "$demo/service" 2>/dev/null)
  fi
  number=$(sed -n 's/^number=//p' <<<"$account")
  token=$(sed -n 's/^token=//p' <<<"$account")
  if [ -z "$number" ] || [ -z "$token" ]; then
    echo "The demo account could not be made on the reference service." >&2
    exit 1
  fi
  log="$demo/service.log"
  : >"$log"
  "$svc" --listen 127.0.0.1:0 --data "$demo/service" >"$log" 2>&1 &
  service_pid=$!
  url=""
  for _ in $(seq 1 100); do
    url=$(sed -n 's/^listening on \(https\{0,1\}:\/\/[^ ]*\).*/\1/p' "$log" | head -n1)
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
  # The maker's pages (the guide, the update file, the web application) from the same service.
  export CALVESTRA_WEB_HOST="$url"
  echo "reference service at $url (data in $demo/service)"
fi

# The demo account, its token (on standard input, out of the process list), and the
# service this profile talks to.
printf '%s\n' "$token" | "$build/tools/calvestra-account" --id "$number" --token - \
  --name "${CALVESTRA_DEMO_USER:-Demo}" --endpoint "$endpoint" >/dev/null

# Sample clients for an empty profile; a profile that has clients is left as it is.
if ! "$build/tools/calvestra-demo-seed"; then
  echo "The sample clients could not be added; the application starts without them." >&2
fi

status=0
"$build/calvestra" "$@" || status=$?
exit "$status"
