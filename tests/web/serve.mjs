// A static server for one site folder on 127.0.0.1: the page's files with their types, and
// nothing else. Run alone (node serve.mjs FOLDER [PORT]) it prints the address to open.
import {createReadStream, statSync} from 'node:fs';
import {createServer} from 'node:http';
import {extname, join, normalize, sep} from 'node:path';
import {pathToFileURL} from 'node:url';

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
  '.json': 'application/json',
  '.vcdiff': 'application/octet-stream',
};

// `headers` go with every file: the browser tests send the page's Content-Security-Policy.

export function serve(folder, port = 0, headers = {}) {
  const root = normalize(folder) + sep;
  const server = createServer((request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    const file = normalize(join(root, path.endsWith('/') ? path + 'index.html' : path));
    let size = -1;
    try {
      if (file.startsWith(root)) size = statSync(file).isFile() ? statSync(file).size : -1;
    } catch {}
    if (size < 0 || !(extname(file) in types)) {
      response.writeHead(404, {'content-type': 'text/plain'});
      response.end('not found\n');
      return;
    }
    response.writeHead(200, {
      'content-type': types[extname(file)],
      'content-length': size,
      'cache-control': 'no-store',
      ...headers,
    });
    createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => {
    server.listen(port, '127.0.0.1', () => resolve({server, url: `http://127.0.0.1:${server.address().port}/`}));
  });
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const [folder, port] = process.argv.slice(2);
  const {url} = await serve(folder, Number(port || 8080));
  console.log(`Tarvelline's page is served at ${url} (Ctrl+C stops)`);
}
