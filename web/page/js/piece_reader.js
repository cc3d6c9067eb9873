// Reads a picked file (or a zip entry's data, unpacking it) a piece at a time on a thread of its
// own, for the core's worker: each piece is handed over (transferred, not copied) once read, so
// the core hashes one piece while the next is read. The worker grants pieces; no more than that
// are read ahead of it, and it may stop a read before the end.
import {piecesOf} from './pieces.js';

let job = 0;
let granted = 0;
let waiting = [];

function wakeAll() {
  for (const wake of waiting.splice(0)) wake();
}

async function read({job: mine, file, piece, inflate, limit}) {
  const pieces = piecesOf(file, {size: piece, inflate, limit});
  try {
    for (;;) {
      while (granted === 0 && job === mine) await new Promise((wake) => waiting.push(wake));
      if (job !== mine) return;
      const {value: bytes, done} = await pieces.next();
      if (job !== mine) return;
      if (done) break;
      granted -= 1;
      self.postMessage({job: mine, bytes}, [bytes]);
    }
    self.postMessage({job: mine, done: true});
  } catch (error) {
    if (job === mine) self.postMessage({job: mine, failed: error.kind || 'read'});
  } finally {
    // A read ended early lets go of its file, and of an unpacking stream.
    await pieces.return();
  }
}

self.onmessage = ({data}) => {
  if (data.op === 'read') {
    // A new file ends whatever was read before.
    job = data.job;
    granted = data.ahead;
    read(data);
  } else if (data.op === 'more' && data.job === job) {
    granted += 1;
  } else if (data.op === 'stop' && data.job === job) {
    job = 0;
  }
  wakeAll();
};
