// Reads a picked file a piece at a time on a thread of its own, for the core's worker: each
// piece is handed over (transferred, not copied) once read, so the core hashes one piece while
// the next is read. The worker grants pieces; no more than that are read ahead of it.
let job = 0;
let granted = 0;
let waiting = [];

function wakeAll() {
  for (const wake of waiting.splice(0)) wake();
}

async function read({job: mine, file, piece}) {
  for (let at = 0; at < file.size; at += piece) {
    while (granted === 0 && job === mine) await new Promise((wake) => waiting.push(wake));
    if (job !== mine) return;
    let bytes;
    try {
      bytes = await file.slice(at, at + piece).arrayBuffer();
    } catch {
      // NotReadableError: the file changed or went away since it was picked.
      if (job === mine) self.postMessage({job: mine, failed: true});
      return;
    }
    if (job !== mine) return;
    granted -= 1;
    self.postMessage({job: mine, bytes}, [bytes]);
  }
  self.postMessage({job: mine, done: true});
}

self.onmessage = ({data}) => {
  if (data.op === 'read') {
    // A new file ends whatever was read before.
    job = data.job;
    granted = data.ahead;
    read(data);
  } else if (data.op === 'more' && data.job === job) {
    granted += 1;
  }
  wakeAll();
};
