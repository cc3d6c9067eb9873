// The page: what the user picks goes to the worker, what comes back is shown. Nothing here reads
// a file or does any of the work.
import {ask, cancelCore, startCore} from './core_client.js';
import {installDropZone} from './drop_zone.js';
import * as say from './messages.js';
import {showReleaseTable} from './release_table.js';
import {offerDownload, openSaveStream, pickSaveFile, suggestedName, usesSavePicker, withdrawResult} from './save_result.js';
import {showStatus} from './status_line.js';
import {showTargets} from './target_list.js';

const byId = (id) => document.getElementById(id);
const state = {
  catalogue: [],
  file: null,
  release: null,  // the identified release, or null
  targets: null,
  selected: -1,
  patches: [],
  running: false,
};

function selectedTarget() {
  return state.targets ? state.targets.items.find((item) => item.index === state.selected) : undefined;
}

function render() {
  const target = selectedTarget();
  byId('convert').disabled = state.running || !state.release || !target || !target.convertible;
  byId('cancel').hidden = !state.running;
  for (const id of ['input-file', 'drop-zone', 'patch-files', 'patch-folder']) byId(id).disabled = state.running;
  showTargets(byId('targets'), state.targets, state.selected, onSelect);
  for (const radio of byId('targets').querySelectorAll('input')) radio.disabled ||= state.running;
}

function resetProgress() {
  const progress = byId('progress');
  progress.value = 0;
  progress.textContent = '0%';
}

function onSelect(item) {
  state.selected = item.index;
  withdrawResult();
  resetProgress();
  render();
  if (item.convertible && !item.present) showStatus(say.targetNeedsText(item, item.missing), 'warning');
  else showStatus(`Convert to ${item.title}: press Convert.`);
}

async function onFile(file) {
  if (state.running) return;
  state.file = file;
  state.release = null;
  state.targets = null;
  state.selected = -1;
  withdrawResult();
  byId('release-title').textContent = file.name;
  byId('sha1').textContent = 'working…';
  render();
  showStatus(`Identifying ${file.name}…`);
  const answer = await ask({op: 'identify', file, patches: state.patches});
  if (answer.op !== 'identified') return showWorkerFailure(answer);
  if (state.file !== file) return;  // another file was picked meanwhile
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
  state.patches = [...files].filter((file) => !fromFolder || file.webkitRelativePath.split('/').length === 2);
  const count = state.patches.filter((file) => file.name.endsWith('.vcdiff')).length;
  byId('patch-count').textContent = count === 0 ? 'No patch files chosen.'
    : `${count} patch file${count === 1 ? '' : 's'} chosen.`;
  if (!state.release) return;
  const answer = await ask({op: 'targets', source: state.release.index, patches: state.patches});
  if (answer.op !== 'targets') return showWorkerFailure(answer);
  state.targets = answer.targets;
  render();
  const target = selectedTarget();
  if (target) onSelect(target);
}

async function onConvert() {
  const target = selectedTarget();
  if (!target || state.running) return;
  if (!target.present) {
    resetProgress();
    return showStatus(say.missingPatchText(target.missing), 'error');
  }
  const name = suggestedName(state.file.name, target.id);
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
  showStatus(say.convertingText(target));
  let answer = await ask(
      {op: 'convert', file: state.file, source: state.release.index, target: target.index,
       patches: state.patches, stream: save !== null},
      (note) => {
        if (note.op === 'chunk') return save.write(note);
        progress.value = note.expected > 0 ? note.written / note.expected : 0;
        progress.textContent = `${Math.round(progress.value * 100)}%`;
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
  if (answer.op === 'cancelled') return;
  showStatus(answer.reason === 'core-failed' ? say.coreFailedText : `Something went wrong: ${answer.reason}`, 'error');
}

async function start() {
  if (typeof WebAssembly !== 'object' || typeof Worker !== 'function') {
    for (const id of ['input-file', 'drop-zone', 'patch-files', 'patch-folder']) byId(id).disabled = true;
    return showStatus(say.noWasmText, 'error');
  }
  const input = byId('input-file');
  input.addEventListener('change', () => input.files[0] && onFile(input.files[0]));
  installDropZone(input, onFile);
  byId('patch-files').addEventListener('change', (event) => onPatches(event.target.files, false));
  byId('patch-folder').addEventListener('change', (event) => onPatches(event.target.files, true));
  byId('convert').addEventListener('click', onConvert);
  byId('cancel').addEventListener('click', () => cancelCore());
  startCore();
  const hello = await ask({op: 'hello'});
  if (hello.op !== 'hello') return showWorkerFailure(hello);
  state.catalogue = hello.catalogue;
  byId('version').textContent = hello.version;
  showReleaseTable(hello.catalogue);
  document.body.dataset.ready = 'true';
  showStatus('Choose an IWAD file, or drop it on the page.');
}

start();
