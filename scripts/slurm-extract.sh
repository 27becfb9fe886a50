#!/usr/bin/env bash
# The values inside the VOIs of a .voi file (or the spheres of a table of peaks) from a long
# list of images, on a Slurm cluster: the list is cut into shards, one task of a job array
# extracts each shard's statistics into its own table (written whole or not at all), and a
# final job gathers the shards' tables into one, in the order of the list.
#
#   scripts/slurm-extract.sh [OPTIONS] FILE.voi IMAGES.txt OUTDIR [-- EXTRACT OPTIONS]
#
#   --shard-size N     images per array task (default 50)
#   --sbatch "ARGS"    more sbatch options for every job: partition, time, account, ...
#   --glomera-voi P    the program (default: glomera-voi beside this script's build, else
#                      on the PATH)
#   --wait             return only when the gather job has ended, with its exit status
#   EXTRACT OPTIONS    go to glomera-voi extract: --peaks TABLE (then give - for
#                      FILE.voi), --mni-to-tal fsl, --grid-space mni, ...
#
# Each task runs `glomera-voi extract --stats -j CPUS` on its shard, CPUS being the CPUs
# Slurm gave it (--sbatch "--cpus-per-task 4" for more). Written into OUTDIR:
#   shards/list-K.txt     the images of shard K (K from 0)
#   shards/stats-K.tsv    shard K's table; a task run again (requeued, or the whole script
#                         run again) leaves a shard whose table is there (--skip-existing)
#   logs/                 each job's standard output and error
#   stats.tsv             all shards' tables as one, written by the gather job
#
# An image that fails is named in its task's log and left out of its shard's table; the task
# exits 1 and the others go on. The gather job runs when every task has ended, whatever
# their status; it names each shard without a table and each task's failed images, and exits
# 1 when there were any (the table then holds what was extracted).
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

# The task's command: its shard's images, its own table, as many images at a time as CPUs.
sources=(--images "$out/shards/list-\$SLURM_ARRAY_TASK_ID.txt")
[ "$voi" = "-" ] || sources=("$voi" "${sources[@]}")
task=$(printf '%q ' "$program" extract "${sources[@]}" --stats --skip-existing --quiet "$@")
task=${task//\\\$SLURM_ARRAY_TASK_ID/\$SLURM_ARRAY_TASK_ID}
task="$task -j \${SLURM_CPUS_PER_TASK:-1} -o $(printf '%q' "$out")/shards/stats-\$SLURM_ARRAY_TASK_ID.tsv"
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
