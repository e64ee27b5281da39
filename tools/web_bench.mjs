// Frame time of the browser build in Debian's Chromium (SwiftShader here), at the two
// camera states the native benchmark uses: the starting view (the page's ?bench=N mode,
// N frames drawn back to back) and orbiting (`a`, frames counted over wall time); the
// program's own time in each frame at both; and the GPU's alone (?bench=N&replay: the same
// frame drawn again from what is on the GPU).
// Usage: node tools/web_bench.mjs [FRAMES]  (after ./lab web --no-serve, and npm ci in
// tests/web); prints one JSON line. tools/bench.mjs imports browserBench.
import { createRequire } from 'node:module';
import { launchChromium, serve } from './web_serve.mjs';

const require = createRequire(new URL('../tests/web/package.json', import.meta.url));

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function benchMode(browser, url) {
  const page = await browser.newPage();
  await page.goto(url);
  await page.waitForFunction(() => window.Module?.labBench, null, { timeout: 0, polling: 500 });
  const result = await page.evaluate(() => Module.labBench);
  await page.close();
  return result;
}

export async function browserBench(site, frames) {
  const { chromium } = require('playwright-core');
  const server = await serve(site, 0);
  const url = `http://localhost:${server.address().port}/`;
  const browser = await launchChromium(chromium);
  try {
    const start = await benchMode(browser, `${url}?bench=${frames + 1}`);
    const replay = await benchMode(browser, `${url}?bench=${frames + 1}&replay`);

    const orbiting = await browser.newPage();
    await orbiting.goto(url);
    await orbiting.waitForFunction(() => window.Module?.labFrameCount?.() > 0, null, { timeout: 120000 });
    const renderer = await orbiting.evaluate(() => {
      const gl = document.createElement('canvas').getContext('webgl2');
      const info = gl.getExtension('WEBGL_debug_renderer_info');
      return info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : gl.getParameter(gl.RENDERER);
    });
    await orbiting.locator('#lab').focus();
    await orbiting.keyboard.press('a');
    const orbit = await orbiting.evaluate(async (wanted) => {
      // From the first orbit frame on, so start-up is not counted; each frame's end noted.
      const first = Module.labFrameCount() + 1;
      while (Module.labFrameCount() < first) await new Promise(requestAnimationFrame);
      const ends = [performance.now()];
      let seen = first;
      while (seen < first + wanted) {
        await new Promise(requestAnimationFrame);
        const now = Module.labFrameCount();
        if (now !== seen) ends.push(performance.now()), (seen = now);
      }
      const seconds = (ends[ends.length - 1] - ends[0]) / 1000;
      return { frames: wanted, seconds, ms_per_frame: (1000 * seconds) / wanted, fps: wanted / seconds,
               frame_ms: ends.slice(1).map((t, i) => t - ends[i]), program_times: Module.labProgramTimes().slice(-wanted) };
    }, frames);
    orbit.program_ms = median(orbit.program_times);
    delete orbit.program_times;
    return { start, replay, orbit, renderer };
  } finally {
    await browser.close();
    server.close();
  }
}

if (import.meta.url === `file://${process.argv[1]}`) {
  console.log(JSON.stringify(await browserBench('build-web/site', Number(process.argv[2] || 300))));
}
