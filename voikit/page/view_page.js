// The interactive page's own script: the viewer with the template and the VOIs' labels, the
// list of VOIs beside it, and what lies under the crosshair. Everything it shows comes from
// the JSON element the program wrote into the page; names are only ever set as text.
(function () {
  'use strict';

  const data = JSON.parse(document.getElementById('glomera-data').textContent);
  // For scripts and tests that look at the page: ready once the viewer has drawn.
  const page = { ready: false, error: null, viewer: null, vois: data.vois };
  window.glomeraPage = page;

  function applyAffine(m, p) {
    return [0, 1, 2].map((r) => m[r][0] * p[0] + m[r][1] * p[1] + m[r][2] * p[2] + m[r][3]);
  }

  // The transform the program used, as its matrices: Brett's has one for MNI z >= 0 and
  // one below, Lancaster's one for both.
  function mniToTal(mni) {
    return applyAffine(mni[2] >= 0 ? data.mniToTal.upper : data.mniToTal.lower, mni);
  }

  function millimetres(p) {
    return p.map((v) => (Math.round(v * 10) / 10).toFixed(1)).join(', ') + ' mm';
  }

  function base64Bytes(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  async function gunzip(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  // An atlas looked up as the reports look it up: the voxel nearest to the MNI position,
  // no region off the image.
  async function openAtlas(atlas) {
    const bytes = await gunzip(base64Bytes(atlas.places));
    const places = atlas.wide ? new Uint16Array(bytes.buffer, 0, bytes.length / 2) : bytes;
    const [, nj, nk] = atlas.dims;
    return {
      name: atlas.name,
      regionAt(mni) {
        const ijk = applyAffine(atlas.toVoxel, mni);
        const at = [];
        for (let a = 0; a < 3; ++a) {
          const v = ijk[a] + 0.5;
          if (!(v >= 0 && v < atlas.dims[a])) return '';
          at.push(Math.floor(v));
        }
        return atlas.regions[places[(at[0] * nj + at[1]) * nk + at[2]]] || '';
      },
    };
  }

  const rows = new Map();
  for (const row of document.querySelectorAll('#vois tbody tr')) {
    rows.set(Number(row.dataset.voi), row);
  }
  const shown = {
    mni: document.getElementById('at-mni'),
    tal: document.getElementById('at-tal'),
    voi: document.getElementById('at-voi'),
    regions: document.getElementById('at-regions'),
    convention: document.getElementById('convention'),
  };

  function showConvention(radiological) {
    shown.convention.textContent = radiological
      ? 'radiological: R on the left, L on the right'
      : 'neurological: L on the left, R on the right';
  }

  function showError(error) {
    page.error = String(error && error.message ? error.message : error);
    const box = document.getElementById('viewer-error');
    box.hidden = false;
    box.textContent = 'The viewer could not start: ' + page.error;
    console.error(error);
  }

  async function start() {
    const canvas = document.getElementById('gl');
    if (!canvas.getContext('webgl2')) {
      throw new Error('this browser has no WebGL 2; the list of VOIs below still holds everything');
    }
    const viewer = new niivue.Niivue({
      backColor: [0, 0, 0, 1],
      crosshairColor: [1, 1, 1, 0.8],
      isOrientationTextVisible: true,
      showAllOrientationMarkers: true,
      sagittalNoseLeft: true,
      multiplanarShowRender: niivue.SHOW_RENDER.NEVER,
      multiplanarLayout: niivue.MULTIPLANAR_TYPE.GRID,
      multiplanarPadPixels: 8,
      isRadiologicalConvention: data.radiological,
      dragAndDropEnabled: false,
      logLevel: 'warn',
    });
    page.viewer = viewer;
    await viewer.attachToCanvas(canvas);
    const [template, labels, atlases] = await Promise.all([
      niivue.NVImage.loadFromBase64({
        base64: data.template.base64,
        name: data.template.name,
        colormap: 'gray',
      }),
      niivue.NVImage.loadFromBase64({ base64: data.labels, name: 'vois.nii.gz', opacity: 0.9 }),
      Promise.all(data.atlases.map(openAtlas)),
    ]);
    // Label i in the i-th VOI's colour; 0 is see-through.
    const lut = { R: [0], G: [0], B: [0], A: [0], I: [0], labels: [''] };
    for (const voi of data.vois) {
      lut.R.push(voi.colour[0]);
      lut.G.push(voi.colour[1]);
      lut.B.push(voi.colour[2]);
      lut.A.push(255);
      lut.I.push(voi.number);
      lut.labels.push(voi.name);
    }
    labels.setColormapLabel(lut);
    // The template's own range, short of rare bright voxels: its white matter stays grey.
    template.cal_min = 0;
    template.cal_max = Math.min(template.global_max, 1.25 * template.robust_max);
    viewer.addVolume(template);
    viewer.addVolume(labels);
    viewer.setSliceType(viewer.sliceTypeMultiplanar);

    viewer.onLocationChange = (location) => {
      const mni = [location.mm[0], location.mm[1], location.mm[2]];
      shown.mni.textContent = millimetres(mni);
      shown.tal.textContent = millimetres(mniToTal(mni));
      const label = Math.round(location.values[1].value);
      const voi = data.vois[label - 1];
      shown.voi.textContent = voi ? voi.number + ' ' + voi.name : 'none';
      shown.regions.textContent = atlases.length
        ? atlases.map((a) => a.name + ': ' + (a.regionAt(mni) || 'no region')).join('\n')
        : 'no atlases';
      for (const [number, row] of rows) row.classList.toggle('here', voi !== undefined && number === voi.number);
    };

    const goTo = (number) => {
      const voi = data.vois[number - 1];
      if (!voi || !voi.mni) return;
      viewer.scene.crosshairPos = viewer.mm2frac(voi.mni);
      viewer.createOnLocationChange();
      viewer.drawScene();
    };
    for (const [number, row] of rows) {
      row.addEventListener('click', () => goTo(number));
      row.addEventListener('keydown', (event) => {
        if (event.key === 'Enter' || event.key === ' ') {
          event.preventDefault();
          goTo(number);
        }
      });
    }

    const switcher = document.getElementById('radiological');
    switcher.checked = data.radiological;
    showConvention(data.radiological);
    switcher.addEventListener('change', () => {
      viewer.setRadiologicalConvention(switcher.checked);
      showConvention(switcher.checked);
    });

    const first = data.vois.find((voi) => voi.mni);
    if (first) goTo(first.number);
    else viewer.createOnLocationChange();
    requestAnimationFrame(() => {
      page.ready = true;
      document.documentElement.dataset.viewer = 'ready';
    });
  }

  start().catch(showError);
})();
