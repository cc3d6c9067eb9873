// The portable SHA-1 built as WebAssembly, run in Chromium on its own: the core's hashing with no
// reads, copies or messages around it. Prints the module's own lines: "sha1_mb_per_s N", and
// "sha1_simd128_mb_per_s N" for the SIMD path.
// usage: node sha1_bench.mjs FOLDER [MIB] [ROUNDS]   (FOLDER holds sha1_throughput.mjs and .wasm)
import {launchBrowser} from './browser.mjs';
import {serve} from './serve.mjs';

const [folder, mib = '64', rounds = '5'] = process.argv.slice(2);
const {server, url} = await serve(folder);
const browser = await launchBrowser();
try {
  const page = await browser.context.newPage();
  // Any page of the origin will do: the module is imported into it.
  await page.goto(`${url}sha1_throughput.mjs`);
  const lines = await page.evaluate(async ([mib, rounds]) => {
    const {default: create} = await import('/sha1_throughput.mjs');
    const printed = [];
    const failed = [];
    await create({arguments: [mib, rounds], print: (line) => printed.push(line), printErr: (line) => failed.push(line)});
    return failed.length ? {failed} : printed;
  }, [mib, rounds]);
  if (lines.failed) throw new Error(lines.failed.join('\n'));
  console.log(lines.join('\n'));
} finally {
  await browser.close();
  server.close();
}
