// Frame rate of the browser build in Debian's Chromium (SwiftShader here): starts the
// orbit and counts the frames drawn over wall time. Prints one JSON line.
// Usage: node tools/web_bench.mjs [FRAMES]  (after ./lab web --no-serve and ./lab test's npm ci)
import { createRequire } from 'node:module';
import { serve } from './web_serve.mjs';

const require = createRequire(new URL('../tests/web/package.json', import.meta.url));
const { chromium } = require('playwright-core');
const wanted = Number(process.argv[2] || 300);

const server = await serve('build-web', 0);
const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--enable-unsafe-swiftshader', '--use-angle=swiftshader'],
});
const page = await browser.newPage();
await page.goto(`http://localhost:${server.address().port}/`);
await page.waitForFunction(() => window.Module?.labFrameCount?.() > 0, null, { timeout: 120000 });
const result = await page.evaluate(async (wanted) => {
  const canvas = document.getElementById('lab');
  canvas.focus();
  canvas.dispatchEvent(new KeyboardEvent('keydown', { key: 'a', bubbles: true }));
  // From the first orbit frame on, so start-up is not counted.
  const first = Module.labFrameCount() + 1;
  while (Module.labFrameCount() < first) await new Promise(requestAnimationFrame);
  const start = performance.now();
  while (Module.labFrameCount() < first + wanted) await new Promise(requestAnimationFrame);
  const ms = performance.now() - start;
  return { frames: wanted, seconds: ms / 1000, ms_per_frame: ms / wanted, fps: (1000 * wanted) / ms };
}, wanted);
result.renderer = await page.evaluate(() => {
  const gl = document.createElement('canvas').getContext('webgl2');
  const info = gl.getExtension('WEBGL_debug_renderer_info');
  return info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : gl.getParameter(gl.RENDERER);
});
console.log(JSON.stringify(result));
await browser.close();
server.close();
