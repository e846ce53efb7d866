#!/usr/bin/env bash
# Installs every Debian 12 package the project needs. Safe to run again: packages that
# are already present are skipped, so a warm machine pays only for a dpkg query.
set -euo pipefail

packages=(
  # build, and the format check
  g++ cmake ninja-build pkg-config clang-format
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  poppler-utils  # pdfinfo and pdftotext read back the stand-in's task sheets
  strace         # a test watches the folder being synced after a file is replaced
  # fuzzing and sanitizers
  clang libclang-rt-14-dev
  # program libraries
  qt6-base-dev libjpeg62-turbo-dev libcurl4-openssl-dev libcups2-dev
  libarchive-dev  # corvanctl diag's support bundle
  # simulators only
  libcpp-httplib-dev
  # hermetic network runner
  iproute2 util-linux mount
  # the demo without a display: virtual X server, a tray, the click and the screenshot
  xvfb trayer xdotool scrot
  # the Debian package: CPack's dependency list (dpkg-shlibdeps, file) and its checks
  dpkg-dev file lintian desktop-file-utils appstream
  # the completion and manual page test, and scripts/package-check's fresh Debian root
  bash-completion groff-base man-db bsdextrautils mmdebstrap
  # opening links and task sheets with the desktop's programs
  xdg-utils
  # promtool checks corvanctl metrics; Debian ships it only inside the server's package
  prometheus
  # the desktop tests: a window manager and the X tools that read windows back, a private
  # session bus for the StatusNotifierItem host, a headless Wayland compositor
  openbox x11-utils dbus weston qt6-wayland
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
