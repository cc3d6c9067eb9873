// Everything the page says about an outcome, in its own words.

function sentence(text) {
  if (!text) return '';
  text = text[0].toUpperCase() + text.slice(1);
  return text.endsWith('.') ? text : text + '.';
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

// A zip entry read again for a conversion (its unpacked bytes went with a cancelled run).
export function rereadFailedText(reason) {
  return ended(reason) + ' Nothing was converted.';
}

export function entryGoneText(archive, entry) {
  return `${archive} no longer holds ${entry}`;
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
  return count === 0 ? 'No patch files chosen.'
    : `${count} patch file${count === 1 ? '' : 's'} chosen, kept in this browser until removed.`;
}

export function patchRemovedText(name) {
  return `${name} removed: this browser no longer keeps it.`;
}

export function notKeptText(reason) {
  return `This browser can't keep patches for the next visit (${reason}): they are used until the page is closed.`;
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

export function unfetchedPatchText(name) {
  return `The patch ${name}.vcdiff could not be fetched from this page's site (is this computer ` +
    'offline?), so nothing was saved. Convert again once online.';
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

// How a conversion that failed is said, by the kind of failure the core reports (see
// web_report.h): each from the report's fields alone, so the core's own sentences never reach
// the player. A picked patch is named as the player picked it (`patchName`, `suspectNames`).
const failureWords = {
  'cancelled': () => cancelledText,
  'no-route': () => 'There is no conversion between these releases.',
  'patch-missing': (report) => missingPatchText(report.patch),
  'patch-too-large': (report) => `The patch file ${report.patchName} can't be used: it is larger ` +
    'than any patch (over 256 MiB), so it was not read and nothing was saved.',
  'patch-unreadable': (report) => `The patch file ${report.patchName} could not be read` +
    `${because(report.reason)}, so nothing was saved. Pick it again, then convert again.`,
  'patch-damaged': (report) => report.patchRole === 'picked'
    ? `The patch file ${report.patchName} is damaged or isn't a patch for this release, so nothing ` +
      'was saved. Pick an undamaged copy of it, then convert again.'
    : `The patch ${report.patch} built into this page could not be applied, so nothing was saved: ` +
      'the page itself may be damaged. Reload it and try again.',
  'input-unreadable': () => 'The file changed or could not be read while it was being converted, so ' +
    'nothing was saved. Pick it again.',
  'not-target': (report) => report.suspectNames.length > 0
    ? 'The result is not the release it should be, so nothing was saved: a patch file you picked ' +
      `(${report.suspectNames.join(' or ')}) may be another patch renamed, or the input changed ` +
      'while it was converted.'
    : 'The file changed while it was being converted, so nothing was saved. Pick it again.',
  'result-unreadable': (report) => `The result could not be read back to check it${because(report.reason)}, ` +
    'so nothing was saved. Try again.',
  'temp-failed': (report) => `The browser's storage could not take the intermediate release` +
    `${because(report.reason)}, so nothing was saved. Free some space and try again.`,
  'write-failed': (report) => `The browser's storage could not take the result${because(report.reason)}, ` +
    'so nothing was saved. Free some space and try again.',
  'replace-failed': (report) => `The result could not be put in place${because(report.reason)}, so ` +
    'nothing was saved. Try again.',
};

function because(reason) {
  return reason ? ` (${reason.toLowerCase()})` : '';
}

// A conversion's report, as the player should hear it.
export function failureText(report) {
  const words = failureWords[report.kind];
  const fields = {patchName: '', suspectNames: [], ...report};
  return words ? words(fields) : 'The conversion failed, so nothing was saved. Try again.';
}

export const failureKinds = Object.keys(failureWords);

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
