// Everything the page says about an outcome, in its own words.

function sentence(text) {
  if (!text) return '';
  text = text[0].toUpperCase() + text.slice(1);
  return text.endsWith('.') ? text : text + '.';
}

function baseName(path) {
  return path.slice(path.lastIndexOf('/') + 1);
}

export const noWasmText =
  "This browser can't run WebAssembly, which Tarvelline needs to read and convert game files. " +
  'A current version of Firefox, Chrome, Edge or Safari can.';

// The worker's files are fetched again when it starts over (after Cancel): offline, they can't be.
export const coreFailedText =
  "Tarvelline's converter could not be started in this browser. Its files may not have " +
  'loaded (is this computer offline?): reload the page to try again. It also needs WebAssembly ' +
  'with exception handling and module workers, which browsers have had since 2022.';

// A sentence of the core's, ended: its first word may be a file's name, kept as it is.
function ended(text) {
  return text.endsWith('.') ? text : text + '.';
}

export function zipFailedText(reason) {
  return ended(reason) + ' Nothing was identified from it.';
}

export function noWadEntryText(archive) {
  return `${archive} holds no game file: no .wad, .iwad or .ipk3 inside it.`;
}

export function chooseEntryText(archive, count) {
  return `${archive} holds ${count} game files. Choose the one to identify.`;
}

export function unsupportedInflateText(archive, entry) {
  return `${archive}: ${entry} is compressed, and this browser can't unpack it ` +
    "(it lacks DecompressionStream('deflate-raw')). A current Firefox, Chrome, Edge or Safari can.";
}

export function readingText(files) {
  return `Reading ${files.map((file) => file.name).join(', ')}…`;
}

export function patchCountText(count) {
  return count === 0 ? 'No patch files chosen.' : `${count} patch file${count === 1 ? '' : 's'} chosen.`;
}

export function patchesAddedText(count, total) {
  return `Added ${count} patch file${count === 1 ? '' : 's'}; ${total} in all.`;
}

export function patchNotesText(notes) {
  return 'Some patches can\'t be used:\n' + notes.map(ended).join('\n');
}

export function unknownFileText(answer) {
  if (answer.unreadable) return `The file can't be read: ${answer.unreadable}.`;
  let text = 'This file is not a release Tarvelline knows.\n' + sentence(answer.explain);
  if (answer.note) text += ' ' + answer.note;
  return text + `\nSHA-1: ${answer.sha1}`;
}

export function identifiedText(release, targets) {
  if (release.flags & 2) {
    return `${release.title} is known for identification only: Tarvelline converts neither from nor to it.`;
  }
  if (targets.items.length === 0) return `${release.title}: there are no other releases of this game.`;
  return `${release.title}. Choose the release to convert it to.`;
}

export function missingPatchText(name) {
  return `The patch ${name}.vcdiff is needed and this page doesn't carry it. ` +
    'Pick the file under "Patches this page lacks", then convert again.';
}

export function targetNeedsText(target, missing) {
  return `Converting to ${target.title} needs ${missing}.vcdiff, which this page doesn't carry.`;
}

export function convertingText(target) {
  return `Converting to ${target.title}…`;
}

export function convertedText(target, fileName) {
  return `Converted to ${target.title} and checked by SHA-1. Save it as ${fileName}.`;
}

export function savedText(target, fileName) {
  return `Converted to ${target.title}, checked by SHA-1 and saved as ${fileName}.`;
}

export const cancelledText = 'Cancelled: nothing was saved.';
export const noSaveChosenText = 'Not converted: no place to save the result was chosen.';

// The core's words with the worker's own folders ("/r3/patches/...") cut down to file names.
function withoutPaths(text) {
  return String(text || '').replace(/\/[rz]\d+\/\S*\/([^/\s:]+)/g, '$1');
}

// A conversion's report from the core, as the user should hear it: a picked patch is named as
// the user picked it, and what the decoder saw is said as what it means for the user.
export function failureText(report) {
  const patchFile = report.patchFile ? report.patchName || baseName(report.patchFile) : '';
  switch (report.status) {
    case 'cancelled':
      return cancelledText;
    case 'no-route':
      return 'There is no conversion between these releases.';
    case 'verify-failed':
      if (/not the patch its name says/.test(report.detail)) {
        return 'The result is not the release it should be, so nothing was saved: a patch file ' +
          'you picked may be another patch renamed, or the input changed while it was converted.';
      }
      return 'The file changed while it was being converted, so nothing was saved. Pick it again.';
    case 'patch-failed':
      switch (report.failure) {
        case 'no-patch':
          if (patchFile) return `The patch file ${patchFile} can't be used: ${sentence(withoutPaths(report.detail).replace(/^[^:]*: /, ''))}`;
          return missingPatchText(report.patch);
        case 'decode':
        case 'read-patch':
          if (patchFile) {
            return `The patch file ${patchFile} is damaged or isn't a patch for this release, so ` +
              'nothing was saved. Pick an undamaged copy of it, then convert again.';
          }
          return `The patch ${report.patch} built into this page could not be applied, so nothing ` +
            'was saved: the page itself may be damaged. Reload it and try again.';
        case 'read-input':
        case 'open-input':
          return 'The file changed or could not be read while it was being converted, so nothing ' +
            'was saved. Pick it again.';
        default:
          return `The conversion failed, so nothing was saved: ${withoutPaths(report.detail)}.`;
      }
    default:
      return `The conversion failed, so nothing was saved: ${withoutPaths(report.detail)}.`;
  }
}

export function saveFailedText(reason) {
  return `The converted file could not be saved, and nothing was left behind: ${reason}.`;
}

export function identifyingText(name, done, size) {
  if (!(size > 0)) return `Identifying ${name}…`;
  const mib = (bytes) => (bytes / 1048576).toFixed(bytes < 10485760 ? 1 : 0);
  return `Identifying ${name}… ${Math.floor((done / size) * 100)}% (${mib(done)} of ${mib(size)} MiB)`;
}

export const identifyCancelledText = 'Identification cancelled. Choose an IWAD file, or drop it on the page.';

export function dropIgnoredText(files) {
  return `${files.map((file) => file.name).join(', ')}: ignored while converting. ` +
    'Drop or pick it again once the conversion has ended.';
}
