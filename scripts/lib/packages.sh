# Debian packages Netvigil needs, and the means to install the missing ones.
# Sourced by scripts/run and scripts/test.

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libsqlite3-dev libcap2-bin qt6-base-dev qt6-svg-dev libxcb1-dev fonts-dejavu-core)
TEST_PACKAGES=(libgtest-dev iputils-ping iproute2 procps xvfb xauth trayer openbox xdotool imagemagick
    x11-utils dbus-daemon dbus-x11 clang-format clang-tidy weston xwayland qt6-wayland)
# The fuzzers: Debian's clang 14 and its fuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
# The Windows build (mingw-w64, GoogleTest's sources), Wine to run its tests, and what
# draws its icon and packs its installer and archive.
WINDOWS_PACKAGES=(mingw-w64 g++-mingw-w64-x86-64-posix googletest wine wine64 librsvg2-bin imagemagick
    nsis)

# Installs the packages that are not installed yet: as root directly, else
# through sudo; without either, prints the command to run and stops.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local install=(apt-get install -y --no-install-recommends "${missing[@]}")
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "Netvigil needs these Debian packages: ${missing[*]}" >&2
            echo "Install them as root with: apt-get update && ${install[*]}" >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    echo "Installing ${missing[*]} ..." >&2
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${install[@]}"
}
