#!/usr/bin/env bash
# The values inside the VOIs of a .voi file (or the spheres of a table of peaks) from a long
# list of images, on a Slurm cluster: the list is cut into shards, one task of a job array
# extracts each shard, and a final job gathers the shards, in the order of the list.
#
#   scripts/slurm-extract.sh [OPTIONS] FILE.voi IMAGES.txt OUTDIR [-- EXTRACT OPTIONS]
#
#   --shard-size N     images per array task (default 50)
#   --sbatch "ARGS"    more sbatch options for every job: partition, time, account, ...
#   --glomera-voi P    the program (default: glomera-voi beside this script's build, else
#                      on the PATH)
#   --wait             return only when the gather job has ended, with its exit status
#   EXTRACT OPTIONS    any option of glomera-voi extract but --json: --peaks TABLE (then give - for
#                      FILE.voi), --mni-to-tal fsl, --grid-space mni, the cleaning and
#                      --connectivity, --bids DERIVATIVES (then IMAGES.txt may be - for
#                      every *_bold.nii.gz of the tree), ...; not --out-dir, -o, --images,
#                      -j or --skip-existing, which the script sets
#
# Before anything is submitted, the whole command runs as `extract --dry-run` on the whole
# list: an option extract refuses stops the script with exit 2 (1 when a file cannot be
# read), nothing submitted; images whose header cannot be read are named and submitted, and
# their tasks name them again.
#
# Each task runs on its shard with -j CPUS, CPUS being the CPUs Slurm gave it (--sbatch
# "--cpus-per-task 4" for more): the time series of each image, cleaned and with its matrix
# as the options ask, into OUTDIR/series/ (with --bids, the derivatives tree there), then the
# per-volume statistics of the same images for the group table (without the options that
# shape the series). With --stats or --json in the options, the statistics alone. Written:
#   series/               each image's series (NAME_voi_timeseries.tsv, its .json sidecar,
#                         NAME_voi_connectivity.tsv with --connectivity)
#   shards/list-K.txt     the images of shard K (K from 0)
#   shards/stats-K.tsv    shard K's statistics; a task run again (requeued, or the whole
#                         script run again) leaves out what is there (--skip-existing)
#   logs/                 each job's standard output and error
#   stats.tsv             the group table: all shards' statistics as one (one row per image,
#                         volume and VOI), written by the gather job
#
# An image that fails is named in its task's log and left out; the task exits 1 and the
# others go on. The gather job runs when every task has ended, whatever their status; it
# names each shard without a table and each task's failed images, counts the series and
# matrices written, and exits 1 when anything failed (the table then holds what was
# extracted).
#
#   scripts/slurm-extract.sh --gather OUTDIR
# gathers by hand, for example after tasks were run again.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

gather() {
    local out=$1 shards status=0
    shards=$(find "$out/shards" -name 'list-*.txt' | wc -l)
    local table="$out/stats.tsv" temporary="$out/.stats.tsv.$$"
    : >"$temporary"
    for ((k = 0; k < shards; k++)); do
        local part="$out/shards/stats-$k.tsv"
        if [ ! -f "$part" ]; then
            echo "slurm-extract: shard $k has no table ($part): see $out/logs/" >&2
            status=1
            continue
        fi
        if [ ! -s "$temporary" ]; then
            head -n 1 "$part" >"$temporary"
        fi
        tail -n +2 "$part" >>"$temporary"
    done
    # The failures each task listed at its end, after "... failed".
    local failed
    failed=$(awk '/(images|image) failed/ { listing = 1; next } listing && /^  / { print; next }
                  { listing = 0 }' "$out"/logs/task-*.err 2>/dev/null || true)
    if [ -n "$failed" ]; then
        echo "$failed" >&2
        echo "slurm-extract: the images above failed and are not in $table" >&2
        status=1
    fi
    if [ -d "$out/series" ]; then
        local series matrices
        series=$(find "$out/series" -name '*_timeseries.tsv' | wc -l)
        matrices=$(find "$out/series" -name '*_connectivity.tsv' | wc -l)
        echo "slurm-extract: $series time series and $matrices matrices in $out/series" >&2
    fi
    if [ -s "$temporary" ]; then
        mv "$temporary" "$table"
        echo "slurm-extract: wrote $table ($(($(wc -l <"$table") - 1)) rows from $shards shards)" >&2
    else
        rm -f "$temporary"
        echo "slurm-extract: no shard has a table: nothing gathered" >&2
        status=1
    fi
    return $status
}

shard_size=50
sbatch_options=""
program=""
wait=""
while (($#)); do
    case "$1" in
        --shard-size) shard_size=$2; shift 2 ;;
        --sbatch) sbatch_options=$2; shift 2 ;;
        --glomera-voi) program=$2; shift 2 ;;
        --wait) wait=--wait; shift ;;
        --gather) gather "$2"; exit ;;
        -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) break ;;
    esac
done
if (($# < 3)); then
    echo "usage: $0 [OPTIONS] FILE.voi IMAGES.txt OUTDIR [-- EXTRACT OPTIONS] (see --help)" >&2
    exit 2
fi
voi=$1 list=$2 out=$3
shift 3
[ "${1:-}" = "--" ] && shift
# The extract options: which the script sets itself, which ask for statistics alone, which
# shape the series (left out of the statistics pass), and a BIDS tree.
series_wanted=yes bids=""
stats_options=()
stats_kind=(--stats)
series_only='^--(summary|mask|mask-threshold|drop-volumes|detrend|high-pass|low-pass|confounds|confound-columns|standardize|censor|fd-threshold|t-r|connectivity|fisher-z)$'
bids_only='^--(bids|task|bids-space|desc)$'
flags='^--(detrend|fisher-z|stats|json|dry-run|quiet|skip-existing)$|^-q$'
options=("$@")
for ((i = 0; i < ${#options[@]}; i++)); do
    word=${options[i]}
    name=${word%%=*}
    value_inline=""
    [ "$name" != "$word" ] && value_inline=yes
    case "$name" in
        --out-dir | -o | --output | --images | -j | --jobs | --skip-existing | --dry-run)
            echo "slurm-extract: $name is set by the script (OUTDIR, the shards, CPUs): leave it out" >&2
            exit 2 ;;
        --stats) series_wanted="" ;;
        --json)
            echo "slurm-extract: the shards' tables are gathered as one TSV: give --stats, not --json" >&2
            exit 2 ;;
        --bids) bids=${options[i + 1]:-} ; [ "$value_inline" ] && bids=${word#*=} ;;
    esac
    takes_value=""
    if [[ $name == -* ]] && ! [[ $name =~ $flags ]] && [ -z "$value_inline" ]; then
        takes_value=yes
    fi
    if [[ $name =~ $series_only ]] || [[ $name =~ $bids_only ]]; then
        [ "$takes_value" ] && i=$((i + 1))
        continue
    fi
    [[ $name == --stats || $name == --json ]] && continue
    stats_options+=("$word")
    if [ "$takes_value" ] && ((i + 1 < ${#options[@]})); then
        i=$((i + 1))
        stats_options+=("${options[i]}")
    fi
done
# The statistics of a BIDS tree's runs: their template spaces are MNI.
if [ "$bids" ] && ! printf '%s\n' "${stats_options[@]}" | grep -q -- '^--grid-space'; then
    stats_options+=(--grid-space mni)
fi
if ! [[ $shard_size =~ ^[1-9][0-9]*$ ]]; then
    echo "slurm-extract: --shard-size wants a whole number above 0, not \"$shard_size\"" >&2
    exit 2
fi
if [ -z "$program" ]; then
    program=$here/../build/bin/glomera-voi
    [ -x "$program" ] || program=$(command -v glomera-voi || true)
fi
if [ ! -x "$program" ]; then
    echo "slurm-extract: no glomera-voi: build it or give --glomera-voi PATH" >&2
    exit 2
fi
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
sources=()
[ "$voi" = "-" ] || sources=("$voi")
if [ "$list" = "-" ]; then
    if [ -z "$bids" ]; then
        echo "slurm-extract: IMAGES.txt - lists the runs of a BIDS tree: give --bids too" >&2
        exit 2
    fi
    mkdir -p "$out"
    list="$out/images.txt"
    find "$bids" -path '*/func/*_bold.nii.gz' | sort >"$list"
fi
if [ ! -r "$list" ]; then
    echo "slurm-extract: cannot read the list of images $list" >&2
    exit 2
fi

# The whole command, checked on the whole list before anything is submitted.
if [ "$series_wanted" ]; then
    check=("$program" extract "${sources[@]}" --images "$list" "$@" --out-dir "$out/series" --dry-run)
else
    check=("$program" extract "${sources[@]}" --images "$list" "$@" -o "$out/stats.tsv" --dry-run)
fi
status=0
listing=$("${check[@]}") || status=$?
if ((status == 3)); then
    grep ': would fail: ' <<<"$listing" >&2 || true
    echo "slurm-extract: the images above cannot be read; their tasks will name them" >&2
elif ((status != 0)); then
    echo "slurm-extract: extract refused the command (exit $status): nothing submitted" >&2
    exit "$status"
fi
status=0

mkdir -p "$out/shards" "$out/logs"
out=$(cd "$out" && pwd)

# The images, one a line, without empty lines and comments, cut into shards.
rm -f "$out"/shards/list-*.txt
grep -v -e '^[[:space:]]*$' -e '^[[:space:]]*#' "$list" |
    split -l "$shard_size" -d -a 6 - "$out/shards/part-"
shards=0
for part in "$out"/shards/part-*; do
    [ -e "$part" ] || break
    mv "$part" "$out/shards/list-$shards.txt"
    shards=$((shards + 1))
done
if ((shards == 0)); then
    echo "slurm-extract: $list lists no image" >&2
    exit 2
fi

# The task's commands: its shard's images, its own files, as many images at a time as CPUs.
shard="$out/shards/list-\$SLURM_ARRAY_TASK_ID.txt"
stats_table="$out/shards/stats-\$SLURM_ARRAY_TASK_ID.tsv"
series_options=(--out-dir "$out/series")
command_of() {  # the words as one shell command; the shard's variable left to the task
    local text
    text=$(printf '%q ' "$@")
    text=${text//\\\$SLURM_ARRAY_TASK_ID/\$SLURM_ARRAY_TASK_ID}
    printf '%s -j ${SLURM_CPUS_PER_TASK:-1}' "$text"
}
stats_task=$(command_of "$program" extract "${sources[@]}" --images "$shard" --skip-existing \
    --quiet "${stats_options[@]}" "${stats_kind[@]}" -o "$stats_table")
if [ "$series_wanted" ]; then
    series_task=$(command_of "$program" extract "${sources[@]}" --images "$shard" \
        --skip-existing --quiet "$@" "${series_options[@]}")
    # Both passes run; the task fails when either did.
    task="status=0; $series_task || status=\$?; $stats_task || status=\$?; exit \$status"
else
    task=$stats_task
fi
# shellcheck disable=SC2086 # the extra sbatch options are words
array=$(sbatch --parsable $sbatch_options --job-name glomera-extract \
    --array "0-$((shards - 1))" --output "$out/logs/task-%a.out" --error "$out/logs/task-%a.err" \
    --wrap "$task")
array=${array%%;*}
# shellcheck disable=SC2086
gathered=$(sbatch --parsable $wait $sbatch_options --job-name glomera-gather \
    --dependency "afterany:$array" --output "$out/logs/gather.out" \
    --error "$out/logs/gather.err" \
    --wrap "$(printf '%q ' "$here/slurm-extract.sh" --gather "$out")") || status=$?
echo "slurm-extract: $shards tasks in job $array; gather job ${gathered%%;*}" >&2
if [ -n "$wait" ]; then
    cat "$out/logs/gather.err" >&2 2>/dev/null || true
    exit "${status:-0}"
fi
