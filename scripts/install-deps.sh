#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks and the Debian package need,
# if missing: help2man makes the manual pages, dpkg-dev and file let CPack find the package's
# dependencies, bash-completion and man-db let the tests try the completion and the pages;
# chromium and the npm packages of tests/browser (at the versions its lock file pins) test the
# interactive page; mrtrix3's mrstats checks extract's statistics, python3-scipy its cleaned
# series; GNU time measures extract's peak memory in bench/extract_bench.py; pybind11 and the
# Python headers build the Python module, pytest tests it, setuptools and venv let pip install
# it, pandas gives its tables as DataFrames. The build itself
# fetches the page's viewer from the npm registry (scripts/fetch-niivue.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
# Extra package names on the command line are installed too.
packages=(cmake g++ make pkg-config libgtest-dev libbenchmark-dev libnifti2-dev libdeflate-dev
          libcairo2-dev libpng-dev zlib1g-dev
          nettle-dev fonts-dejavu-core libcli11-dev nlohmann-json3-dev libfmt-dev mricron-data
          python3-nibabel python3-numpy python3-scipy time slurm-wlm munge help2man dpkg-dev file bash-completion
          man-db chromium mrtrix3 python3-dev pybind11-dev python3-pybind11 python3-pytest
          python3-setuptools python3-venv python3-pip python3-pandas "$@")
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
# Node.js and npm from Debian, unless the machine has them already (some ship their own).
command -v node >/dev/null && command -v npm >/dev/null || missing+=(nodejs npm)
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
# puppeteer-core drives Debian's chromium and downloads no browser of its own.
browser=tests/browser
if ! cmp -s "$browser/package-lock.json" "$browser/node_modules/.installed-lock.json"; then
    echo "Installing the browser test's npm packages"
    (cd "$browser" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund --silent)
    cp "$browser/package-lock.json" "$browser/node_modules/.installed-lock.json"
fi
