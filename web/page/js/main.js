// The page: what the user picks goes to the worker, what comes back is shown. Nothing here reads
// a file or does any of the work.
import {ask, cancelCore, startCore, tell} from './core_client.js';
import {installDropZone} from './drop_zone.js';
import {showEntries} from './entry_list.js';
import * as say from './messages.js';
import {showReleaseTable} from './release_table.js';
import {entrySaveName, offerDownload, openSaveStream, pickSaveFile, suggestedName, usesSavePicker, withdrawResult} from './save_result.js';
import {showStatus} from './status_line.js';
import {showTargets} from './target_list.js';

const byId = (id) => document.getElementById(id);
const state = {
  catalogue: [],
  file: null,     // what the user picked: a game file, or a zip holding one
  entries: null,  // a zip's game files when it holds several: [{name, size}]
  entry: null,    // the entry asked for, of those
  unpacked: null, // the zip entry identified: {name, file}, the file unpacked in the browser's storage
  release: null,  // the identified release, or null
  targets: null,
  selected: -1,
  patches: [],
  running: false,
  runText: '',        // what the status says of the run under way
  identifying: false, // a file is being identified: Cancel stops that
};

function selectedTarget() {
  return state.targets ? state.targets.items.find((item) => item.index === state.selected) : undefined;
}

function render() {
  const target = selectedTarget();
  byId('convert').disabled = state.running || !state.release || !target || !target.convertible;
  const cancel = byId('cancel');
  const hadFocus = document.activeElement === cancel;
  cancel.hidden = !state.running && !state.identifying;
  for (const id of ['input-file', 'drop-zone', 'patch-files', 'patch-folder']) byId(id).disabled = state.running;
  showEntries(byId('entry-choice'), state.entries, state.entry, state.running, (name) => onFile(state.file, name));
  const placeholder = !state.file ? 'Choose a file first.'
    : state.identifying ? 'Identifying the file…' : 'Nothing to convert: no known release was identified.';
  showTargets(byId('targets'), state.targets, state.selected, state.running, onSelect, placeholder);
  // A hidden Cancel would leave the focus nowhere, and the next Tab at the page's start.
  if (hadFocus && cancel.hidden) {
    const convert = byId('convert');
    (convert.disabled ? byId('drop-zone') : convert).focus();
  }
}

function showProgress(done, size) {
  const progress = byId('progress');
  progress.value = size > 0 ? done / size : 0;
  progress.textContent = `${Math.round(progress.value * 100)}%`;
}

function resetProgress() {
  showProgress(0, 0);
}

function onSelect(item) {
  state.selected = item.index;
  withdrawResult();
  resetProgress();
  render();
  if (item.convertible && !item.present) showStatus(say.targetNeedsText(item, item.missing), 'warning');
  else showStatus(`Convert to ${item.title}: press Convert.`);
}

// Each new file to identify (or patch pick) counts; an answer for an older one is dropped.
let inputs = 0;
let patchPicks = 0;

// What was dropped or picked as the IWAD. Patches (.vcdiff files, or zips of them) are added to the
// patches and leave the identified file, or the one being identified, as it is; the first other
// file is identified, unless another was picked meanwhile. Only names that may be patches go
// through the worker first: any other file is identified at once.
async function onInput(files) {
  if (files.length === 0) return;
  // The run keeps its files: a drop now is said to be passed over, not lost in silence.
  if (state.running) return showStatus(`${state.runText}\n${say.dropIgnoredText(files)}`);
  if (!files.some((file) => /\.(vcdiff|zip)$/i.test(file.name))) return onFile(files[0]);
  const picked = inputs;
  showStatus(say.readingText(files));
  const answer = await ask({op: 'patches', files});
  if (answer.op !== 'patches') return showWorkerFailure(answer);
  if (answer.patches.length > 0 || answer.notes.length > 0) await usePatches(answer, false);
  if (answer.others.length > 0 && picked === inputs) onFile(answer.others[0].file);
}

// Identifies `file`, or with `entry` that game file of the zip `file`.
async function onFile(file, entry = null) {
  if (state.running) return;
  const mine = ++inputs;
  state.file = file;
  state.entry = entry;
  if (!entry) state.entries = null;
  state.unpacked = null;
  state.release = null;
  state.targets = null;
  state.selected = -1;
  withdrawResult();
  byId('release-title').textContent = entry ? `${entry} (in ${file.name})` : file.name;
  byId('sha1').textContent = 'working…';
  state.identifying = true;
  resetProgress();
  render();
  const name = entry || file.name;
  showStatus(say.identifyingText(name));
  const answer = await ask({op: 'identify', file, entry, patches: state.patches}, (note) => {
    if (mine !== inputs) return;
    showProgress(note.done, note.size);
    showStatus(say.identifyingText(name, note.done, note.size));
  });
  if (mine !== inputs) return;  // another file (or entry) was picked meanwhile
  state.identifying = false;
  resetProgress();
  if (answer.op === 'cancelled') {
    state.file = null;
    state.entries = null;
    byId('release-title').textContent = 'No file chosen';
    byId('sha1').textContent = '-';
    render();
    return showStatus(say.identifyCancelledText, 'warning');
  }
  if (!['identified', 'choose', 'zip-failed', 'no-wad'].includes(answer.op)) {
    byId('sha1').textContent = '-';
    render();
    return showWorkerFailure(answer);
  }
  if (answer.op !== 'identified') {
    byId('sha1').textContent = '-';
    if (answer.op === 'choose') {
      state.entries = answer.entries;
      byId('release-title').textContent = file.name;
      render();
      return showStatus(say.chooseEntryText(answer.archive, answer.entries.length));
    }
    byId('release-title').textContent = 'Unknown file';
    render();
    return showStatus(answer.op === 'no-wad' ? say.noWadEntryText(answer.archive) : say.zipFailedText(answer.reason), 'error');
  }
  state.unpacked = answer.entry || null;
  byId('sha1').textContent = answer.answer.sha1 || '-';
  if (answer.answer.index < 0) {
    byId('release-title').textContent = 'Unknown file';
    render();
    return showStatus(say.unknownFileText(answer.answer), 'error');
  }
  state.release = state.catalogue[answer.answer.index];
  state.targets = answer.targets;
  byId('release-title').textContent = state.release.title;
  render();
  showStatus(say.identifiedText(state.release, state.targets), state.release.flags & 2 ? 'error' : 'info');
}

async function onPatches(files, fromFolder) {
  // A folder's own files only, as the command line's --patches reads its folder.
  const own = [...files].filter((file) => !fromFolder || file.webkitRelativePath.split('/').length === 2);
  const mine = ++patchPicks;
  const answer = await ask({op: 'patches', files: own});
  if (answer.op !== 'patches') return showWorkerFailure(answer);
  if (mine !== patchPicks) return;
  // Here an archive that can't be read was meant as patches: say why it gave none.
  const notes = [...answer.notes, ...answer.others.filter((other) => other.error).map((other) => other.error)];
  await usePatches({...answer, notes}, true);
}

// Takes the patches the worker sorted out: in place of the chosen ones for the patch pickers,
// which name the whole set, else added to them (a later file of the same name wins).
async function usePatches({patches, notes}, replace) {
  const key = (file) => file.name.replace(/\.vcdiff$/i, '.vcdiff');
  const added = new Set(patches.map(key));
  state.patches = replace ? patches : [...state.patches.filter((file) => !added.has(key(file))), ...patches];
  // The notes stay beside the count: a dropped game file's identification takes the status line.
  byId('patch-count').textContent = [say.patchCountText(state.patches.length), ...notes].join('\n');
  if (notes.length > 0) showStatus(say.patchNotesText(notes), 'error');
  else if (!replace) showStatus(say.patchesAddedText(patches.length, state.patches.length));
  const release = state.release;
  if (!release) return;
  const answer = await ask({op: 'targets', source: release.index, patches: state.patches});
  if (answer.op !== 'targets') return showWorkerFailure(answer);
  if (state.release !== release) return;  // another file was picked meanwhile
  state.targets = answer.targets;
  render();
  const target = selectedTarget();
  if (target && replace && notes.length === 0) onSelect(target);
}

async function onConvert() {
  const target = selectedTarget();
  if (!target || state.running) return;
  if (!target.present) {
    resetProgress();
    return showStatus(say.missingPatchText(target.missing), 'error');
  }
  const name = state.unpacked ? entrySaveName(state.unpacked.name, target.id) : suggestedName(state.file.name, target.id);
  // The picker first, while the click still counts as the user's: it needs that.
  let save = null;
  if (usesSavePicker()) {
    const handle = await pickSaveFile(name);
    if (!handle) return showStatus(say.noSaveChosenText, 'warning');
    // A file that can't take the result stops the run: nothing else could come of it.
    const opened = await openSaveStream(handle, () => cancelCore());
    if (!opened.stream) return showStatus(say.saveFailedText(opened.reason), 'error');
    save = opened.stream;
  }
  withdrawResult();
  state.running = true;
  const progress = byId('progress');
  resetProgress();
  render();
  byId('cancel').focus();
  state.runText = say.convertingText(target);
  showStatus(state.runText);
  // The bar and the status in sight, however far down the page they are.
  byId('run').scrollIntoView({block: 'nearest'});
  let answer = await ask(
      {op: 'convert', file: state.unpacked ? state.unpacked.file : state.file, source: state.release.index, target: target.index,
       patches: state.patches, stream: save !== null},
      (note) => {
        if (note.op === 'chunk') return save.write(note);
        showProgress(note.written, note.expected);
      });
  if (save) {
    // Only a verified result is kept: anything else, Cancel too, leaves the file as it was.
    if (answer.op !== 'converted') {
      await save.discard();
      if (save.failure) answer = {op: 'save-failed', reason: save.failure};
    } else {
      const reason = await save.finish();
      answer = reason ? {...answer, op: 'save-failed', reason} : {...answer, op: 'saved'};
    }
  }
  state.running = false;
  if ('memory' in answer) document.body.dataset.wasmMemory = String(answer.memory);
  render();
  switch (answer.op) {
    case 'converted':
      progress.value = 1;
      offerDownload(answer.blob, name);
      return showStatus(say.convertedText(target, name), 'done');
    case 'saved':
      progress.value = 1;
      return showStatus(say.savedText(target, name), 'done');
    case 'missing':
      progress.value = 0;
      return showStatus(say.missingPatchText(answer.name), 'error');
    case 'failed':
      progress.value = 0;
      return showStatus(say.failureText(answer.report), 'error');
    case 'save-failed':
      progress.value = 0;
      return showStatus(say.saveFailedText(answer.reason), 'error');
    case 'cancelled':
      progress.value = 0;
      return showStatus(say.cancelledText, 'warning');
    default:
      progress.value = 0;
      return showWorkerFailure(answer);
  }
}

function showWorkerFailure(answer) {
  if (answer.op === 'cancelled' || answer.op === 'superseded') return;
  showStatus(answer.reason === 'core-failed' ? say.coreFailedText : `Something went wrong: ${answer.reason}`, 'error');
}

async function start() {
  if (typeof WebAssembly !== 'object' || typeof Worker !== 'function') {
    for (const id of ['input-file', 'drop-zone', 'patch-files', 'patch-folder']) byId(id).disabled = true;
    return showStatus(say.noWasmText, 'error');
  }
  const input = byId('input-file');
  input.addEventListener('change', () => onInput([...input.files]));
  installDropZone(input, onInput);
  byId('patch-files').addEventListener('change', (event) => onPatches(event.target.files, false));
  byId('patch-folder').addEventListener('change', (event) => onPatches(event.target.files, true));
  byId('convert').addEventListener('click', onConvert);
  byId('cancel').addEventListener('click', () => {
    if (state.running) cancelCore();
    else if (state.identifying) tell({op: 'stop-identify'});
  });
  // A worker that fails between requests (it couldn't load after Cancel) is told at once.
  startCore(() => {
    if (!state.running) showStatus(say.coreFailedText, 'error');
  });
  const hello = await ask({op: 'hello'});
  if (hello.op !== 'hello') return showWorkerFailure(hello);
  state.catalogue = hello.catalogue;
  byId('version').textContent = hello.version;
  showReleaseTable(hello.catalogue);
  document.body.dataset.ready = 'true';
  showStatus('Choose an IWAD file, or drop it on the page.');
}

start();
