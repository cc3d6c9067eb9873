// The worker owns the core and the files: it identifies, lists targets and converts, and tells the
// page only what to show. A request's files are mounted for that request alone. Zip archives are
// read by the core, which says where each entry's data lies and checks what the browser unpacks;
// an unpacked entry is a Blob, identified and converted like a picked file (or, when small, its
// bytes, held here for its conversion).
import createTvlCore from '../tvl_core.mjs';
import {entryGoneText, unsupportedInflateText} from './messages.js';
import {piecesOf} from './pieces.js';
import {Ask, Note, Reply, coreFailed} from './protocol.js';

let core = null;
let loadFailed = false;
// Fails in a browser whose WebAssembly lacks what the core is built with (exception handling).
const ready = createTvlCore({
  locateFile: (name) => new URL(`../${name}`, import.meta.url).href,
  print: () => {},
  printErr: () => {},
}).then(async (module) => {
  core = module;
  sitePatches = new Set(await siteIndex());
  core.ccall('tvl_site_patches', null, ['string'], [[...sitePatches].join('\n')]);
}, () => {
  loadFailed = true;
});

// The patches beside the page: their names come with the page; each patch is fetched when a
// conversion first needs it, and kept for the next one. A site without the index has none.
let sitePatches = new Set();
const fetchedPatches = new Map();
const sitePatchUrl = (name) => new URL(`../patches/${name}`, import.meta.url);

async function siteIndex() {
  try {
    const response = await fetch(sitePatchUrl('index.json'));
    const names = response.ok ? await response.json() : [];
    return Array.isArray(names) ? names.filter((name) => typeof name === 'string') : [];
  } catch {
    return [];
  }
}

// The site's patches of a route, as {"<name>.vcdiff": Blob}; null and the name of the first that
// could not be fetched.
async function fetchSitePatches(route) {
  const files = {};
  for (const name of route.filter((name) => sitePatches.has(name))) {
    if (!fetchedPatches.has(name)) {
      try {
        const response = await fetch(sitePatchUrl(`${name}.vcdiff`));
        if (!response.ok) return {failed: name};
        fetchedPatches.set(name, await response.blob());
      } catch {
        return {failed: name};
      }
    }
    files[`${name}.vcdiff`] = fetchedPatches.get(name);
  }
  return {files};
}

const call = (name, types, args) => core.ccall(name, 'string', types, args);
const json = (name, types, args) => JSON.parse(call(name, types, args));

let request = 0;
let mounted = [];
let pickedNames = new Map();

// The bytes of the file last identified, when it was small enough to keep (see Ask.identify's
// `hold`): {id, pieces}, the pieces as they were read and hashed. Its conversion reads them
// instead of the file, which spares the browser's reads, the slowest part of a run. Kept until
// the next identification, so at most one file is held.
let held = null;

function unmountAll() {
  for (const path of mounted.splice(0)) core.unmountBlobFs(path);
}

// Mounts the input and the patch files under a fresh folder, one for the result and one for the
// core's other files (a two-step route's base release). The input is a File, or {name, pieces}
// for bytes at hand. `onResultChange` is told every change to a file in the result's folder.
function mount(file, patches, onResultChange, site = {}) {
  unmountAll();
  const root = `/r${++request}`;
  const input = file ? file.name.replace(/\//g, '_') || 'input' : '';
  if (file) core.mountBlobFs(`${root}/in`, {files: {[input]: file}, writable: false});
  // The folder rules of --patches: "<name>.vcdiff" files (the extension in any case, as in a
  // pack), the first of each name.
  const named = {};
  for (const patch of patches || []) {
    const name = patch.name.replace(/\.vcdiff$/i, '.vcdiff');
    if (name.endsWith('.vcdiff') && !(name in named)) named[name] = patch;
  }
  const havePatches = Object.keys(named).length > 0;
  // The names the user picked them under, for what the page says about them.
  pickedNames = new Map(Object.entries(named).map(([name, patch]) => [`${root}/patches/${name}`, patch.name]));
  if (havePatches) core.mountBlobFs(`${root}/patches`, {files: named, writable: false});
  core.mountBlobFs(`${root}/out`, {writable: true, onChange: onResultChange});
  core.mountBlobFs(`${root}/temp`, {writable: true});
  const haveSite = Object.keys(site).length > 0;
  if (haveSite) core.mountBlobFs(`${root}/site`, {files: site, writable: false});
  mounted = [`${root}/in`, `${root}/patches`, `${root}/out`, `${root}/temp`, `${root}/site`]
      .filter((path) => core.FS.analyzePath(path).exists);
  return {
    input: `${root}/in/${input}`,
    patches: havePatches ? `${root}/patches` : '',
    out: `${root}/out`,
    temp: `${root}/temp`,
    site: haveSite ? `${root}/site` : '',
  };
}

// Passes the result's bytes on to the page as the core writes them. The core writes the result
// to a temporary file beside the output and renames it once verified, so the first file written
// in the output's folder is followed, whatever its name.
function resultStream(post) {
  let followed = null;
  return {
    onChange(change) {
      if (followed === null) followed = change.file;
      if (change.file !== followed) return;
      const {type, position, size, data} = change;
      post(type === 'write' ? {op: Note.chunk, type, position, data} : {op: Note.chunk, type, size});
    },
    // Once the core is done: if the file at the output isn't the one followed (not the core's
    // way), the page is sent it whole, so what it saves is the output either way.
    finish(output) {
      const node = core.FS.lookupPath(output).node;
      if (node.id === followed) return;
      post({op: Note.chunk, type: 'truncate', size: 0});
      post({op: Note.chunk, type: 'write', position: 0, data: core.blobOf(output)});
    },
  };
}

function targets(source, patchFolder) {
  return json('tvl_targets', ['number', 'string'], [source, patchFolder]);
}

// A file larger than the hold limit is read a few pieces ahead of the core's SHA-1, on another
// thread (piece_reader.js), so the browser reads while the core hashes. Each piece is copied
// into the core's buffer and let go: the file is never held whole, and at most 48 MiB of it is
// in flight.
// Chromium reads a file in pieces of 16 MiB about half again as fast as in pieces of 4 MiB.
const DIGEST_PIECE = 16 << 20;
const DIGEST_AHEAD = 2;

let reader = null;
let readerFailed = typeof Worker === 'undefined';  // no workers inside workers here
let readJob = 0;

// Calls `take` with each piece of `source` in turn: {blob, inflate, limit}, see pieces.js. `take`
// returning false stops the reading there. Resolves with null, or what failed: 'read', 'damaged'
// or 'unsupported'.
function readPieces(source, take) {
  if (!reader && !readerFailed) {
    reader = new Worker(new URL('./piece_reader.js', import.meta.url), {type: 'module'});
  }
  if (readerFailed) return readPiecesHere(source, take);
  const job = ++readJob;
  return new Promise((resolve, reject) => {
    reader.onmessage = ({data}) => {
      if (data.job !== job) return;
      if (data.failed || data.done) return resolve(data.failed || null);
      let more;
      try {
        more = take(new Uint8Array(data.bytes));
      } catch (error) {
        reader.postMessage({op: 'stop', job});
        return reject(error);
      }
      if (more === false) {
        reader.postMessage({op: 'stop', job});
        return resolve(null);
      }
      reader.postMessage({op: 'more', job});
    };
    // The reader didn't load: read here, from the start.
    reader.onerror = (event) => {
      event.preventDefault();
      reader = null;
      readerFailed = true;
      readPiecesHere(source, take).then(resolve, reject);
    };
    reader.postMessage({op: 'read', job, file: source.blob, piece: DIGEST_PIECE, ahead: DIGEST_AHEAD,
                        inflate: !!source.inflate, limit: source.limit});
  });
}

// The same in this worker, for a browser without workers inside workers: the reads then get on
// only while the core waits for them.
async function readPiecesHere(source, take) {
  try {
    for await (const bytes of piecesOf(source.blob, {size: DIGEST_PIECE, inflate: source.inflate, limit: source.limit})) {
      if (take(new Uint8Array(bytes)) === false) break;
    }
  } catch (error) {
    if (!error.kind) throw error;
    return error.kind;
  }
  return null;
}

// An identification's progress for the page, a few times a second, and whether it is still
// wanted: the user may have picked another file or pressed Cancel since it began.
function identifyWatch(id, size, post) {
  let done = 0;
  let last = 0;
  return {
    wanted: () => id === lastIdentify,
    took(count) {
      done += count;
      const now = performance.now();
      if (now - last > 100) {
        last = now;
        post({op: Note.progress, done, size});
      }
    },
  };
}

// Resolves with what readPieces does, or 'stopped' once the identification isn't wanted. The
// pieces read go in `keep`, if given.
async function digestFile(file, watch, keep) {
  const buffer = core.ccall('tvl_digest_begin', 'number', ['number'], [DIGEST_PIECE]);
  let stopped = false;
  const failed = await readPieces({blob: file}, (bytes) => {
    if (!watch.wanted()) return !(stopped = true);
    core.HEAPU8.set(bytes, buffer);
    core.ccall('tvl_digest_update', null, ['number'], [bytes.length]);
    watch.took(bytes.length);
    if (keep) keep.push(bytes);
  });
  return stopped ? 'stopped' : failed;
}

const unwanted = (id) => ({op: id === stoppedIdentify ? Reply.cancelled : Reply.superseded});

// The browser's own SHA-1, where the page is a secure context.
const browserSha1 = typeof crypto !== 'undefined' && !!crypto.subtle;

// The file's bytes in one buffer, read straight into it (a BYOB reader of its byte stream, or
// slices where the browser has none). Resolves to {bytes}, {failed: 'read'} or {stopped: true};
// null when there is no memory for the buffer.
async function readWhole(file, watch) {
  let buffer;
  try {
    buffer = new ArrayBuffer(file.size);
  } catch {
    return null;
  }
  let filled = 0;
  let reader = null;
  try {
    try {
      reader = file.stream().getReader({mode: 'byob'});
    } catch {}
    while (filled < file.size) {
      if (!watch.wanted()) {
        reader?.cancel().catch(() => {});
        return {stopped: true};
      }
      let count = 0;
      if (reader) {
        // The view's buffer moves into the read and comes back in its answer.
        const {value, done} = await reader.read(new Uint8Array(buffer, filled));
        if (value) buffer = value.buffer;
        if (done) break;
        count = value.length;
      } else {
        const piece = new Uint8Array(await file.slice(filled, filled + DIGEST_PIECE).arrayBuffer());
        if (piece.length === 0) break;
        new Uint8Array(buffer).set(piece, filled);
        count = piece.length;
      }
      filled += count;
      watch.took(count);
    }
  } catch {
    return {failed: 'read'};  // NotReadableError: the file changed or went away since it was picked
  }
  return filled === file.size ? {bytes: new Uint8Array(buffer)} : {failed: 'read'};
}

// A file small enough to hold is read whole and hashed by the browser's SHA-1, twice as fast as
// the core's here, and taking a whole buffer only. While it hashes, the browser holds a copy of
// the bytes: at most twice the hold limit in all. Resolves to {bytes, digest}, {failed} or
// {stopped}; null where the browser can't read it whole or hash it, for the core to do so.
async function digestWhole(file, watch) {
  const read = await readWhole(file, watch);
  if (!read?.bytes) return read;
  let digest;
  try {
    digest = new Uint8Array(await crypto.subtle.digest('SHA-1', read.bytes));
  } catch {
    return null;
  }
  return watch.wanted() ? {bytes: read.bytes, digest} : {stopped: true};
}

async function identify({id, file, entry, patches, hold}, post) {
  held = null;
  if (await isZip(file)) {
    const zipped = await identifyZipped(id, file, entry, patches, hold, post);
    if (zipped) return zipped;
  }
  const paths = mount(file, patches);
  const watch = identifyWatch(id, file.size, post);
  const whole = file.size <= hold && browserSha1 ? await digestWhole(file, watch) : null;
  if (whole?.stopped) return unwanted(id);
  if (whole) {
    const answer = whole.digest
        ? json('tvl_identify_digest', ['string', 'array'], [paths.input, whole.digest])
        : json('tvl_identify_digest', ['string', 'number'], [paths.input, 0]);
    return identified(id, answer, paths.patches, whole.bytes ? [whole.bytes] : null);
  }
  const keep = file.size <= hold ? [] : null;
  const failed = await digestFile(file, watch, keep);
  if (failed === 'stopped') return unwanted(id);
  const answer = json('tvl_identify_fed', ['string', 'number'], [paths.input, failed ? 1 : 0]);
  return identified(id, answer, paths.patches, failed ? null : keep);
}

// The reply to an identification. The bytes read, if kept, are held only where a conversion can
// follow: a known release with targets.
function identified(id, answer, patchFolder, pieces, more = {}) {
  const list = answer.index >= 0 ? targets(answer.index, patchFolder) : null;
  if (pieces && list && list.enabled) held = {id, pieces};
  return {op: Reply.identified, answer, targets: list, held: held ? id : 0, ...more};
}

// A zip archive by its first bytes ("PK\3\4") or by its name: an empty archive has no entry to
// start it.
async function isZip(file) {
  if (/\.zip$/i.test(file.name)) return true;
  try {
    const head = new Uint8Array(await file.slice(0, 4).arrayBuffer());
    return head.length === 4 && head[0] === 0x50 && head[1] === 0x4b && head[2] === 3 && head[3] === 4;
  } catch {
    return false;  // identification says the file can't be read
  }
}

// The archive's entries, as the core reads them: {entries: [...]} or {error: sentence}.
function listEntries(archive) {
  const folder = `/z${++request}`;
  core.mountBlobFs(folder, {files: {archive}, writable: false});
  try {
    return json('tvl_zip_entries', ['string', 'string'], [`${folder}/archive`, archive.name]);
  } finally {
    core.unmountBlobFs(folder);
  }
}

const baseName = (path) => path.slice(path.lastIndexOf('/') + 1);

// Unpacks an entry the core located (hashing it with `hash`, for identification), checked by the
// core as it comes. Resolves to {file}, a Blob in the browser's storage named as the entry, or
// with `keep` to {file: {name, pieces}}, the bytes themselves; or to {error: sentence}. Nothing of
// a failed entry is kept.
async function unpackEntry(archive, entry, hash, watch = null, keep = false) {
  const buffer = core.ccall('tvl_unpack_begin', 'number', ['number', 'number', 'number', 'number'],
                            [DIGEST_PIECE, entry.size, entry.crc32, hash ? 1 : 0]);
  const parts = [];
  const source = {blob: archive.slice(entry.offset, entry.offset + entry.compressed),
                  inflate: entry.method === 8, limit: entry.size};
  let stopped = false;
  const failed = await readPieces(source, (bytes) => {
    if (watch && !watch.wanted()) return !(stopped = true);
    core.HEAPU8.set(bytes, buffer);
    const taken = core.ccall('tvl_unpack_update', 'number', ['number'], [bytes.length]);
    const part = taken === bytes.length ? bytes : bytes.subarray(0, taken);
    if (taken > 0) parts.push(keep ? part : new Blob([part]));
    if (watch) watch.took(taken);
    return taken === bytes.length;
  });
  // The core lets go of its buffer either way, and keeps no digest of a failed entry (nor of
  // one stopped, told as a failed read).
  const end = failed === 'read' || stopped ? 1 : failed ? 2 : 0;
  const verdict = json('tvl_unpack_end', ['string', 'string', 'number'], [archive.name, entry.name, end]);
  if (stopped) return {stopped};
  if (failed === 'unsupported') return {error: unsupportedInflateText(archive.name, entry.name)};
  if (verdict.error) return {error: verdict.error};
  const name = baseName(entry.name) || 'entry';
  return {file: keep ? {name, pieces: parts} : new File(parts, name)};
}

// An archive holding one game file is identified as that file; one holding several answers
// 'choose' until `wanted` names one of them. Null for a file that only looks like an archive: a
// .pk3 or .ipk3 holding no game file, identified whole as before.
async function identifyZipped(id, file, wanted, patches, hold, post) {
  const listing = listEntries(file);
  if (listing.error) return {op: Reply.zipFailed, reason: listing.error};
  const wads = listing.entries.filter((entry) => entry.wad);
  if (wads.length === 0) return /\.zip$/i.test(file.name) ? {op: Reply.noWad, archive: file.name} : null;
  const chosen = wads.length === 1 ? wads[0] : wads.find((entry) => entry.name === wanted);
  if (!chosen) return {op: Reply.choose, archive: file.name, entries: wads.map(({name, size}) => ({name, size}))};
  if (chosen.error) return {op: Reply.zipFailed, reason: chosen.error};
  const keep = chosen.size <= hold;
  const unpacked = await unpackEntry(file, chosen, true, identifyWatch(id, chosen.size, post), keep);
  if (unpacked.stopped) return unwanted(id);
  if (unpacked.error) return {op: Reply.zipFailed, reason: unpacked.error};
  const paths = mount(unpacked.file, patches);
  const answer = json('tvl_identify_fed', ['string', 'number'], [paths.input, 0]);
  // A kept entry's bytes stay here: the page gets no file for it, only the token.
  return identified(id, answer, paths.patches, keep ? unpacked.file.pieces : null,
                    {entry: {name: chosen.name, file: keep ? null : unpacked.file}});
}

// Sorts what the user gave as patches, or dropped: "<name>.vcdiff" files (in any letter case)
// are patches as they are, and a patch pack (a zip of such files and no game file) gives each of
// its patches, unpacked and checked. Entries that can't be used are told in `notes`; every other
// file is in `others`, with the core's sentence for an archive that can't be read.
async function sortPatches({files}) {
  const patches = [];
  const notes = [];
  const others = [];
  for (const file of files) {
    if (/\.vcdiff$/i.test(file.name)) {
      patches.push(file);
      continue;
    }
    const listing = (await isZip(file)) ? listEntries(file) : {entries: []};
    const packed = listing.error ? [] : listing.entries.filter((entry) => entry.patch);
    if (packed.length === 0 || listing.entries.some((entry) => entry.wad)) {
      others.push(listing.error ? {file, error: listing.error} : {file});
      continue;
    }
    for (const entry of packed) {
      const unpacked = entry.error ? entry : await unpackEntry(file, entry, false);
      if (unpacked.error) notes.push(unpacked.error);
      else patches.push(unpacked.file);
    }
  }
  return {op: Reply.patches, patches, notes, others};
}

function relist({source, patches}) {
  const paths = mount(null, patches);
  return {op: Reply.targets, targets: targets(source, paths.patches)};
}

// What a conversion reads: the bytes held under `token` (see `held`), else `file`, or with `entry`
// that entry of the archive `file`, unpacked again: its bytes were held by a worker that Cancel
// ended. Resolves to {input} or {error: sentence}.
async function convertInput(file, entry, token) {
  if (held && token && held.id === token) return {input: {name: baseName(entry || file.name), pieces: held.pieces}};
  if (!entry) return {input: file};
  const listing = listEntries(file);
  const chosen = listing.error ? null : listing.entries.find((item) => item.name === entry);
  if (!chosen) return {error: listing.error || entryGoneText(file.name, entry)};
  const unpacked = chosen.error ? chosen : await unpackEntry(file, chosen, false);
  return unpacked.error ? {error: unpacked.error} : {input: unpacked.file};
}

// With `stream`, the result goes to the page piece by piece as it is decoded ('chunk' messages,
// before the answer), and the answer 'converted' says that all of it is sent and verified.
async function convert({file, entry, held: token, source, target, patches, stream}, post) {
  const result = stream ? resultStream(post) : null;
  let paths = mount(null, patches);
  const missing = call('tvl_first_missing', ['number', 'number', 'string'], [source, target, paths.patches]);
  if (missing) return {op: Reply.missing, name: missing};
  const route = targets(source, paths.patches).items.find((item) => item.index === target)?.route || [];
  const site = await fetchSitePatches(route);
  if (site.failed) return {op: Reply.unfetched, name: site.failed};
  const {input, error} = await convertInput(file, entry, token);
  if (error) return {op: Reply.zipFailed, reason: error};
  paths = mount(input, patches, result ? result.onChange : undefined, site.files);
  let last = 0;
  core.onProgress = (written, expected) => {
    const now = performance.now();
    if (now - last > 50) {
      last = now;
      post({op: Note.progress, written, expected});
    }
    return true;
  };
  const output = `${paths.out}/result.wad`;
  const report = json('tvl_convert', ['string', 'number', 'number', 'string', 'string', 'string', 'string'],
                      [paths.input, source, target, output, paths.temp, paths.patches, paths.site]);
  core.onProgress = null;
  const memory = core.HEAPU8.length;
  let answer = {op: Reply.failed, report: forPage(report), memory};
  if (report.kind === 'converted') {
    if (result) result.finish(output);
    answer = result ? {op: Reply.converted, memory} : {op: Reply.converted, blob: core.blobOf(output), memory};
  }
  // The written files are let go now: the page has the result, or it failed.
  unmountAll();
  return answer;
}

// The core's report with the picked patches named as the user knows them, and none of the
// places they were mounted at here.
function forPage({patchFile, suspects, ...report}) {
  const named = (path) => pickedNames.get(path) || baseName(path);
  return {...report, patchName: patchFile ? named(patchFile) : '', suspectNames: suspects.map(named)};
}

const handlers = {
  [Ask.hello]: () => ({
    op: Reply.hello,
    version: core.ccall('tvl_version', 'string', [], []),
    catalogue: json('tvl_catalogue', [], []),
  }),
  [Ask.identify]: identify,
  [Ask.patches]: sortPatches,
  [Ask.targets]: relist,
  [Ask.convert]: convert,
};

async function handle(data) {
  const post = (message) => self.postMessage({id: data.id, ...message});
  try {
    await ready;
    if (loadFailed) return post({op: Reply.error, reason: coreFailed});
    if (data.op === Ask.identify && data.id !== lastIdentify) return post(unwanted(data.id));
    post(await handlers[data.op](data, post));
  } catch (error) {
    post({op: Reply.error, reason: error && error.message ? error.message : String(error)});
  }
}

// Requests run one after another, in the order sent: identification waits on the browser's
// reads, and another request must not mount its files or use the core meanwhile.
// An identification still waiting when another is asked for is passed over: the user went on to
// another file or archive entry, and unpacking this one could take a while.
// 'stop-identify' (the user's Cancel) is not queued: it stops the identification under way.
let turn = Promise.resolve();
let lastIdentify = 0;
let stoppedIdentify = 0;
self.onmessage = ({data}) => {
  if (data.op === Ask.stopIdentify) {
    stoppedIdentify = lastIdentify;
    lastIdentify = 0;
    return;
  }
  if (data.op === Ask.identify) lastIdentify = data.id;
  turn = turn.then(() => handle(data));
};
