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

// Mounts the input and the patch files under a fresh folder, and one to write into.
function mount(file, patches) {
  for (const path of mounted.splice(0)) core.unmountBlobFs(path);
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
  core.mountBlobFs(`${root}/out`, {writable: true});
  mounted = [`${root}/in`, `${root}/patches`, `${root}/out`].filter((path) => core.FS.analyzePath(path).exists);
  return {
    input: `${root}/in/${input}`,
    patches: havePatches ? `${root}/patches` : '',
    out: `${root}/out`,
  };
}

function targets(source, patchFolder) {
  return json('tvl_targets', ['number', 'string'], [source, patchFolder]);
}

function identify({file, patches}) {
  const paths = mount(file, patches);
  const answer = json('tvl_identify', ['string'], [paths.input]);
  return {op: 'identified', answer, targets: answer.index >= 0 ? targets(answer.index, paths.patches) : null};
}

function relist({source, patches}) {
  const paths = mount(null, patches);
  return {op: 'targets', targets: targets(source, paths.patches)};
}

async function convert({file, source, target, patches, handle}, post) {
  const paths = mount(file, patches);
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
                      [paths.input, source, target, output, paths.out, paths.patches]);
  core.onProgress = null;
  const memory = core.HEAPU8.length;
  if (report.status !== 'converted') return {op: 'failed', report, memory};
  const blob = core.blobOf(output);
  if (!handle) return {op: 'converted', blob, memory};
  // Nothing reaches the chosen file unless all of it does: the stream commits only on close().
  let writable = null;
  try {
    writable = await handle.createWritable();
    await writable.write(blob);
    await writable.close();
    return {op: 'saved', memory};
  } catch (error) {
    if (writable) await writable.abort().catch(() => {});
    return {op: 'save-failed', reason: error.message || String(error), memory};
  }
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

self.onmessage = async ({data}) => {
  const post = (message) => self.postMessage({id: data.id, ...message});
  try {
    await ready;
    if (loadFailed) return post({op: 'error', reason: 'core-failed'});
    post(await handlers[data.op](data, post));
  } catch (error) {
    post({op: 'error', reason: error && error.message ? error.message : String(error)});
  }
};
