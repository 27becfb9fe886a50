// A screenshot of an interactive page as a reader first sees it after clicking a VOI, for
// the documentation: node tests/browser/screenshot.js PAGE.html OUT.png [VOI]
'use strict';

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { launch, viewerReady, goTo } = require('./chromium.js');

async function main() {
  const [pagePath, out, voi] = process.argv.slice(2);
  if (!pagePath || !out) throw new Error('usage: node screenshot.js PAGE.html OUT.png [VOI]');
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'glomera-screenshot-'));
  const browser = await launch(profile);
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1400, height: 860 });
    await page.goto(`file://${path.resolve(pagePath)}`);
    const error = await viewerReady(page);
    if (error) throw new Error(`the viewer did not start: ${error}`);
    if (voi) await goTo(page, Number(voi));
    await page.screenshot({ path: out });
    console.log(`screenshot: ${out}`);
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(String(error.message || error));
  process.exitCode = 1;
});
