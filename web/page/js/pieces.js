// A Blob read in pieces, each its own ArrayBuffer (so it can be handed to another thread) of
// `size` bytes but the last: the Blob's bytes as they are, or with `inflate` the raw deflate data
// it holds (a zip entry's), unpacked by the browser's DecompressionStream. No more than `limit`
// + 1 unpacked bytes come out: one past a zip entry's declared size tells that it runs past, and
// a small hostile stream can't unpack without end.
//
// A failure throws an error whose `kind` says which: 'read' (the file changed or went away since
// it was picked), 'damaged' (the data doesn't inflate), 'unsupported' (no raw deflate here).
function failure(kind) {
  return Object.assign(new Error(`pieces: ${kind}`), {kind});
}

async function readSlice(blob, at, size) {
  try {
    return await blob.slice(at, at + size).arrayBuffer();
  } catch {
    throw failure('read');  // NotReadableError
  }
}

// The compressed data goes to the inflater in slices of this size: small enough that reading and
// inflating take turns often, large enough that each read is worth its trip to the browser.
const FEED_SLICE = 1 << 20;

export async function* piecesOf(blob, {size, inflate = false, limit = Infinity}) {
  if (!inflate) {
    for (let at = 0; at < blob.size; at += size) yield await readSlice(blob, at, size);
    return;
  }
  let inflater;
  try {
    inflater = new DecompressionStream('deflate-raw');
  } catch {
    throw failure('unsupported');
  }
  // The Blob is read here, not through Blob.stream(), so a failed read is told from bad data;
  // one slice ahead, so the browser reads the next while it inflates this one.
  const writer = inflater.writable.getWriter();
  let readFailed = false;
  const read = (at) => {
    const reading = readSlice(blob, at, FEED_SLICE);
    reading.catch(() => (readFailed = true));
    return reading;
  };
  const feeding = (async () => {
    try {
      let next = read(0);
      for (let at = 0; at < blob.size; at += FEED_SLICE) {
        const bytes = await next;
        if (at + FEED_SLICE < blob.size) next = read(at + FEED_SLICE);
        await writer.write(new Uint8Array(bytes));
      }
      await writer.close();
    } catch (error) {
      // A failed read ends the stream with an error; so does bad data, whose error the unpacked
      // side sees first.
      await writer.abort(error).catch(() => {});
    }
  })();
  const unpacked = inflater.readable.getReader();
  let piece = new Uint8Array(size);
  let filled = 0;
  let total = 0;
  try {
    while (total <= limit) {
      let chunk;
      try {
        const {value, done} = await unpacked.read();
        if (done) break;
        chunk = value;
      } catch {
        throw failure(readFailed ? 'read' : 'damaged');
      }
      chunk = chunk.subarray(0, Math.min(chunk.length, limit + 1 - total));
      total += chunk.length;
      for (let at = 0; at < chunk.length;) {
        const count = Math.min(chunk.length - at, size - filled);
        piece.set(chunk.subarray(at, at + count), filled);
        filled += count;
        at += count;
        if (filled === size) {
          yield piece.buffer;
          piece = new Uint8Array(size);
          filled = 0;
        }
      }
    }
    if (filled > 0) yield piece.buffer.slice(0, filled);
  } finally {
    // Stopped early, run past its size, or failed: let go of the stream and the file.
    await unpacked.cancel().catch(() => {});
    await feeding;
  }
}
