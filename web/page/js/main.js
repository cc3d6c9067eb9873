// The page: what the user picks goes to the worker, what comes back is shown. Nothing here reads
// a file or does any of the work. Handlers change `state` and call render(state), which alone puts it
// on the page; each request's token is checked after every await, so a late answer can't
// overwrite what a newer request has shown.
import {ask, cancelCore, startCore, tell} from './core_client.js';
import {installDropZone} from './drop_zone.js';
import {showEntries} from './entry_list.js';
import {installLaunchQueue} from './launch_files.js';
import * as say from './messages.js';
import {showPatchList} from './patch_list.js';
import {Ask, Note, Reply, coreFailed} from './protocol.js';
import {showReleaseTable} from './release_table.js';
import {forget, loadRemembered, patchKey, remember} from './remembered_patches.js';
import {entrySaveName, openSaveStream, pickSaveFile, showResult, suggestedName, usesSavePicker} from './save_result.js';
import {showStatus} from './status_line.js';
import {showTargets} from './target_list.js';
import {registerServiceWorker} from './site_cache.js';

const byId = (id) => document.getElementById(id);
const noFile = {title: 'No file chosen', sha1: '-'};
const state = {
  ready: false,
  unusable: false,  // the browser lacks what the page needs: nothing can be pressed
  catalogue: [],
  version: '-',
  file: null,     // what the user picked: a game file, or a zip holding one
  entries: null,  // a zip's game files when it holds several: [{name, size}]
  entry: null,    // the entry asked for, of those
  unpacked: null, // the zip entry identified: {name, file}, the file unpacked in the browser's storage
                  // (no file when the worker holds its bytes)
  held: 0,        // the worker holds the identified file's bytes under this token; 0 if not
  release: null,  // the identified release, or null
  title: noFile.title,
  sha1: noFile.sha1,
  targets: null,
  selected: -1,
  patches: [],    // the player's patch files, kept in the browser where it can
  patchNotes: [], // why some of the last ones picked can't be used
  keptNote: '',   // why the browser can't keep them, if it can't
  keeping: 0,     // changes to the kept patches under way
  kept: 0,        // and done, since the page opened
  running: false,
  identifying: false, // a file is being identified: Cancel stops that
  runText: '',        // what the status says of the run under way
  status: {text: 'Loading…', kind: 'info'},
  progress: {done: 0, size: 0},
  result: null,       // {blob, name}: a verified result to download
  wasmMemory: null,
  focus: null,        // an element's id to move the focus to, once
  reveal: false,      // bring the progress into view, once
  openPatches: false, // open the patch section, once (patches were kept from an earlier visit)
};

let shownCatalogue = null;

// The worker reads a file up to this size whole, for the browser's SHA-1, and keeps its bytes for
// the conversion: reading the file again costs more than the rest of a run. Every release is well
// under it, so the page holds at most this much of the file while it is open (twice that while
// the browser hashes it). ?hold=N sets another size, for tests.
const HOLD_LIMIT = 128 << 20;
function holdLimit() {
  const asked = new URLSearchParams(location.search).get('hold');
  return asked !== null && Number(asked) >= 0 ? Number(asked) : HOLD_LIMIT;
}

// Tokens: each request is one of a lane's, and only the lane's newest may change the page.
const tokens = {file: 0, patches: 0};
const fresh = (lane) => ++tokens[lane];
const stale = (lane, token) => token !== tokens[lane];

function selectedTarget() {
  return state.targets ? state.targets.items.find((item) => item.index === state.selected) : undefined;
}

function setStatus(text, kind = 'info') {
  state.status = {text, kind};
}

function render(state) {
  if (state.catalogue.length > 0 && state.catalogue !== shownCatalogue) showReleaseTable((shownCatalogue = state.catalogue));
  const target = selectedTarget();
  const cancel = byId('cancel');
  const hadFocus = document.activeElement === cancel;
  byId('convert').disabled = state.running || !state.release || !target || !target.convertible;
  cancel.hidden = !state.running && !state.identifying;
  const locked = state.running || state.unusable;
  for (const id of ['input-file', 'drop-zone', 'patch-files', 'patch-folder']) byId(id).disabled = locked;
  byId('release-title').textContent = state.title;
  byId('sha1').textContent = state.sha1;
  byId('version').textContent = state.version;
  showEntries(byId('entry-choice'), state.entries, state.entry, state.running, (name) => onFile(state.file, name));
  const placeholder = !state.file ? 'Choose a file first.'
    : state.identifying ? 'Identifying the file…' : 'Nothing to convert: no known release was identified.';
  showTargets(byId('targets'), state.targets, state.selected, state.running, onSelect, placeholder);
  byId('patch-count').textContent = [say.patchCountText(state.patches.length), ...state.patchNotes, state.keptNote]
      .filter(Boolean).join('\n');
  showPatchList(byId('patch-list'), state.patches, state.running, onRemovePatch);
  byId('patch-list').setAttribute('aria-busy', String(state.keeping > 0));
  byId('patch-list').dataset.changes = String(state.kept);
  if (state.openPatches) byId('patch-source').open = true;
  const {done, size} = state.progress;
  const progress = byId('progress');
  progress.value = size > 0 ? done / size : 0;
  progress.textContent = `${Math.round(progress.value * 100)}%`;
  showStatus(state.status.text, state.status.kind);
  showResult(state.result);
  if (state.wasmMemory !== null) document.body.dataset.wasmMemory = String(state.wasmMemory);
  if (state.ready) document.body.dataset.ready = 'true';
  if (state.reveal) byId('run').scrollIntoView({block: 'nearest'});
  // A hidden Cancel would leave the focus nowhere, and the next Tab at the page's start.
  if (!state.focus && hadFocus && cancel.hidden) state.focus = byId('convert').disabled ? 'drop-zone' : 'convert';
  if (state.focus) byId(state.focus)?.focus();
  state.focus = null;
  state.reveal = false;
  state.openPatches = false;
}

function onSelect(item) {
  state.selected = item.index;
  state.result = null;
  state.progress = {done: 0, size: 0};
  if (item.convertible && !item.present) setStatus(say.targetNeedsText(item, item.missing), 'warning');
  else setStatus(`Convert to ${item.title}: press Convert.`);
  render(state);
}

// What was dropped or picked as the IWAD (or opened with the installed app). Patches (.vcdiff
// files, or zips of them) are added to the patches and leave the identified file, or the one
// being identified, as it is; the first other file is identified, unless another was picked
// meanwhile. Only names that may be patches go through the worker first: any other file is
// identified at once.
async function onInput(files) {
  if (files.length === 0) return;
  // The run keeps its files: a drop now is said to be passed over, not lost in silence.
  if (state.running) {
    setStatus(`${state.runText}\n${say.dropIgnoredText(files)}`);
    return render(state);
  }
  if (!files.some((file) => /\.(vcdiff|zip)$/i.test(file.name))) return onFile(files[0]);
  const token = tokens.file;
  setStatus(say.readingText(files));
  render(state);
  const answer = await ask({op: Ask.patches, files});
  // The patches are the player's whatever was picked since; a failure is told only if nothing was.
  if (answer.op !== Reply.patches) return stale('file', token) ? undefined : showWorkerFailure(answer);
  if (answer.patches.length > 0 || answer.notes.length > 0) await usePatches(answer, false);
  if (answer.others.length > 0 && !stale('file', token)) onFile(answer.others[0].file);
}

// Identifies `file`, or with `entry` that game file of the zip `file`.
async function onFile(file, entry = null) {
  if (state.running) return;
  const token = fresh('file');
  Object.assign(state, {file, entry, unpacked: null, held: 0, release: null, targets: null, selected: -1, result: null,
                        title: entry ? `${entry} (in ${file.name})` : file.name, sha1: 'working…',
                        identifying: true, progress: {done: 0, size: 0}});
  if (!entry) state.entries = null;
  const name = entry || file.name;
  setStatus(say.identifyingText(name));
  render(state);
  const answer = await ask({op: Ask.identify, file, entry, patches: state.patches, hold: holdLimit()}, (note) => {
    if (stale('file', token)) return;
    state.progress = {done: note.done, size: note.size};
    setStatus(say.identifyingText(name, note.done, note.size));
    render(state);
  });
  if (stale('file', token)) return;  // another file (or entry) was picked meanwhile
  state.identifying = false;
  state.progress = {done: 0, size: 0};
  showIdentified(file, answer);
  render(state);
}

function showIdentified(file, answer) {
  switch (answer.op) {
    case Reply.cancelled:
      Object.assign(state, {file: null, entries: null, ...noFile});
      return setStatus(say.identifyCancelledText, 'warning');
    case Reply.choose:
      Object.assign(state, {entries: answer.entries, title: file.name, sha1: '-'});
      return setStatus(say.chooseEntryText(answer.archive, answer.entries.length));
    case Reply.noWad:
    case Reply.zipFailed:
      Object.assign(state, {title: 'Unknown file', sha1: '-'});
      return setStatus(answer.op === Reply.noWad ? say.noWadEntryText(answer.archive) : say.zipFailedText(answer.reason), 'error');
    case Reply.identified:
      break;
    default:
      state.sha1 = '-';
      return workerFailure(answer);
  }
  state.unpacked = answer.entry || null;
  state.held = answer.held || 0;
  state.sha1 = answer.answer.sha1 || '-';
  if (answer.answer.index < 0) {
    state.title = 'Unknown file';
    return setStatus(say.unknownFileText(answer.answer), 'error');
  }
  state.release = state.catalogue[answer.answer.index];
  state.targets = answer.targets;
  state.title = state.release.title;
  setStatus(say.identifiedText(state.release, state.targets), state.release.flags & 2 ? 'error' : 'info');
}

async function onPatches(files, fromFolder) {
  // A folder's own files only, as the command line's --patches reads its folder.
  const own = [...files].filter((file) => !fromFolder || file.webkitRelativePath.split('/').length === 2);
  const token = fresh('patches');
  const answer = await ask({op: Ask.patches, files: own});
  if (stale('patches', token)) return;
  if (answer.op !== Reply.patches) return showWorkerFailure(answer);
  // Here an archive that can't be read was meant as patches: say why it gave none.
  const notes = [...answer.notes, ...answer.others.filter((other) => other.error).map((other) => other.error)];
  await usePatches({...answer, notes}, true);
}

// Adds the patches the worker sorted out to the player's (a later file of the same name wins),
// keeps them in the browser, and lists the targets again with them. `picked`: from the patch
// pickers, whose target choice then stands.
async function usePatches({patches, notes}, picked) {
  const token = fresh('patches');
  const added = new Set(patches.map((file) => patchKey(file.name)));
  state.patches = [...state.patches.filter((file) => !added.has(patchKey(file.name))), ...patches];
  // The notes stay beside the count: a dropped game file's identification takes the status line.
  state.patchNotes = notes;
  if (notes.length > 0) setStatus(say.patchNotesText(notes), 'error');
  else if (!picked) setStatus(say.patchesAddedText(patches.length, state.patches.length));
  render(state);
  const [notKept] = await Promise.all([keep(() => patches.length > 0 ? remember(patches) : null), relist(token)]);
  if (notKept && !stale('patches', token)) {
    state.keptNote = say.notKeptText(notKept);
    render(state);
  }
  const target = selectedTarget();
  if (target && picked && notes.length === 0 && !stale('patches', token)) onSelect(target);
}

// Runs a change to the kept patches, the list marked busy meanwhile. Resolves as `change` does.
async function keep(change) {
  state.keeping += 1;
  render(state);
  try {
    return await change();
  } finally {
    state.keeping -= 1;
    state.kept += 1;
    render(state);
  }
}

// Lists the identified release's targets again, with the patches as they are now.
async function relist(token) {
  const release = state.release;
  if (!release) return;
  const fileToken = tokens.file;
  const answer = await ask({op: Ask.targets, source: release.index, patches: state.patches});
  if (stale('patches', token) || stale('file', fileToken)) return;  // newer patches, or another file
  if (answer.op !== Reply.targets) return showWorkerFailure(answer);
  state.targets = answer.targets;
  render(state);
}

async function onRemovePatch(name) {
  if (state.running) return;
  const token = fresh('patches');
  const at = state.patches.findIndex((file) => file.name === name);
  state.patches = state.patches.filter((file) => file.name !== name);
  state.patchNotes = [];
  setStatus(say.patchRemovedText(name));
  // The focus goes to the next line's Remove, or to the picker once none is left.
  state.focus = state.patches.length === 0 ? 'patch-files' : `remove-patch-${Math.min(at, state.patches.length - 1)}`;
  render(state);
  const [failed] = await Promise.all([keep(() => forget(name)), relist(token)]);
  if (failed && !stale('patches', token)) {
    state.keptNote = say.notKeptText(failed);
    render(state);
  }
}

// The file a conversion reads: the one picked, the zip entry unpacked from it, or (where the worker
// held the entry's bytes, and has none) the entry named in the archive.
function convertedFile() {
  if (!state.unpacked) return {file: state.file};
  return state.unpacked.file ? {file: state.unpacked.file} : {file: state.file, entry: state.unpacked.name};
}

async function onConvert() {
  const target = selectedTarget();
  if (!target || state.running) return;
  if (!target.present) {
    state.progress = {done: 0, size: 0};
    setStatus(say.missingPatchText(target.missing), 'error');
    return render(state);
  }
  const fileToken = tokens.file;
  const name = state.unpacked ? entrySaveName(state.unpacked.name, target.id) : suggestedName(state.file.name, target.id);
  // The picker first, while the click still counts as the user's: it needs that.
  let save = null;
  if (usesSavePicker()) {
    const handle = await pickSaveFile(name);
    if (stale('file', fileToken)) return;
    if (!handle) {
      setStatus(say.noSaveChosenText, 'warning');
      return render(state);
    }
    // A file that can't take the result stops the run: nothing else could come of it.
    const opened = await openSaveStream(handle, () => cancelCore());
    if (!opened.stream) {
      setStatus(say.saveFailedText(opened.reason), 'error');
      return render(state);
    }
    save = opened.stream;
  }
  // The file or target may have changed while the picker was open: this run is not wanted then.
  if (state.running || stale('file', fileToken) || state.selected !== target.index) return save?.discard();
  state.runText = say.convertingText(target);
  Object.assign(state, {running: true, result: null, progress: {done: 0, size: 0}, focus: 'cancel', reveal: true});
  setStatus(state.runText);
  render(state);
  let answer = await ask(
      {op: Ask.convert, ...convertedFile(), held: state.held, source: state.release.index,
       target: target.index, patches: state.patches, stream: save !== null},
      (note) => {
        if (note.op === Note.chunk) return save.write(note);
        state.progress = {done: note.written, size: note.expected};
        render(state);
      });
  if (save) {
    // Only a verified result is kept: anything else, Cancel too, leaves the file as it was.
    if (answer.op !== Reply.converted) {
      await save.discard();
      if (save.failure) answer = {op: 'save-failed', reason: save.failure};
    } else {
      const reason = await save.finish();
      answer = reason ? {...answer, op: 'save-failed', reason} : {...answer, op: 'saved'};
    }
  }
  state.running = false;
  if ('memory' in answer) state.wasmMemory = answer.memory;
  const done = answer.op === Reply.converted || answer.op === 'saved';
  state.progress = done ? {done: 1, size: 1} : {done: 0, size: 0};
  switch (answer.op) {
    case Reply.converted:
      state.result = {blob: answer.blob, name};
      state.focus = 'save';
      setStatus(say.convertedText(target, name), 'done');
      break;
    case 'saved':
      setStatus(say.savedText(target, name), 'done');
      break;
    case Reply.missing:
      setStatus(say.missingPatchText(answer.name), 'error');
      break;
    case Reply.unfetched:
      setStatus(say.unfetchedPatchText(answer.name), 'error');
      break;
    case Reply.zipFailed:
      setStatus(say.rereadFailedText(answer.reason), 'error');
      break;
    case Reply.failed:
      setStatus(say.failureText(answer.report), 'error');
      break;
    case 'save-failed':
      setStatus(say.saveFailedText(answer.reason), 'error');
      break;
    case Reply.cancelled:
      setStatus(say.cancelledText, 'warning');
      break;
    default:
      workerFailure(answer);
  }
  render(state);
}

// Says what went wrong with the worker (nothing for a request that was cancelled or superseded).
function workerFailure(answer) {
  if (answer.op === Reply.cancelled || answer.op === Reply.superseded) return;
  setStatus(answer.reason === coreFailed ? say.coreFailedText : `Something went wrong: ${answer.reason}`, 'error');
}

function showWorkerFailure(answer) {
  workerFailure(answer);
  render(state);
}

async function start() {
  if (typeof WebAssembly !== 'object' || typeof Worker !== 'function') {
    state.unusable = true;
    setStatus(say.noWasmText, 'error');
    return render(state);
  }
  registerServiceWorker();
  render(state);
  const input = byId('input-file');
  input.addEventListener('change', () => onInput([...input.files]));
  installDropZone(input, onInput);
  byId('patch-files').addEventListener('change', (event) => onPatches(event.target.files, false));
  byId('patch-folder').addEventListener('change', (event) => onPatches(event.target.files, true));
  byId('convert').addEventListener('click', onConvert);
  byId('cancel').addEventListener('click', () => {
    if (state.running) cancelCore();
    else if (state.identifying) tell({op: Ask.stopIdentify});
  });
  // A worker that fails between requests (it couldn't load after Cancel) is told at once.
  startCore(() => {
    if (state.running) return;
    setStatus(say.coreFailedText, 'error');
    render(state);
  });
  const [hello, kept] = await Promise.all([ask({op: Ask.hello}), loadRemembered()]);
  if (hello.op !== Reply.hello) return showWorkerFailure(hello);
  state.catalogue = hello.catalogue;
  state.version = hello.version;
  // Patches kept from an earlier visit, unless the player picked some meanwhile.
  if (tokens.patches === 0) {
    state.patches = kept.files;
    state.openPatches = kept.files.length > 0;
  }
  if (kept.reason) state.keptNote = say.notKeptText(kept.reason);
  state.ready = true;
  setStatus('Choose an IWAD file, or drop it on the page.');
  render(state);
  // Files the installed app was asked to open, once it can take them.
  installLaunchQueue(onInput);
}

start();
