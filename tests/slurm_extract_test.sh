#!/usr/bin/env bash
# scripts/slurm-extract.sh under a real one-node Slurm that this test starts itself: munged,
# slurmctld and slurmd from Debian's munge and slurm-wlm on 127.0.0.1, with a generated
# slurm.conf (proctrack/linuxproc, task/none, free ports), the node waited for until idle.
# A list of images (one of them broken) is extracted in shards of two by a job array and
# gathered; the gathered table must be the one a single run on the whole list writes, the
# broken image named, each image's series the one extract writes alone. Then a bad option
# (nothing submitted), and the cleaning with matrices in shards of three. The daemons are stopped by their process ids whatever happened.
#
#   tests/slurm_extract_test.sh GLOMERA_VOI HELMORA_ZT
# Exits 77 (skipped) where the daemons are not installed or the test is not run as root.
set -euo pipefail
glomera_voi=$(realpath "$1")
host=$(realpath "$2")
scripts=$(cd "$(dirname "$0")/../scripts" && pwd)
for program in munged slurmctld slurmd sbatch sinfo; do
    if ! command -v "$program" >/dev/null; then
        echo "slurm_extract_test: $program is missing (scripts/install-deps.sh installs it): skipped"
        exit 77
    fi
done
if [ "$(id -u)" -ne 0 ]; then
    echo "slurm_extract_test: slurmd runs jobs as their users and needs root: skipped"
    exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/glomera-slurm-XXXXXX")
pids=()
stop() {
    local status=$?
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    done
    if ((status != 0)); then
        for log in "$work"/*.log "$work"/out/logs/*; do
            [ -f "$log" ] && { echo "--- $log"; tail -20 "$log"; }
        done
    fi
    rm -rf "$work"
    exit $status
}
trap stop EXIT

# Two free ports on the loopback address.
read -r controller_port node_port < <(/usr/bin/python3 -c '
import socket
sockets = [socket.socket() for _ in range(2)]
for s in sockets:
    s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in sockets])')

mkdir -p "$work/state" "$work/spool"
head -c 1024 /dev/urandom >"$work/munge.key"
chmod 400 "$work/munge.key"
munged --foreground --force --key-file="$work/munge.key" --socket="$work/munge.socket" \
    --pid-file="$work/munged.pid" --log-file="$work/munged.log" \
    --seed-file="$work/munged.seed" &
pids+=($!)

cpus=$(nproc)
cat >"$work/slurm.conf" <<EOF
ClusterName=glomera
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$controller_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge.socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
ReturnToService=2
SlurmdTimeout=30
NodeName=localhost NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=localhost Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF=$work/slurm.conf
for _ in $(seq 50); do [ -S "$work/munge.socket" ] && break; sleep 0.1; done
slurmctld -D -i -f "$SLURM_CONF" >"$work/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -N localhost -f "$SLURM_CONF" >"$work/slurmd.out" 2>&1 &
pids+=($!)
state=""
for _ in $(seq 120); do
    state=$(sinfo -h -n localhost -o %t 2>/dev/null || true)
    [ "$state" = "idle" ] && break
    sleep 0.5
done
if [ "$state" != "idle" ]; then
    echo "slurm_extract_test: the node did not come up (state \"$state\")" >&2
    exit 1
fi

# Five small images (one of them broken) and two spheres.
cd "$work"
printf '0 0 0 3 Centre 255 0 0\n4 0 0 3 Right 0 255 0\n' >spheres.txt
"$host" --quiet --raw-list spheres.txt -o spheres.voi >/dev/null
/usr/bin/python3 - <<'EOF'
import nibabel as nib
import numpy as np
affine = np.eye(4)
affine[:3, 3] = -8
for n in range(4):
    data = np.random.default_rng(n).normal(n, 1, (17, 17, 17, 3)).astype(np.float32)
    image = nib.Nifti1Image(data, affine)
    image.set_sform(affine, code=3)
    image.to_filename(f"image{n}.nii.gz")
EOF
printf 'not an image' >broken.nii.gz
printf '# the cohort\nimage0.nii.gz\nimage1.nii.gz\nbroken.nii.gz\n\nimage2.nii.gz\nimage3.nii.gz\n' \
    >images.txt

set +e
"$scripts/slurm-extract.sh" --wait --shard-size 2 --glomera-voi "$glomera_voi" \
    spheres.voi images.txt out 2>gather.err
status=$?
set -e
cat gather.err
if ((status != 1)); then
    echo "slurm_extract_test: the gather ended with $status, not 1 for the broken image" >&2
    exit 1
fi
grep -q "broken.nii.gz is not a readable NIfTI image" gather.err ||
    { echo "slurm_extract_test: the broken image was not named" >&2; exit 1; }
[ "$(ls out/shards/stats-*.tsv | wc -l)" -eq 3 ] ||
    { echo "slurm_extract_test: not every shard wrote its table" >&2; exit 1; }
"$glomera_voi" extract spheres.voi --images images.txt --stats -o direct.tsv -q 2>/dev/null || true
if ! cmp out/stats.tsv direct.tsv; then
    echo "slurm_extract_test: the gathered table differs from a single run's" >&2
    diff out/stats.tsv direct.tsv | head >&2
    exit 1
fi
rows=$(($(wc -l <out/stats.tsv) - 1))
((rows == 4 * 3 * 2)) || { echo "slurm_extract_test: $rows rows, not 24" >&2; exit 1; }
# Each image's series beside the group table, as extract alone writes it.
[ "$(ls out/series/*_voi_timeseries.tsv | wc -l)" -eq 4 ] ||
    { echo "slurm_extract_test: not every image has its series" >&2; exit 1; }
"$glomera_voi" extract spheres.voi image2.nii.gz -o direct2.tsv -q
cmp out/series/image2_voi_timeseries.tsv direct2.tsv ||
    { echo "slurm_extract_test: a task's series differs from extract's own" >&2; exit 1; }

# An option extract refuses stops the script before anything is submitted.
set +e
"$scripts/slurm-extract.sh" --glomera-voi "$glomera_voi" spheres.voi images.txt refused \
    -- --summary sometimes 2>refused.err
status=$?
set -e
if ((status != 2)) || [ -e refused/shards ]; then
    cat refused.err
    echo "slurm_extract_test: a bad option ended with $status, or shards were made" >&2
    exit 1
fi

# The cleaning and the matrices through the job array, the statistics without them.
set +e
"$scripts/slurm-extract.sh" --wait --shard-size 3 --glomera-voi "$glomera_voi" \
    spheres.voi images.txt cleaned -- --detrend --standardize zscore \
    --connectivity correlation 2>cleaned.err
status=$?
set -e
cat cleaned.err
((status == 1)) || { echo "slurm_extract_test: the cleaned run ended with $status" >&2; exit 1; }
[ "$(ls cleaned/series/*_voi_connectivity.tsv | wc -l)" -eq 4 ] ||
    { echo "slurm_extract_test: not every image has its matrix" >&2; exit 1; }
"$glomera_voi" extract spheres.voi image3.nii.gz --detrend --standardize zscore \
    --connectivity correlation -o direct3.tsv -q
cmp cleaned/series/image3_voi_timeseries.tsv direct3.tsv &&
    cmp cleaned/series/image3_voi_connectivity.tsv direct3_connectivity.tsv ||
    { echo "slurm_extract_test: a task's cleaned series or matrix differs" >&2; exit 1; }
cmp cleaned/stats.tsv out/stats.tsv ||
    { echo "slurm_extract_test: the group table took the cleaning options" >&2; exit 1; }
# A BIDS derivatives tree through the job array: every run of the tree (the list "-"), the
# derivative names mirrored under OUTDIR/series, the group table from the runs' statistics.
/usr/bin/python3 - <<'PYTHON'
import nibabel as nib
import numpy as np
affine = np.eye(4)
affine[:3, 3] = -8
for n, folder in enumerate(["sub-01/func", "sub-02/ses-1/func", "sub-02/ses-2/func"]):
    import os
    os.makedirs(f"tree/{folder}", exist_ok=True)
    name = folder.replace("/func", "").replace("/", "_")
    data = np.random.default_rng(10 + n).normal(n, 1, (17, 17, 17, 4)).astype(np.float32)
    image = nib.Nifti1Image(data, affine)
    image.set_sform(affine, code=4)
    image.to_filename(f"tree/{folder}/{name}_task-rest_space-MNI152NLin6Asym_desc-preproc_bold.nii.gz")
PYTHON
"$scripts/slurm-extract.sh" --wait --shard-size 2 --glomera-voi "$glomera_voi" \
    spheres.voi - bidsout -- --bids tree 2>bids.err || { cat bids.err; exit 1; }
for run in sub-01/func/sub-01 sub-02/ses-1/func/sub-02_ses-1 sub-02/ses-2/func/sub-02_ses-2; do
    [ -f "bidsout/series/${run}_task-rest_space-MNI152NLin6Asym_desc-spheres_timeseries.tsv" ] ||
        { cat bids.err; echo "slurm_extract_test: no series for $run" >&2; exit 1; }
done
[ -f bidsout/series/dataset_description.json ] ||
    { echo "slurm_extract_test: no dataset_description.json" >&2; exit 1; }
bids_rows=$(($(wc -l <bidsout/stats.tsv) - 1))
((bids_rows == 3 * 4 * 2)) || { echo "slurm_extract_test: $bids_rows BIDS rows, not 24" >&2; exit 1; }
echo "slurm_extract_test: 5 images in 3 array tasks gathered into $rows rows, the broken image named; series, matrices and a refused option as they should be"
