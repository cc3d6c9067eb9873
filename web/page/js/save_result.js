// Where the verified result goes: the save-file picker where the browser has one (and the page
// wasn't told otherwise), else a download of the Blob the worker made from the decoded windows.
let offeredUrl = null;

export function usesSavePicker() {
  const forced = new URLSearchParams(location.search).get('save') === 'download';
  return !forced && typeof window.showSaveFilePicker === 'function';
}

// The input's name with the target's release id: "doom2.wad" to "doom2-doom2_v19.wad".
export function suggestedName(inputName, releaseId) {
  const dot = inputName.lastIndexOf('.');
  const stem = dot > 0 ? inputName.slice(0, dot) : inputName;
  const extension = dot > 0 ? inputName.slice(dot) : '.wad';
  return `${stem}-${releaseId}${extension}`;
}

// Asks where to save; null when the user closed the picker.
export async function pickSaveFile(name) {
  try {
    return await window.showSaveFilePicker({
      suggestedName: name,
      types: [{description: 'WAD file', accept: {'application/octet-stream': ['.wad']}}],
    });
  } catch (error) {
    if (error.name === 'AbortError') return null;
    throw error;
  }
}

export function withdrawResult() {
  document.getElementById('result').hidden = true;
  if (offeredUrl) URL.revokeObjectURL(offeredUrl);
  offeredUrl = null;
}

export function offerDownload(blob, name) {
  withdrawResult();
  offeredUrl = URL.createObjectURL(blob);
  const link = document.getElementById('save');
  link.href = offeredUrl;
  link.download = name;
  link.textContent = `Save ${name}`;
  document.getElementById('result').hidden = false;
  link.focus();
}
