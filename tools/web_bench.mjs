// Frame time of the browser build in Debian's Chromium (SwiftShader here), at the two
// camera states the native benchmark uses: the starting view (the page's ?bench=N mode,
// N frames drawn back to back) and orbiting (`a`, frames counted over wall time).
// Usage: node tools/web_bench.mjs [FRAMES]  (after ./lab web --no-serve, and npm ci in
// tests/web); prints one JSON line. tools/bench.mjs imports browserBench.
import { createRequire } from 'node:module';
import { launchChromium, serve } from './web_serve.mjs';

const require = createRequire(new URL('../tests/web/package.json', import.meta.url));

export async function browserBench(site, frames) {
  const { chromium } = require('playwright-core');
  const server = await serve(site, 0);
  const url = `http://localhost:${server.address().port}/`;
  const browser = await launchChromium(chromium);
  try {
    const page = await browser.newPage();
    await page.goto(`${url}?bench=${frames + 1}`);
    await page.waitForFunction(() => window.Module?.labBench, null, { timeout: 0, polling: 500 });
    const start = await page.evaluate(() => Module.labBench);
    const renderer = await page.evaluate(() => {
      const gl = document.createElement('canvas').getContext('webgl2');
      const info = gl.getExtension('WEBGL_debug_renderer_info');
      return info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : gl.getParameter(gl.RENDERER);
    });
    await page.close();

    const orbiting = await browser.newPage();
    await orbiting.goto(url);
    await orbiting.waitForFunction(() => window.Module?.labFrameCount?.() > 0, null, { timeout: 120000 });
    await orbiting.locator('#lab').focus();
    await orbiting.keyboard.press('a');
    const orbit = await orbiting.evaluate(async (wanted) => {
      // From the first orbit frame on, so start-up is not counted.
      const first = Module.labFrameCount() + 1;
      while (Module.labFrameCount() < first) await new Promise(requestAnimationFrame);
      const t0 = performance.now();
      while (Module.labFrameCount() < first + wanted) await new Promise(requestAnimationFrame);
      const seconds = (performance.now() - t0) / 1000;
      return { frames: wanted, seconds, ms_per_frame: (1000 * seconds) / wanted, fps: wanted / seconds };
    }, frames);
    return { start, orbit, renderer };
  } finally {
    await browser.close();
    server.close();
  }
}

if (import.meta.url === `file://${process.argv[1]}`) {
  console.log(JSON.stringify(await browserBench('build-web/site', Number(process.argv[2] || 300))));
}
