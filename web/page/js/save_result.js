// Where the verified result goes: the save-file picker where the browser has one (and the page
// wasn't told otherwise), else a download of the Blob the worker made from the decoded windows.
let offered = null;  // {result, url}: the result the link offers

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

// A zip entry's name with the target's release id, always a .wad: "iwads/DOOM2.IWAD" to
// "DOOM2-doom2_v19.wad".
export function entrySaveName(entryName, releaseId) {
  const name = entryName.slice(entryName.lastIndexOf('/') + 1);
  const dot = name.lastIndexOf('.');
  return `${dot > 0 ? name.slice(0, dot) : name}-${releaseId}.wad`;
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

// The chosen file, written as the result is decoded. A FileSystemWritableFileStream keeps what
// it is given aside and puts it in the file only on close(): finish() once the result is
// verified, discard() on any other end, which leaves the file without any of it. A write that
// fails calls onWriteFailed at once, so the run can stop. Resolves to {stream: null, reason}
// when the file can't be opened for writing.
export async function openSaveStream(handle, onWriteFailed) {
  let writer;
  try {
    writer = (await handle.createWritable()).getWriter();
  } catch (error) {
    return {stream: null, reason: error.message || String(error)};
  }
  let failure = null;
  let ended = false;
  // Writes still queued when the stream is ended reject too: those are no failure of the file.
  const fail = (error) => {
    if (ended || failure) return;
    failure = error.message || String(error);
    onWriteFailed(failure);
  };
  return {
    stream: {
      // A change the worker reported: {type: 'write', position, data} or {type: 'truncate', size}.
      // Queued in order; the writer takes each once the one before is written.
      write(change) {
        const {type, position, size, data} = change;
        writer.write(type === 'write' ? {type, position, data} : {type, size}).catch(fail);
      },
      // Why the file can't be written, once a write failed; else null.
      get failure() {
        return failure;
      },
      // Resolves to null once all is in the file, else to the reason none of it is.
      async finish() {
        ended = true;
        try {
          await writer.close();
          return null;
        } catch (error) {
          await writer.abort().catch(() => {});
          return failure || error.message || String(error);
        }
      },
      async discard() {
        ended = true;
        await writer.abort().catch(() => {});
      },
    },
    reason: null,
  };
}

// Shows the verified result as a link to save it (`result`: {blob, name}), or no link for null.
// The Blob's address lives as long as the link offers it.
export function showResult(result) {
  if (offered && offered.result === result) return;
  if (offered) URL.revokeObjectURL(offered.url);
  offered = null;
  document.getElementById('result').hidden = !result;
  if (!result) return;
  offered = {result, url: URL.createObjectURL(result.blob)};
  const link = document.getElementById('save');
  link.href = offered.url;
  link.download = result.name;
  link.textContent = `Save ${result.name}`;
}
