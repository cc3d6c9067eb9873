// The page's side of tools/bench-web.sh: identify and convert a 100 MB pair in headless Chromium,
// and identify a 100 MB release from a zip, as a user would, timed from the pick (or the click)
// to the answer on the page. The zip's runs alternate with the native CLI's identify of the same
// zip, so both meet the same machine. Prints one line per figure ("identify_ms N", "convert_ms N",
// "zip_identify_ms N", "zip_native_ms N", "wasm_memory N", and for one run through the save-file
// picker "stream_ms N", "stream_writes BEFORE_ANSWER ALL", "stream_sha1 HEX"); with a folder for
// screenshots, also keeps web-identify.png, web-converting.png and web-failing.png there.
//
// usage: node bench.mjs SITE SOURCE_FILE ZIP_FILE ZIP_SHA1 CLI TARGET_ID MISSING_TARGET_ID RUNS [SHOTS_DIR]
//        TVL_BENCH_KEPT_PATCH=FILE keeps that patch file in the browser, as a player's pick would.
import {spawnSync} from 'node:child_process';
import {join} from 'node:path';

import {launchBrowser} from './browser.mjs';
import {openWithSavePicker, pickedFileSha1} from './save_picker.mjs';
import {serve} from './serve.mjs';

const [site, source, zipped, zippedSha1, cli, target, missingTarget, runsText, shots] = process.argv.slice(2);
const runs = Number(runsText || 3);
const {server, url} = await serve(site);
const browser = await launchBrowser();
const page = await browser.context.newPage();
await page.setViewportSize({width: 1000, height: 1000});
const shoot = async (name) => {
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.screenshot({path: join(shots, name)});
};
await page.goto(`${url}?save=download`);
await page.waitForSelector('body[data-ready="true"]');
// As a player's second visit is: the page and its worker served through the service worker,
// and a patch the player picked before kept in the browser and handed to every request.
const installed = await page.evaluate(() => Promise.race([
  navigator.serviceWorker.ready.then(() => true), new Promise((done) => setTimeout(() => done(false), 60000))]));
if (!installed) throw new Error('the service worker did not install: is a file of the site not served?');
await page.reload();
await page.waitForSelector('body[data-ready="true"]');
await page.waitForFunction(() => navigator.serviceWorker.controller);
if (process.env.TVL_BENCH_KEPT_PATCH) {
  await page.setInputFiles('#patch-files', process.env.TVL_BENCH_KEPT_PATCH);
  // Kept once the list is no longer busy with it.
  await page.waitForSelector('#patch-list[aria-busy="false"][data-changes="1"]', {state: 'attached'});
  await page.reload();
  await page.waitForSelector('body[data-ready="true"]');
  await page.waitForSelector('#patch-list li', {state: 'attached'});
  console.log('kept_patches 1');
}

const statusMatches = (source) => new RegExp(source).test(document.getElementById('status').textContent);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const identify = [];
const convert = [];
for (let run = 0; run < runs; ++run) {
  await page.evaluate(() => (document.getElementById('status').textContent = ''));
  // The same file picked again is no change: empty the input first.
  await page.setInputFiles('#input-file', []);
  let start = Date.now();
  await page.setInputFiles('#input-file', source);
  await page.waitForFunction(statusMatches, 'Choose the release', {timeout: 120000});
  identify.push(Date.now() - start);
  if (run === 0 && shots) await shoot('web-identify.png');
  await page.check(`#target-${target}`);
  let shot = null;
  if (run === 0 && shots) {
    // The picture is taken while the worker runs: the page is free to paint it meanwhile.
    shot = page.waitForFunction(() => document.getElementById('progress').value > 0.3, null,
                                {timeout: 120000, polling: 10})
        .then(() => shoot('web-converting.png'));
  }
  start = Date.now();
  await page.click('#convert');
  await page.waitForFunction(statusMatches, 'checked by SHA-1|nothing was saved', {timeout: 300000, polling: 20});
  convert.push(Date.now() - start);
  console.error(`run ${run}: identify ${identify[run]} ms, convert ${convert[run]} ms`);
  if (shot) await shot.catch(() => {});
  const text = await page.textContent('#status');
  if (!/checked by SHA-1/.test(text)) throw new Error(`conversion failed: ${text}`);
}
console.log(`identify_ms ${median(identify)}`);
console.log(`convert_ms ${median(convert)}`);
console.log(`wasm_memory ${await page.getAttribute('body', 'data-wasm-memory')}`);
if (shots) {
  await page.check(`#target-${missingTarget}`);
  await page.click('#convert');
  await page.waitForFunction(statusMatches, 'is needed');
  await shoot('web-failing.png');
}

// The zipped release: read and unpacked on the reading thread, checked and hashed by the core;
// and the CLI's identify of the same zip (unpacked with zlib to a temporary file, hashed on the
// way) just before each run of the page's.
const zipIdentify = [];
const zipNative = [];
for (let run = 0; run < runs; ++run) {
  const nativeStart = process.hrtime.bigint();
  const native = spawnSync(cli, ['identify', zipped], {encoding: 'utf8'});
  zipNative.push(Number((process.hrtime.bigint() - nativeStart) / 1000000n));
  if (!native.stdout.includes(zippedSha1)) throw new Error(`the CLI didn't hash the zip: ${native.stdout}${native.stderr}`);
  await page.evaluate(() => (document.getElementById('status').textContent = ''));
  await page.setInputFiles('#input-file', []);
  const start = Date.now();
  await page.setInputFiles('#input-file', zipped);
  await page.waitForFunction(statusMatches, 'Choose the release|[Nn]othing was identified', {timeout: 120000});
  zipIdentify.push(Date.now() - start);
  const text = await page.textContent('#status');
  if (!/Choose the release/.test(text)) throw new Error(`the zip was not identified: ${text}`);
  console.error(`run ${run}: identify from the zip: native ${zipNative[run]} ms, page ${zipIdentify[run]} ms`);
}
console.log(`zip_identify_ms ${median(zipIdentify)}`);
console.log(`zip_native_ms ${median(zipNative)}`);

// The save-file picker's path, once: the result goes to the chosen file as it is decoded, so
// most of its writes reach the file before the worker's answer.
const picker = await browser.context.newPage();
await openWithSavePicker(picker, url);
await picker.setInputFiles('#input-file', source);
await picker.waitForFunction(statusMatches, 'Choose the release', {timeout: 120000});
await picker.check(`#target-${target}`);
const start = Date.now();
await picker.click('#convert');
await picker.waitForFunction(statusMatches, 'saved as|nothing was saved', {timeout: 300000, polling: 20});
console.log(`stream_ms ${Date.now() - start}`);
const text = await picker.textContent('#status');
if (!/saved as/.test(text)) throw new Error(`saving failed: ${text}`);
const log = await picker.evaluate(() => window.saveLog);
console.log(`stream_writes ${log.answer ? log.answer.writes : 0} ${log.writes}`);
console.log(`stream_sha1 ${await pickedFileSha1(picker)}`);
await browser.close();
server.close();
