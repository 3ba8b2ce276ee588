# Sourced by the scripts: installs the Debian packages the build, the tests and the tools need.
# Quiet and quick when everything is there already.

TARVANE_PACKAGES=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    libcurl4-openssl-dev libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev libpugixml-dev
    libarchive-dev libssl-dev zlib1g-dev
    tinyproxy curl libarchive-tools unzip dbus-daemon strace
    qt6-base-dev qt6-webengine-dev qt6-translations-l10n libcanberra-dev xvfb xauth trayer fonts-wqy-microhei
    openbox xdotool xdg-utils desktop-file-utils appstream python3
)

tarvane_install_packages() {
    local missing=()
    local package
    for package in "${TARVANE_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
