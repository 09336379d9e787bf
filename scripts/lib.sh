# Shared by the scripts: Debian packages, configure and build.

KORUN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KORUN_PACKAGES=(cmake make g++ pkg-config qtbase5-dev libqt5serialbus5-dev libqt5serialport5-dev
                libmodbus-dev libmosquitto-dev mosquitto mosquitto-clients socat fonts-dejavu-core
                libqwt-qt5-dev libqt5svg5-dev help2man dpkg-dev poppler-utils python3-jsonschema faketime
                ninja-build)

# Installs the Debian packages that are missing (apt-get as root, sudo otherwise).
korun_install_packages() {
    local missing=()
    for package in "${KORUN_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# korun_build BUILD_DIR [cmake options...]
# Unless the options say otherwise: RelWithDebInfo's code (-O2 -DNDEBUG, what the README's
# benchmark figures were measured with) without its debug information, which took a third
# of the compile time; scripts/package builds with dpkg-buildflags' flags. A new build
# directory is built with Ninja; one made before keeps its generator.
korun_build() {
    local dir=$1
    shift
    mkdir -p "$dir"
    local generator=()
    [ -f "$dir/CMakeCache.txt" ] || ! command -v ninja > /dev/null || generator=(-G Ninja)
    cmake -S "$KORUN_ROOT" -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" "$@" \
        > "$dir/configure.log" 2>&1 \
        || { cat "$dir/configure.log"; return 1; }
    cmake --build "$dir" -j2
}
