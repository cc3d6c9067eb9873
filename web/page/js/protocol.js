// What the page and the worker say to each other: the one list of requests, the notes sent on
// the way, and the replies, imported by both sides so neither names one the other doesn't know.
// Every request carries an `id`, the token the page matches its reply by; 0 is a tell, which
// needs no reply.

// What the page asks.
export const Ask = Object.freeze({
  hello: 'hello',            // -> Reply.hello {version, catalogue}
  identify: 'identify',      // {file, entry, patches, hold} -> identified | choose | zipFailed | noWad
  stopIdentify: 'stop-identify',  // a tell: the identification under way is not wanted
  patches: 'patches',        // {files} -> Reply.patches {patches, notes, others}
  targets: 'targets',        // {source, patches} -> Reply.targets {targets}
  convert: 'convert',        // {file, entry?, held, source, target, patches, stream}
                             //   -> converted | missing | unfetched | zipFailed | failed
});

// What the worker tells on the way, before its reply.
export const Note = Object.freeze({
  progress: 'progress',  // identify: {done, size}; convert: {written, expected}
  chunk: 'chunk',        // convert with `stream`: {type: 'write', position, data} | {type: 'truncate', size}
});

// How a request ends.
export const Reply = Object.freeze({
  hello: 'hello',
  identified: 'identified',  // {answer, targets, entry?, held}: held, a token for the bytes kept
  choose: 'choose',          // {archive, entries}: a zip of several game files
  zipFailed: 'zip-failed',   // {reason}: the archive can't be read
  noWad: 'no-wad',           // {archive}
  patches: 'patches',
  targets: 'targets',
  converted: 'converted',    // {blob?, memory}
  missing: 'missing',        // {name}: a patch of the route is nowhere
  unfetched: 'unfetched',    // {name}: a patch beside the page could not be fetched
  failed: 'failed',          // {report, memory}: see the fields of a report in web_report.h
  cancelled: 'cancelled',    // the user's Cancel
  superseded: 'superseded',  // a newer request took its place
  error: 'error',            // {reason}: the worker failed ('core-failed': it couldn't start)
});

export const coreFailed = 'core-failed';
