// The page's side of the worker: requests with answers, progress on the way, and a Cancel that
// ends the worker outright, so nothing it was making can be offered. Every request ends: a worker
// that fails (or can't even load its files, say offline) answers what it holds with an error, and
// the next request starts a new one, which answers it the same way if it fails too.
import {Note, Reply, coreFailed} from './protocol.js';

let worker = null;
let nextId = 1;
const pending = new Map();
let onFailure = () => {};

function fail(reason) {
  for (const {resolve} of pending.values()) resolve(reason);
  pending.clear();
}

// `failed` is told when the worker fails with no request waiting (a restart after Cancel that
// couldn't load), so the page can say so at once.
export function startCore(failed = onFailure) {
  onFailure = failed;
  const mine = new Worker(new URL('./worker.js', import.meta.url), {type: 'module'});
  worker = mine;
  mine.onmessage = ({data}) => {
    const request = pending.get(data.id);
    if (!request) return;
    if (data.op === Note.progress || data.op === Note.chunk) {
      if (request.onNote) request.onNote(data);
      return;
    }
    pending.delete(data.id);
    request.resolve(data);
  };
  // A worker that reports an error is let go: it may not have started at all, and one that did
  // may hold a request it will never answer.
  mine.onerror = (event) => {
    event.preventDefault();
    if (worker !== mine) return;
    mine.terminate();
    worker = null;
    const waiting = pending.size > 0;
    fail({op: Reply.error, reason: coreFailed});
    if (!waiting) onFailure();
  };
}

// Sends a request; resolves with the worker's answer ({op: 'error'} when the worker failed,
// {op: 'cancelled'} after cancelCore). What the worker tells on the way (progress, pieces of
// the result) goes to onNote, in order and before the answer.
export function ask(message, onNote) {
  if (!worker) startCore();
  const id = nextId++;
  return new Promise((resolve) => {
    pending.set(id, {resolve, onNote});
    worker.postMessage({id, ...message});
  });
}

// Tells the worker something that needs no answer and doesn't wait its turn (see worker.js).
export function tell(message) {
  if (worker) worker.postMessage({id: 0, ...message});
}

export function cancelCore() {
  if (worker) worker.terminate();
  worker = null;
  fail({op: Reply.cancelled});
  startCore();
}
