#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, if missing.
set -euo pipefail
# Extra package names on the command line are installed too.
packages=(cmake g++ make pkg-config libgtest-dev libbenchmark-dev libnifti2-dev libcairo2-dev zlib1g-dev
          fonts-dejavu-core libcli11-dev nlohmann-json3-dev libfmt-dev mricron-data python3-nibabel
          python3-numpy slurm-wlm munge "$@")
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
