#!/bin/sh
# Installs the Debian packages the build, the program and the tests need.
# Idempotent: when every package is present it only runs dpkg-query.
# libicu-dev: ICU's charset detector (ucsdet) tells the encoding of an
# imported contact file that has no byte order mark; its Han-Latin
# transliterators give the pinyin of names for search as you type.
# qt6-translations-l10n: Qt's own words in Chinese (qtbase_zh_CN.qm: the
# standard dialogs, the edit boxes' context menus).
set -eu

PACKAGES="
cmake
g++
make
pkg-config
qt6-base-dev
qt6-base-dev-tools
qt6-qpa-plugins
qt6-translations-l10n
libgl-dev
libsqlite3-dev
libsodium-dev
libicu-dev
libxcb1-dev
libxcb-keysyms1-dev
xvfb
xauth
xdotool
trayer
x11-utils
x11-xserver-utils
imagemagick
xdg-utils
fonts-wqy-microhei
ccache
clang
libclang-rt-14-dev
libreoffice-calc-nogui
chromium
khard
python3-vobject
abook
desktop-file-utils
appstream
qt6-wayland
weston
dbus-daemon
"
# CardDAV sync is tested against two real servers (radicale, xandikos) and
# with a second client editing the same address book (vdirsyncer). The
# server password lives in the desktop's secret service through QtKeychain
# (qtkeychain-qt6-dev, which reaches it through libsecret); the tests start
# a secret service of their own (gnome-keyring) on a private session bus.
PACKAGES="$PACKAGES
radicale
xandikos
vdirsyncer
qtkeychain-qt6-dev
libsecret-1-0
gnome-keyring
dbus
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "Installing:$missing"
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages:$missing; run as root or install them." >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends $missing
fi
