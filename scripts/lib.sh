# Shared by the scripts: Debian packages, configure and build.

KORUN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KORUN_PACKAGES=(cmake make g++ pkg-config qtbase5-dev libqt5serialbus5-dev libqt5serialport5-dev
                libmodbus-dev libmosquitto-dev mosquitto mosquitto-clients socat fonts-dejavu-core
                libqwt-qt5-dev libqt5svg5-dev help2man dpkg-dev poppler-utils python3-jsonschema faketime)

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
korun_build() {
    local dir=$1
    shift
    mkdir -p "$dir"
    cmake -S "$KORUN_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > "$dir/configure.log" 2>&1 \
        || { cat "$dir/configure.log"; return 1; }
    cmake --build "$dir" -j2
}
