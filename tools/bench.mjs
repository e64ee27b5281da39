// The lab's figures in one run: the native frame at the start view and orbiting, the
// TGA decoder against memcpy, and, when the browser build exists, the browser frame at
// the same two camera states. Prints one table and writes the same as JSON.
// Usage: node tools/bench.mjs [--frames N] [--orbit-frames N] [--web-frames N] [--out FILE]
// Run from the repository root, with a display, after the native build.
import { spawnSync } from 'node:child_process';
import { existsSync, writeFileSync } from 'node:fs';
import os from 'node:os';

const args = process.argv.slice(2);
function option(name, fallback) {
    const i = args.indexOf(name);
    return i >= 0 && i + 1 < args.length ? args[i + 1] : fallback;
}
const FRAMES = Number(option('--frames', 600));
const ORBIT_FRAMES = Number(option('--orbit-frames', 3000));
const WEB_FRAMES = Number(option('--web-frames', 300));
const OUT = option('--out', 'build/bench.json');

const progress = (text) => process.stderr.write(`bench: ${text}\n`);

// Runs a tool of the build and returns the JSON objects it printed, one per line.
function jsonLines(program, programArgs) {
    const run = spawnSync(program, programArgs, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'inherit'] });
    if (run.status !== 0) throw new Error(`${program} ${programArgs.join(' ')} failed (status ${run.status})`);
    return run.stdout.split('\n').filter((l) => l.startsWith('{')).map((l) => JSON.parse(l));
}

const round = (x, places) => Number(x.toFixed(places));

progress(`native frame at the start view, ${FRAMES} frames`);
const [start] = jsonLines('build/lab-bench', ['--frames', String(FRAMES)]);
progress(`native frame orbiting, ${ORBIT_FRAMES} frames`);
const [orbit] = jsonLines('build/lab-bench', ['--frames', String(ORBIT_FRAMES), '--orbit']);
progress('TGA decoding against memcpy');
const decodes = jsonLines('build/tga-bench', []);

let web = null;
if (existsSync('build-web/site/index.html')) {
    progress(`browser frame, ${WEB_FRAMES} frames at each camera state`);
    const { browserBench } = await import('./web_bench.mjs');
    web = await browserBench('build-web/site', WEB_FRAMES);
} else {
    progress('no browser build (./lab web --no-serve makes one): browser figures left out');
}

const figures = [];
const figure = (name, value, unit, kind, how) => figures.push({ name, value, unit, kind, how });
figure('native frame, start view (median)', start.median_ms, 'ms', 'absolute', `lab-bench, ${start.frames} frames`);
figure('native frame, start view (p95)', start.p95_ms, 'ms', 'absolute', 'same run');
figure('native frame, orbiting (median)', orbit.median_ms, 'ms', 'absolute', `lab-bench --orbit, ${orbit.frames} frames`);
figure('native frame, orbiting (p95)', orbit.p95_ms, 'ms', 'absolute', 'same run');
figure('start view / orbiting, native', round(start.median_ms / orbit.median_ms, 2), '×', 'ratio', 'medians of the two runs');
figure('rebuilding all 40 surface textures / one frame', start.reload_ratio, '×', 'ratio', 'lab-bench reload_ms over its median');
figure('texture objects / menus / quadrics after the orbit', `${orbit.textures} / ${orbit.menus} / ${orbit.quadrics}`, '', 'count', 'asked of GL and GLUT');
figure('resident memory, orbit half-way → end', `${orbit.rss_kb_half} → ${orbit.rss_kb_end}`, 'KB', 'absolute', '/proc/self/statm');
for (const d of decodes) {
    figure(`decode ${d.kind} (${d.file.replace('data/', '')})`, d.mb_per_s, 'MB/s', 'absolute', 'tga-bench, from memory');
    figure(`decode ${d.kind} / memcpy of the same bytes`, d.of_memcpy, '×', 'ratio', `memcpy ${d.memcpy_mb_per_s} MB/s`);
}
if (web) {
    figure('browser frame, start view', round(web.start.ms_per_frame, 3), 'ms', 'absolute', `${web.start.frames} frames, wall time / frames`);
    figure('browser frame, orbiting', round(web.orbit.ms_per_frame, 3), 'ms', 'absolute', `${web.orbit.frames} frames, wall time / frames`);
    figure('browser / native frame, start view', round(web.start.ms_per_frame / start.median_ms, 2), '×', 'ratio', 'browser mean over native median');
    figure('browser / native frame, orbiting', round(web.orbit.ms_per_frame / orbit.median_ms, 2), '×', 'ratio', 'browser mean over native median');
    figure('start view / orbiting, browser', round(web.start.ms_per_frame / web.orbit.ms_per_frame, 2), '×', 'ratio', 'same run');
}

const report = {
    date: new Date().toISOString(),
    cores: os.cpus().length,
    native_renderer: start.renderer,
    browser_renderer: web ? web.renderer : null,
    figures,
    raw: { start, orbit, decodes, web },
};
writeFileSync(OUT, JSON.stringify(report, null, 2) + '\n');

const rows = [['Figure', 'Value', 'Kind', 'How measured'],
              ...figures.map((f) => [f.name, `${f.value}${f.unit ? ' ' + f.unit : ''}`, f.kind, f.how])];
const width = rows[0].map((_, c) => Math.max(...rows.map((r) => r[c].length)));
const line = (r) => '| ' + r.map((cell, c) => cell.padEnd(width[c])).join(' | ') + ' |';
console.log(`${report.date}, ${report.cores} cores; native: ${report.native_renderer}` +
            (web ? `; browser: ${web.renderer}` : ''));
console.log(line(rows[0]));
console.log('|' + width.map((w) => '-'.repeat(w + 2)).join('|') + '|');
for (const r of rows.slice(1)) console.log(line(r));
progress(`written ${OUT}`);
