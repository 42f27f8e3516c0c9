# Sourced by run.sh and test.sh: installs the Debian packages the build needs when
# they are missing. Needs root (or sudo) only when something is missing.

CALVESTRA_PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache git
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-translations-l10n libqt6sql6-sqlite libqt6svg6 qt6-qpa-plugins
  qt6-charts-dev libqt6opengl6-dev
  libusb-1.0-0-dev libzip-dev libcpp-httplib-dev libsqlite3-dev libssl-dev zlib1g-dev
  nlohmann-json3-dev qtkeychain-qt6-dev libpq-dev postgresql-15 postgresql-client-15
  umockdev libumockdev-dev
  xvfb xauth dbus fonts-dejavu-core
)

calvestra_missing_packages() {
  local missing=() p
  for p in "${CALVESTRA_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]:-}"
}

calvestra_install_deps() {
  local missing
  missing=$(calvestra_missing_packages)
  [ -z "$missing" ] && return 0
  echo "Installing: $missing"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then sudo="sudo"; else
      echo "These Debian packages are missing and installing them needs root: $missing" >&2
      return 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q || return 1
  # shellcheck disable=SC2086
  $sudo apt-get install -y -q --no-install-recommends $missing || return 1
}
