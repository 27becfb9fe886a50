#!/usr/bin/env bash
# Builds the Debian packages (glomera, and python3-glomera when the Python module is built),
# checks what they depend on, installs them into this machine with apt-get, runs the installed
# programs and the installed module on the bundled example from a folder outside the checkout,
# checks the manual page, the completion and what the results say made them, and purges the
# packages again, whatever happened. Needs root (or sudo) and the build folder `build` (made if
# missing).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
for name in glomera python3-glomera; do
    if dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed"; then
        echo "test-package: $name is installed on this machine already; remove it first" >&2
        exit 1
    fi
done

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
rm -f build/glomera_*.deb build/python3-glomera_*.deb
(cd build && cpack -G DEB >/dev/null)
fail() {
    echo "test-package: $*" >&2
    exit 1
}
# One Depends entry per line, without spaces, to be matched whole.
depends() {
    dpkg-deb -f "$1" Depends | sed 's/, /\n/g; s/ //g'
}
packages=(build/glomera_*.deb)
deb=$PWD/${packages[0]}
[ -f "$deb" ] || fail "cpack made no glomera package"
echo "test-package: built $(basename "$deb")"
version=$(dpkg-deb -f "$deb" Version)
depends "$deb" | grep -qx "mricron-data" || fail "glomera does not depend on mricron-data"
# The programs need no Python: that is python3-glomera's to depend on.
if depends "$deb" | grep -q "^python3"; then
    fail "glomera depends on Python: $(dpkg-deb -f "$deb" Depends)"
fi
debs=("$deb")
python_module=no
if [ -d build/python/glomera ]; then
    python_module=yes
    packages=(build/python3-glomera_*.deb)
    python_deb=$PWD/${packages[0]}
    [ -f "$python_deb" ] || fail "the Python module is built but cpack made no python3-glomera"
    echo "test-package: built $(basename "$python_deb")"
    [ "$(dpkg-deb -f "$python_deb" Version)" = "$version" ] ||
        fail "python3-glomera's version is not glomera's $version"
    python_minor=$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')
    python_next="${python_minor%%.*}.$((${python_minor#*.} + 1))"
    for dependency in "glomera(=$version)" "python3(>=$python_minor)" "python3(<<$python_next)" \
        python3-numpy; do
        depends "$python_deb" | grep -qxF "$dependency" ||
            fail "python3-glomera does not depend on $dependency: $(dpkg-deb -f "$python_deb" Depends)"
    done
    [ "$(dpkg-deb -f "$python_deb" Recommends)" = "python3-pandas, python3-nibabel" ] ||
        fail "python3-glomera does not recommend python3-pandas and python3-nibabel"
    # The module alone is in it; the programs and their data stay glomera's.
    if dpkg-deb -c "$python_deb" | grep -v "/usr/lib/python3/dist-packages/" | grep -q "^-"; then
        fail "python3-glomera carries more than the module"
    fi
    if dpkg-deb -c "$deb" | grep -q "/usr/lib/python3/"; then
        fail "glomera still carries the Python module"
    fi
    debs+=("$python_deb")
fi

work=$(mktemp -d)
cleanup() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq python3-glomera glomera \
        >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${debs[@]}" >/dev/null

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

# Debian's Python finds the installed module, not the checkout's, and it reads the example as
# the command does and a pasted table into a VOI.
if [ "$python_module" = yes ]; then
    module=$(env -u PYTHONPATH /usr/bin/python3 -c "import glomera; print(glomera.__file__)") ||
        fail "/usr/bin/python3 does not import glomera"
    [ "$module" = /usr/lib/python3/dist-packages/glomera/__init__.py ] ||
        fail "/usr/bin/python3 imports glomera from $module, not from python3-glomera"
    env -u PYTHONPATH /usr/bin/python3 -c "import glomera, sys; sys.exit(glomera.read_table('/usr/share/glomera/examples/mni_table.txt', space='mni').vois != 9)" ||
        fail "the installed module reads the example otherwise"
    env -u PYTHONPATH /usr/bin/python3 - <<'PYTHON' || fail "the installed module's parse_table"
import glomera
table = glomera.parse_table("Region x y z\nLeft amygdala -22 -6 -18\n", space="mni")
assert table.vois == 1, table.summary
peak = table.peaks[0]
assert peak.name == "Left_amygdala", peak.name
assert all(abs(a - b) < 1e-9 for a, b in zip(peak.mni, (-22, -6, -18))), peak.mni
PYTHON
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
echo "test-package: the installed packages work; removing them"
