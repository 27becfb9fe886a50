#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks and the Debian package need,
# if missing: help2man makes the manual pages, dpkg-dev and file let CPack find the package's
# dependencies, bash-completion and man-db let the tests try the completion and the pages.
set -euo pipefail
# Extra package names on the command line are installed too.
packages=(cmake g++ make pkg-config libgtest-dev libbenchmark-dev libnifti2-dev libcairo2-dev zlib1g-dev
          nettle-dev fonts-dejavu-core libcli11-dev nlohmann-json3-dev libfmt-dev mricron-data
          python3-nibabel python3-numpy slurm-wlm munge help2man dpkg-dev file bash-completion
          man-db "$@")
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
