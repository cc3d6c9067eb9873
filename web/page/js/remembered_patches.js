// The patches the player picked, kept in this site's private storage (the origin private file
// system) until the player removes them, so the next visit has them too. They are files like any
// picked one: untrusted, and every result made with them is checked all the same.
const FOLDER = 'patches';

// One change to the kept files at a time: two picks in quick succession must not interleave
// their removals and writes.
let queue = Promise.resolve();
const inTurn = (change) => (queue = queue.then(change, change));

// Two names the same but for the letter case of ".vcdiff" are one patch, as in a folder.
export const patchKey = (name) => name.replace(/\.vcdiff$/i, '.vcdiff');

async function folder() {
  if (!navigator.storage || typeof navigator.storage.getDirectory !== 'function') {
    throw new Error('it has no private file storage for this site');
  }
  return (await navigator.storage.getDirectory()).getDirectoryHandle(FOLDER, {create: true});
}

// The kept patches as Files, in the order of their names: {files} or {files: [], reason}.
export async function loadRemembered() {
  try {
    const files = [];
    for await (const handle of (await folder()).values()) {
      if (handle.kind === 'file') files.push(await handle.getFile());
    }
    return {files: files.sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0))};
  } catch (error) {
    return {files: [], reason: error.message || String(error)};
  }
}

// Keeps `files` in place of any kept patch of the same name. The browser writes a file aside and
// puts it in place on close(), so a visit cut short leaves no half patch behind. Resolves to
// null, or why they could not all be kept.
export function remember(files) {
  return inTurn(() => keep(files));
}

async function keep(files) {
  try {
    const kept = await folder();
    for (const file of files) {
      for await (const name of kept.keys()) {
        if (patchKey(name) === patchKey(file.name)) await kept.removeEntry(name);
      }
      const handle = await kept.getFileHandle(file.name, {create: true});
      const writable = await handle.createWritable();
      try {
        await writable.write(file);
        await writable.close();
      } catch (error) {
        await writable.abort().catch(() => {});
        await kept.removeEntry(file.name).catch(() => {});
        throw error;
      }
    }
    return null;
  } catch (error) {
    return error.message || String(error);
  }
}

// Forgets the kept patch `name`; resolves to null, or why it could not be.
export function forget(name) {
  return inTurn(() => remove(name));
}

async function remove(name) {
  try {
    await (await folder()).removeEntry(name);
    return null;
  } catch (error) {
    return error.name === 'NotFoundError' ? null : error.message || String(error);
  }
}
