// Frame time of the browser build in Debian's Chromium, counted where frames are drawn:
// Chromium's own trace marks each frame its display compositor draws (Display::DrawAndSwap),
// and the time between two of them is a drawn frame. The page keeps Chromium's 60 Hz cap, as
// a visitor has it; a page timing its own frames without the cap would count frames it
// submitted, not frames drawn.
// Two renderers: 'native' (WebGL through ANGLE's GL back end on the X server in DISPLAY, the
// Mesa renderer the native program uses) and 'software' (SwiftShader). On the first: the
// start view (?bench=N), orbiting (`a`), the recorded frame drawn again with no program work
// (?bench=N&replay), and an empty WebGL page of the same size and settings, the browser's own
// cost a frame; with each, how long the GPU process's main thread worked a frame and how much
// of that in the kernel; and the time to the first frame on a phone's network. On SwiftShader:
// the start view and orbiting.
// Usage: node tools/bench/web_bench.mjs [FRAMES [SOFTWARE-FRAMES]]  (after ./lab web --no-serve and
// npm ci in tests/web, with DISPLAY set); prints one JSON line. With --first-frame, only the
// first frames on slow 4G. tools/bench/bench.mjs imports browserBench.
import { createRequire } from 'node:module';
import { cpSync, mkdtempSync, readFileSync, readdirSync, rmSync, utimesSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { launchChromium, webglRenderer } from '../web/chromium.mjs';
import { runDirectly, serve } from '../web/web_serve.mjs';

const require = createRequire(new URL('../../tests/web/package.json', import.meta.url));

// The page laid out with the canvas and its margins in view, about the native window's size:
// the compositor's work a frame grows with the viewport, which a 500 x 500 window does not have.
const VIEWPORT = { width: 532, height: 532 };
const TRACE_CATEGORIES = ['viz', 'gpu', 'toplevel'];
const DRAWN = 'Display::DrawAndSwap';
const GPU_THREAD = 'CrGpuMain';
const TICK_MS = 10;  // /proc's clock ticks (USER_HZ 100)

// The canvas the lab draws on, with the lab's context attributes, cleared every animation
// frame and nothing else: what the browser costs a frame of its own.
const EMPTY_PAGE = `<!doctype html><body style="margin:0;padding:16px;background:#222">
<canvas id="lab" width="500" height="500" style="display:block;width:500px;height:500px"></canvas>
<script>
  const gl = document.getElementById('lab').getContext('webgl2', { alpha: false, depth: true, stencil: false,
    antialias: false, premultipliedAlpha: false, preserveDrawingBuffer: true });
  window.Module = { frames: 0, labFrameCount: () => Module.frames };
  (function frame() {
    gl.clearColor(0.2, 0.2, 0.2, 1);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    ++Module.frames;
    requestAnimationFrame(frame);
  })();
</script>`;

// The time to the lab's first frame on a phone's network: Lighthouse's mobile profile
// ("slow 4G": 150 ms round trip, 1.6 Mbit/s down, 750 kbit/s up), the cache off, each run in
// a new profile (no service worker yet), the median of the runs.
const SLOW_4G = { offline: false, latency: 150, downloadThroughput: (1.6 * 1024 * 1024) / 8, uploadThroughput: (750 * 1024) / 8 };
const FIRST_FRAME_RUNS = 5;
// The first animation frame to find a frame handed to WebGL, in ms from the navigation.
const MARK_FIRST_FRAME = () => {
  const look = () => {
    if (window.Module?.labFrameCount?.() > 0) window.labFirstFrameMs = performance.now();
    else requestAnimationFrame(look);
  };
  requestAnimationFrame(look);
};

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const framesOf = (page) => page.evaluate(() => Module.labFrameCount());

// The GPU process among this process's descendants, found through /proc.
function gpuProcess() {
  const children = new Map();
  for (const pid of readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
      const parent = stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1];
      children.set(parent, [...(children.get(parent) || []), pid]);
    } catch { /* gone */ }
  }
  const todo = [String(process.pid)];
  while (todo.length) {
    const pid = todo.pop();
    try {
      if (readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('--type=gpu-process')) return pid;
    } catch { /* gone */ }
    todo.push(...(children.get(pid) || []));
  }
  return null;
}

// CPU time of the GPU process's main thread so far, in ms: [user, system]. The main
// thread's id is the process's.
function gpuThreadTimes(pid) {
  if (!pid) return [0, 0];
  const stat = readFileSync(`/proc/${pid}/task/${pid}/stat`, 'utf8');
  const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
  return [Number(fields[11]) * TICK_MS, Number(fields[12]) * TICK_MS];
}

// Total time covered by a thread's tasks inside [from, to], nested ones counted once (µs).
function busyWithin(events, from, to) {
  let busy = 0, end = from;
  for (const e of [...events].sort((a, b) => a.ts - b.ts)) {
    const start = Math.max(e.ts, end), stop = Math.min(e.ts + e.dur, to);
    if (stop > start) busy += stop - start, (end = stop);
  }
  return busy;
}

// From the trace: the first `wanted` drawn frames (their intervals, in ms) and, over them,
// how long the GPU process's main thread was busy a frame, and in the page's WebGL commands.
function drawnFrames(trace, wanted) {
  const events = JSON.parse(trace).traceEvents;
  const threads = new Map();
  for (const e of events) if (e.ph === 'M' && e.name === 'thread_name') threads.set(`${e.pid}/${e.tid}`, e.args.name);
  const ends = events.filter((e) => e.ph === 'X' && e.name === DRAWN).map((e) => e.ts + e.dur).sort((a, b) => a - b)
    .slice(0, wanted + 1);
  if (ends.length < wanted + 1) throw new Error(`the trace holds ${ends.length} drawn frames, ${wanted + 1} wanted`);
  const onGpu = events.filter((e) => e.ph === 'X' && threads.get(`${e.pid}/${e.tid}`) === GPU_THREAD);
  const from = ends[0], to = ends[wanted];
  const perFrame = (name) => busyWithin(onGpu.filter((e) => e.name === name), from, to) / 1000 / wanted;
  return {
    drawn: events.filter((e) => e.ph === 'X' && e.name === DRAWN).length,  // in the whole trace
    frame_ms: ends.slice(1).map((t, i) => (t - ends[i]) / 1000),
    gpu_busy_ms: perFrame('ThreadControllerImpl::RunTask'),
    gpu_webgl_ms: perFrame('CommandBufferService:PutChanged'),
  };
}

// Traces `wanted` drawn frames from `begin()` on (frames already running, or started by it)
// until the page has drawn `wanted` more frames, or until `done` holds in the page; with the
// GPU process's main-thread system time a drawn frame.
async function traceFrames(browser, page, wanted, { begin = async () => {}, done = null } = {}) {
  const gpu = gpuProcess();
  await browser.startTracing(page, { categories: TRACE_CATEGORIES });
  const before = gpuThreadTimes(gpu);
  await begin();
  const first = await framesOf(page);
  // A few frames beyond: drawing lags a frame or two behind the page.
  if (done) await page.waitForFunction(done, null, { timeout: 0, polling: 100 });
  else await page.waitForFunction((n) => Module.labFrameCount() >= n, first + wanted + 4, { timeout: 0, polling: 100 });
  const after = gpuThreadTimes(gpu);
  const frames = drawnFrames(await browser.stopTracing(), wanted);
  const total = frames.frame_ms.reduce((sum, ms) => sum + ms, 0);
  return { ...frames, frames: wanted, median_ms: median(frames.frame_ms), mean_ms: total / wanted,
           gpu_kernel_ms: (after[1] - before[1]) / frames.drawn };
}

// No service worker: its keeping of the site after the first frame would run beside the frames timed.
async function openPage(browser, url) {
  const page = await browser.newPage({ viewport: VIEWPORT, serviceWorkers: 'block' });
  await page.goto(url);
  await page.waitForFunction(() => window.Module?.labFrameCount?.() > 0, null, { timeout: 120000, polling: 100 });
  return page;
}

// The start view: the page's ?bench mode draws frames back to back, for as long as traced.
// With &replay, the program's first frame drawn again from the GPU, a few more times than
// traced (for the time the trace takes to start), until the page reports.
async function startView(browser, url, frames) {
  const page = await openPage(browser, `${url}?bench=1000000`);
  const result = await traceFrames(browser, page, frames);
  result.program_ms = median((await page.evaluate(() => Module.labProgramTimes())).slice(-frames));
  await page.close();
  return result;
}

async function replay(browser, url, frames) {
  const page = await openPage(browser, `${url}?bench=${frames + 40}&replay`);
  const result = await traceFrames(browser, page, frames, { done: () => window.Module.labBench });
  await page.close();
  return result;
}

// Orbiting from its first step: the lab draws nothing until `a`, so the first drawn frame
// traced is the orbit's first. A bare ?bench keeps the program's times and draws as usual.
async function orbiting(browser, url, frames) {
  const page = await openPage(browser, `${url}?bench`);
  await page.locator('#lab').focus();
  await page.waitForTimeout(500);
  const result = await traceFrames(browser, page, frames, { begin: () => page.keyboard.press('a') });
  result.program_ms = median((await page.evaluate(() => Module.labProgramTimes())).slice(-frames));
  await page.close();
  return result;
}

async function emptyPage(browser, frames) {
  const page = await browser.newPage({ viewport: VIEWPORT, serviceWorkers: 'block' });
  await page.setContent(EMPTY_PAGE);
  await page.waitForFunction(() => window.Module?.labFrameCount?.() > 10, null, { timeout: 120000, polling: 100 });
  const result = await traceFrames(browser, page, frames);
  await page.close();
  return result;
}

// { median_ms, times_ms, bytes }: bytes are those over the network until the first frame.
export async function firstFrame(browser, url, runs = FIRST_FRAME_RUNS) {
  const times = [], bytes = [];
  for (let run = 0; run < runs; ++run) {
    const context = await browser.newContext({ viewport: VIEWPORT });
    await context.addInitScript(MARK_FIRST_FRAME);
    const page = await context.newPage();
    const cdp = await context.newCDPSession(page);
    let received = 0;
    cdp.on('Network.loadingFinished', (e) => { received += e.encodedDataLength; });
    await cdp.send('Network.enable');
    await cdp.send('Network.setCacheDisabled', { cacheDisabled: true });
    await cdp.send('Network.emulateNetworkConditions', SLOW_4G);
    await page.goto(url, { waitUntil: 'commit' });
    await page.waitForFunction(() => window.labFirstFrameMs, null, { timeout: 120000, polling: 50 });
    times.push(await page.evaluate(() => window.labFirstFrameMs));
    bytes.push(received);
    await context.close();
  }
  return { runs, median_ms: median(times), times_ms: times, bytes: median(bytes) };
}

// The same for a returning visitor, on a host with stock settings (no Cache-Control; each
// file's ETag and time, weeks old): each run a profile that has drawn the lab once and whose
// service worker keeps it, the visit timed again on slow 4G. The server then waits a round
// trip before each answer, as the DevTools emulation does not slow the worker's requests.
export async function warmFirstFrame(browser, site, compress, runs = FIRST_FRAME_RUNS) {
  const copy = mkdtempSync(join(tmpdir(), 'lab bench site-'));
  cpSync(site, copy, { recursive: true });
  const weeksAgo = Date.now() / 1000 - 40 * 24 * 3600;
  for (const file of readdirSync(copy, { recursive: true })) utimesSync(join(copy, file), weeksAgo, weeksAgo);
  const options = { compress, cacheControl: false };
  const host = await serve(copy, 0, '127.0.0.1', options);
  const url = `http://localhost:${host.address().port}/`;
  const times = [];
  try {
    for (let run = 0; run < runs; ++run) {
      const context = await browser.newContext({ viewport: VIEWPORT });
      const first = await context.newPage();
      options.delay = 0;
      await first.goto(url);
      await first.waitForFunction(() => window.Module?.labFrameCount?.() > 0 && navigator.serviceWorker.controller, null, { timeout: 120000, polling: 100 });
      await first.close();
      options.delay = SLOW_4G.latency;
      await context.addInitScript(MARK_FIRST_FRAME);
      const page = await context.newPage();
      const cdp = await context.newCDPSession(page);
      await cdp.send('Network.enable');
      await cdp.send('Network.emulateNetworkConditions', SLOW_4G);
      await page.goto(url, { waitUntil: 'commit' });
      await page.waitForFunction(() => window.labFirstFrameMs, null, { timeout: 120000, polling: 50 });
      times.push(await page.evaluate(() => window.labFirstFrameMs));
      await context.close();
    }
  } finally {
    host.close();
    rmSync(copy, { recursive: true });
  }
  return { runs, median_ms: median(times), times_ms: times };
}

// The first frame on slow 4G, for new and returning visitors, with the site served by each
// of the two servers: { plain, compressing, plain_warm, compressing_warm }.
async function slow4GFirstFrames(browser, site, progress = () => {}) {
  const result = {};
  for (const [name, compress] of [['plain', false], ['compressing', true]]) {
    progress(`browser on the native renderer: the first frame on slow 4G, served ${name === 'plain' ? 'uncompressed' : 'compressed'}, ${FIRST_FRAME_RUNS} runs`);
    const host = await serve(site, 0, '127.0.0.1', { compress });
    result[name] = await firstFrame(browser, `http://localhost:${host.address().port}/`).finally(() => host.close());
    progress(`browser on the native renderer: the first frame on slow 4G for a returning visitor, ${FIRST_FRAME_RUNS} runs`);
    result[`${name}_warm`] = await warmFirstFrame(browser, site, compress);
  }
  return result;
}

async function onRenderer(renderer, url, work) {
  const { chromium } = require('playwright-core');
  const browser = await launchChromium(chromium, renderer);
  try {
    const probe = await browser.newPage();
    const name = await webglRenderer(probe);
    await probe.close();
    return { renderer: name, ...(await work(browser)) };
  } finally {
    await browser.close();
  }
}

// { same: {renderer, start, orbit, replay, empty, firstFrame: {plain, compressing, plain_warm, compressing_warm}}, software: {renderer, start, orbit} };
// `progress` says what runs. The first frame on slow 4G is timed with the site served two
// ways: by a server that compresses nothing, and by one that compresses the page, scripts
// and WebAssembly as most static hosts do (./lab web's).
// `beside(state)`, if given, is run just before and just after the same-renderer start view
// and orbit ('start', 'orbit'), and what it returns kept in their `beside`: the native frame
// measured next to them, for a ratio that holds on a busy machine.
export async function browserBench(site, frames, softwareFrames, progress = () => {}, beside = null) {
  const nextTo = async (state, measure) => {
    const before = beside && (await beside(state));
    const result = await measure();
    if (beside) result.beside = [before, await beside(state)];
    return result;
  };
  const server = await serve(site, 0);
  const url = `http://localhost:${server.address().port}/`;
  try {
    const same = await onRenderer('native', url, async (browser) => {
      progress(`browser on the native renderer: start view, ${frames} frames`);
      const start = await nextTo('start', () => startView(browser, url, frames));
      progress(`browser on the native renderer: orbiting, ${frames} frames`);
      const orbit = await nextTo('orbit', () => orbiting(browser, url, frames));
      progress(`browser on the native renderer: the recorded frame again, ${frames} frames`);
      const again = await replay(browser, url, frames);
      progress(`browser on the native renderer: an empty WebGL page, ${frames} frames`);
      const empty = await emptyPage(browser, frames);
      return { start, orbit, replay: again, empty, firstFrame: await slow4GFirstFrames(browser, site, progress) };
    });
    const software = await onRenderer('software', url, async (browser) => {
      progress(`browser on SwiftShader: start view, ${softwareFrames} frames`);
      const start = await startView(browser, url, softwareFrames);
      progress(`browser on SwiftShader: orbiting, ${softwareFrames} frames`);
      const orbit = await orbiting(browser, url, softwareFrames);
      return { start, orbit };
    });
    return { same, software };
  } finally {
    server.close();
  }
}

if (runDirectly(import.meta.url) && process.argv[2] === '--first-frame') {
  console.log(JSON.stringify(await onRenderer('native', null, (browser) => slow4GFirstFrames(browser, 'build-web/site'))));
} else if (runDirectly(import.meta.url)) {
  const [frames = '360', softwareFrames = '180'] = process.argv.slice(2);
  console.log(JSON.stringify(await browserBench('build-web/site', Number(frames), Number(softwareFrames),
    (text) => process.stderr.write(`web-bench: ${text}\n`))));
}
