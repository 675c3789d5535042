#!/bin/sh
# Installs the Debian packages Kyv builds with, when any is missing.
set -eu
packages="cmake g++ make pkg-config zlib1g-dev libcairo2-dev nlohmann-json3-dev fonts-liberation fonts-dejavu-core fonts-dejavu-extra fontconfig
qt6-base-dev qt6-base-private-dev qt6-tools-dev qt6-tools-dev-tools qt6-httpserver-dev qt6-websockets-dev chromium libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth
python3-dev pybind11-dev python3-numpy python3-pytest python3-pyqt6 pyqt6-dev pyqt6-dev-tools sip-tools python3-pyqtbuild
python3-venv python3-setuptools python3-wheel python3-setuptools-whl python3-wheel-whl python3-build python3-mypy python3-pyqtgraph
prometheus prometheus-node-exporter clang-format"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
fi
# pyright, which the Python package's type test runs, from npm at the version its lock names.
pyright=$(dirname "$0")/../python/tools/pyright
if [ ! -x "$pyright/node_modules/.bin/pyright" ]; then
  command -v npm > /dev/null || { echo "npm is missing: install Node.js with npm"; exit 1; }
  npm ci --prefix "$pyright" --no-audit --no-fund --silent
fi
