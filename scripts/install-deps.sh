#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test Quorvantis.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-multimedia-dev qt6-image-formats-plugins libgl-dev
    libzip-dev zlib1g-dev
    libpoppler-qt6-dev libxml2-dev libtesseract-dev libleptonica-dev
    tesseract-ocr-eng tesseract-ocr-chi-sim tesseract-ocr-fra tesseract-ocr-deu tesseract-ocr-spa
    tesseract-ocr-pol
    libcanberra0  # the snap sound, loaded at run time when present
    libx11-dev  # libX11 converts window titles set as COMPOUND_TEXT
    libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-composite0-dev libxcb-image0-dev
    libxcb-xfixes0-dev libxcb-xinput-dev libxcb-keysyms1-dev libxcb-xtest0-dev libxcb-res0-dev
    libxcb-shm0-dev libxcb-xkb-dev libxcb-damage0-dev x11proto-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libxtst-dev  # the start-up benchmark reads the server's RECORD extension
    # libFuzzer lives in libclang-rt-14-dev, which clang only recommends.
    clang libclang-rt-14-dev
    adwaita-icon-theme
    fonts-noto-cjk  # Chinese and Japanese texts; the interface font falls back to it
    fonts-noto-color-emoji  # emoji in copied texts and names; the interface font falls back to it
    qt6-translations-l10n  # Qt's own dialog buttons in the interface language
    libatspi2.0-dev
    xvfb openbox xclip x11-utils xterm xauth xdotool x11-apps
    x11-xkb-utils  # setxkbmap: the shortcut recorder's tests on French and German layouts
    trayer  # a system tray for the tray icon's x11 test
    picom  # a compositor that blurs nothing, for the x11 check that no glass lets text through
    # A panel with its accessibility bus for the Dock's end-to-end test.
    dbus at-spi2-core xfce4-panel xfconf
    python3-xlib  # the XTEST driver of the sanitized application run
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
