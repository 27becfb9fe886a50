#!/usr/bin/env bash
# Builds the Debian package, installs it into this machine with apt-get, runs the installed
# programs on the bundled example from a folder outside the checkout, checks the manual page,
# the completion and what the results say made them, and removes the package again,
# whatever happened. Needs root (or sudo) and the build folder `build` (made if missing).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if dpkg-query -W -f='${Status}' glomera 2>/dev/null | grep -q "install ok installed"; then
    echo "test-package: glomera is installed on this machine already; remove it first" >&2
    exit 1
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
rm -f build/glomera_*.deb
(cd build && cpack -G DEB >/dev/null)
packages=(build/glomera_*.deb)
deb=$PWD/${packages[0]}
echo "test-package: built $(basename "$deb")"
dpkg-deb -f "$deb" Depends | grep -q "mricron-data" || {
    echo "test-package: the package does not depend on mricron-data" >&2
    exit 1
}
python_module=no
if [ -d build/python/glomera ]; then
    python_module=yes
    dpkg-deb -f "$deb" Depends | grep -q "python3-numpy" || {
        echo "test-package: the package carries the Python module but no python3-numpy" >&2
        exit 1
    }
fi

work=$(mktemp -d)
cleanup() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq glomera >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
fail() {
    echo "test-package: $*" >&2
    exit 1
}

cd "$work"
[ "$(command -v glomera-voi)" = /usr/bin/glomera-voi ] || fail "glomera-voi is not /usr/bin's"
[ "$(command -v HelmoraZT.exe)" = /usr/bin/HelmoraZT.exe ] || fail "HelmoraZT.exe is not /usr/bin's"
glomera-voi --version
HelmoraZT.exe --version

# The README's main job, on the bundled example, the plug-in found in /usr/lib/glomera.
example=/usr/share/glomera/examples/mni_table.txt
HelmoraZT.exe --quiet --list "$example" --space mni --allow-dropped --output spheres.voi \
    --nifti spheres.nii.gz --png spheres.png --report spheres.txt \
    --report-json spheres_report.json ||
    fail "HelmoraZT.exe could not run the bundled example"
for file in spheres.voi spheres.nii.gz spheres.tsv spheres_ColorLUT.txt spheres.png \
    spheres.json spheres.txt spheres_report.json; do
    [ -s "$file" ] || fail "the example's $file is missing or empty"
done
glomera-voi report spheres.voi report.txt
grep -q "^  9 Insula_R$" report.txt || fail "the report lacks the example's last VOI"
# What made it: the installed program and mricron-data's atlas, with its checksum.
aal=/usr/share/mricron/templates/aal.nii.gz
grep -q "^  command: glomera-voi report spheres.voi report.txt$" report.txt ||
    fail "the report does not name its command"
grep -q "^  atlas AAL image: $aal, .* SHA-256 $(sha256sum "$aal" | cut -d' ' -f1)$" report.txt ||
    fail "the report does not give the atlas's checksum"
glomera-voi report --methods | grep -q "Lancaster et al., 2007" || fail "report --methods"
# mricron-data's JHU labels, whose header swaps left and right, read on their named sides.
glomera-voi where 21,-13,8 --space mni --atlas jhu |
    grep -q "Posterior_limb_of_internal_capsule_R" || fail "where names the wrong JHU side"

# Debian's Python finds the module, which reads the example as the command does.
if [ "$python_module" = yes ]; then
    /usr/bin/python3 -c "import glomera, sys; sys.exit(glomera.read_table('/usr/share/glomera/examples/mni_table.txt', space='mni').vois != 9)" ||
        fail "/usr/bin/python3 does not import glomera or reads the example otherwise"
fi

# The manual page shows every subcommand; bash completes them.
page=$(MANWIDTH=100 man glomera-voi 2>/dev/null)
for command in import info nifti png report view outputs extract where; do
    grep -q "^   $command\$" <<<"$page" || fail "man glomera-voi shows no part for $command"
done
man -w HelmoraZT.exe >/dev/null || fail "HelmoraZT.exe has no manual page"
bash -c 'source /usr/share/bash-completion/bash_completion
    __load_completion glomera-voi && complete -p glomera-voi' |
    grep -q "_glomera_voi glomera-voi" || fail "bash completes nothing for glomera-voi"
echo "test-package: the installed package works; removing it"
