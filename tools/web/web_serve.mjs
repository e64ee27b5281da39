// A static file server for the browser build: node tools/web/web_serve.mjs DIR PORT [HOST].
// Serves DIR's files with their types (the .wasm as application/wasm, for streaming
// compilation), on 127.0.0.1 unless another address is given, and prints the addresses to
// open once it listens. Port 0 picks a free one. As most static hosts do, it compresses
// the page, scripts and WebAssembly for a browser that takes gzip, and nothing else (the
// images come compressed already); serve(..., { compress: false }) compresses nothing.
import { realpathSync } from 'node:fs';
import { readFile, stat } from 'node:fs/promises';
import { STATUS_CODES, createServer } from 'node:http';
import { gzipSync } from 'node:zlib';
import { networkInterfaces } from 'node:os';
import { extname, isAbsolute, join, relative, resolve, sep } from 'node:path';
import { pathToFileURL } from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.tga': 'application/octet-stream', '.png': 'image/png', '.json': 'application/json',
  '.gz': 'application/gzip', '.webmanifest': 'application/manifest+json',
};
const COMPRESSED = new Set(['.html', '.js', '.wasm', '.json', '.webmanifest']);

// The file a request's path names inside root; null for a path that cannot be decoded or
// leaves root.
function siteFile(root, url) {
  let path;
  try {
    path = decodeURIComponent(new URL(url, 'http://localhost').pathname);
  } catch {
    return null;
  }
  const file = join(root, path.endsWith('/') ? path + 'index.html' : path);
  const inside = relative(root, file);
  return inside === '..' || inside.startsWith(`..${sep}`) || isAbsolute(inside) ? null : file;
}

// A request it cannot answer gets a 4xx of its own and the server goes on; HEAD is GET
// without the body. Each file carries an ETag and its time, as nginx's and Apache's do, and a request
// that names it gets a 304. With cacheControl false, no Cache-Control: a stock server's
// answers, which the browser may take from its cache without asking. options.delay, read at
// each request, is ms to wait before answering: a network's round trip where the browser's
// own emulation does not reach (a service worker's requests).
export function serve(dir, port, host = '127.0.0.1', options = {}) {
  const { compress = true, cacheControl = true } = options;
  const root = resolve(dir);
  const server = createServer(async (request, response) => {
    if (options.delay) await new Promise((done) => setTimeout(done, options.delay));
    const refuse = (status, headers) =>
      response.writeHead(status, { 'Content-Type': 'text/plain', ...headers }).end(`${STATUS_CODES[status]}\n`);
    if (request.method !== 'GET' && request.method !== 'HEAD') return refuse(405, { Allow: 'GET, HEAD' });
    const file = siteFile(root, request.url);
    if (!file) return refuse(400);
    let body, about;
    try {
      about = await stat(file);
      body = await readFile(file);
    } catch {
      return refuse(404);
    }
    const etag = `"${Math.floor(about.mtimeMs).toString(16)}-${about.size.toString(16)}"`;
    const headers = { 'Content-Type': TYPES[extname(file)] || 'application/octet-stream', ETag: etag,
                      'Last-Modified': about.mtime.toUTCString() };
    if (cacheControl) headers['Cache-Control'] = 'no-cache';
    if (request.headers['if-none-match'] === etag) return response.writeHead(304, headers).end();
    if (compress && COMPRESSED.has(extname(file))) {
      headers.Vary = 'Accept-Encoding';
      if (/\bgzip\b/.test(request.headers['accept-encoding'] || '')) {
        body = gzipSync(body);
        headers['Content-Encoding'] = 'gzip';
      }
    }
    response.writeHead(200, { ...headers, 'Content-Length': body.length });
    response.end(request.method === 'HEAD' ? undefined : body);
  });
  return new Promise((resolveListen, reject) => {
    server.once('error', reject);
    server.listen(port, host, () => resolveListen(server));
  });
}

// The addresses to open: for one of every interface (0.0.0.0, ::), this machine's own and
// those other devices on its networks reach it by.
function addresses(host, port) {
  const url = (address) => `http://${address.includes(':') ? `[${address}]` : address}:${port}/`;
  if (host === '127.0.0.1') return [url('localhost')];
  if (host !== '0.0.0.0' && host !== '::') return [url(host)];
  const others = Object.values(networkInterfaces()).flat()
    .filter((i) => !i.internal && (host === '::' || i.family === 'IPv4') && !i.address.startsWith('fe80:'))
    .map((i) => `from another device: ${url(i.address)}`);
  return [url('localhost'), ...(others.length ? others : ['from another device: none, this machine is on no network'])];
}

// node tools/web/web_serve.mjs DIR PORT [HOST] serves; --check PORT HOST only tries the port,
// so that ./lab web finds it taken before building. A port that cannot be had is one plain
// line, not a stack trace: ./lab web has checked the number, so what is left is a port in
// use or one the system will not give.
// Run directly, not imported: the paths compared as URLs of real files, for a folder with
// spaces (escaped in the URL) or a link on the way.
export function runDirectly(moduleUrl) {
  return Boolean(process.argv[1]) && moduleUrl === pathToFileURL(realpathSync(process.argv[1])).href;
}

if (runDirectly(import.meta.url)) {
  const check = process.argv[2] === '--check';
  const [dir = 'build-web/site', port = '8080', host = '127.0.0.1'] =
    check ? ['.', ...process.argv.slice(3)] : process.argv.slice(2);
  try {
    const server = await serve(dir, Number(port), host);
    if (check) server.close();
    else console.log(addresses(host, server.address().port).join('\n'));
  } catch (e) {
    console.error(e.code === 'EADDRINUSE'
      ? `lab: port ${port} is in use: choose another with --port N`
      : `lab: cannot serve on ${host} port ${port}: ${e.message}`);
    process.exit(1);
  }
}
