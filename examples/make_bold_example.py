#!/usr/bin/python3
"""A small preprocessed resting-state run in MNI space, as fMRIPrep writes one, for the main
job's time series: a 4D image on a 4 mm MNI grid, its JSON sidecar with the repetition time,
and its confounds table (motion, CSF, white matter, framewise displacement, the first row of
the derivative columns n/a).

    examples/make_bold_example.py OUTDIR

Made without a random generator, so that every machine makes the same bytes: each voxel is a
baseline, the slow rhythm of its network (the face areas of examples/mni_table.txt share
one; the rest of the brain another), a drift that follows the head's x translation, and a
fixed pseudo-noise of its own."""
import json
import pathlib
import sys

import nibabel
import numpy

TR = 2.0  # seconds
VOLUMES = 80
NAME = "sub-01_task-rest_space-MNI152NLin2009cAsym_desc-preproc"


def pseudo_noise(*indices):
    """A value in [-1, 1) that depends on the indices alone, the same on every machine."""
    seed = numpy.zeros(numpy.broadcast(*indices).shape, dtype=numpy.uint64)
    for index, multiplier in zip(indices, (73856093, 19349663, 83492791, 2654435761)):
        seed ^= numpy.asarray(index, dtype=numpy.uint64) * numpy.uint64(multiplier)
    seed ^= seed >> numpy.uint64(13)
    seed *= numpy.uint64(0x5BD1E995)
    seed ^= seed >> numpy.uint64(15)
    return (seed % numpy.uint64(20001)).astype(numpy.float64) / 10000.0 - 1.0


def main():
    out = pathlib.Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    shape = (46, 55, 46)  # 4 mm cells over the MNI brain's box
    affine = numpy.array([[4.0, 0, 0, -90], [0, 4.0, 0, -126], [0, 0, 4.0, -72], [0, 0, 0, 1]])
    i, j, k = numpy.meshgrid(*(numpy.arange(n) for n in shape), indexing="ij")
    x, y, z = (affine[a, 0] * i + affine[a, 1] * j + affine[a, 2] * k + affine[a, 3]
               for a in range(3))
    t = numpy.arange(VOLUMES) * TR

    # The face network: within 14 mm of the face areas' peaks (amygdalae, fusiform gyri,
    # inferior occipital gyrus); a rhythm of 0.04 Hz. Elsewhere in the brain, 0.07 Hz.
    faces = numpy.zeros(shape, dtype=bool)
    for peak in ((-22, -6, -18), (24, -4, -18), (42, -52, -20), (-40, -54, -18), (38, -84, -8)):
        faces |= (x - peak[0]) ** 2 + (y - peak[1]) ** 2 + (z - peak[2]) ** 2 <= 14 ** 2
    brain = (x / 70) ** 2 + ((y + 18) / 100) ** 2 + ((z - 10) / 80) ** 2 <= 1
    rhythm_faces = numpy.sin(2 * numpy.pi * 0.04 * t)
    rhythm_rest = numpy.sin(2 * numpy.pi * 0.07 * t + 1.0)

    # The head drifts right and back: the confounds as fMRIPrep names them.
    trans_x = 0.3 * t / t[-1] + 0.05 * numpy.sin(2 * numpy.pi * 0.01 * t)
    confounds = {
        "global_signal": 600 + 2 * rhythm_rest,
        "csf": 900 + 3 * numpy.cos(2 * numpy.pi * 0.11 * t),
        "white_matter": 700 + 1.5 * numpy.sin(2 * numpy.pi * 0.02 * t),
        "trans_x": trans_x,
        "trans_y": 0.02 * numpy.cos(2 * numpy.pi * 0.013 * t),
        "trans_z": 0.1 * t / t[-1],
        "rot_x": 0.001 * numpy.sin(2 * numpy.pi * 0.017 * t),
        "rot_y": 0.0005 * t / t[-1],
        "rot_z": 0.0008 * numpy.cos(2 * numpy.pi * 0.009 * t),
    }
    motion = numpy.stack([confounds[c] for c in ("trans_x", "trans_y", "trans_z")], axis=1)
    angles = numpy.stack([confounds[c] for c in ("rot_x", "rot_y", "rot_z")], axis=1)
    displacement = numpy.abs(numpy.diff(motion, axis=0)).sum(axis=1) + 50 * numpy.abs(
        numpy.diff(angles, axis=0)).sum(axis=1)
    # One jolt, as a run of a real subject has, which --fd-threshold can censor.
    displacement[40] += 0.9

    data = numpy.zeros(shape + (VOLUMES,), dtype=numpy.float32)
    for volume in range(VOLUMES):
        signal = numpy.where(faces, 12 * rhythm_faces[volume], 8 * rhythm_rest[volume])
        drift = 40 * trans_x[volume] * (x / 90)
        noise = 25 * pseudo_noise(i, j, k, volume)
        data[..., volume] = numpy.where(brain, 1000 + signal + drift + noise, 0)

    image = nibabel.Nifti1Image(data, affine)
    image.set_sform(affine, code=4)  # MNI_152
    image.set_qform(affine, code=4)
    image.header.set_xyzt_units("mm", "sec")
    image.header["pixdim"][4] = TR
    image.to_filename(out / f"{NAME}_bold.nii.gz")
    (out / f"{NAME}_bold.json").write_text(
        json.dumps({"RepetitionTime": TR, "TaskName": "rest",
                    "SkullStripped": False}, indent=2) + "\n")

    columns = list(confounds) + ["framewise_displacement"]
    rows = ["\t".join(columns)]
    for volume in range(VOLUMES):
        values = [f"{confounds[c][volume]:.6f}" for c in confounds]
        values.append("n/a" if volume == 0 else f"{displacement[volume - 1]:.6f}")
        rows.append("\t".join(values))
    (out / "sub-01_task-rest_desc-confounds_timeseries.tsv").write_text("\n".join(rows) + "\n")
    print(f"made {out / (NAME + '_bold.nii.gz')}: {shape[0]} x {shape[1]} x {shape[2]} cells "
          f"of 4 mm, {VOLUMES} volumes of {TR} s, with its sidecar and confounds table")


if __name__ == "__main__":
    main()
