// The interactive page in a real browser: Debian's chromium, headless, with WebGL through
// SwiftShader, driven over the DevTools protocol by puppeteer-core. The page is made of the
// bundled example with two VOIs renamed to hostile names, opened from disk, and checked as a
// reader would use it. Screenshots of failures are kept in the work folder.
//
//   node view_page_test.js --host HelmoraZT.exe --tool glomera-voi --examples DIR --work DIR
'use strict';

const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

const { launch, viewerReady, goTo } = require('./chromium.js');
const { options, check, watch, run } = require('./harness.js');

const kMostPageBytes = 6e6;
// What the example's third peak is in the table it comes from (MNI mm).
const kThirdPeak = [42, -52, -20];
const kHostileNames = [
  "</script><script>document.title='x'</script>",
  '<img src=x onerror=alert(1)>',
];

// The example's spheres, with the first two VOIs renamed, and the page and report of them.
function makePage(o) {
  fs.rmSync(o.work, { recursive: true, force: true });
  fs.mkdirSync(o.work, { recursive: true });
  const voi = path.join(o.work, 'spheres.voi');
  execFileSync(o.host, ['--quiet', '--list', path.join(o.examples, 'mni_table.txt'), '--space',
    'mni', '--allow-dropped', '-o', voi], { stdio: ['ignore', 'ignore', 'ignore'] });
  let text = fs.readFileSync(voi, 'latin1');
  for (const [i, name] of kHostileNames.entries()) {
    const before = ['Amygdala_L', 'Amygdala_R'][i];
    // The plug-in ends its lines with CR LF.
    assert.ok(text.includes(`NameOfVOI:  ${before}\r\n`), `the example has ${before}`);
    text = text.replace(`NameOfVOI:  ${before}\r\n`, `NameOfVOI:  ${name}\r\n`);
  }
  fs.writeFileSync(voi, text, 'latin1');
  const page = path.join(o.work, 'spheres.html');
  const report = path.join(o.work, 'spheres_report.json');
  execFileSync(o.tool, ['view', voi, '-o', page, '--quiet']);
  execFileSync(o.tool, ['report', voi, report, '--json', '--quiet']);
  return { voi, page, report: JSON.parse(fs.readFileSync(report, 'utf8')) };
}

// The canvas as RGBA pixels: a screenshot of it, decoded in a blank page of its own.
async function canvasPixels(page, decoder) {
  const canvas = await page.$('#gl');
  const png = await canvas.screenshot({ encoding: 'base64' });
  return decoder.evaluate(async (data) => {
    const image = new Image();
    image.src = 'data:image/png;base64,' + data;
    await image.decode();
    const canvas = document.createElement('canvas');
    canvas.width = image.width;
    canvas.height = image.height;
    const context = canvas.getContext('2d');
    context.drawImage(image, 0, 0);
    const pixels = context.getImageData(0, 0, image.width, image.height);
    return { width: pixels.width, height: pixels.height, data: Array.from(pixels.data) };
  }, png);
}

function pixel(picture, x, y) {
  const at = (Math.round(y) * picture.width + Math.round(x)) * 4;
  return [picture.data[at], picture.data[at + 1], picture.data[at + 2]];
}

function distance(a, b) {
  return Math.hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

// Where the viewer draws an MNI position in each of its three views, in canvas pixels
// scaled to the canvas's size on the page.
function viewPoints(page, mni) {
  return page.evaluate((mm) => {
    const viewer = window.glomeraPage.viewer;
    const canvas = viewer.canvas;
    const scale = canvas.clientWidth / canvas.width;
    const frac = viewer.mm2frac(mm);
    return [viewer.sliceTypeAxial, viewer.sliceTypeCoronal, viewer.sliceTypeSagittal].map((type) => {
      const found = viewer.frac2canvasPosWithTile(frac, type);
      return found ? { x: found.pos[0] * scale, y: found.pos[1] * scale } : null;
    });
  }, mni);
}

async function crosshairMni(page) {
  return page.evaluate(() => {
    const viewer = window.glomeraPage.viewer;
    return Array.from(viewer.frac2mm(viewer.scene.crosshairPos)).slice(0, 3);
  });
}

async function main() {
  const o = options(['host', 'tool', 'examples', 'work']);
  const made = makePage(o);
  const expectedTitle = `VOIs of ${made.voi}`;
  const problems = [];
  const browser = await launch(path.join(o.work, 'profile'));
  try {
    const decoder = await browser.newPage();
    const page = await browser.newPage();
    // The page under test in front: a tab behind draws no frames.
    await page.bringToFront();
    await page.setViewport({ width: 1400, height: 900 });
    watch(page, made.page, problems);

    await check('the page for the example stays under 6 MB', page, o.work, async () => {
      const bytes = fs.statSync(made.page).size;
      console.log(`  page: ${made.page}, ${(bytes / 1e6).toFixed(2)} MB`);
      assert.ok(bytes < kMostPageBytes, `${bytes} bytes`);
    });

    await page.goto(`file://${made.page}`);
    const error = await viewerReady(page);

    await check('the viewer started', page, o.work, async () => {
      assert.equal(error, null);
    });

    await check('hostile names show as text and run nothing', page, o.work, async () => {
      assert.equal(await page.title(), expectedTitle);
      const names = await page.$$eval('#vois tbody div.name', (cells) => cells.map((c) => c.textContent));
      assert.deepEqual(names.slice(0, 2), kHostileNames);
      assert.equal(await page.$$eval('img', (images) => images.length), 0);
      assert.equal(await page.$$eval('script', (scripts) => scripts.length), 3);
      await goTo(page, 1);
      assert.equal(await page.$eval('#at-voi', (e) => e.textContent), `1 ${kHostileNames[0]}`);
      await goTo(page, 2);
      assert.equal(await page.$eval('#at-voi', (e) => e.textContent), `2 ${kHostileNames[1]}`);
      assert.equal(await page.title(), expectedTitle);
    });

    await check('clicking VOI 3 moves the crosshair to its MNI centre', page, o.work, async () => {
      await goTo(page, 3);
      const at = await crosshairMni(page);
      // Within one cell (1 mm) of the peak the sphere was made around.
      for (let axis = 0; axis < 3; ++axis) {
        assert.ok(Math.abs(at[axis] - kThirdPeak[axis]) <= 1, `crosshair ${at} vs peak ${kThirdPeak}`);
      }
      const shownMni = (await page.$eval('#at-mni', (e) => e.textContent)).split(/,\s*|\s+mm/).slice(0, 3).map(Number);
      assert.deepEqual(shownMni, at.map((v) => Math.round(v * 10) / 10));
      const voi = made.report.vois[2];
      const shownTal = (await page.$eval('#at-tal', (e) => e.textContent)).split(/,\s*|\s+mm/).slice(0, 3).map(Number);
      for (let axis = 0; axis < 3; ++axis) {
        assert.ok(Math.abs(shownTal[axis] - voi.centre[axis]) <= 0.051, `TAL ${shownTal} vs ${voi.centre}`);
      }
      assert.equal(await page.$eval('#at-voi', (e) => e.textContent), `3 ${voi.name}`);
      assert.ok(await page.$eval('#vois tbody tr[data-voi="3"]', (row) => row.classList.contains('here')));
    });

    await check('the regions under the crosshair at each centre are the report\'s', page, o.work, async () => {
      for (const voi of made.report.vois) {
        await goTo(page, voi.index);
        const shown = await page.$eval('#at-regions', (e) => e.textContent);
        const expected = Object.entries(voi.anatomy.atlases)
          .map(([atlas, found]) => `${atlas}: ${found.centre === null ? 'no region' : found.centre}`)
          .join('\n');
        assert.equal(shown, expected, `VOI ${voi.index}`);
      }
    });

    await check('the canvas shows the template and each VOI in its colour at its centre', page, o.work, async () => {
      const colours = made.report.vois.map((voi) => voi.color);
      // The crosshair's lines off, so that they hide no colour.
      await page.evaluate(() => window.glomeraPage.viewer.setCrosshairWidth(0));
      for (const voi of made.report.vois) {
        await goTo(page, voi.index);
        const mni = await crosshairMni(page);
        const picture = await canvasPixels(page, decoder);
        const points = await viewPoints(page, mni);
        for (const [view, point] of points.entries()) {
          assert.ok(point, `VOI ${voi.index} has no place in view ${view}`);
          // At the centre and around it, inside the sphere.
          const samples = [[0, 0], [2, 2], [-2, 2], [2, -2], [-2, -2]].map(([dx, dy]) => pixel(picture, point.x + dx, point.y + dy));
          const matching = samples.filter((c) => {
            const nearest = colours.reduce((best, colour, i) => (distance(c, colour) < distance(c, colours[best]) ? i : best), 0);
            return nearest === voi.index - 1 && distance(c, voi.color) < 60;
          });
          assert.ok(matching.length >= 4, `VOI ${voi.index} view ${view} at ${JSON.stringify(point)}: ${JSON.stringify(samples)} vs ${voi.color}`);
        }
        if (voi.index === 1) {
          // The template: grey, neither black nor a VOI's colour, over much of the canvas.
          let grey = 0;
          for (let at = 0; at < picture.data.length; at += 4) {
            const [r, g, b] = [picture.data[at], picture.data[at + 1], picture.data[at + 2]];
            grey += r > 40 && Math.abs(r - g) < 8 && Math.abs(g - b) < 8;
          }
          assert.ok(grey > 0.1 * picture.width * picture.height, `${grey} grey pixels`);
        }
      }
      await page.evaluate(() => window.glomeraPage.viewer.setCrosshairWidth(1));
    });

    await check('neurological at first, radiological at the switch, L and R marked', page, o.work, async () => {
      const right = made.report.vois[1];  // the right amygdala, x > 0
      const left = made.report.vois[0];
      // Where the left and the right amygdala are drawn, each with the crosshair at its centre.
      const columns = async () => {
        await goTo(page, 1);
        const l = await viewPoints(page, await mniOf(page, 1));
        await goTo(page, 2);
        const r = await viewPoints(page, await mniOf(page, 2));
        return { axial: [l[0].x, r[0].x], coronal: [l[1].x, r[1].x] };
      };
      let seen = await columns();
      assert.ok(seen.axial[0] < seen.axial[1] && seen.coronal[0] < seen.coronal[1], `neurological ${JSON.stringify(seen)}`);
      assert.match(await page.$eval('#convention', (e) => e.textContent), /^neurological: L on the left/);
      await page.click('#radiological');
      await page.evaluate(() => new Promise((done) => requestAnimationFrame(done)));
      seen = await columns();
      assert.ok(seen.axial[0] > seen.axial[1] && seen.coronal[0] > seen.coronal[1], `radiological ${JSON.stringify(seen)}`);
      assert.match(await page.$eval('#convention', (e) => e.textContent), /^radiological: R on the left/);
      assert.equal(await page.evaluate(() => window.glomeraPage.viewer.opts.isOrientationTextVisible), true);
      assert.ok(right.centre[0] > 0 && left.centre[0] < 0);
    });

    await check('no console error, failed request, dialog or request out of the page', page, o.work, async () => {
      assert.deepEqual(problems, []);
      assert.equal(await page.title(), expectedTitle);
    });
    // The page as the reader left it, for the log.
    await page.click('#radiological');
    await goTo(page, 3);
    const shot = path.join(o.work, 'page.png');
    await page.screenshot({ path: shot });
    console.log(`screenshot of the page: ${shot}`);
  } finally {
    await browser.close();
  }
}

// A VOI's MNI centre as the page has it.
function mniOf(page, number) {
  return page.evaluate((n) => window.glomeraPage.vois[n - 1].mni, number);
}

run(main);
