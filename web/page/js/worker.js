// The worker owns the core and the files: it identifies, lists targets and converts, and tells the
// page only what to show. A request's files are mounted for that request alone.
import createTvlCore from '../tvl_core.mjs';

let core = null;
let loadFailed = false;
// Fails in a browser whose WebAssembly lacks what the core is built with (exception handling).
const ready = createTvlCore({
  locateFile: (name) => new URL(`../${name}`, import.meta.url).href,
  print: () => {},
  printErr: () => {},
}).then((module) => {
  core = module;
}, () => {
  loadFailed = true;
});

const call = (name, types, args) => core.ccall(name, 'string', types, args);
const json = (name, types, args) => JSON.parse(call(name, types, args));

let request = 0;
let mounted = [];

function unmountAll() {
  for (const path of mounted.splice(0)) core.unmountBlobFs(path);
}

// Mounts the input and the patch files under a fresh folder, one for the result and one for the
// core's other files (a two-step route's base release). `onResultChange` is told every change
// to a file in the result's folder.
function mount(file, patches, onResultChange) {
  unmountAll();
  const root = `/r${++request}`;
  const input = file ? file.name.replace(/\//g, '_') || 'input' : '';
  if (file) core.mountBlobFs(`${root}/in`, {files: {[input]: file}, writable: false});
  // The folder rules of --patches: "<name>.vcdiff" files, the first of each name.
  const named = {};
  for (const patch of patches || []) {
    if (/\.vcdiff$/.test(patch.name) && !(patch.name in named)) named[patch.name] = patch;
  }
  const havePatches = Object.keys(named).length > 0;
  if (havePatches) core.mountBlobFs(`${root}/patches`, {files: named, writable: false});
  core.mountBlobFs(`${root}/out`, {writable: true, onChange: onResultChange});
  core.mountBlobFs(`${root}/temp`, {writable: true});
  mounted = [`${root}/in`, `${root}/patches`, `${root}/out`, `${root}/temp`]
      .filter((path) => core.FS.analyzePath(path).exists);
  return {
    input: `${root}/in/${input}`,
    patches: havePatches ? `${root}/patches` : '',
    out: `${root}/out`,
    temp: `${root}/temp`,
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
      post(type === 'write' ? {op: 'chunk', type, position, data} : {op: 'chunk', type, size});
    },
    // Once the core is done: if the file at the output isn't the one followed (not the core's
    // way), the page is sent it whole, so what it saves is the output either way.
    finish(output) {
      const node = core.FS.lookupPath(output).node;
      if (node.id === followed) return;
      post({op: 'chunk', type: 'truncate', size: 0});
      post({op: 'chunk', type: 'write', position: 0, data: core.blobOf(output)});
    },
  };
}

function targets(source, patchFolder) {
  return json('tvl_targets', ['number', 'string'], [source, patchFolder]);
}

// Identification reads the file a few pieces ahead of the core's SHA-1, on another thread
// (piece_reader.js), so the browser reads while the core hashes. Each piece is copied into the
// core's buffer and let go: the file is never held whole.
const DIGEST_PIECE = 4 << 20;
const DIGEST_AHEAD = 3;

let reader = null;
let readerFailed = typeof Worker === 'undefined';  // no workers inside workers here
let readJob = 0;

// Calls `take` with each piece of the file in turn; resolves with true when a read failed.
function readPieces(file, take) {
  if (!reader && !readerFailed) {
    reader = new Worker(new URL('./piece_reader.js', import.meta.url), {type: 'module'});
  }
  if (readerFailed) return readPiecesHere(file, take);
  const job = ++readJob;
  return new Promise((resolve, reject) => {
    reader.onmessage = ({data}) => {
      if (data.job !== job) return;
      if (data.failed || data.done) return resolve(!!data.failed);
      try {
        take(new Uint8Array(data.bytes));
      } catch (error) {
        return reject(error);
      }
      reader.postMessage({op: 'more', job});
    };
    // The reader didn't load: read here, from the start.
    reader.onerror = (event) => {
      event.preventDefault();
      reader = null;
      readerFailed = true;
      readPiecesHere(file, take).then(resolve, reject);
    };
    reader.postMessage({op: 'read', job, file, piece: DIGEST_PIECE, ahead: DIGEST_AHEAD});
  });
}

// The same in this worker, for a browser without workers inside workers: the reads then get on
// only while the core waits for them.
async function readPiecesHere(file, take) {
  for (let at = 0; at < file.size; at += DIGEST_PIECE) {
    let bytes;
    try {
      bytes = await file.slice(at, at + DIGEST_PIECE).arrayBuffer();
    } catch {
      return true;
    }
    take(new Uint8Array(bytes));
  }
  return false;
}

async function digestFile(file) {
  const buffer = core.ccall('tvl_digest_begin', 'number', ['number'], [DIGEST_PIECE]);
  return readPieces(file, (bytes) => {
    core.HEAPU8.set(bytes, buffer);
    core.ccall('tvl_digest_update', null, ['number'], [bytes.length]);
  });
}

async function identify({file, patches}) {
  const paths = mount(file, patches);
  const failed = await digestFile(file);
  const answer = json('tvl_identify_fed', ['string', 'number'], [paths.input, failed ? 1 : 0]);
  return {op: 'identified', answer, targets: answer.index >= 0 ? targets(answer.index, paths.patches) : null};
}

function relist({source, patches}) {
  const paths = mount(null, patches);
  return {op: 'targets', targets: targets(source, paths.patches)};
}

// With `stream`, the result goes to the page piece by piece as it is decoded ('chunk' messages,
// before the answer), and the answer 'converted' says that all of it is sent and verified.
function convert({file, source, target, patches, stream}, post) {
  const result = stream ? resultStream(post) : null;
  const paths = mount(file, patches, result ? result.onChange : undefined);
  const missing = call('tvl_first_missing', ['number', 'number', 'string'], [source, target, paths.patches]);
  if (missing) return {op: 'missing', name: missing};
  let last = 0;
  core.onProgress = (written, expected) => {
    const now = performance.now();
    if (now - last > 50) {
      last = now;
      post({op: 'progress', written, expected});
    }
    return true;
  };
  const output = `${paths.out}/result.wad`;
  const report = json('tvl_convert', ['string', 'number', 'number', 'string', 'string', 'string'],
                      [paths.input, source, target, output, paths.temp, paths.patches]);
  core.onProgress = null;
  const memory = core.HEAPU8.length;
  let answer = {op: 'failed', report, memory};
  if (report.status === 'converted') {
    if (result) result.finish(output);
    answer = result ? {op: 'converted', memory} : {op: 'converted', blob: core.blobOf(output), memory};
  }
  // The written files are let go now: the page has the result, or it failed.
  unmountAll();
  return answer;
}

const handlers = {
  hello: () => ({
    op: 'hello',
    version: core.ccall('tvl_version', 'string', [], []),
    catalogue: json('tvl_catalogue', [], []),
  }),
  identify,
  targets: relist,
  convert,
};

async function handle(data) {
  const post = (message) => self.postMessage({id: data.id, ...message});
  try {
    await ready;
    if (loadFailed) return post({op: 'error', reason: 'core-failed'});
    post(await handlers[data.op](data, post));
  } catch (error) {
    post({op: 'error', reason: error && error.message ? error.message : String(error)});
  }
}

// Requests run one after another, in the order sent: identification waits on the browser's
// reads, and another request must not mount its files or use the core meanwhile.
let turn = Promise.resolve();
self.onmessage = ({data}) => {
  turn = turn.then(() => handle(data));
};
