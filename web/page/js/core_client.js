// The page's side of the worker: requests with answers, progress on the way, and a Cancel that
// ends the worker outright, so nothing it was making can be offered.
let worker = null;
let nextId = 1;
const pending = new Map();

function fail(reason) {
  for (const {resolve} of pending.values()) resolve(reason);
  pending.clear();
}

export function startCore() {
  worker = new Worker(new URL('./worker.js', import.meta.url), {type: 'module'});
  worker.onmessage = ({data}) => {
    const request = pending.get(data.id);
    if (!request) return;
    if (data.op === 'progress' || data.op === 'chunk') {
      if (request.onNote) request.onNote(data);
      return;
    }
    pending.delete(data.id);
    request.resolve(data);
  };
  worker.onerror = (event) => {
    event.preventDefault();
    fail({op: 'error', reason: 'core-failed'});
  };
}

// Sends a request; resolves with the worker's answer ({op: 'error'} when the worker failed,
// {op: 'cancelled'} after cancelCore). What the worker tells on the way (progress, pieces of
// the result) goes to onNote, in order and before the answer.
export function ask(message, onNote) {
  const id = nextId++;
  return new Promise((resolve) => {
    pending.set(id, {resolve, onNote});
    worker.postMessage({id, ...message});
  });
}

export function cancelCore() {
  worker.terminate();
  fail({op: 'cancelled'});
  startCore();
}
