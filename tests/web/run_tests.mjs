// The page in a real browser, on the synthetic test build: identification, explanations, both
// routes, patches from the user's folder, zipped IWADs and patch packs, failures and Cancel, and
// not one request beyond the page's own files.
//
// usage: node run_tests.mjs [WEB_BUILD_DIR]   (default: build/web of this source tree)
import {execFileSync} from 'node:child_process';
import {createHash} from 'node:crypto';
import {closeSync, copyFileSync, cpSync, ftruncateSync, mkdirSync, mkdtempSync, openSync, readFileSync, readdirSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {deflateRawSync} from 'node:zlib';
import {dirname, join, relative, resolve} from 'node:path';
import {fileURLToPath} from 'node:url';

import {launchBrowser} from './browser.mjs';
import {openWithSavePicker, pickedFileSha1} from './save_picker.mjs';
import {serve} from './serve.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const build = resolve(process.argv[2] || join(here, '../../build/web'));
const site = join(build, 'web/site-synthetic');
const releases = join(build, 'synthetic/releases');
const cli = join(build, 'host-tools/tvl_cli_synthetic');
const scratch = mkdtempSync(join(tmpdir(), 'tarvelline-web-test-'));

const sha1 = (bytes) => createHash('sha1').update(bytes).digest('hex');
const release = (id) => join(id === 'tnt_psneur' ? join(releases, 'unstored') : releases, `${id}.wad`);

// A small PWAD: two lumps, a map marker and its things.
function makePwad() {
  const lumps = [['MAP01', Buffer.alloc(0)], ['THINGS', Buffer.alloc(20, 7)]];
  const data = Buffer.concat(lumps.map(([, bytes]) => bytes));
  const header = Buffer.alloc(12);
  header.write('PWAD', 0, 'latin1');
  header.writeInt32LE(lumps.length, 4);
  header.writeInt32LE(12 + data.length, 8);
  let offset = 12;
  const directory = lumps.map(([name, bytes]) => {
    const entry = Buffer.alloc(16);
    entry.writeInt32LE(offset, 0);
    entry.writeInt32LE(bytes.length, 4);
    entry.write(name, 8, 'latin1');
    offset += bytes.length;
    return entry;
  });
  return Buffer.concat([header, data, ...directory]);
}

const crcTable = Array.from({length: 256}, (_, n) => {
  for (let k = 0; k < 8; ++k) n = n & 1 ? 0xedb88320 ^ (n >>> 1) : n >>> 1;
  return n >>> 0;
});
function crc32(bytes) {
  let crc = 0xffffffff;
  for (const byte of bytes) crc = crcTable[(crc ^ byte) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}

// A zip archive of `entries` ({name, data}, deflated unless `method` says 0), as an ordinary
// writer makes it. An entry may say other things in its headers than its data is (`method`,
// `flags`, `size`, `crc`) and bring its own stored bytes (`raw`): the archives a reader refuses.
function makeZip(entries) {
  const locals = [];
  const centrals = [];
  let offset = 0;
  for (const entry of entries) {
    const name = Buffer.from(entry.name);
    const method = entry.method ?? 8;
    const raw = entry.raw ?? (method === 8 ? deflateRawSync(entry.data) : entry.data);
    const flags = (entry.flags ?? 0) | 0x800;  // names in UTF-8
    const local = Buffer.alloc(30);
    local.writeUInt32LE(0x04034b50, 0);
    local.writeUInt16LE(20, 4);
    local.writeUInt16LE(flags, 6);
    const central = Buffer.alloc(46);
    central.writeUInt32LE(0x02014b50, 0);
    central.writeUInt16LE(20, 4);
    central.writeUInt16LE(20, 6);
    central.writeUInt16LE(flags, 8);
    for (const [header, at] of [[local, 8], [central, 10]]) {
      header.writeUInt16LE(method, at);
      header.writeUInt16LE(0x21, at + 4);  // 1 January 1980
      header.writeUInt32LE(entry.crc ?? crc32(entry.data), at + 6);
      header.writeUInt32LE(raw.length, at + 10);
      header.writeUInt32LE(entry.size ?? entry.data.length, at + 14);
      header.writeUInt16LE(name.length, at + 18);
    }
    central.writeUInt32LE(offset, 42);
    locals.push(local, name, raw);
    centrals.push(central, name);
    offset += local.length + name.length + raw.length;
  }
  const directory = Buffer.concat(centrals);
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0);
  end.writeUInt16LE(entries.length, 8);
  end.writeUInt16LE(entries.length, 10);
  end.writeUInt32LE(directory.length, 12);
  end.writeUInt32LE(offset, 16);
  return Buffer.concat([...locals, directory, end]);
}

// A copy of the archive `zip`, changed by `edit(copy, offset of its central directory)`.
function edited(zip, edit) {
  const copy = Buffer.from(zip);
  edit(copy, copy.readUInt32LE(copy.length - 22 + 16));
  return copy;
}

const readme = {name: 'README.txt', data: Buffer.from('Unzip me.\n'.repeat(20))};

// An archive as players' tools make it, of `entries` ({name, data}): python3's zipfile
// ('python-deflated', 'python-stored') or Info-ZIP's zip ('zip': folder entries, extra fields).
let toolZips = 0;
function toolZip(tool, entries) {
  const folder = join(scratch, `zip-${++toolZips}`);
  const archive = join(scratch, `zip-${toolZips}.zip`);
  for (const {name, data} of entries) {
    mkdirSync(dirname(join(folder, name)), {recursive: true});
    writeFileSync(join(folder, name), data);
  }
  const names = entries.map(({name}) => name);
  if (tool === 'zip') {
    execFileSync('zip', ['-q', '-r', archive, ...new Set(names.map((name) => name.split('/')[0]))], {cwd: folder});
  } else {
    const method = tool === 'python-stored' ? 'ZIP_STORED' : 'ZIP_DEFLATED';
    execFileSync('python3', ['-c', `import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.${method}) as archive:
    for name in sys.argv[2:]: archive.write(name)`, archive, ...names], {cwd: folder});
  }
  rmSync(folder, {recursive: true});
  return readFileSync(archive);
}

// Picks a file made here and waits for the page's answer.
async function pickBytes(page, name, buffer, selector = '#input-file') {
  await page.setInputFiles(selector, {name, mimeType: 'application/octet-stream', buffer});
  return waitStatus(page, /^(?!Identifying|Reading)/);
}

// Drops files made here on the page, as a file manager would.
async function dropFiles(page, files) {
  await page.evaluate((files) => {
    const transfer = new DataTransfer();
    for (const {name, base64} of files) {
      transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name));
    }
    for (const type of ['dragenter', 'dragover', 'drop']) {
      document.body.dispatchEvent(new DragEvent(type, {dataTransfer: transfer, bubbles: true, cancelable: true}));
    }
  }, files.map(({name, bytes}) => ({name, base64: bytes.toString('base64')})));
}

// Nothing identified: no title, no digest, nothing to convert to.
async function checkNothingIdentified(page, text) {
  check((await page.textContent('#release-title')) === 'Unknown file', `title: ${text}`);
  check((await page.textContent('#sha1')) === '-', `digest shown: ${text}`);
  check((await page.$$('#targets li[data-release-id]')).length === 0 && await page.isDisabled('#convert'),
        `targets offered: ${text}`);
}

// The patch the synthetic store leaves out on purpose, made by the native tool; and a folder
// holding it with files the folder rules must pass over; and folders with a damaged copy, and
// with another patch in its name.
function makePatchFolders() {
  const good = join(scratch, 'patches');
  mkdirSync(join(good, 'nested'), {recursive: true});
  const name = 'tnt_v19_to_tnt_psneur.vcdiff';
  execFileSync(cli, ['make-patch', '--source', release('tnt_v19'), '--target', release('tnt_psneur'),
                     '--output', join(good, name)]);
  writeFileSync(join(good, 'notes.txt'), 'not a patch\n');
  copyFileSync(join(good, name), join(good, 'nested', 'doom2_v19_to_doom2_v17.vcdiff'));
  const damaged = join(scratch, 'damaged');
  mkdirSync(damaged);
  const bytes = readFileSync(join(good, name));
  for (let i = Math.floor(bytes.length / 2); i < bytes.length; i += 97) bytes[i] ^= 0x5a;
  writeFileSync(join(damaged, name), bytes);
  // Another patch under the name: it decodes whole, to a release that is not the target.
  const renamed = join(scratch, 'renamed');
  mkdirSync(renamed);
  execFileSync(cli, ['make-patch', '--source', release('tnt_v19'), '--target', release('tnt_psnusa'),
                     '--output', join(renamed, name)]);
  return {good, damaged, renamed, patch: readFileSync(join(good, name))};
}

function siteFiles() {
  const files = new Set(['/']);
  const walk = (dir) => {
    for (const entry of readdirSync(dir, {withFileTypes: true})) {
      if (entry.isDirectory()) walk(join(dir, entry.name));
      else files.add('/' + relative(site, join(dir, entry.name)));
    }
  };
  walk(site);
  return files;
}

function check(condition, message) {
  if (!condition) throw new Error(message);
}

async function status(page) {
  return page.textContent('#status');
}

// Waits until the status region says something matching `pattern`.
async function waitStatus(page, pattern, timeout = 60000) {
  try {
    await page.waitForFunction((source) => new RegExp(source).test(document.getElementById('status').textContent),
                               pattern.source, {timeout});
  } catch {
    throw new Error(`status never matched ${pattern}: "${await status(page)}"`);
  }
  return status(page);
}

// From now on, the page's console errors (returned) and its policy violations (window.violations
// in the page) of every load.
async function watchPolicy(page) {
  const errors = [];
  page.on('console', (message) => {
    if (message.type() === 'error' || /Content.Security.Policy/i.test(message.text())) errors.push(message.text());
  });
  await page.addInitScript(() => {
    window.violations = [];
    document.addEventListener('securitypolicyviolation', (event) =>
      window.violations.push(`${event.violatedDirective} ${event.blockedURI}`));
  });
  return errors;
}

async function pick(page, id) {
  await page.setInputFiles('#input-file', release(id));
  return waitStatus(page, /\.|SHA-1/, 30000).then(() => page.waitForFunction(
      () => !/^Identifying/.test(document.getElementById('status').textContent)));
}

async function convertAndDownload(page, target) {
  await page.check(`#target-${target}`);
  await page.click('#convert');
  await waitStatus(page, /checked by SHA-1|nothing was saved|needed/);
  check(await page.isVisible('#save'), `no result offered: "${await status(page)}"`);
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save')]);
  return {name: download.suggestedFilename(), bytes: readFileSync(await download.path())};
}

// Picks an unknown file of two whole 16 MiB read pieces and a few bytes more, and checks the
// digest the page shows.
async function identifyPieces(page) {
  const bytes = Buffer.alloc((32 << 20) + 7);
  for (let i = 0; i < bytes.length; i += 4096) bytes.writeUInt32LE((i * 2654435761) >>> 0, i);
  bytes.write('IWAD', 0, 'latin1');
  const path = join(scratch, 'pieces.wad');
  writeFileSync(path, bytes);
  await page.setInputFiles('#input-file', path);
  const text = await waitStatus(page, /SHA-1/);
  check(text.includes(sha1(bytes)), `digest: ${text}`);
  check((await page.textContent('#sha1')) === sha1(bytes), 'digest shown');
}

// Presses Cancel from inside the page at the run's first progress, so the run is surely under way
// and not yet over.
async function cancelAtFirstProgress(page) {
  await page.evaluate(() => {
    const progress = document.getElementById('progress');
    new MutationObserver((changes, observer) => {
      if (progress.value > 0 && progress.value < 1) {
        observer.disconnect();
        document.getElementById('cancel').click();
      }
    }).observe(progress, {attributes: true});
  });
}

// The page's Content-Security-Policy, as its own <meta> says it.
function pagePolicy() {
  const meta = /<meta http-equiv="Content-Security-Policy"\s+content="([^"]+)">/.exec(readFileSync(join(site, 'index.html'), 'utf8'));
  check(meta, 'the page has no Content-Security-Policy of its own');
  return meta[1];
}

// Lists every worker request and answer of the page's worker (window.coreLog), for tests that
// must know what it answered to a request the page no longer waits for.
async function logCore(page) {
  await page.addInitScript(() => {
    const log = (window.coreLog = []);
    const RealWorker = window.Worker;
    window.Worker = function (...args) {
      const worker = new RealWorker(...args);
      const post = worker.postMessage.bind(worker);
      worker.postMessage = (message, ...rest) => {
        log.push({id: message.id, asked: message.op, name: message.file ? message.file.name : ''});
        post(message, ...rest);
      };
      worker.addEventListener('message', ({data}) => log.push({id: data.id, op: data.op, done: data.done, size: data.size}));
      return worker;
    };
  });
}

// The contrast ratio of two CSS colours, as WCAG 2 defines it.
function contrast(first, second) {
  const luminance = (color) => {
    const [r, g, b] = color.match(/[\d.]+/g).slice(0, 3).map((value) => {
      const c = Number(value) / 255;
      return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
    });
    return 0.2126 * r + 0.7152 * g + 0.0722 * b;
  };
  const [light, dark] = [luminance(first), luminance(second)].sort((a, b) => b - a);
  return (light + 0.05) / (dark + 0.05);
}

// Saves a picture of the page when TVL_WEB_SHOTS names a folder, for a person to look at.
async function shot(page, name) {
  if (process.env.TVL_WEB_SHOTS) await page.screenshot({path: join(process.env.TVL_WEB_SHOTS, `${name}.png`), fullPage: true});
}

// What the chosen file holds before a run through the save-file picker.
const keptText = 'the file as it was before the run\n';

const tests = {
  'identify a release picked with the file input': async (page) => {
    await pick(page, 'doom2_v19');
    check((await page.textContent('#release-title')) === 'Doom 2 retail v1.9', 'title');
    check((await page.textContent('#sha1')) === sha1(readFileSync(release('doom2_v19'))), 'digest');
    const ids = await page.$$eval('#targets li[data-release-id]', (items) => items.map((item) => item.dataset.releaseId));
    check(ids.includes('doom2_xbox') && !ids.includes('doom2_v19'), `targets: ${ids}`);
    check((await page.getAttribute('#targets li[data-release-id="doom2_xbox"]', 'data-patches')) === 'present',
          'doom2_xbox patches present');
    check((await page.getAttribute('#targets li[data-release-id="doom2_v17"]', 'data-patches')) === 'missing',
          'doom2_v17 patches missing');
    // The table of every release, searched by words of the title, the id or the digest.
    check((await page.$$('#releases tbody tr')).length === 115, 'the table lacks releases');
    await page.fill('#release-search', sha1(readFileSync(release('doom2_v19'))).slice(0, 12));
    check((await page.textContent('#release-count')) === '1 of 115 supported releases', await page.textContent('#release-count'));
    check(/Doom 2 retail v1\.9/.test(await page.innerText('#releases tbody')), 'the digest finds its release');
    check(/^\d+\.\d+\.\d+$/.test(await page.textContent('#version')), 'About has no version');
  },

  'identify a dropped file; an identification-only release is said so': async (page) => {
    const bytes = readFileSync(release('freedoom1_v0.9'));
    await page.evaluate(({base64}) => {
      const data = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
      const transfer = new DataTransfer();
      transfer.items.add(new File([data], 'freedoom1.wad'));
      for (const type of ['dragenter', 'dragover', 'drop']) {
        document.body.dispatchEvent(new DragEvent(type, {dataTransfer: transfer, bubbles: true, cancelable: true}));
      }
    }, {base64: bytes.toString('base64')});
    const text = await waitStatus(page, /identification only/);
    check(/Freedoom/.test(await page.textContent('#release-title')), 'title');
    check(/Freedoom/.test(text), text);
    check(await page.isDisabled('#convert'), 'convert stays disabled');
  },

  'an unknown file and a PWAD are explained, with their SHA-1': async (page) => {
    const unknown = Buffer.from('Not a game file at all, just some text.\n'.repeat(50));
    await page.setInputFiles('#input-file', {name: 'notes.wad', mimeType: 'application/octet-stream', buffer: unknown});
    let text = await waitStatus(page, /SHA-1/);
    check(/not a release Tarvelline knows/.test(text) && /not a WAD file/i.test(text), text);
    check(text.includes(sha1(unknown)), `digest missing: ${text}`);
    const pwad = makePwad();
    await page.setInputFiles('#input-file', {name: 'mymap.wad', mimeType: 'application/octet-stream', buffer: pwad});
    text = await waitStatus(page, new RegExp(sha1(pwad)));
    check(/PWAD/.test(text) && /MAP01/.test(text) && /adds to a game/.test(text), text);
    check(await page.isDisabled('#convert'), 'convert stays disabled');
  },

  'a file of several read pieces, ending in a part of one, has its own SHA-1': async (page) => {
    await identifyPieces(page);
  },

  'when the reading thread cannot start, the worker reads the file itself': async (page, {sideOrigins}) => {
    // Routes don't reach a worker's own requests: a copy of the site without the reader's file.
    const without = join(scratch, 'site-without-reader');
    cpSync(site, without, {recursive: true, filter: (path) => !path.endsWith('piece_reader.js')});
    const other = await serve(without);
    sideOrigins.add(new URL(other.url).origin);
    try {
      await page.goto(`${other.url}?save=download`);
      await page.waitForSelector('body[data-ready="true"]', {timeout: 20000});
      await identifyPieces(page);
      await pick(page, 'doom2_v19');
      check((await page.textContent('#release-title')) === 'Doom 2 retail v1.9', 'the next pick');
      const text = await pickBytes(page, 'doom2.zip', makeZip([{name: 'doom2.wad', data: readFileSync(release('doom2_v1666'))}]));
      check(/Doom 2 retail v1\.666\./.test(text), `a zipped file: ${text}`);
    } finally {
      other.server.close();
    }
  },

  'a file that changed before it was identified says it cannot be read': async (page, {url}) => {
    const copy = join(scratch, 'changing.wad');
    // Read whole and hashed by the browser, or (hold=0, as a large one) in pieces by the core.
    for (const hold of ['', '0']) {
      if (hold) await openPage(page, `${url}?save=download&hold=${hold}`);
      copyFileSync(release('doom2_v19'), copy);
      await page.setInputFiles('#input-file', []);
      await page.setInputFiles('#input-file', copy);
      await waitStatus(page, /Doom 2 retail v1\.9/);
      const bytes = readFileSync(copy);
      bytes[0] ^= 0xff;
      writeFileSync(copy, bytes);
      // The same File again, dropped: the browser now refuses to read it.
      await page.evaluate(() => {
        const transfer = new DataTransfer();
        transfer.items.add(document.getElementById('input-file').files[0]);
        for (const type of ['dragenter', 'dragover', 'drop']) {
          document.body.dispatchEvent(new DragEvent(type, {dataTransfer: transfer, bubbles: true, cancelable: true}));
        }
      });
      const text = await waitStatus(page, /can't be read/);
      check((await page.textContent('#release-title')) === 'Unknown file', `title, hold=${hold}`);
      check(await page.isDisabled('#convert'), 'convert stays disabled');
      // The worker goes on: the next pick is identified.
      await pick(page, 'doom2_v1666');
      check((await page.textContent('#release-title')) === 'Doom 2 retail v1.666', `after: ${text}`);
    }
  },

  'a two-step conversion offers a download with the target SHA-1': async (page) => {
    await pick(page, 'doom2_v1666');
    const {name, bytes} = await convertAndDownload(page, 'doom2_xbox');
    check(name === 'doom2_v1666-doom2_xbox.wad', `suggested name ${name}`);
    check(sha1(bytes) === sha1(readFileSync(release('doom2_xbox'))), 'downloaded bytes are not doom2_xbox');
    check((await page.getAttribute('#progress', 'value')) === '1', 'progress not full');
    const memory = Number(await page.getAttribute('body', 'data-wasm-memory'));
    check(memory > 0 && memory < 64 << 20, `wasm memory ${memory}`);
  },

  'a missing patch is named before anything is converted': async (page) => {
    await pick(page, 'tnt_psnusa');
    check((await page.getAttribute('#targets li[data-release-id="tnt_psneur"]', 'data-patches')) === 'missing', 'mark');
    await page.check('#target-tnt_psneur');
    check(/tnt_v19_to_tnt_psneur\.vcdiff/.test(await status(page)), await status(page));
    await page.click('#convert');
    const text = await waitStatus(page, /is needed/);
    check(/tnt_v19_to_tnt_psneur\.vcdiff/.test(text), text);
    check(!(await page.isVisible('#save')), 'a result was offered');
    check((await page.getAttribute('#progress', 'value')) === '0', 'progress moved');
  },

  'a patch picked from a folder is listed, then used': async (page, {folders}) => {
    await pick(page, 'tnt_psnusa');
    await page.setInputFiles('#patch-folder', folders.good);
    await page.waitForSelector('#targets li[data-release-id="tnt_psneur"][data-patches="present"]');
    check(/1 patch file chosen/.test(await page.textContent('#patch-count')), await page.textContent('#patch-count'));
    // A file in a subfolder is not the folder's: doom2 stays without its patch.
    const {name, bytes} = await convertAndDownload(page, 'tnt_psneur');
    check(name === 'tnt_psnusa-tnt_psneur.wad', name);
    check(sha1(bytes) === sha1(readFileSync(release('tnt_psneur'))), 'downloaded bytes are not tnt_psneur');
  },

  'a damaged patch in the folder fails with a reason and offers nothing': async (page, {folders, downloads}) => {
    await pick(page, 'tnt_psnusa');
    await page.setInputFiles('#patch-folder', folders.damaged);
    await page.waitForSelector('#targets li[data-release-id="tnt_psneur"][data-patches="present"]');
    await page.check('#target-tnt_psneur');
    await page.click('#convert');
    const text = await waitStatus(page, /nothing was saved/);
    check(/tnt_v19_to_tnt_psneur\.vcdiff/.test(text) && /damaged|not the release/.test(text), text);
    check(!(await page.isVisible('#save')), 'a result was offered');
    check(downloads.count === 0, 'something was downloaded');
  },

  'a zipped release, stored or deflated, is identified and converted under its entry name': async (page, {url}) => {
    const data = readFileSync(release('doom2_v1666'));
    // Each entry is held whole for its conversion, or (hold=0, as a large one) unpacked to a file.
    for (const [tool, hold] of [['python-stored', ''], ['python-deflated', ''], ['zip', ''], ['python-deflated', '0']]) {
      if (hold) await openPage(page, `${url}?save=download&hold=${hold}`);
      // A folder in the archive, and a readme beside the game file, which is passed over.
      const zip = toolZip(tool, [readme, {name: 'iwads/DOOM2.WAD', data}]);
      const text = await pickBytes(page, `doom2-${tool}.zip`, zip);
      check((await page.textContent('#release-title')) === 'Doom 2 retail v1.666', `${tool}: ${text}`);
      check((await page.textContent('#sha1')) === sha1(data), `${tool}: digest`);
      check(await page.isHidden('#entry-choice'), 'a choice of one');
      const {name, bytes} = await convertAndDownload(page, 'doom2_xbox');
      check(name === 'DOOM2-doom2_xbox.wad', `suggested name ${name}`);
      check(sha1(bytes) === sha1(readFileSync(release('doom2_xbox'))), `${tool}: not doom2_xbox`);
    }
    // The same data as a plain file keeps its own name's stem and extension.
    await page.setInputFiles('#input-file', {name: 'doom2.wad', mimeType: 'application/octet-stream', buffer: data});
    await waitStatus(page, /Doom 2 retail v1\.666\./);
    check((await convertAndDownload(page, 'doom2_xbox')).name === 'doom2-doom2_xbox.wad', 'a plain file\'s name');
  },

  'a zip of two game files asks which; the one chosen is identified and converted': async (page) => {
    const first = readFileSync(release('doom2_v19'));
    const second = readFileSync(release('tnt_v19'));
    const zip = toolZip('zip', [{name: 'first.wad', data: first}, readme, {name: 'tnt/second.iwad', data: second}]);
    const text = await pickBytes(page, 'both.zip', zip);
    check(/both\.zip holds 2 game files/.test(text), text);
    check((await page.textContent('#sha1')) === '-' && await page.isDisabled('#convert'), 'something was identified');
    const names = await page.$$eval('#entries label', (labels) => labels.map((label) => label.textContent));
    check(names.length === 2 && /^first\.wad/.test(names[0]) && /^tnt\/second\.iwad/.test(names[1]), `entries: ${names}`);
    check(/Choose one/.test(await page.textContent('#entry-choice legend')), 'the choice has no caption');
    // By keyboard: the first entry takes the focus, an arrow key chooses the next.
    await page.focus('#entry-0');
    await page.keyboard.press('ArrowDown');
    await waitStatus(page, /TNT: Evilution\./);
    check(await page.isChecked('#entry-1') && await page.evaluate(() => document.activeElement.id) === 'entry-1',
          'the chosen entry lost its check or the focus');
    check((await page.textContent('#sha1')) === sha1(second), 'the second entry\'s digest');
    await page.check('#entry-0');
    await waitStatus(page, /Doom 2 retail v1\.9\./);
    check((await page.textContent('#sha1')) === sha1(first), 'the first entry\'s digest');
    await page.check('#entry-1');
    await waitStatus(page, /TNT: Evilution\./);
    const {name, bytes} = await convertAndDownload(page, 'tnt_psnusa');
    check(name === 'second-tnt_psnusa.wad', `suggested name ${name}`);
    check(sha1(bytes) === sha1(readFileSync(release('tnt_psnusa'))), 'not tnt_psnusa');
    // Another file ends the choice.
    await pick(page, 'doom2_v1666');
    check(await page.isHidden('#entry-choice'), 'the choice stayed');
  },

  'a damaged zip says so and nothing is identified from it': async (page) => {
    const data = readFileSync(release('tnt_v19'));
    const deflated = deflateRawSync(data);
    const flipped = (bytes) => {
      const copy = Buffer.from(bytes);
      copy[copy.length >> 1] ^= 0xff;
      return copy;
    };
    const cases = [
      ['a flipped byte in deflated data', {raw: flipped(deflated)}],
      ['a flipped byte in stored data', {method: 0, raw: flipped(data)}],
      ['more data than it declares', {size: data.length - 1000}],
      ['less data than it declares', {size: data.length + 1000}],
      ['a deflate stream cut short', {raw: deflated.subarray(0, deflated.length >> 1)}],
      ['a CRC-32 that is not its data\'s', {crc: (crc32(data) ^ 1) >>> 0}],
    ];
    for (const [what, damage] of cases) {
      const text = await pickBytes(page, 'tnt.zip', makeZip([{name: 'TNT.WAD', data, ...damage}]));
      check(/tnt\.zip: TNT\.WAD is damaged/.test(text) && /Nothing was identified/.test(text), `${what}: ${text}`);
      await checkNothingIdentified(page, what);
    }
    // The worker goes on: the same release, whole, is identified.
    const text = await pickBytes(page, 'tnt.zip', makeZip([{name: 'TNT.WAD', data}]));
    check(/TNT: Evilution\./.test(text), text);
  },

  'an archive the page can\'t read is refused in the core\'s words': async (page) => {
    const data = readFileSync(release('tnt_v19'));
    const cases = [
      ['Deflate64', makeZip([{name: 'TNT.WAD', data, method: 9}]), /TNT\.WAD uses Deflate64 compression.*re-zip it with ordinary deflate/],
      ['encrypted', makeZip([{name: 'TNT.WAD', data, flags: 1}]), /TNT\.WAD is encrypted/],
      ['data outside the file', edited(makeZip([{name: 'TNT.WAD', data}]), (zip, directory) => zip.writeUInt32LE(0x7fffffff, directory + 42)),
       /is a damaged zip archive: the data of TNT\.WAD lies outside the file/],
      ['a part of a split archive', edited(makeZip([{name: 'TNT.WAD', data}]), (zip) => zip.writeUInt16LE(1, zip.length - 22 + 4)),
       /is one part of a split zip archive.*join the parts/],
      ['a 1 GiB declared', makeZip([{name: 'TNT.WAD', data, size: 2 ** 30 + 1}]), /TNT\.WAD declares more than 1 GiB/],
      ['no game file', toolZip('python-deflated', [readme]), /holds no game file/],
      ['not an archive', Buffer.from('just text, named as an archive\n'), /is not a zip archive/],
    ];
    for (const [what, zip, says] of cases) {
      const text = await pickBytes(page, 'refused.zip', zip);
      check(says.test(text) && /^refused\.zip/.test(text), `${what}: ${text}`);
      await checkNothingIdentified(page, what);
    }
  },

  'a patch pack picked is used for a conversion that needs it; a damaged one gives nothing': async (page, {folders}) => {
    await pick(page, 'tnt_psnusa');
    const damaged = Buffer.from(folders.patch);
    damaged[damaged.length >> 1] ^= 0xff;
    await page.setInputFiles('#patch-files', {
      name: 'damaged-pack.zip', mimeType: 'application/zip',
      buffer: makeZip([{name: 'tnt_v19_to_tnt_psneur.vcdiff', data: folders.patch, raw: deflateRawSync(damaged)}])});
    let text = await waitStatus(page, /can't be used/);
    check(/damaged-pack\.zip: tnt_v19_to_tnt_psneur\.vcdiff is damaged/.test(text), text);
    check(/No patch files chosen/.test(await page.textContent('#patch-count')), 'a damaged patch was counted');
    check((await page.getAttribute('#targets li[data-release-id="tnt_psneur"]', 'data-patches')) === 'missing', 'mark');
    // An entry declaring more than any patch is passed over, unread.
    await page.setInputFiles('#patch-files', {
      name: 'huge-pack.zip', mimeType: 'application/zip',
      buffer: makeZip([{name: 'tnt_v19_to_tnt_psneur.vcdiff', data: folders.patch, size: 300 << 20}])});
    text = await waitStatus(page, /huge-pack/);
    check(/huge-pack\.zip: tnt_v19_to_tnt_psneur\.vcdiff is larger than any patch/.test(text), text);
    check(/No patch files chosen/.test(await page.textContent('#patch-count')), 'a huge patch was counted');
    const pack = toolZip('python-deflated', [readme, {name: 'patches/tnt_v19_to_tnt_psneur.vcdiff', data: folders.patch}]);
    await page.setInputFiles('#patch-files', {name: 'pack.zip', mimeType: 'application/zip', buffer: pack});
    await page.waitForSelector('#targets li[data-release-id="tnt_psneur"][data-patches="present"]');
    text = await page.textContent('#patch-count');
    check(/1 patch file chosen/.test(text), text);
    const {name, bytes} = await convertAndDownload(page, 'tnt_psneur');
    check(name === 'tnt_psnusa-tnt_psneur.wad', name);
    check(sha1(bytes) === sha1(readFileSync(release('tnt_psneur'))), 'not tnt_psneur');
  },

  'a dropped pack or .vcdiff adds patches and keeps the identified IWAD': async (page, {folders, url}) => {
    const pack = toolZip('zip', [{name: 'tnt_v19_to_tnt_psneur.VCDIFF', data: folders.patch}]);
    for (const dropped of [{name: 'pack.zip', bytes: pack}, {name: 'tnt_v19_to_tnt_psneur.VCDIFF', bytes: folders.patch}]) {
      await page.goto(`${url}?save=download`);
      await page.waitForSelector('body[data-ready="true"]');
      await pick(page, 'tnt_psnusa');
      await dropFiles(page, [dropped]);
      const text = await waitStatus(page, /Added|can't be used/);
      check(/Added 1 patch file/.test(text), `${dropped.name}: ${text}`);
      check((await page.textContent('#release-title')) === 'TNT: Evilution (PSN, USA)', `${dropped.name}: title`);
      check((await page.textContent('#sha1')) === sha1(readFileSync(release('tnt_psnusa'))), `${dropped.name}: digest`);
      await page.waitForSelector('#targets li[data-release-id="tnt_psneur"][data-patches="present"]');
    }
    const {bytes} = await convertAndDownload(page, 'tnt_psneur');
    check(sha1(bytes) === sha1(readFileSync(release('tnt_psneur'))), 'not tnt_psneur');
    // With a game file in the drop, the patches are added and the game file identified.
    await page.goto(`${url}?save=download`);
    await page.waitForSelector('body[data-ready="true"]');
    await dropFiles(page, [{name: 'pack.zip', bytes: pack}, {name: 'tnt.wad', bytes: readFileSync(release('tnt_psnusa'))}]);
    await waitStatus(page, /TNT: Evilution \(PSN, USA\)\./);
    await page.waitForSelector('#targets li[data-release-id="tnt_psneur"][data-patches="present"]');
    // Patches dropped while a file is still being identified are added, and the file identified.
    await page.goto(`${url}?save=download`);
    await page.waitForSelector('body[data-ready="true"]');
    await page.setInputFiles('#input-file', release('tnt_psnusa'));
    await dropFiles(page, [{name: 'tnt_v19_to_tnt_psneur.vcdiff', bytes: folders.patch}]);
    await waitStatus(page, /Added 1 patch file/);
    check((await page.textContent('#sha1')) === sha1(readFileSync(release('tnt_psnusa'))), 'the file being identified was dropped');
    await page.waitForSelector('#targets li[data-release-id="tnt_psneur"][data-patches="present"]');
    // A dropped zip holding a game file is the new IWAD.
    await dropFiles(page, [{name: 'doom2.zip', bytes: toolZip('python-deflated', [{name: 'DOOM2.WAD', data: readFileSync(release('doom2_v19'))}])}]);
    await waitStatus(page, /Doom 2 retail v1\.9\./);
  },

  'a file changed after it was identified: its held bytes convert; read again, the change is reported': async (page, {url, downloads}) => {
    const copy = join(scratch, 'doom2.wad');
    for (const hold of ['', '0']) {
      if (hold) await openPage(page, `${url}?save=download&hold=${hold}`);
      copyFileSync(release('doom2_v1666'), copy);
      await page.setInputFiles('#input-file', []);
      await page.setInputFiles('#input-file', copy);
      await waitStatus(page, /Doom 2 retail v1\.666/);
      const bytes = readFileSync(copy);
      bytes[bytes.length >> 1] ^= 0xff;
      writeFileSync(copy, bytes);
      if (!hold) {
        const {bytes: result} = await convertAndDownload(page, 'doom2_xbox');
        check(sha1(result) === sha1(readFileSync(release('doom2_xbox'))), 'the held bytes did not convert');
        continue;
      }
      await page.check('#target-doom2_xbox');
      await page.click('#convert');
      const text = await waitStatus(page, /nothing was saved/);
      check(/changed/.test(text), text);
      check(!(await page.isVisible('#save')) && downloads.count === 1, 'a result was offered');
    }
  },

  'with a save-file picker the result streams to the chosen file during the run': async (page, {url}) => {
    await openWithSavePicker(page, url, keptText);
    await pick(page, 'doom2_v1666');
    await page.check('#target-doom2_v19');
    await page.click('#convert');
    const text = await waitStatus(page, /saved as|nothing was saved/);
    check(/saved as doom2_v1666-doom2_v19\.wad/.test(text), text);
    check(!(await page.isVisible('#save')), 'a download was offered as well');
    const log = await page.evaluate(() => window.saveLog);
    // The worker's answer comes once the core has verified the result: pieces written before
    // it were decoded and sent while the run went on.
    check(log.answer && log.answer.op === 'converted', `answer ${JSON.stringify(log.answer)}`);
    check(log.answer.writes >= 1 && log.writes >= log.answer.writes, `writes ${JSON.stringify(log)}`);
    check(log.closed && !log.aborted, `closed ${log.closed}, aborted ${log.aborted}`);
    check((await pickedFileSha1(page)) === sha1(readFileSync(release('doom2_v19'))), 'the chosen file is not doom2_v19');
  },

  'with a save-file picker, a damaged or wrong patch, Cancel or a failed write leaves the chosen file as it was': async (page, {url, folders}) => {
    const before = sha1(Buffer.from(keptText));
    await openWithSavePicker(page, url, keptText);
    await pick(page, 'tnt_psnusa');
    for (const [folder, says, streamed] of [[folders.damaged, /damaged/, false], [folders.renamed, /not the release/, true]]) {
      await page.setInputFiles('#patch-folder', folder);
      await page.waitForSelector('#targets li[data-release-id="tnt_psneur"][data-patches="present"]');
      await page.check('#target-tnt_psneur');
      await waitStatus(page, /press Convert/);
      await page.evaluate(() => Object.assign(window.saveLog, {writes: 0, answer: null, closed: false, aborted: false}));
      await page.click('#convert');
      const text = await waitStatus(page, /nothing was saved|saved as/);
      check(says.test(text), text);
      const log = await page.evaluate(() => window.saveLog);
      // The wrong patch's result reaches the writable whole before its SHA-1 is found wrong.
      check(log.aborted && !log.closed && (!streamed || log.writes >= 1), `${folder}: ${JSON.stringify(log)}`);
      check((await pickedFileSha1(page)) === before, `${folder}: the failed run left its bytes in the chosen file`);
    }
    // Cancel once a piece of the result is in the writable: the run is stopped, and what was
    // written is thrown away.
    await openWithSavePicker(page, url, keptText);
    await page.evaluate(() => (window.saveLog.cancelAtFirstWrite = true));
    await pick(page, 'doom2_v1666');
    await page.check('#target-doom2_xbox');
    await page.click('#convert');
    const text = await waitStatus(page, /Cancelled|saved as/);
    check(/nothing was saved/.test(text), text);
    const log = await page.evaluate(() => window.saveLog);
    check(log.writes >= 1 && log.aborted && !log.closed, `Cancel: ${JSON.stringify(log)}`);
    check((await pickedFileSha1(page)) === before, 'the cancelled run left its bytes in the chosen file');
    check(!(await page.isVisible('#save')), 'a result was offered');
    // A file that can't be written stops the run at its first write, before the worker answers.
    await openWithSavePicker(page, url, keptText);
    await page.evaluate(() => (window.saveLog.failWrites = true));
    await pick(page, 'doom2_v1666');
    await page.check('#target-doom2_v19');
    await page.click('#convert');
    const failed = await waitStatus(page, /could not be saved|saved as|Cancelled/);
    check(/could not be saved/.test(failed) && /not enough space/.test(failed), failed);
    check((await page.evaluate(() => window.saveLog.answer)) === null, 'the run went on after a failed write');
    check((await pickedFileSha1(page)) === before, 'the failed write left bytes in the chosen file');
    check(!(await page.isDisabled('#input-file')), 'the page stayed locked');
  },

  'the drop zone opens the picker from the keyboard; controls are labelled': async (page) => {
    // Playwright starts catching file choosers only once asked to; a press before that opens a
    // real dialog it never sees, and that one keeps the next from opening. So the catching is
    // asked for first, and a round trip to the page lets the browser hear of it; a missed press
    // is still pressed again.
    const caught = () => {};
    page.on('filechooser', caught);
    await page.evaluate(() => 0);
    let chooser = null;
    for (let attempt = 0; attempt < 3 && !chooser; ++attempt) {
      await page.focus('#drop-zone');
      [chooser] = await Promise.all([page.waitForEvent('filechooser', {timeout: 5000}).catch(() => null),
                                     page.keyboard.press('Enter')]);
    }
    page.off('filechooser', caught);
    check(chooser, 'Enter on the drop zone opened no file chooser');
    await chooser.setFiles(release('tnt_v19'));
    await waitStatus(page, /TNT/);
    const unlabelled = await page.$$eval('input, button, select', (controls) => controls
        .filter((control) => !control.labels?.length && !control.textContent.trim() && !control.getAttribute('aria-label'))
        .map((control) => control.id || control.outerHTML));
    check(unlabelled.length === 0, `controls without a label: ${unlabelled}`);
    check((await page.getAttribute('#status', 'aria-live')) === 'polite', 'status is not a live region');
  },

  'Cancel during the run offers nothing, and the next run works, from a file or a zip entry': async (page, {downloads}) => {
    // Cancel ends the worker, and the bytes it held with it: the next run reads them again.
    const data = readFileSync(release('doom2_v1666'));
    for (const [name, bytes] of [['doom2.wad', data], ['doom2.zip', toolZip('zip', [{name: 'DOOM2.WAD', data}])]]) {
      await pickBytes(page, name, bytes);
      await page.check('#target-doom2_xbox');
      await cancelAtFirstProgress(page);
      await page.click('#convert');
      const text = await waitStatus(page, /Cancelled/);
      check(/nothing was saved/.test(text), text);
      check(!(await page.isVisible('#save')), 'a result was offered');
      check(!(await page.isDisabled('#input-file')), 'the page stayed locked');
      await new Promise((done) => setTimeout(done, 500));
      check(downloads.count === 0 && !(await page.isVisible('#save')), 'the cancelled result turned up');
      const {bytes: result} = await convertAndDownload(page, 'doom2_xbox');
      check(sha1(result) === sha1(readFileSync(release('doom2_xbox'))), `${name}: the run after Cancel`);
      downloads.count = 0;
    }
  },

  'a worker that cannot start again after Cancel (offline) says so, and every request ends': async (page, {context}) => {
    await pick(page, 'doom2_v1666');
    // Once the worker has the route's patches, the run needs nothing from the network; the worker
    // started over after Cancel does.
    await convertAndDownload(page, 'doom2_xbox');
    await page.check('#target-doom2_xbox');
    await context.setOffline(true);
    try {
      await cancelAtFirstProgress(page);
      await page.click('#convert');
      await waitStatus(page, /could not be started/, 20000);
      for (let attempt = 1; attempt <= 2; ++attempt) {
        await page.click('#convert');
        const text = await waitStatus(page, /^(?!Converting)/, 20000);
        check(/could not be started/.test(text) && /offline/.test(text), `attempt ${attempt}: ${text}`);
        check(await page.isHidden('#cancel') && !(await page.isDisabled('#input-file')), `attempt ${attempt}: the page stayed locked`);
      }
    } finally {
      await context.setOffline(false);
    }
    // Online again, the next request starts a worker that works.
    const {bytes} = await convertAndDownload(page, 'doom2_xbox');
    check(sha1(bytes) === sha1(readFileSync(release('doom2_xbox'))), 'the run once online');
  },

  'arrow keys move through the targets and keep the focus; after Cancel the focus is on Convert': async (page) => {
    await pick(page, 'doom2_v19');
    const ids = await page.$$eval('#targets input:not([disabled])', (radios) => radios.map((radio) => radio.id));
    check(ids.length >= 4, `too few targets to walk: ${ids}`);
    await page.focus(`#${ids[0]}`);
    await page.keyboard.press('Space');
    for (let n = 1; n < ids.length; ++n) {
      await page.keyboard.press('ArrowDown');
      const [focused, checked] = await page.evaluate(() =>
        [document.activeElement.id, document.querySelector('#targets input:checked')?.id]);
      check(focused === ids[n] && checked === ids[n], `ArrowDown ${n}: focus on ${focused}, ${checked} checked, not ${ids[n]}`);
    }
    await page.check('#target-doom2_xbox');
    await cancelAtFirstProgress(page);
    await page.click('#convert');
    await waitStatus(page, /Cancelled/);
    check((await page.evaluate(() => document.activeElement.id)) === 'convert',
          `focus after Cancel: ${await page.evaluate(() => document.activeElement.outerHTML.slice(0, 60))}`);
  },

  'text and the focus ring keep their contrast in light and dark schemes': async (page) => {
    await pick(page, 'tnt_psnusa');
    for (const colorScheme of ['light', 'dark']) {
      await page.emulateMedia({colorScheme});
      await page.keyboard.press('Tab');
      const seen = await page.evaluate(() => {
        const background = (element) => {
          for (; element; element = element.parentElement) {
            const color = getComputedStyle(element).backgroundColor;
            if (!/^rgba\(.*, 0\)$|transparent/.test(color)) return color;
          }
          // Nothing painted: the browser's canvas, of the scheme in force.
          const probe = document.body.appendChild(document.createElement('span'));
          probe.style.backgroundColor = 'Canvas';
          const canvas = getComputedStyle(probe).backgroundColor;
          probe.remove();
          return canvas;
        };
        const status = document.getElementById('status');
        const text = [];
        const sample = (what, element) => text.push({what, color: getComputedStyle(element).color, under: background(element)});
        for (const kind of ['info', 'error', 'done', 'warning']) {
          status.className = `status ${kind}`;
          sample(`status ${kind}`, status);
        }
        for (const mark of document.querySelectorAll('#targets .mark')) sample(mark.className, mark);
        sample('link', document.querySelector('a[href^="https"]'));
        sample('title', document.getElementById('release-title'));
        const focused = document.activeElement;
        const ring = {what: `focus ring of ${focused.id}`, color: getComputedStyle(focused).outlineColor, under: background(focused.parentElement),
                      visible: focused.matches(':focus-visible')};
        return {text, ring};
      });
      check(seen.ring.visible, `${colorScheme}: no visible focus`);
      for (const {what, color, under} of seen.text) {
        check(contrast(color, under) >= 4.5, `${colorScheme}: ${what} ${color} on ${under}: ${contrast(color, under).toFixed(2)}:1`);
      }
      const {what, color, under} = seen.ring;
      check(contrast(color, under) >= 3, `${colorScheme}: ${what} ${color} on ${under}: ${contrast(color, under).toFixed(2)}:1`);
      await shot(page, `scheme-${colorScheme}`);
    }
  },

  'at 390 px wide nothing is wider than the screen': async (page, {folders}) => {
    await page.setViewportSize({width: 390, height: 844});
    const unknown = Buffer.from('Not a game file at all, just some text.\n'.repeat(50));
    const screens = [
      ['initial', async () => {}],
      ['unknown file', () => pickBytes(page, 'notes-with-a-long-name-for-a-phone.wad', unknown)],
      ['identified with targets', () => pick(page, 'doom2_v19')],
      ['releases table', () => page.locator('#releases').scrollIntoViewIfNeeded()],
      ['kept patches', async () => {
        await page.click('#patch-source summary');
        await page.setInputFiles('#patch-files', [
          {name: `doom2_v19_to_doom2_v17-${'a-very-long-name-for-a-phone-'.repeat(3)}.vcdiff`, mimeType: 'application/octet-stream', buffer: folders.patch},
          {name: 'tnt_v19_to_tnt_psneur.vcdiff', mimeType: 'application/octet-stream', buffer: folders.patch}]);
        await page.waitForSelector('#patch-list li:nth-child(2)');
        await page.locator('#patch-list').scrollIntoViewIfNeeded();
      }],
    ];
    for (const [screen, reach] of screens) {
      await reach();
      const widths = await page.evaluate(() => {
        const wrap = document.querySelector('.table-wrap');
        return {page: document.documentElement.scrollWidth, table: wrap.scrollWidth, box: wrap.clientWidth};
      });
      check(widths.page <= 390, `${screen}: the page is ${widths.page} px wide`);
      check(widths.table <= widths.box, `${screen}: the table is ${widths.table} px in a box of ${widths.box}`);
      await shot(page, `390-${screen.replace(/ /g, '-')}`);
    }
  },

  'identification shows its progress, can be cancelled, and a newer pick supersedes it': async (page, {url}) => {
    const big = join(scratch, 'big.wad');
    const handle = openSync(big, 'w');
    ftruncateSync(handle, 2 ** 31);  // sparse: nothing is written to the disk
    closeSync(handle);
    await logCore(page);
    await page.goto(`${url}?save=download`);
    await page.waitForSelector('body[data-ready="true"]');
    const identifyOf = async (name) => {
      const log = await page.evaluate(() => window.coreLog);
      const id = log.filter((entry) => entry.asked === 'identify' && entry.name === name).at(-1).id;
      const notes = log.filter((entry) => entry.id === id && !entry.asked);
      return {answer: notes.at(-1).op, done: Math.max(0, ...notes.map((note) => note.done || 0))};
    };
    for (const [how, then, answer] of [
      ['another pick', () => pick(page, 'doom2_v19'), 'superseded'],
      ['Cancel', () => page.click('#cancel'), 'cancelled'],
    ]) {
      await page.setInputFiles('#input-file', big);
      await page.waitForFunction(() => document.getElementById('progress').value > 0);
      check(/^Identifying big\.wad… \d+% \([\d.]+ of 2048 MiB\)/.test(await status(page)), `${how}: ${await status(page)}`);
      check(await page.isVisible('#cancel'), `${how}: no Cancel while identifying`);
      await then();
      await page.waitForFunction(() => !/^Identifying/.test(document.getElementById('status').textContent));
      await page.waitForFunction(() => window.coreLog.some((entry) => /superseded|cancelled|identified/.test(entry.op)));
      const ended = await identifyOf('big.wad');
      check(ended.answer === answer && ended.done < 2 ** 31, `${how}: the big file's identification ended ${JSON.stringify(ended)}`);
      check(await page.isHidden('#cancel'), `${how}: Cancel stayed`);
    }
    check(/cancelled/.test(await status(page)) && (await page.textContent('#release-title')) === 'No file chosen', await status(page));
    await pick(page, 'doom2_v1666');
    check((await page.textContent('#release-title')) === 'Doom 2 retail v1.666', 'the next pick');
  },

  'a patch that is damaged or no patch is named as picked, in the player\'s words': async (page, {folders}) => {
    await pick(page, 'tnt_psnusa');
    const name = 'tnt_v19_to_tnt_psneur.VCDIFF';
    const flipped = Buffer.from(folders.patch);
    for (let i = folders.patch.length >> 1; i < flipped.length; i += 97) flipped[i] ^= 0x5a;
    const cases = [
      ['flipped bytes', flipped, /is damaged or isn't a patch for this release, so nothing was saved/],
      ['cut short', folders.patch.subarray(0, folders.patch.length >> 1), /is damaged or isn't a patch for this release, so nothing was saved/],
      ['not a patch at all', Buffer.from('some notes, named as a patch\n'.repeat(40)), /is damaged or isn't a patch for this release, so nothing was saved/],
      ['whole, its extension in capitals', folders.patch, /checked by SHA-1/],
    ];
    for (const [what, buffer, says] of cases) {
      await page.setInputFiles('#patch-files', {name, mimeType: 'application/octet-stream', buffer});
      await page.waitForSelector('#targets li[data-release-id="tnt_psneur"][data-patches="present"]');
      await page.check('#target-tnt_psneur');
      await page.click('#convert');
      const text = await waitStatus(page, /nothing was saved|checked by SHA-1/);
      check(says.test(text), `${what}: ${text}`);
      check(says.source.startsWith('checked') || text.includes(`The patch file ${name} `), `${what}: not named as picked: ${text}`);
      check(!/\/r\d+\/|\/patches\/|eof|decod|window|instruction|magic|offset/i.test(text), `${what}: the decoder's words: ${text}`);
    }
  },

  'the progress and the status stay in view during a run': async (page) => {
    await page.setViewportSize({width: 1280, height: 800});
    // Convert at the foot of the screen, the bar and the status below it.
    await pick(page, 'doom2_v1666');
    await page.check('#target-doom2_xbox');
    await page.evaluate(() => {
      window.scrollTo(0, 0);
      const progress = document.getElementById('progress');
      new MutationObserver((changes, observer) => {
        observer.disconnect();
        window.inView = ['progress', 'status'].map((id) => {
          const box = document.getElementById(id).getBoundingClientRect();
          return {id, top: box.top, bottom: box.bottom, height: innerHeight};
        });
      }).observe(progress, {attributes: true});
    });
    await page.$eval('#convert', (button) => button.click());
    await waitStatus(page, /checked by SHA-1|nothing was saved/);
    const boxes = await page.evaluate(() => window.inView);
    check(boxes && boxes.every((box) => box.top >= 0 && box.bottom <= box.height), `out of view: ${JSON.stringify(boxes)}`);
  },

  'small things: placeholders, names, Tab stops, drops during a run, the icon': async (page, {url}) => {
    const cases = [
      ['an unknown file leaves no "Choose a file first." behind', async () => {
        await pickBytes(page, 'notes.wad', Buffer.from('Not a game file.\n'.repeat(40)));
        const text = await page.textContent('#targets');
        check(!/Choose a file first/.test(text), text);
      }],
      ['a target\'s name reads "title (mark)"', async () => {
        await pick(page, 'tnt_psnusa');
        const names = await page.$$eval('#targets label', (labels) => labels.map((label) => label.textContent));
        check(names.length > 0 && names.every((name) => /\S \(.+\)$/.test(name)), `names: ${names}`);
      }],
      ['every Tab stop has a name', async () => {
        await pick(page, 'tnt_psnusa');
        await page.click('h1');
        const stops = [];
        for (let i = 0; i < 40; ++i) {
          await page.keyboard.press('Tab');
          const stop = await page.evaluate(() => {
            const element = document.activeElement;
            if (element === document.body) return null;
            const labelled = element.getAttribute('aria-labelledby');
            const name = element.getAttribute('aria-label') || (element.labels && element.labels[0]?.textContent) ||
              (labelled && document.getElementById(labelled)?.textContent) || (element.tagName !== 'DIV' && element.textContent.trim());
            return {what: element.id || element.className || element.tagName, name: name || ''};
          });
          if (!stop || stops.some((seen) => seen.what === stop.what)) break;
          stops.push(stop);
        }
        check(stops.some((stop) => stop.what === 'release-search'), `the walk stopped early: ${JSON.stringify(stops)}`);
        const nameless = stops.filter((stop) => !stop.name.trim());
        check(nameless.length === 0, `Tab stops without a name: ${JSON.stringify(nameless)}`);
      }],
      ['a drop during a run is said to be ignored, and the run goes on', async () => {
        await pick(page, 'doom2_v1666');
        await page.check('#target-doom2_xbox');
        await page.evaluate(() => {
          const progress = document.getElementById('progress');
          new MutationObserver((changes, observer) => {
            if (!(progress.value > 0 && progress.value < 1)) return;
            observer.disconnect();
            const transfer = new DataTransfer();
            transfer.items.add(new File(['x'], 'late.wad'));
            for (const type of ['dragenter', 'dragover', 'drop']) {
              document.body.dispatchEvent(new DragEvent(type, {dataTransfer: transfer, bubbles: true, cancelable: true}));
            }
            window.afterDrop = document.getElementById('status').textContent;
          }).observe(progress, {attributes: true});
        });
        await page.click('#convert');
        await waitStatus(page, /checked by SHA-1|nothing was saved/);
        const said = await page.evaluate(() => window.afterDrop);
        check(/^Converting to .*\nlate\.wad: ignored while converting/.test(said), `during the run: ${said}`);
        check((await page.textContent('#release-title')) === 'Doom 2 retail v1.666', 'the drop was taken');
      }],
      ['the icon is a file of the site', async () => {
        const icon = await page.getAttribute('link[rel="icon"]', 'href');
        check(icon && !icon.startsWith('data:'), `icon: ${icon}`);
        check((await page.request.get(new URL(icon, page.url()).href)).ok(), 'the icon is not served');
      }],
    ];
    const failures = [];
    for (const [what, run] of cases) {
      await page.goto(`${url}?save=download`);
      await page.waitForSelector('body[data-ready="true"]');
      await run().catch((error) => failures.push(`${what}: ${error.message}`));
    }
    check(failures.length === 0, failures.join('\n'));
  },

  'patches picked are kept across visits until removed, and still checked': async (page, {url, folders}) => {
    const listed = () => page.$$eval('#patch-list li', (lines) => lines.map((line) => line.dataset.patch));
    // The list is busy until the browser has a change in its storage, and counts those done.
    const kept = (changes = 1) => page.waitForFunction((changes) => {
      const list = document.getElementById('patch-list');
      return list.getAttribute('aria-busy') === 'false' && Number(list.dataset.changes) >= changes;
    }, changes);
    const reload = async () => {
      await page.goto(`${url}?save=download`);
      await page.waitForSelector('body[data-ready="true"]');
    };
    await pick(page, 'tnt_psnusa');
    await page.setInputFiles('#patch-folder', folders.good);
    await page.waitForSelector('#targets li[data-release-id="tnt_psneur"][data-patches="present"]');
    check(JSON.stringify(await listed()) === '["tnt_v19_to_tnt_psneur.vcdiff"]', `listed: ${await listed()}`);
    await kept();
    // A new visit lists it, opens the patch section to show it, and converts with it.
    await reload();
    check(JSON.stringify(await listed()) === '["tnt_v19_to_tnt_psneur.vcdiff"]', `after reload: ${await listed()}`);
    check(await page.isVisible('#patch-list') && /1 patch file chosen/.test(await page.textContent('#patch-count')),
          await page.textContent('#patch-count'));
    await shot(page, 'kept-patches');
    await page.emulateMedia({colorScheme: 'dark'});
    await shot(page, 'kept-patches-dark');
    await page.emulateMedia({colorScheme: 'light'});
    await pick(page, 'tnt_psnusa');
    check((await page.getAttribute('#targets li[data-release-id="tnt_psneur"]', 'data-patches')) === 'present', 'not used');
    const {bytes} = await convertAndDownload(page, 'tnt_psneur');
    check(sha1(bytes) === sha1(readFileSync(release('tnt_psneur'))), 'not tnt_psneur');
    // A damaged copy picked later takes the name's place, and is kept as untrusted as it came.
    await page.setInputFiles('#patch-folder', folders.damaged);
    await kept();
    await reload();
    check(JSON.stringify(await listed()) === '["tnt_v19_to_tnt_psneur.vcdiff"]', `one of a name: ${await listed()}`);
    await pick(page, 'tnt_psnusa');
    await page.check('#target-tnt_psneur');
    await page.click('#convert');
    const text = await waitStatus(page, /nothing was saved|checked by SHA-1/);
    check(/tnt_v19_to_tnt_psneur\.vcdiff is damaged/.test(text), text);
    // Remove forgets it: gone from the list, the targets and the next visit.
    await page.click('#patch-list button[aria-label="Remove tnt_v19_to_tnt_psneur.vcdiff"]');
    await page.waitForSelector('#targets li[data-release-id="tnt_psneur"][data-patches="missing"]');
    check((await listed()).length === 0 && await page.isHidden('#patch-list'), `after Remove: ${await listed()}`);
    check((await page.evaluate(() => document.activeElement.id)) === 'patch-files', 'the focus was lost with the line');
    await kept();
    await reload();
    check((await listed()).length === 0 && /No patch files chosen/.test(await page.textContent('#patch-count')), 'Remove was forgotten');
    const stored = await page.evaluate(async () => {
      const names = [];
      for await (const name of (await (await navigator.storage.getDirectory()).getDirectoryHandle('patches')).keys()) names.push(name);
      return names;
    });
    check(stored.length === 0, `still stored: ${stored}`);
  },

  'the app installs: a manifest with icons, and files it is opened with are identified': async (page, {url}) => {
    const manifestUrl = new URL(await page.getAttribute('link[rel="manifest"]', 'href'), url).href;
    const response = await page.request.get(manifestUrl);
    check(response.ok() && /manifest\+json/.test(response.headers()['content-type']), 'the manifest is not served as one');
    const manifest = await response.json();
    check(manifest.name === 'Tarvelline' && manifest.display === 'standalone' && manifest.start_url, JSON.stringify(manifest));
    const sizes = [];
    for (const icon of manifest.icons) {
      const png = await (await page.request.get(new URL(icon.src, manifestUrl).href)).body();
      const [width, height] = [png.readUInt32BE(16), png.readUInt32BE(20)];
      check(png.subarray(1, 4).toString() === 'PNG' && icon.sizes === `${width}x${height}`, `${icon.src}: ${icon.sizes}, ${width}x${height}`);
      sizes.push(width);
    }
    check(sizes.includes(192) && sizes.includes(512), `icon sizes: ${sizes}`);
    const accepted = manifest.file_handlers.flatMap((handler) => Object.values(handler.accept).flat());
    check(accepted.includes('.wad') && accepted.includes('.zip'), `file handlers: ${accepted}`);
    // The launch queue as a browser with file handlers fills it: a .wad, then a .zip holding one.
    const cases = [
      ['doom2.wad', readFileSync(release('doom2_v19')), /Doom 2 retail v1\.9\./],
      ['tnt.zip', makeZip([{name: 'TNT.WAD', data: readFileSync(release('tnt_v19'))}]), /TNT: Evilution\./],
    ];
    for (const [name, bytes, says] of cases) {
      await page.addInitScript(() => Object.defineProperty(window, 'launchQueue', {
        value: {setConsumer: (consumer) => (window.launchConsumer = consumer)}, configurable: true}));
      await page.goto(`${url}?save=download`);
      await page.waitForFunction(() => window.launchConsumer);
      await page.evaluate(({name, base64}) => {
        const file = new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name);
        window.launchConsumer({files: [{kind: 'file', name, getFile: async () => file}]});
      }, {name, base64: bytes.toString('base64')});
      const text = await waitStatus(page, says);
      check(says.test(text), `${name}: ${text}`);
    }
  },

  'a failed conversion is worded by the page from the report\'s fields, for each kind': async (page) => {
    const cases = [
      [{kind: 'cancelled'}, /^Cancelled: nothing was saved\.$/],
      [{kind: 'no-route'}, /no conversion between these releases/],
      [{kind: 'patch-missing', patch: 'tnt_v19_to_tnt_psneur'}, /tnt_v19_to_tnt_psneur\.vcdiff is needed/],
      [{kind: 'patch-too-large', patch: 'p', patchRole: 'picked', patchName: 'Big.VCDIFF'}, /Big\.VCDIFF can't be used: it is larger than any patch \(over 256 MiB\)/],
      [{kind: 'patch-unreadable', patch: 'p', patchRole: 'picked', patchName: 'p.vcdiff', reason: 'Input/output error'}, /p\.vcdiff could not be read \(input\/output error\), so nothing was saved/],
      [{kind: 'patch-damaged', patch: 'p', patchRole: 'picked', patchName: 'mine.vcdiff'}, /The patch file mine\.vcdiff is damaged or isn't a patch for this release/],
      [{kind: 'patch-damaged', patch: 'doom2_v19_to_doom2_xbox', patchRole: 'built-in'}, /The patch doom2_v19_to_doom2_xbox built into this page could not be applied.*Reload/],
      [{kind: 'input-unreadable', reason: 'No such file or directory'}, /The file changed or could not be read while it was being converted/],
      [{kind: 'not-target', suspectNames: ['renamed.vcdiff']}, /not the release it should be.*\(renamed\.vcdiff\) may be another patch renamed/],
      [{kind: 'not-target', suspectNames: []}, /^The file changed while it was being converted, so nothing was saved/],
      [{kind: 'result-unreadable', reason: 'Input/output error'}, /could not be read back to check it \(input\/output error\)/],
      [{kind: 'temp-failed', reason: 'No space left on device'}, /intermediate release \(no space left on device\).*Free some space/],
      [{kind: 'write-failed', reason: 'No space left on device'}, /could not take the result \(no space left on device\).*Free some space/],
      [{kind: 'replace-failed', reason: 'Permission denied'}, /could not be put in place \(permission denied\)/],
      [{kind: 'a kind this page does not know'}, /^The conversion failed, so nothing was saved\. Try again\.$/],
    ];
    const said = await page.evaluate(async (reports) => {
      const {failureText, failureKinds} = await import('./js/messages.js');
      return {texts: reports.map((report) => failureText({source: 'doom2_v19', target: 'doom2_xbox', ...report})), kinds: failureKinds};
    }, cases.map(([report]) => report));
    const failures = [];
    for (const [at, [report, says]] of cases.entries()) {
      const text = said.texts[at];
      if (!says.test(text) || /undefined|null|\/r\d+\//.test(text)) failures.push(`${JSON.stringify(report)}: "${text}"`);
    }
    const untested = said.kinds.filter((kind) => !cases.some(([report]) => report.kind === kind));
    check(failures.length === 0 && untested.length === 0, `${failures.join('\n')}\nkinds without a case: ${untested}`);
  },

  "the site's patches are fetched from its patches/ folder only when a conversion needs them": async (page) => {
    const fetched = [];
    const onRequest = (request) => {
      const path = new URL(request.url()).pathname;
      if (path.endsWith('.vcdiff')) fetched.push(path);
    };
    page.on('request', onRequest);
    try {
      await pick(page, 'doom2_v1666');
      check((await page.getAttribute('#targets li[data-release-id="doom2_xbox"]', 'data-patches')) === 'present',
            'the patches beside the page count as present');
      check(fetched.length === 0, `fetched before a conversion: ${fetched}`);
      const {bytes} = await convertAndDownload(page, 'doom2_xbox');
      check(sha1(bytes) === sha1(readFileSync(release('doom2_xbox'))), 'not doom2_xbox');
      check(JSON.stringify(fetched) === JSON.stringify(['/patches/doom2_v1666_to_doom2_v19.vcdiff',
                                                        '/patches/doom2_v19_to_doom2_xbox.vcdiff']),
            `fetched: ${fetched}`);
      // Fetched once: the next conversion on the route takes them from the worker.
      await convertAndDownload(page, 'doom2_xbox');
      check(fetched.length === 2, `fetched again: ${fetched}`);
      // One the site lists but can't deliver: said so, and nothing is offered.
      await page.route('**/patches/tnt_v19_to_tnt_psnusa.vcdiff', (route) => route.abort());
      await pick(page, 'tnt_v19');
      await page.check('#target-tnt_psnusa');
      await page.click('#convert');
      const text = await waitStatus(page, /could not be fetched/);
      check(/tnt_v19_to_tnt_psnusa\.vcdiff/.test(text) && /nothing was saved/.test(text), text);
      check(!(await page.isVisible('#save')), 'a result was offered');
    } finally {
      page.off('request', onRequest);
      await page.unroute('**/patches/tnt_v19_to_tnt_psnusa.vcdiff');
    }
  },

  'the page keeps its Content-Security-Policy: a whole run breaks none of it': async (page, {url, folders}) => {
    const policy = pagePolicy();
    check(policy === "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; worker-src 'self'; img-src 'self'", policy);
    const errors = await watchPolicy(page);
    // The test server sends the policy as a header too, so the worker keeps it as well.
    const response = await page.goto(`${url}?save=download`);
    check(response.headers()['content-security-policy'] === policy, 'the server sends no policy');
    await page.waitForSelector('body[data-ready="true"]');
    await pick(page, 'doom2_v1666');
    await page.setInputFiles('#patch-folder', folders.good);
    const {bytes} = await convertAndDownload(page, 'doom2_xbox');
    check(sha1(bytes) === sha1(readFileSync(release('doom2_xbox'))), 'not doom2_xbox');
    const zipped = await pickBytes(page, 'doom2.zip', makeZip([{name: 'DOOM2.WAD', data: readFileSync(release('doom2_v19'))}]));
    check(/Doom 2 retail v1\.9\./.test(zipped), zipped);
    await page.emulateMedia({colorScheme: 'dark'});
    await page.keyboard.press('Tab');
    check((await page.evaluate(() => window.violations)).length === 0 && errors.length === 0,
          `violations: ${await page.evaluate(() => window.violations)}; console: ${errors}`);
    // And the listener hears one: a style attribute set from script breaks the policy.
    await page.evaluate(() => document.body.setAttribute('style', 'color: red'));
    await page.waitForFunction(() => window.violations.length > 0);
  },
};

// The installed app, with its service worker: each test serves its own copy of the site on an
// origin of its own, so what one leaves in the browser's caches is not another's.
const stampScript = join(here, '../../web/stamp_site.cmake');
const swTemplate = join(here, '../../web/service_worker.js.in');

// A copy of the site, served with the page's policy as a header; `reopen()` serves the folder
// again on the same address once closed, as a new build of the site would be.
async function serveCopy(name, sideOrigins) {
  const folder = join(scratch, name);
  cpSync(site, folder, {recursive: true});
  let served = await serve(folder, 0, {'content-security-policy': pagePolicy()});
  const port = served.server.address().port;
  sideOrigins.add(new URL(served.url).origin);
  return {
    folder,
    url: served.url,
    // Closes at once, connections the browser keeps open too: from then on there is no network.
    close: () => new Promise((done) => {
      served.server.close(done);
      served.server.closeAllConnections();
    }),
    reopen: async () => (served = await serve(folder, port, {'content-security-policy': pagePolicy()})),
  };
}

// Opens the page and waits until its service worker has kept the site and controls the page.
async function visitAndKeep(page, url) {
  await page.goto(`${url}?save=download`);
  await page.waitForSelector('body[data-ready="true"]');
  await page.evaluate(() => navigator.serviceWorker.ready);
  await page.reload();
  await page.waitForSelector('body[data-ready="true"]');
  await page.waitForFunction(() => navigator.serviceWorker.controller);
}

const cacheNames = (page) => page.evaluate(() => caches.keys());

// Waits until `condition(arg)`, an async function run in the page, holds.
async function until(page, condition, arg, what) {
  for (let tries = 0; tries < 300; ++tries) {
    if (await page.evaluate(condition, arg)) return;
    await new Promise((done) => setTimeout(done, 100));
  }
  throw new Error(what);
}

const appTests = {
  'after one visit the page loads, identifies and converts with no network': async (page, {context, sideOrigins}) => {
    const copy = await serveCopy('offline-site', sideOrigins);
    try {
      await visitAndKeep(page, copy.url);
      await copy.close();
      await context.setOffline(true);
      await page.reload();
      await page.waitForSelector('body[data-ready="true"]', {timeout: 20000});
      await pick(page, 'doom2_v1666');
      check((await page.textContent('#release-title')) === 'Doom 2 retail v1.666', 'not identified offline');
      await shot(page, 'offline-identified');
      const {bytes} = await convertAndDownload(page, 'doom2_xbox');
      check(sha1(bytes) === sha1(readFileSync(release('doom2_xbox'))), 'the offline run is not doom2_xbox');
      // A Cancel starts the worker over: from the kept files too.
      await page.check('#target-doom2_v19');
      await cancelAtFirstProgress(page);
      await page.click('#convert');
      await waitStatus(page, /Cancelled/);
      const {bytes: after} = await convertAndDownload(page, 'doom2_v19');
      check(sha1(after) === sha1(readFileSync(release('doom2_v19'))), 'the run after Cancel, offline');
    } finally {
      await context.setOffline(false);
    }
  },

  'a new build of the site replaces the kept one on the next visit, and the old cache goes': async (page, {sideOrigins}) => {
    const copy = await serveCopy('build-a', sideOrigins);
    await visitAndKeep(page, copy.url);
    const before = await cacheNames(page);
    check(before.length === 1, `caches after one visit: ${before}`);
    // Build B: a page that reads otherwise, and its service worker stamped again by the build's
    // own script.
    await copy.close();
    const index = join(copy.folder, 'index.html');
    writeFileSync(index, readFileSync(index, 'utf8').replace('<h1>Tarvelline</h1>', '<h1>Tarvelline B</h1>'));
    execFileSync('cmake', [`-DSITE=${copy.folder}`, `-DTEMPLATE=${swTemplate}`, '-P', stampScript]);
    await copy.reopen();
    await page.goto(`${copy.url}?save=download`);
    await page.waitForSelector('body[data-ready="true"]');
    check((await page.textContent('h1')) === 'Tarvelline B', `the old build shows: ${await page.textContent('h1')}`);
    await until(page, async (old) => {
      const names = await caches.keys();
      return names.length === 1 && names[0] !== old && (await caches.open(names[0]).then((cache) => cache.keys())).length > 0;
    }, before[0], 'the new build never replaced the old cache');
    // And it is the new build that is kept: with the server gone, B opens.
    await copy.close();
    await page.reload();
    await page.waitForSelector('body[data-ready="true"]');
    check((await page.textContent('h1')) === 'Tarvelline B', `offline: ${await page.textContent('h1')}`);
    await pick(page, 'tnt_v19');
    check((await page.textContent('#release-title')) === 'TNT: Evilution', 'build B does not identify');
  },

  'with the policy as a header, the service worker and the manifest break none of it': async (page, {sideOrigins}) => {
    const copy = await serveCopy('policy-site', sideOrigins);
    const errors = await watchPolicy(page);
    await visitAndKeep(page, copy.url);
    const response = await page.evaluate(() => fetch('manifest.webmanifest').then((answer) => answer.ok));
    check(response, 'the manifest could not be fetched under the policy');
    await pick(page, 'doom2_v1666');
    const {bytes} = await convertAndDownload(page, 'doom2_xbox');
    check(sha1(bytes) === sha1(readFileSync(release('doom2_xbox'))), 'not doom2_xbox');
    check((await page.evaluate(() => window.violations)).length === 0 && errors.length === 0,
          `violations: ${await page.evaluate(() => window.violations)}; console: ${errors}`);
    await copy.close();
  },
};

// A browser without WebAssembly: the page says so and offers nothing to press.
async function withoutWebAssembly(context, url) {
  const page = await context.newPage();
  await page.addInitScript(() => delete globalThis.WebAssembly);
  await page.goto(url);
  await waitStatus(page, /can't run WebAssembly/, 10000);
  check(await page.isDisabled('#input-file'), 'the file input stays enabled');
  await page.close();
  // A core that can't be loaded (here: its wasm withheld) is told as such, not as a crash.
  const broken = await context.newPage();
  await broken.route('**/tvl_core.wasm', (route) => route.abort());
  await broken.goto(url);
  await waitStatus(broken, /could not be started/, 20000);
  await broken.close();
}

const {server, url} = await serve(site, 0, {'content-security-policy': pagePolicy()});
// The page on its own: the service worker is tried by the app's tests, in a browser of theirs.
const browser = await launchBrowser({serviceWorkers: 'block'});
const folders = makePatchFolders();
const allowed = siteFiles();
const strays = [];
const seen = new Set();
// Servers a test starts for itself, with files missing on purpose: their requests are its own.
const sideOrigins = new Set();
browser.context.on('request', (request) => {
  const address = new URL(request.url());
  if (sideOrigins.has(address.origin)) return;
  seen.add(address.pathname);
  const own = address.origin === new URL(url).origin && allowed.has(address.pathname);
  const local = address.protocol === 'blob:' && address.pathname.startsWith(new URL(url).origin);
  if (!own && !local) strays.push(request.url());
});
browser.context.on('response', (response) => {
  if (sideOrigins.has(new URL(response.url()).origin)) return;
  if (response.status() >= 400) strays.push(`${response.status()} ${response.url()}`);
});

// TVL_WEB_TESTS=<regular expression> runs only the tests whose names match it.
const only = new RegExp(process.env.TVL_WEB_TESTS || '');
const chosen = Object.entries(tests).filter(([name]) => only.test(name));
const chosenApp = Object.entries(appTests).filter(([name]) => only.test(name));
let failed = 0;
let number = 0;
const count = chosen.length + chosenApp.length + 2;

async function openPage(page, address) {
  await page.goto(address);
  await page.waitForSelector('body[data-ready="true"]', {timeout: 20000});
}

// Patches a test left kept in the browser are not the next test's.
async function forgetKeptPatches(page) {
  const removed = await page.evaluate(async () => {
    const root = await navigator.storage.getDirectory();
    let count = 0;
    for await (const name of root.keys()) {
      await root.removeEntry(name, {recursive: true});
      count += 1;
    }
    return count;
  });
  if (removed > 0) {
    await page.reload();
    await page.waitForSelector('body[data-ready="true"]', {timeout: 20000});
  }
}
console.log(`1..${count}`);
// Runs `body` on a new page of `context` and reports it; the page's uncaught errors fail it too.
async function runTest(context, name, body) {
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  try {
    await body(page);
    check(errors.length === 0, `page errors: ${errors.join('; ')}`);
    console.log(`ok ${++number} - ${name}`);
  } catch (error) {
    failed += 1;
    console.log(`not ok ${++number} - ${name}\n  # ${error.message.split('\n').join('\n  # ')}`);
  }
  await page.close();
}

for (const [name, run] of chosen) {
  await runTest(browser.context, name, async (page) => {
    const downloads = {count: 0};
    page.on('download', () => (downloads.count += 1));
    await openPage(page, `${url}?save=download`);
    await forgetKeptPatches(page);
    await run(page, {folders, downloads, url, sideOrigins, context: browser.context});
  });
}
const app = await launchBrowser();
app.context.on('request', (request) => {
  const address = new URL(request.url());
  if (!sideOrigins.has(address.origin) && address.protocol !== 'blob:') strays.push(request.url());
});
for (const [name, run] of chosenApp) {
  await runTest(app.context, name, (page) => run(page, {sideOrigins, context: app.context}));
}
await app.close();
// The record covers the worker's own loads too, or it proves nothing.
try {
  await withoutWebAssembly(browser.context, url);
  console.log(`ok ${++number} - a browser without WebAssembly, or a core that won't load, is told so`);
} catch (error) {
  failed += 1;
  console.log(`not ok ${++number} - a browser without WebAssembly, or a core that won't load, is told so\n  # ${error.message}`);
}
const recorded = ['/js/worker.js', '/tvl_core.mjs', '/tvl_core.wasm'].every((path) => seen.has(path));
if (strays.length === 0 && recorded) {
  console.log(`ok ${++number} - no request beyond the page's own files`);
} else {
  failed += 1;
  console.log(`not ok ${++number} - requests beyond the page's own files (recorded: ${[...seen]}):\n  # ${strays.join('\n  # ')}`);
}

await browser.close();
server.close();
rmSync(scratch, {recursive: true, force: true});
process.exit(failed === 0 ? 0 : 1);
