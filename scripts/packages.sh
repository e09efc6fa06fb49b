# Debian packages Tessaro needs, and the check that installs what is missing.
# Sourced by scripts/run.sh, scripts/test.sh and .ci/run; this is the one list.
#
#   tessaro_packages GROUP...        print the packages of the groups
#   tessaro_ensure_packages GROUP... install what is missing, or print the one
#                                    command to run and exit 2
#
# Groups: build (compilers, libraries, the desktop toolkit), run (the local
# game's XMPP server and the second server the tests play on, the phone-like
# client, the virtual display and screenshot tools the tests use), fuzz (clang
# for libFuzzer).
# TESSARO_SKIP_PACKAGE_CHECK=1 skips the check (for a system set up by hand).

TESSARO_PACKAGES_BUILD=(
  cmake make g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev libstrophe-dev libssl-dev clang-format clang-tidy
  libfltk1.3-dev libxinerama-dev libxcursor-dev libxft-dev libxext-dev libxfixes-dev
  libxrender-dev libfontconfig-dev
  dpkg-dev file python3
)
TESSARO_PACKAGES_RUN=(prosody ejabberd python3-slixmpp openssl fonts-dejavu-core fontconfig xvfb xauth xdotool x11-apps x11-utils imagemagick)
TESSARO_PACKAGES_FUZZ=(clang)

tessaro_packages() {
  local group
  for group in "$@"; do
    case "$group" in
      build) printf '%s\n' "${TESSARO_PACKAGES_BUILD[@]}" ;;
      run) printf '%s\n' "${TESSARO_PACKAGES_RUN[@]}" ;;
      fuzz) printf '%s\n' "${TESSARO_PACKAGES_FUZZ[@]}" ;;
      *)
        echo "packages.sh: unknown package group '$group'" >&2
        return 2
        ;;
    esac
  done
}

# Prints the packages of the groups that are not installed, one a line.
tessaro_missing_packages() {
  local list pkg
  list=$(tessaro_packages "$@") || return 2
  for pkg in $list; do
    if [ "$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null)" != "install ok installed" ]; then
      echo "$pkg"
    fi
  done
}

tessaro_ensure_packages() {
  if [ "${TESSARO_SKIP_PACKAGE_CHECK:-0}" = 1 ]; then
    return 0
  fi
  if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "Not a Debian system: cannot check for the packages Tessaro needs:" >&2
    echo "  $(tessaro_packages "$@" | tr '\n' ' ')" >&2
    echo "Install their equivalents, then run again with TESSARO_SKIP_PACKAGE_CHECK=1." >&2
    exit 2
  fi
  local missing
  missing=$(tessaro_missing_packages "$@") || exit 2
  [ -z "$missing" ] && return 0
  missing=$(echo $missing)
  local command="apt-get update && apt-get install -y --no-install-recommends $missing"

  local -a as_root=()
  if [ "$(id -u)" != 0 ]; then
    # sudo without a password, or with one typed at this terminal.
    if command -v sudo >/dev/null 2>&1 && { sudo -n true 2>/dev/null || [ -t 0 ]; }; then
      as_root=(sudo)
    else
      as_root=(none)
    fi
  fi
  if ! command -v apt-get >/dev/null 2>&1 || [ "${as_root[*]}" = none ]; then
    echo "Missing packages: $missing" >&2
    echo "Install them as root with:" >&2
    echo "  sudo sh -c '$command'" >&2
    exit 2
  fi

  echo "Installing missing packages: $missing"
  if ! "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq ||
    ! "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -qq --no-install-recommends $missing; then
    echo "Installing failed. Install the packages as root with:" >&2
    echo "  sudo sh -c '$command'" >&2
    exit 2
  fi
  missing=$(tessaro_missing_packages "$@")
  if [ -n "$missing" ]; then
    echo "Still missing after installing: $(echo $missing)" >&2
    exit 2
  fi
}
