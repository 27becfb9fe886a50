#!/usr/bin/env bash
# Reference outputs of the bundled example, kept in tests/reference/ so that a change that
# moves any output is seen: the main job's log and account, its report (text and JSON), its
# label tables, a summary of the label volume's voxels and of the .voi file
# (tests/reference_outputs.cpp) with its input-space record, the spheres' values on ch2
# (extract --stats) with their sidecar, the cleaned series and matrix of the synthetic
# resting-state run, and its picture, compared within a pixel budget;
# and each subcommand's output in the cases of tests/command_cases.txt
# (tests/reference/commands/).
#
#   scripts/update-references.sh
#       builds what it needs in build/, runs the job and stores its outputs as the new
#       references; for a change of output that is meant (git then shows what moved);
#   scripts/update-references.sh --check BIN OUT
#       the ReferenceOutputs test: runs the job with the programs in BIN into OUT and
#       compares every output with its reference, naming each file that differs and how.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
references=$repo/tests/reference

# What varies from build to build in the record of what made the outputs: the commit the
# programs come from and the folder they are run from ($1). Written as COMMIT and BIN in the
# files that follow ($2...), so that everything else in the record is compared.
normalize() {
    local bin
    bin=$(printf '%s' "$1" | sed 's/[][\/.*^$]/\\&/g')
    shift
    sed -E -i \
        -e 's/\(Glomera ([0-9.]+)(, commit [0-9a-f]+( with changes not yet committed)?)?\)/(Glomera \1, commit COMMIT)/' \
        -e 's/"commit": ("[0-9a-f]+"|null)/"commit": "COMMIT"/' \
        -e 's/"uncommitted_changes": (true|false)/"uncommitted_changes": false/' \
        -e "s/$bin\//BIN\//g" "$@"
}

# Runs the job with the programs in $1 and leaves the outputs a reference keeps in $2.
regenerate() {
    local bin=$1 into=$2
    if [ -e "$into" ] && [ ! -d "$into/job" ] && [ -n "$(ls -A "$into")" ]; then
        echo "$into holds something other than earlier outputs of this script" >&2
        exit 2
    fi
    rm -rf "$into"
    mkdir -p "$into/job"
    ln -s "$repo/examples" "$into/job/examples"
    (cd "$into/job" && "$repo/scripts/example-job.sh" "$bin" >"$into/log.txt" 2>"$into/account.txt")
    local out=$into/job/out
    cp "$out"/spheres.{txt,json,tsv,png} "$out"/spheres_{report.json,ColorLUT.txt,wb_labels.txt} \
        "$out"/spheres.voi.json "$out"/spheres_ch2.{tsv,json} \
        "$out"/spheres_bold{.tsv,.json,_connectivity.tsv} "$into/"
    normalize "$bin" "$into"/spheres{.txt,.json,_report.json,_ColorLUT.txt,_ch2.json,_bold.json}
    "$bin/reference-outputs" summary "$out/spheres.voi" >"$into/spheres.voi-summary.txt"
    "$bin/reference-outputs" summary "$out/spheres.nii.gz" >"$into/spheres.nii.gz-summary.txt"
    run_cases "$bin" "$into"
    command_reference "$bin" >"$into/commands.md"
}

# docs/commands.md: every --help of both programs, the one text the manual pages are made of too.
command_reference() {
    local bin=$1 name
    echo "# Command reference"
    echo
    echo "Each program's and each subcommand's \`--help\`, as the programs print it (the manual"
    echo "pages are made from the same text). \`scripts/update-references.sh\` renews this page."
    for name in "" $("$bin/glomera-voi" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && /^  [a-z]/ { print $1 }'); do
        printf '\n## glomera-voi%s\n\n```text\n' "${name:+ $name}"
        "$bin/glomera-voi" $name --help
        printf '```\n'
    done
    printf '\n## HelmoraZT.exe\n\n```text\n'
    "$bin/HelmoraZT.exe" --help
    printf '```\n'
}

# Runs each case of tests/command_cases.txt in the job's folder and keeps what it printed and
# its exit status in $2/commands/NAME.txt.
run_cases() {
    local bin=$1 into=$2 name command status
    mkdir -p "$into/commands"
    ln -s "$repo/tests/tables" "$into/job/tables"
    while IFS=$'\t' read -r name command; do
        [[ -z $name || $name == \#* ]] && continue
        status=0
        (cd "$into/job" && VOI="$bin/glomera-voi" HOST="$bin/HelmoraZT.exe" \
            SUMMARY="$bin/reference-outputs summary" CH2=/usr/share/mricron/templates/ch2.nii.gz \
            LC_ALL=C bash -c "$command" >"$into/stdout" 2>"$into/stderr") || status=$?
        {
            echo "\$ $command"
            echo "== exit status $status"
            echo "== standard output"
            cat "$into/stdout"
            echo "== standard error"
            cat "$into/stderr"
        } >"$into/commands/$name.txt"
        normalize "$bin" "$into/commands/$name.txt"
        # The job's folder, which provenance records name, varies as the programs' does.
        sed -i "s/$(printf '%s' "$into/job" | sed 's/[][\/.*^$]/\\&/g')/JOB/g" "$into/commands/$name.txt"
    done <"$repo/tests/command_cases.txt"
    rm -f "$into/stdout" "$into/stderr"
}

# Compares the outputs in $2 (made with the programs in $1) with the references.
compare() {
    local bin=$1 fresh=$2 differ=0 name
    for reference in "$references"/* "$references"/commands/*; do
        name=${reference#"$references"/}
        [ "$name" = README.md ] || [ "$name" = commands ] && continue
        if [ ! -f "$fresh/$name" ]; then
            echo "$name: no longer made"
            differ=1
        elif [[ $name == *.png ]]; then
            "$bin/reference-outputs" compare-png "$reference" "$fresh/$name" \
                "$fresh/${name%.png}-difference.png" || differ=1
        elif ! cmp -s "$reference" "$fresh/$name"; then
            echo "$name differs from its reference:"
            diff -u --label "reference/$name" --label "now/$name" "$reference" "$fresh/$name" |
                head -n 60 || true
            differ=1
        fi
    done
    for output in "$fresh"/* "$fresh"/commands/*; do
        name=${output#"$fresh"/}
        if [ -f "$output" ] && [[ $name != *-difference.png ]] && [ "$name" != commands.md ] &&
            [ ! -e "$references/$name" ]; then
            echo "$name: a new output without a reference"
            differ=1
        fi
    done
    if ! cmp -s "$repo/docs/commands.md" "$fresh/commands.md"; then
        echo "docs/commands.md differs from the programs' --help:"
        diff -u --label docs/commands.md --label now "$repo/docs/commands.md" "$fresh/commands.md" |
            head -n 60 || true
        differ=1
    fi
    if ((differ)); then
        echo "The outputs in $fresh differ from tests/reference/; if the change is meant, run"
        echo "scripts/update-references.sh and commit what it changes."
        return 1
    fi
    echo "every output matches tests/reference/"
}

if [ "${1:-}" = "--check" ]; then
    [ $# -eq 3 ] || { echo "usage: $0 --check BIN OUT" >&2; exit 2; }
    regenerate "$2" "$3"
    compare "$2" "$3"
    exit
fi
cd "$repo"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target Glomera HelmoraZT glomera-voi reference-outputs
fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT
regenerate "$repo/build/bin" "$fresh/outputs"
find "$references" -maxdepth 1 -type f ! -name README.md -delete
rm -rf "$references/commands"
find "$fresh/outputs" -maxdepth 1 -type f -exec cp {} "$references/" \;
cp -r "$fresh/outputs/commands" "$references/commands"
mv "$references/commands.md" docs/commands.md
git status --short -- tests/reference
