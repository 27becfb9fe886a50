#!/usr/bin/env bash
# `cmake --install` into a prefix, the prefix then moved, and the programs run from it in a
# folder of their own, as an environment module would run them: the host finds the plug-in
# in the prefix's lib/glomera, the toolbox its data in share/glomera (templates copied there
# are taken before mricron-data's), `man` finds the pages beside bin/ on PATH, and bash
# finds the completion. Argument: the build folder.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "install test: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/moved"
prefix=$work/moved
for file in bin/HelmoraZT.exe bin/glomera-voi lib/glomera/Glomera.so \
    share/glomera/examples/mni_table.txt share/man/man1/glomera-voi.1.gz \
    share/man/man1/HelmoraZT.exe.1.gz share/bash-completion/completions/glomera-voi \
    share/doc/glomera/README.md; do
    [ -f "$prefix/$file" ] || fail "the prefix has no $file"
done

mkdir "$work/run"
cd "$work/run"
export PATH="$prefix/bin:$PATH"
[ "$(command -v glomera-voi)" = "$prefix/bin/glomera-voi" ] || fail "glomera-voi is not on PATH"
glomera-voi --version | grep -q '^glomera-voi (Glomera) [0-9]' || fail "glomera-voi --version"
HelmoraZT.exe --version | grep -q '^HelmoraZT.exe (Glomera) [0-9]' || fail "HelmoraZT.exe --version"

# The bundled example, from the prefix, with no --plugin.
HelmoraZT.exe --quiet --allow-dropped --list "$prefix/share/glomera/examples/mni_table.txt" \
    --space mni -o spheres.voi --nifti spheres.nii.gz --report spheres.txt 2>/dev/null ||
    fail "HelmoraZT.exe could not run the bundled example"
grep -q "^  9 Insula_R$" spheres.txt || fail "the report lacks the example's last VOI"
glomera-voi info spheres.voi | grep -q "spheres.voi: 9 VOIs" || fail "glomera-voi info"

# Templates in the prefix's data folder are the ones taken.
mkdir "$prefix/share/glomera/templates"
ln -s /usr/share/mricron/templates/* "$prefix/share/glomera/templates/"
glomera-voi report spheres.voi --atlas aal >report.txt
grep -q "atlas AAL image: $prefix/share/glomera/templates/aal.nii.gz, " report.txt ||
    fail "the report does not name the prefix's templates"

# The manual page, found through PATH, shows the subcommands.
[ "$(man -w glomera-voi)" = "$prefix/share/man/man1/glomera-voi.1.gz" ] ||
    fail "man finds no page of glomera-voi beside bin/"
page=$(MANWIDTH=100 man glomera-voi 2>/dev/null)
for command in import info nifti png report view outputs extract where; do
    grep -q "^   $command\$" <<<"$page" || fail "man glomera-voi shows no part for $command"
done

# The completion, as bash-completion loads it for a prefix on XDG_DATA_DIRS.
XDG_DATA_DIRS="$prefix/share" bash -c '
    source /usr/share/bash-completion/bash_completion
    __load_completion glomera-voi
    complete -p glomera-voi' | grep -q "_glomera_voi glomera-voi" ||
    fail "bash-completion finds no completion for glomera-voi"
echo "install test: the moved prefix works"
