// What the browser tests share around the browser: their options, their named checks (each
// runs whatever became of the one before, and a failure keeps a screenshot), and the watch on
// what a page must not do.
'use strict';

const path = require('node:path');

const results = { passed: 0, failed: 0 };
let shots = 0;

// The command line's `--name value` pairs; each name in `required` must be there.
function options(required) {
  const named = {};
  const args = process.argv.slice(2);
  for (let i = 0; i + 1 < args.length; i += 2) named[args[i].replace(/^--/, '')] = args[i + 1];
  for (const key of required) {
    if (!named[key]) throw new Error(`--${key} is missing`);
  }
  return named;
}

// Runs one named check; a failure is told with its stack and a screenshot of the whole page
// in `work`.
async function check(name, browserPage, work, body) {
  try {
    await body();
    results.passed += 1;
    console.log(`ok - ${name}`);
  } catch (error) {
    results.failed += 1;
    const shot = path.join(work, `failure-${++shots}.png`);
    await browserPage.screenshot({ path: shot, fullPage: true }).catch(() => {});
    console.log(`FAILED - ${name}\n  ${String(error.stack || error).replace(/\n/g, '\n  ')}`);
    console.log(`  screenshot: ${shot}`);
  }
}

// Puts into `problems` whatever the page opened from `file` must not do: an error on its
// console or in its scripts, a request that fails or leaves the page, a dialog (dismissed).
function watch(page, file, problems) {
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console error: ${message.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`script error: ${error.message}`));
  page.on('requestfailed', (request) => problems.push(`failed request: ${request.url().slice(0, 120)}`));
  page.on('request', (request) => {
    const url = request.url();
    if (!(url === `file://${file}` || /^(data|blob):/.test(url))) {
      problems.push(`request out of the page: ${url.slice(0, 120)}`);
    }
  });
  page.on('dialog', async (dialog) => {
    problems.push(`a dialog opened: ${dialog.message()}`);
    await dialog.dismiss();
  });
}

// Runs the test; it fails (exit status 1) when a check failed or the run itself broke off.
function run(main) {
  main().then(() => {
    console.log(`${results.passed} passed, ${results.failed} failed`);
    process.exitCode = results.failed ? 1 : 0;
  }, (error) => {
    console.error(String(error.stack || error));
    process.exitCode = 1;
  });
}

module.exports = { options, check, watch, run };
