// Lighthouse 12 (pinned in tools/bench/package.json: 13 needs Node 22) on the site as ./lab
// web builds it, served by a server that compresses nothing, in Debian's Chromium: mobile
// (Lighthouse's default: a phone's screen, slow 4G and a 4× slower CPU, simulated) and
// desktop. A measurement, so part of ./lab bench: its scores move with the machine's load.
// Usage: node tools/bench/lighthouse.mjs [RUNS]  (after ./lab web --no-serve and npm ci in
// tools/bench, with DISPLAY set); prints one JSON line. tools/bench/bench.mjs imports lighthouseBench.
import { createRequire } from 'node:module';
import { CHROMIUM, chromiumArgs } from '../web/chromium.mjs';
import { runDirectly, serve } from '../web/web_serve.mjs';

const require = createRequire(import.meta.url);
const CATEGORIES = ['performance', 'accessibility', 'best-practices', 'seo'];
const TIMINGS = ['first-contentful-paint', 'largest-contentful-paint', 'total-blocking-time', 'speed-index', 'cumulative-layout-shift'];

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// One run: the categories' scores (0-100), the timings Lighthouse scores (ms), the longest
// task at start it saw (ms, CPU slowdown included), and what lost points.
async function once(lighthouse, url, port, config) {
  const { lhr } = await lighthouse(url, { port, output: 'json', logLevel: 'error', onlyCategories: CATEGORIES }, config);
  const scores = Object.fromEntries(CATEGORIES.map((c) => [c, Math.round(lhr.categories[c].score * 100)]));
  const timings = Object.fromEntries(TIMINGS.map((t) => [t, lhr.audits[t].numericValue]));
  const tasks = lhr.audits['long-tasks']?.details?.items || [];
  const lost = Object.values(lhr.audits).filter((a) => a.score !== null && a.score < 1 && a.scoreDisplayMode !== 'informative'
    && a.scoreDisplayMode !== 'manual').map((a) => a.id);
  return { scores, timings, longest_task_ms: Math.max(0, ...tasks.map((t) => t.duration)), lost };
}

// { mobile, desktop }: each the median of `runs` runs, per score and timing, with every run's.
export async function lighthouseBench(site, runs = 3, progress = () => {}) {
  const { default: lighthouse } = await import('lighthouse');
  const { default: desktop } = await import('lighthouse/core/config/desktop-config.js');
  const chromeLauncher = require('chrome-launcher');
  const server = await serve(site, 0, '127.0.0.1', { compress: false });
  const url = `http://localhost:${server.address().port}/`;
  const chrome = await chromeLauncher.launch({ chromePath: CHROMIUM, chromeFlags: ['--headless', ...chromiumArgs('native')] });
  try {
    const result = {};
    for (const [name, config] of [['mobile', undefined], ['desktop', desktop]]) {
      const all = [];
      for (let run = 1; run <= runs; ++run) {
        progress(`Lighthouse ${name}, run ${run} of ${runs}`);
        all.push(await once(lighthouse, url, chrome.port, config));
      }
      const pick = (part) => Object.fromEntries(Object.keys(all[0][part]).map((k) => [k, median(all.map((r) => r[part][k]))]));
      result[name] = { scores: pick('scores'), timings: pick('timings'), longest_task_ms: median(all.map((r) => r.longest_task_ms)),
                       lost: [...new Set(all.flatMap((r) => r.lost))], runs: all };
    }
    return { version: require('lighthouse/package.json').version, ...result };
  } finally {
    await chrome.kill();
    server.close();
  }
}

if (runDirectly(import.meta.url)) {
  console.log(JSON.stringify(await lighthouseBench('build-web/site', Number(process.argv[2] || 3),
    (text) => process.stderr.write(`lighthouse: ${text}\n`))));
}
