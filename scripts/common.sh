# Shared by scripts/demo and scripts/test: Debian packages and the build.
# shellcheck shell=bash

REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${MOVENDI_BUILD:-$REPO/build}"
# Qt wants a private runtime folder; root shells under sudo or CI often have none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="/tmp/runtime-$(id -u)"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
# Demo, test and bench folders, with the mechanism library copied in, belong to whoever runs
# them: a kiosk in service refuses a library that anyone but root could have changed.
export MOVENDI_AUTOMATE_HORS_ROOT=1

PACKAGES=(
    cmake ninja-build g++ pkg-config clang-format
    qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite libsqlite3-dev libxcb1-dev
    libfreexl-dev libgsf-1-dev
    libgtest-dev libgmock-dev
    xvfb xdotool x11-xserver-utils sqlite3 python3-aiosmtpd python3-xlrd libreoffice-calc-nogui
    libcurl4-openssl-dev curl python3-pyftpdlib python3-openssl openssl systemd dpkg-dev
    libmosquitto-dev mosquitto mosquitto-clients
    postgresql libqt6sql6-psql qt6-httpserver-dev qt6-websockets-dev chromium chromium-driver
    qt6-multimedia-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
)

install_missing_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Every warning is an error, for the demo as for the tests: both configure the build folder with
# the same flags, so that whichever runs second reuses what the first built.
build() {
    cmake -S "$REPO" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DMOVENDI_WERROR="${MOVENDI_WERROR:-ON}" >/dev/null
    cmake --build "$BUILD" -j 2 "$@"
}

# The whole tree under AddressSanitizer and UndefinedBehaviorSanitizer, in a folder of its own:
# -O1 with line tables only keeps it within CI's time.
build_sanitized() {
    cmake -S "$REPO" -B "$REPO/build-asan" -G Ninja -DCMAKE_BUILD_TYPE= \
        -DCMAKE_CXX_FLAGS="-O1 -g1" -DMOVENDI_SANITIZE=ON -DMOVENDI_WERROR=ON >/dev/null
    cmake --build "$REPO/build-asan" -j 2 "$@"
}

# Every C++ file of the repository as .clang-format lays it out; lists the others and fails.
check_format() {
    local bad
    bad=$(cd "$REPO" && git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 |
        grep -o '^[^:]*:[0-9]*:[0-9]*: warning' | cut -d: -f1 | sort -u || true)
    if [ -n "$bad" ]; then
        echo "Not laid out by clang-format (run clang-format -i on them):"
        echo "$bad" | sed 's/^/  /'
        return 1
    fi
}
