// Debian's chromium, headless, as the browser tests and the documentation's screenshots start
// it: WebGL through SwiftShader (without --disable-gpu, which leaves WebGL working but makes
// every frame several times slower), and none of the browser's own network chatter.
'use strict';

const fs = require('node:fs');

const kChromium = '/usr/bin/chromium';
const kFlags = [
  '--no-sandbox',
  '--use-angle=swiftshader',
  '--enable-unsafe-swiftshader',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--disable-default-apps',
  '--no-first-run',
  '--hide-scrollbars',
];

// puppeteer-core, or a word on what to install.
function puppeteerCore() {
  if (!fs.existsSync(kChromium)) {
    throw new Error(`${kChromium} is missing: scripts/install-deps.sh installs Debian's chromium`);
  }
  try {
    return require('puppeteer-core');
  } catch (error) {
    throw new Error(`puppeteer-core is missing (${error.message}): scripts/install-deps.sh installs it`);
  }
}

// A browser with a profile of its own in `profile`.
function launch(profile) {
  return puppeteerCore().launch({
    executablePath: kChromium,
    headless: true,
    args: kFlags,
    userDataDir: profile,
  });
}

// Resolves once the page's viewer has drawn, or says why it could not.
async function viewerReady(page) {
  await page.waitForFunction(() => window.glomeraPage && (window.glomeraPage.ready || window.glomeraPage.error),
    { timeout: 120000 });
  return page.evaluate(() => window.glomeraPage.error);
}

// Clicks a VOI in the list and waits for the viewer to draw it.
async function goTo(page, number) {
  await page.click(`#vois tbody tr[data-voi="${number}"]`);
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
}

module.exports = { launch, viewerReady, goTo };
