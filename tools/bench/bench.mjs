// The lab's figures in one run: the native frame at the start view and orbiting, the
// TGA decoder against memcpy, and, when the browser build exists, the browser frame at the
// same two camera states on the same renderer as the native program (WebGL through ANGLE on
// the X server's Mesa), where the browser's time a frame goes, and the same frame on
// SwiftShader (software WebGL), the time to the first frame on a phone's network, and
// Lighthouse's scores. Prints one table (docs/performance.md's figures) and writes the same as JSON;
// plots frame time over one revolution of the orbit (build/frame-times.png, copied to docs/)
// with gnuplot.
// Usage: node tools/bench/bench.mjs [--frames N] [--orbit-frames N] [--web-frames N] [--software-frames N] [--out FILE]
// Run from the repository root, with a display, after the native build.
import { spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, writeFileSync } from 'node:fs';
import os from 'node:os';

const args = process.argv.slice(2);
function option(name, fallback) {
    const i = args.indexOf(name);
    return i >= 0 && i + 1 < args.length ? args[i + 1] : fallback;
}
const FRAMES = Number(option('--frames', 600));
const ORBIT_FRAMES = Number(option('--orbit-frames', 3000));
const WEB_FRAMES = Number(option('--web-frames', 360));  // two revolutions of the orbit
const SOFTWARE_FRAMES = Number(option('--software-frames', 180));  // one
const OUT = option('--out', 'build/bench.json');
const REVOLUTION = 180;  // orbit steps of 2 degrees
const BESIDE_FRAMES = 150;  // native start-view frames next to each browser run
const LIGHTHOUSE_RUNS = 3;  // each of mobile and desktop, the median kept

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
    const { browserBench } = await import('./web_bench.mjs');
    // The native frame again just before and after each same-renderer browser run: its
    // ratio then compares frames measured side by side, whatever else the machine does.
    const beside = (state) => {
        const args = state === 'orbit' ? ['--orbit', '--frames', String(REVOLUTION)] : ['--frames', String(BESIDE_FRAMES)];
        return 1000 / jsonLines('build/lab-bench', args)[0].fps;  // its mean frame
    };
    web = await browserBench('build-web/site', WEB_FRAMES, SOFTWARE_FRAMES, progress, beside);
    const { lighthouseBench } = await import('./lighthouse.mjs');
    web.lighthouse = await lighthouseBench('build-web/site', LIGHTHOUSE_RUNS, progress);
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
    const { same, software } = web;
    // Drawn frames come at whole ticks of the 60 Hz cap, so their mean (the rate a visitor
    // sees) is the figure; a median would jump a whole tick between runs.
    const drawnHow = (r) => `Chromium's trace, mean time between ${r.frames} drawn frames (60 Hz cap kept)`;
    const ms = (x) => round(x, 2);
    figure('browser frame, same renderer, start view', ms(same.start.mean_ms), 'ms', 'absolute', `${drawnHow(same.start)}, ?bench=N`);
    figure('browser frame, same renderer, orbiting', ms(same.orbit.mean_ms), 'ms', 'absolute', drawnHow(same.orbit));
    const besideMs = (r) => (r.beside[0] + r.beside[1]) / 2;
    const besideHow = (r, what) => `browser mean over native mean (${what}) just before and after: ${r.beside.map((x) => ms(x)).join(', ')} ms`;
    figure('browser / native frame, same renderer, start view', round(same.start.mean_ms / besideMs(same.start), 2), '×', 'ratio',
           besideHow(same.start, `lab-bench, ${BESIDE_FRAMES} frames`));
    figure('browser / native frame, same renderer, orbiting', round(same.orbit.mean_ms / besideMs(same.orbit), 2), '×', 'ratio',
           besideHow(same.orbit, 'a revolution'));
    const busyHow = 'GPU process main thread busy (trace) per drawn frame';
    figure('empty WebGL page\'s frame, same renderer', ms(same.empty.gpu_busy_ms), 'ms', 'absolute',
           `${busyHow}: a 500 × 500 canvas cleared each frame, the browser's own cost`);
    for (const [name, r] of [['start view', same.start], ['orbiting', same.orbit]]) {
        figure(`browser GPU process per frame, same renderer, ${name}`, ms(r.gpu_busy_ms), 'ms', 'absolute', busyHow);
        figure(`… of it WebGL's commands, ${name}`, ms(r.gpu_webgl_ms), 'ms', 'absolute', 'the trace\'s command-buffer work');
        figure(`… of it in the kernel, ${name}`, ms(r.gpu_kernel_ms), 'ms', 'absolute', 'system time of the thread (/proc) per drawn frame');
    }
    const programHow = 'median; performance.now() in the page, main-loop pass start to the swap\'s last WebGL call';
    figure('browser program time per frame, start view', ms(same.start.program_ms), 'ms', 'absolute', programHow);
    figure('browser program time per frame, orbiting', ms(same.orbit.program_ms), 'ms', 'absolute', programHow);
    figure('browser frame / GPU-only frame, same renderer, start view', round(same.start.mean_ms / same.replay.mean_ms, 2), '×',
           'ratio', `?bench=N&replay: the recorded frame drawn again with no program work, ${ms(same.replay.mean_ms)} ms`);
    for (const [name, r] of [['a server that compresses nothing', same.firstFrame.plain],
                             ['a server that compresses the page, scripts and WebAssembly', same.firstFrame.compressing]])
        figure(`browser first frame on slow 4G, ${name}`, ms(r.median_ms), 'ms', 'absolute',
               `median of ${r.runs} runs, from navigation, cache off, ${Math.round(r.bytes / 1024)} KiB over the network: ${r.times_ms.map((t) => Math.round(t)).join(', ')} ms`);
    for (const [name, r] of [['a server that compresses nothing', same.firstFrame.plain_warm],
                             ['a server that compresses the page, scripts and WebAssembly', same.firstFrame.compressing_warm]])
        figure(`browser first frame on slow 4G, returning visitor, ${name}`, ms(r.median_ms), 'ms', 'absolute',
               `median of ${r.runs} runs, from navigation, one visit before, no Cache-Control, files weeks old: ${r.times_ms.map((t) => Math.round(t)).join(', ')} ms`);
    figure('browser frame, software WebGL (SwiftShader), start view', ms(software.start.mean_ms), 'ms', 'absolute', drawnHow(software.start));
    figure('browser frame, software WebGL (SwiftShader), orbiting', ms(software.orbit.mean_ms), 'ms', 'absolute', drawnHow(software.orbit));
    figure('browser / native frame, software WebGL, start view', round(software.start.mean_ms / (1000 / start.fps), 2), '×', 'ratio',
           'means, same run: two rasterizers');
    figure('browser / native frame, software WebGL, orbiting', round(software.orbit.mean_ms / (1000 / orbit.fps), 2), '×', 'ratio',
           'means, same run: two rasterizers');
    const lh = web.lighthouse;
    for (const form of ['mobile', 'desktop']) {
        const r = lh[form];
        figure(`Lighthouse ${form}: performance / accessibility / best practices / SEO`,
               ['performance', 'accessibility', 'best-practices', 'seo'].map((c) => r.scores[c]).join(' / '), '', 'score',
               `Lighthouse ${lh.version}, median of ${r.runs.length} runs, served uncompressed; points lost in: ${r.lost.join(', ') || 'nothing'}`);
        figure(`Lighthouse ${form}: total blocking time / longest task`, `${Math.round(r.timings['total-blocking-time'])} / ${Math.round(r.longest_task_ms)}`,
               'ms', 'absolute', `medians; ${form === 'mobile' ? 'a 4× slower CPU, simulated' : 'the desktop profile'}`);
    }
}

const report = {
    date: new Date().toISOString(),
    cores: os.cpus().length,
    native_renderer: start.renderer,
    browser_renderer: web ? web.same.renderer : null,
    software_renderer: web ? web.software.renderer : null,
    figures,
    raw: { start: { ...start, times_ms: undefined }, orbit: { ...orbit, times_ms: orbit.times_ms.slice(0, REVOLUTION) }, decodes, web },
};
writeFileSync(OUT, JSON.stringify(report, null, 2) + '\n');

// One revolution of the orbit, a step a frame: each frame's time, native, browser on the
// same renderer, browser on SwiftShader.
function plotFrameTimes() {
    const series = [orbit.times_ms, web ? web.same.orbit.frame_ms : [], web ? web.software.orbit.frame_ms : []];
    const rows = [];
    for (let i = 0; i < REVOLUTION && i < orbit.times_ms.length; ++i)
        rows.push([i, ...series.map((s) => (i < s.length ? s[i].toFixed(2) : 'NaN'))].join(' '));
    writeFileSync('build/frame-times.dat', rows.join('\n') + '\n');
    const script = [
        'set terminal pngcairo size 900,480 font "sans,11"',
        'set output "build/frame-times.png"',
        'set title "Frame time over one revolution of the orbit (one step a frame)"',
        `set xlabel "orbit step (2 degrees each, ${REVOLUTION} a revolution)"`,
        'set ylabel "frame time (ms)"',
        `set xrange [0:${REVOLUTION - 1}]`,
        'set logscale y',
        'set key below',
        'set grid',
        `plot "build/frame-times.dat" using 1:2 with lines lw 2 title "native (${start.renderer.split(' (')[0]})", ` +
        '"" using 1:3 with lines lw 2 title "browser, same renderer (WebGL through ANGLE on it)", ' +
        '"" using 1:4 with lines lw 2 title "browser, software WebGL (SwiftShader)"',
    ].join('\n');
    const run = spawnSync('gnuplot', [], { input: script, encoding: 'utf8' });
    if (run.status !== 0) throw new Error(`gnuplot failed: ${run.stderr}`);
    copyFileSync('build/frame-times.png', 'docs/frame-times.png');
    progress('plotted build/frame-times.png and docs/frame-times.png');
}
plotFrameTimes();

const rows = [['Figure', 'Value', 'Kind', 'How measured'],
              ...figures.map((f) => [f.name, `${f.value}${f.unit ? ' ' + f.unit : ''}`, f.kind, f.how])];
const width = rows[0].map((_, c) => Math.max(...rows.map((r) => r[c].length)));
const line = (r) => '| ' + r.map((cell, c) => cell.padEnd(width[c])).join(' | ') + ' |';
console.log(`${report.date}, ${report.cores} cores; native: ${report.native_renderer}` +
            (web ? `; browser, same renderer: ${report.browser_renderer}; software WebGL: ${report.software_renderer}` : ''));
console.log(line(rows[0]));
console.log('|' + width.map((w) => '-'.repeat(w + 2)).join('|') + '|');
for (const r of rows.slice(1)) console.log(line(r));
progress(`written ${OUT}`);
