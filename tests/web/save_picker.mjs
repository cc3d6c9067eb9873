// A stand-in for the save dialog, for the browser tests and the benchmark: showSaveFilePicker
// hands out a file of the page's private storage (OPFS), behind a writable that counts the
// writes reaching it, notes how many had when the worker answered the conversion, and whether it
// was closed or aborted (window.saveLog). With saveLog.cancelAtFirstWrite, the first write
// presses Cancel; with saveLog.failWrites, every write fails as on a full disk.
const standIns = new WeakSet();

// Opens the page at `url` with the stand-in; the file it hands out then holds `before`.
export async function openWithSavePicker(page, url, before = '') {
  if (!standIns.has(page)) {
    standIns.add(page);
    await page.addInitScript(() => {
      const log = (window.saveLog = {writes: 0, answer: null, closed: false, aborted: false});
      const RealWorker = window.Worker;
      // Listens before the page does, so the count is the one when the answer arrived.
      window.Worker = function (...args) {
        const worker = new RealWorker(...args);
        worker.addEventListener('message', ({data}) => {
          if (data.op === 'converted' || data.op === 'failed') log.answer = {op: data.op, writes: log.writes};
        });
        return worker;
      };
      window.showSaveFilePicker = async () => {
        const folder = await navigator.storage.getDirectory();
        const file = await folder.getFileHandle('picked.wad', {create: true});
        return {
          createWritable: async () => {
            const real = (await file.createWritable()).getWriter();
            return new WritableStream({
              write(change) {
                if (log.failWrites) {
                  real.abort().catch(() => {});
                  throw new DOMException('There is not enough space on the disk', 'QuotaExceededError');
                }
                log.writes += 1;
                real.write(change).catch(() => {});  // a failure shows in close()
                if (log.cancelAtFirstWrite && log.writes === 1) document.getElementById('cancel').click();
              },
              close() {
                log.closed = true;
                return real.close();
              },
              abort(reason) {
                log.aborted = true;
                return real.abort(reason);
              },
            });
          },
        };
      };
    });
  }
  await page.goto(url);
  await page.waitForSelector('body[data-ready="true"]');
  await page.evaluate(async (text) => {
    const file = await (await navigator.storage.getDirectory()).getFileHandle('picked.wad', {create: true});
    const writable = await file.createWritable();
    await writable.write(text);
    await writable.close();
  }, before);
}

// The SHA-1 of the file the stand-in hands out.
export async function pickedFileSha1(page) {
  return page.evaluate(async () => {
    const folder = await navigator.storage.getDirectory();
    const file = await (await folder.getFileHandle('picked.wad')).getFile();
    return [...new Uint8Array(await crypto.subtle.digest('SHA-1', await file.arrayBuffer()))]
        .map((byte) => byte.toString(16).padStart(2, '0')).join('');
  });
}
