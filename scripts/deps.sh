# Sourced by the scripts: installs the Debian packages the build needs when
# they are missing (as root), so a fresh Debian 12 machine works unattended.
TELVARO_PACKAGES="cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev libqt6svg6 libgl-dev libmosquitto-dev xvfb xauth x11-utils"
# The validators of the desktop entry, the metainfo, the man pages, the
# systemd units and the Debian package, which the tests run.
TELVARO_CHECK_PACKAGES="desktop-file-utils appstream man-db systemd lintian"
# The MQTT broker, its clients and openssl, which the bridge suite runs
# (its own broker on loopback, never the system's service).
TELVARO_CHECK_PACKAGES="$TELVARO_CHECK_PACKAGES mosquitto mosquitto-clients openssl"
# What scripts/screenshots shrinks its pictures with.
TELVARO_PICTURE_PACKAGES="optipng"

telvaro_install() {
    local missing=""
    for pkg in "$@"; do
        dpkg -s "$pkg" >/dev/null 2>&1 || missing="$missing $pkg"
    done
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages:$missing (run as root, or: sudo apt-get install$missing)" >&2
        return 1
    fi
    echo "Installing:$missing"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
}
