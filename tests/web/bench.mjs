// The page's side of tools/bench-web.sh: identify and convert a pair in headless Chromium, and
// identify a release from a zip, as a user would, timed by the page's own clock from the pick (or
// the click) to the answer it shows (see timedOnPage). Each run of the page's follows one of the
// native CLI's on the same files (identify; apply and the identify that verifies the result;
// identify from the zip), so both meet the same machine. Prints one line per figure
// ("identify_ms N", "convert_ms N", "driver_ms IDENTIFY CONVERT" for the same by the driver's
// count, "native_identify_ms N", "native_convert_ms N", "zip_identify_ms N", "zip_native_ms N",
// "wasm_memory N", "read_ms N" for Chromium reading the file alone, "whole_ms N" for that and
// the least a whole-buffer patcher does besides decoding, "peak_mib RENDERER BROWSER", and for
// one run through the save-file picker "stream_ms N", "stream_writes BEFORE_ANSWER ALL",
// "stream_sha1 HEX"); with a folder for screenshots, also keeps web-identify.png,
// web-converting.png and web-failing.png.
//
// usage: node bench.mjs SITE SOURCE_FILE ZIP_FILE ZIP_SHA1 CLI TARGET_ID MISSING_TARGET_ID
//                       PATCH_FILE TARGET_SHA1 RUNS [SHOTS_DIR]
//        TVL_BENCH_KEPT_PATCH=FILE keeps that patch file in the browser, as a player's pick would.
import {spawnSync} from 'node:child_process';
import {createHash} from 'node:crypto';
import {createReadStream, readFileSync, readdirSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';

import {launchBrowser} from './browser.mjs';
import {openWithSavePicker, pickedFileSha1} from './save_picker.mjs';
import {serve} from './serve.mjs';

const [site, source, zipped, zippedSha1, cli, target, missingTarget, patch, targetSha1, runsText, shots] =
    process.argv.slice(2);
const runs = Number(runsText || 3);
const {server, url} = await serve(site);
const browser = await launchBrowser();
const page = await browser.context.newPage();
await page.setViewportSize({width: 1000, height: 1000});
const shoot = async (name) => {
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.screenshot({path: join(shots, name)});
};
// TVL_BENCH_QUERY adds to the page's address: hold=0 measures the page reading a file again.
const query = process.env.TVL_BENCH_QUERY ? `&${process.env.TVL_BENCH_QUERY}` : '';
await page.goto(`${url}?save=download${query}`);
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

// The peak resident memory (VmHWM, MiB) of this browser's renderers, which run the page and its
// workers, and of its browser process, which keeps Blobs: Linux's own record, since the start.
function peakMemory(profile) {
  const processes = new Map();
  for (const pid of readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
      const parent = stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1];
      // One string: Chromium's children rewrite their command line as their title.
      const command = readFileSync(`/proc/${pid}/cmdline`, 'utf8').replace(/\0/g, ' ');
      const peakKiB = Number(/VmHWM:\s+(\d+)/.exec(readFileSync(`/proc/${pid}/status`, 'utf8'))?.[1] || 0);
      processes.set(pid, {parent, command, peakKiB});
    } catch {}  // gone meanwhile
  }
  const root = [...processes].find(([, {command}]) =>
    command.includes(`--user-data-dir=${profile} `) && !command.includes('--type='));
  const ours = (pid) => {
    for (let at = pid; at && processes.has(at); at = processes.get(at).parent) if (at === root?.[0]) return true;
    return false;
  };
  const mib = (kib) => Math.round(kib / 1024);
  let renderer = 0;
  for (const [pid, {command, peakKiB}] of processes) {
    if (ours(pid) && command.includes('--type=renderer')) renderer = Math.max(renderer, peakKiB);
  }
  return {renderer: mib(renderer), browser: mib(root ? root[1].peakKiB : 0)};
}

const statusMatches = (source) => new RegExp(source).test(document.getElementById('status').textContent);
// Runs `act` and resolves to the ms from the `type` event on `selector` (the pick's change, the
// click) to the status first matching `pattern`, by the page's own clock: the driver's round
// trips around them (a click's checks alone take tens of ms) are no part of the page's work. The
// driver's own count, from `act` to the answer reaching it, is kept in `driverTimes`.
const driverTimes = {};
async function timedOnPage(page, selector, type, pattern, act, driverKey) {
  await page.evaluate(([selector, type, pattern]) => {
    window.benchTiming = new Promise((resolve, reject) => {
      setTimeout(() => reject(new Error(`the status never matched ${pattern}`)), 300000);
      let start = null;
      document.querySelector(selector).addEventListener(type, () => (start = performance.now()), {capture: true, once: true});
      const status = document.getElementById('status');
      const observer = new MutationObserver(() => {
        if (start === null || !new RegExp(pattern).test(status.textContent)) return;
        observer.disconnect();
        resolve(performance.now() - start);
      });
      observer.observe(status, {childList: true, characterData: true, subtree: true});
    });
  }, [selector, type, pattern]);
  const start = Date.now();
  await act();
  const ms = Math.round(await page.evaluate(() => window.benchTiming));
  (driverTimes[driverKey] ||= []).push(Date.now() - start);
  return ms;
}
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
// Runs the CLI; its time in ms, and its output.
function timed(args) {
  const start = process.hrtime.bigint();
  const run = spawnSync(cli, args, {encoding: 'utf8'});
  return {ms: Number((process.hrtime.bigint() - start) / 1000000n), output: run.stdout + run.stderr};
}
const scratchOutput = join(tmpdir(), `tarvelline-bench-${process.pid}.wad`);
const identify = [];
const convert = [];
const nativeIdentify = [];
const nativeConvert = [];
for (let run = 0; run < runs; ++run) {
  // The CLI doesn't know the pair's digests, so its identify exits 1: the hashing is the same.
  nativeIdentify.push(timed(['identify', source]).ms);
  rmSync(scratchOutput, {force: true});
  const applied = timed(['apply', '--patch', patch, '--source', source, '--output', scratchOutput]);
  const verified = timed(['identify', scratchOutput]);
  if (!verified.output.includes(targetSha1)) throw new Error(`apply made the wrong file: ${applied.output}`);
  nativeConvert.push(applied.ms + verified.ms);
  rmSync(scratchOutput, {force: true});
  await page.evaluate(() => (document.getElementById('status').textContent = ''));
  // The same file picked again is no change: empty the input first.
  await page.setInputFiles('#input-file', []);
  identify.push(await timedOnPage(page, '#input-file', 'change', 'Choose the release',
                                  () => page.setInputFiles('#input-file', source), 'identify'));
  if (run === 0 && shots) await shoot('web-identify.png');
  await page.check(`#target-${target}`);
  let shot = null;
  if (run === 0 && shots) {
    // The picture is taken while the worker runs: the page is free to paint it meanwhile.
    shot = page.waitForFunction(() => document.getElementById('progress').value > 0.3, null,
                                {timeout: 120000, polling: 10})
        .then(() => shoot('web-converting.png'));
  }
  convert.push(await timedOnPage(page, '#convert', 'click', 'checked by SHA-1|nothing was saved',
                                 () => page.click('#convert'), 'convert'));
  console.error(`run ${run}: identify ${identify[run]} ms, convert ${convert[run]} ms;` +
                ` native ${nativeIdentify[run]} ms, ${nativeConvert[run]} ms`);
  if (shot) await shot.catch(() => {});
  const text = await page.textContent('#status');
  if (!/checked by SHA-1/.test(text)) throw new Error(`conversion failed: ${text}`);
}
// The page checks the windows as they are decoded; this checks the file offered for download,
// as the browser stored it.
const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save')]);
const downloaded = createHash('sha1');
for await (const chunk of createReadStream(await download.path())) downloaded.update(chunk);
if (downloaded.digest('hex') !== targetSha1) throw new Error('the file offered for download is not the target');
console.log(`identify_ms ${median(identify)}`);
console.log(`convert_ms ${median(convert)}`);
console.log(`native_identify_ms ${median(nativeIdentify)}`);
console.log(`native_convert_ms ${median(nativeConvert)}`);
console.log(`driver_ms ${median(driverTimes.identify)} ${median(driverTimes.convert)}`);
// The peak so far, before the read below adds a whole file to the renderer's.
const peak = peakMemory(browser.profile);
console.log(`peak_mib ${peak.renderer} ${peak.browser}`);
// What no page can beat: Chromium reading the picked file whole, once, and nothing else. And
// what a patcher that works on whole buffers can't do without, decoding aside: that read, a
// WebCrypto SHA-1 of a buffer of the result's size, and a Blob of it to download.
const reads = [];
const wholes = [];
for (let run = 0; run < runs; ++run) {
  const [read, whole] = await page.evaluate(async () => {
    const start = performance.now();
    const bytes = await document.getElementById('input-file').files[0].arrayBuffer();
    const read = performance.now() - start;
    await crypto.subtle.digest('SHA-1', bytes);
    new Blob([bytes]);
    const whole = performance.now() - start;
    return [read, whole].map(Math.round);
  });
  reads.push(read);
  wholes.push(whole);
}
console.log(`read_ms ${median(reads)}`);
console.log(`whole_ms ${median(wholes)}`);
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
  const native = timed(['identify', zipped]);
  zipNative.push(native.ms);
  if (!native.output.includes(zippedSha1)) throw new Error(`the CLI didn't hash the zip: ${native.output}`);
  await page.evaluate(() => (document.getElementById('status').textContent = ''));
  await page.setInputFiles('#input-file', []);
  zipIdentify.push(await timedOnPage(page, '#input-file', 'change', 'Choose the release|[Nn]othing was identified',
                                     () => page.setInputFiles('#input-file', zipped), 'zip'));
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
console.log(`stream_ms ${await timedOnPage(picker, '#convert', 'click', 'saved as|nothing was saved',
                                          () => picker.click('#convert'), 'stream')}`);
const text = await picker.textContent('#status');
if (!/saved as/.test(text)) throw new Error(`saving failed: ${text}`);
const log = await picker.evaluate(() => window.saveLog);
console.log(`stream_writes ${log.answer ? log.answer.writes : 0} ${log.writes}`);
console.log(`stream_sha1 ${await pickedFileSha1(picker)}`);
await browser.close();
server.close();
