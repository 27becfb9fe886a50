// The review page of an import in a real browser (Debian's chromium, headless, as
// view_page_test.js runs it): a table with hostile cells imported with --review, opened from
// disk and read as a user would: the table as pasted line for line, each line's fate, the
// spheres in the viewer, and nothing from the table run or fetched.
//
//   node review_page_test.js --tool glomera-voi --work DIR
'use strict';

const assert = require('node:assert/strict');
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

const { launch, viewerReady, goTo } = require('./chromium.js');
const { options, check, watch, run } = require('./harness.js');

const kHostile = [
  "</script><script>document.title='x'</script>",
  '<img src=x onerror=alert(1)>',
  "<svg onload=alert(2)>'&amp;",
];
// A table as pasted: hostile region names, a row whose cells came through as runs of
// no-break spaces, a row with an empty y (dropped) and a footer with three numbers.
const kTable = [
  'Table 2. Peaks (MNI)',
  'Region\tSide\tx\ty\tz\tZ',
  `${kHostile[0]}\tL\t-48\t28\t4\t5.21`,
  `${kHostile[1]}\tR\t50\t30\t2\t4.87`,
  `${kHostile[2]}\tL\t-30\t-60\t50\t4.55`,
  'Precuneus\u00a0\u00a0\u00a0L\u00a0\u00a0-8\u00a0\u00a0-66\u00a0\u00a044\u00a0\u00a04.31',
  'Insula\tR\t36\t\t-2\t4.12',
  'FWHM = 9.3 9.6 9.1 {mm}',
];

function makePage(o) {
  fs.rmSync(o.work, { recursive: true, force: true });
  fs.mkdirSync(o.work, { recursive: true });
  fs.writeFileSync(path.join(o.work, 'table.txt'), kTable.join('\n') + '\n');
  const run = spawnSync(o.tool, ['import', 'table.txt', '--space', 'mni', '--review', 'review.html',
    '-o', 'list.txt'], { cwd: o.work, encoding: 'utf8' });
  // A dropped row makes the import incomplete: exit 3, the page written all the same.
  assert.ok(run.status === 0 || run.status === 3, `import: ${run.status} ${run.stderr}`);
  const list = fs.readFileSync(path.join(o.work, 'list.txt'), 'latin1').split('\n').filter((l) => l.trim());
  return { page: path.join(o.work, 'review.html'), vois: list.length, stderr: run.stderr };
}

async function main() {
  const o = options(['tool', 'work']);
  const made = makePage(o);
  const expectedTitle = 'What was read from table.txt';
  const problems = [];
  const browser = await launch(path.join(o.work, 'profile'));
  try {
    const page = await browser.newPage();
    await page.bringToFront();
    await page.setViewport({ width: 1400, height: 1000 });
    watch(page, made.page, problems);

    await page.goto(`file://${made.page}`);
    const error = await viewerReady(page);

    await check('the viewer started under the review', page, o.work, async () => {
      assert.equal(error, null);
      assert.equal(await page.title(), expectedTitle);
      const order = await page.evaluate(() => {
        const review = document.querySelector('#review');
        const viewer = document.querySelector('#viewer');
        return review.compareDocumentPosition(viewer) & Node.DOCUMENT_POSITION_FOLLOWING;
      });
      assert.ok(order, 'the review comes before the viewer');
    });

    await check('the table shows as pasted, line for line, hostile cells as text', page, o.work, async () => {
      const lines = await page.$$eval('#pasted td.text', (cells) => cells.map((c) => c.textContent));
      assert.deepEqual(lines, kTable);
      assert.equal(await page.$$eval('img, svg, iframe, object', (found) => found.length), 0);
      // The page's data, the viewer and the page's script: nothing more.
      assert.equal(await page.$$eval('script', (scripts) => scripts.length), 3);
      assert.equal(await page.title(), expectedTitle);
      // No-break spaces are shaded so that a reader sees them.
      assert.ok(await page.$$eval('#line-6 .nbsp', (spans) => spans.length) >= 10);
    });

    await check('each line\'s fate in the margin', page, o.work, async () => {
      const fates = await page.$$eval('#pasted tr', (rows) => rows.map((row) => ({
        kind: row.className,
        head: Array.from(row.querySelectorAll('td.fate b')).map((b) => b.textContent).join(' '),
        text: row.querySelector('td.fate').textContent,
      })));
      assert.equal(fates.length, kTable.length);
      assert.equal(fates[1].head, 'header');
      for (const [row, voi] of [[2, 1], [3, 2], [4, 3]]) {
        assert.equal(fates[row].head, `VOI ${voi}`, JSON.stringify(fates[row]));
        assert.equal(fates[row].kind, 'voi');
      }
      assert.equal(fates[6].kind, 'dropped');
      assert.match(fates[6].text, /dropped.*y/);
      // As many lines name a VOI as the list has spheres.
      assert.equal(fates.filter((f) => /^VOI \d+$/.test(f.head)).length, made.vois);
    });

    await check('the spheres the import made, in the review and in the viewer', page, o.work, async () => {
      const names = await page.$$eval('#spheres tbody tr', (rows) => rows.map((r) => r.children[1].textContent.trim()));
      assert.equal(names.length, made.vois);
      const viewerNames = await page.$$eval('#vois tbody div.name', (cells) => cells.map((c) => c.textContent));
      assert.deepEqual(viewerNames, names);
      assert.equal(await page.evaluate(() => window.glomeraPage.vois.length), made.vois);
      const written = await page.$$eval('#spheres tbody tr', (rows) => rows.map((r) => r.children[2].textContent));
      assert.equal(written[0], 'MNI -48 28 4');
      await goTo(page, 1);
      assert.match(await page.$eval('#at-voi', (e) => e.textContent), /^1 /);
    });

    await check('cells taken are marked by their role, where the import says', page, o.work, async () => {
      const marks = await page.$$eval('#line-3 mark.cell', (found) => found.map((m) => [m.title, m.textContent]));
      if (marks.length === 0) {
        console.log('  (this importer gives no cells: nothing marked)');
        return;
      }
      const byRole = Object.fromEntries(marks);
      assert.equal(byRole.x, '-48');
      assert.equal(byRole.y, '28');
      assert.equal(byRole.z, '4');
    });

    await check('no console error, dialog or request out of the page', page, o.work, async () => {
      assert.deepEqual(problems, []);
      assert.equal(await page.title(), expectedTitle);
    });
    await page.evaluate(() => window.scrollTo(0, 0));
    const shot = path.join(o.work, 'review.png');
    await page.screenshot({ path: shot, fullPage: true });
    console.log(`screenshot of the page: ${shot}`);
  } finally {
    await browser.close();
  }
}

run(main);
