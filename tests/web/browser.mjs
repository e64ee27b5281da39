// What the browser tests share: the built site served and Debian's Chromium opened on it,
// the canvas read back, the lab's frames counted and waited for, and a person's menu picks
// and drags (with the mouse or a finger).
import { chromium } from 'playwright-core';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { launchChromium } from '../../tools/web/chromium.mjs';
import { serve } from '../../tools/web/web_serve.mjs';
export { webglRenderer } from '../../tools/web/chromium.mjs';

export const WEB_BUILD = process.env.OSTREL_WEB_BUILD || 'build-web';
export const SITE = join(WEB_BUILD, 'site');  // what ./lab web serves; the build's own files stay above it

// { browser, server, url }: the site on a free port, and Chromium drawing WebGL on `renderer`;
// served as ./lab web serves it, or, with compress false, by a server that compresses nothing.
export async function openSite(renderer = 'native', compress = true) {
  const server = await serve(SITE, 0, '127.0.0.1', { compress });
  return { server, url: `http://localhost:${server.address().port}/`, browser: await launchChromium(chromium, renderer) };
}

export async function closeSite(site) {
  await site?.browser.close();
  site?.server.close();
}

// The site copied (`edit` may change the copy) and served on one port, which goes away (no
// network) and comes back.
export async function siteCopy(edit = () => {}) {
  const dir = mkdtempSync(join(tmpdir(), 'lab site-'));
  cpSync(SITE, dir, { recursive: true });
  edit(dir);
  let server = await serve(dir, 0);
  const port = server.address().port;
  const down = () => { server.close(); server.closeAllConnections(); };
  return {
    dir, url: `http://localhost:${port}/`, down,
    up: async () => { server = await serve(dir, port); },
    close: () => { down(); rmSync(dir, { recursive: true }); },
  };
}

// The worker of the site in `dir` written anew for its files, as the build writes it; its version.
export const rebuildSite = (dir) => execFileSync('cmake', [`-DSITE=${dir}`, '-DTEMPLATE=src/web/sw.js', '-P', 'cmake/web-site.cmake']);
export const siteVersion = (dir) => /LAB_SITE_VERSION = '([0-9a-f]+)'/.exec(readFileSync(join(dir, 'sw.js'), 'utf8'))[1];

// A new build of the site in `dir`: the page's heading changed, and its worker.
export function newBuild(dir) {
  const index = join(dir, 'index.html');
  writeFileSync(index, readFileSync(index, 'utf8').replace('<h1>Ostrel Lab</h1>', '<h1>Ostrel Lab, rebuilt</h1>'));
  rebuildSite(dir);
}

// Reloads until `changed()`, at most twice: how many reloads it took, or 0.
export async function reloadsUntil(reload, changed) {
  for (let reloads = 1; reloads <= 2; ++reloads) {
    await reload();
    if (await changed()) return reloads;
  }
  return 0;
}

// A new page of `opener` (a browser or a context) on the lab; page.errors collects what
// the console and the page report as errors.
export async function openPage(opener, url, route, query = '') {
  const page = await opener.newPage();
  page.errors = [];
  page.on('console', (m) => { if (m.type() === 'error') page.errors.push(m.text()); });
  page.on('pageerror', (e) => page.errors.push(e.message));
  if (route) await page.route(route.pattern, route.handler);
  await page.goto(url + query);
  return page;
}

// The canvas's drawing buffer as { width, height, rgb }; the pixels cross as base64, which
// is far quicker than an array for a phone's three-times-denser buffer.
export async function canvasPicture(page) {
  const { width, height, base64 } = await page.evaluate(() => {
    const canvas = document.getElementById('lab');
    const copy = document.createElement('canvas');
    copy.width = canvas.width;
    copy.height = canvas.height;
    const g = copy.getContext('2d');
    g.drawImage(canvas, 0, 0);
    const rgba = g.getImageData(0, 0, copy.width, copy.height).data;
    let binary = '';
    for (let at = 0; at < rgba.length; at += 0x8000) binary += String.fromCharCode.apply(null, rgba.subarray(at, at + 0x8000));
    return { width: copy.width, height: copy.height, base64: btoa(binary) };
  });
  const rgba = Buffer.from(base64, 'base64');
  const rgb = Buffer.alloc((rgba.length / 4) * 3);
  for (let p = 0; p < rgba.length / 4; ++p) for (let k = 0; k < 3; ++k) rgb[p * 3 + k] = rgba[p * 4 + k];
  return { width, height, rgb };
}

// Until the lab has drawn its first frame, or has ended.
export const drawn = (page) => page.waitForFunction(() => window.Module?.labFrameCount?.() > 0, null, { timeout: 120000 });
export const ended = (page) => page.waitForFunction(() => window.Module?.labEnded !== undefined, null, { timeout: 120000 });

// The first frame, drawn and settled.
export async function drawnPicture(page) {
  await drawn(page);
  await settle(page);
  return canvasPicture(page);
}

export const frames = (page) => page.evaluate(() => Module.labFrameCount());

// Lets the page run `count` animation frames: the lab's loop makes one pass in each.
export const animationFrames = (page, count) => page.evaluate((n) => new Promise((done) => {
  const step = () => (--n > 0 ? requestAnimationFrame(step) : done());
  requestAnimationFrame(step);
}), count);

// Until the lab has drawn what it was asked to: no new frame over a few passes of its loop.
export async function settle(page) {
  for (let tries = 0; tries < 25; ++tries) {
    const before = await frames(page);
    await animationFrames(page, 4);
    if ((await frames(page)) === before) return;
  }
  assert.fail('the lab keeps drawing');
}

// Whether the lab draws no more frames on its own (no orbit running).
export async function still(page) {
  await settle(page);
  const count = await frames(page);
  await animationFrames(page, 10);
  return (await frames(page)) === count;
}

export async function openMenu(page) {
  const box = await page.locator('#lab').boundingBox();
  await page.mouse.click(box.x + 100, box.y + 100, { button: 'right' });
  return page.locator('.glut-menu').first();
}

export async function pick(page, ...path) {
  let menu = await openMenu(page);
  for (const label of path.slice(0, -1)) {
    await menu.locator('.glut-submenu', { hasText: label }).hover();
    menu = page.locator(`.glut-menu[data-menu="${await menu.locator('.glut-submenu', { hasText: label }).getAttribute('data-submenu')}"]`);
  }
  await menu.locator('.glut-entry', { hasText: path[path.length - 1] }).click();
}

// Input through the DevTools protocol at canvas point p (CSS pixels): the mouse's hover, or
// a press, move and release of its left button or of one finger.
const MOUSE = {
  hover: { type: 'mouseMoved' },
  press: { type: 'mousePressed', button: 'left', buttons: 1, clickCount: 1 },
  move: { type: 'mouseMoved', button: 'left', buttons: 1 },
  release: { type: 'mouseReleased', button: 'left', buttons: 0, clickCount: 1 },
};
const TOUCH = { press: 'touchStart', move: 'touchMove', release: 'touchEnd' };

export async function pointer(page, device = 'mouse') {
  const box = await page.locator('#lab').boundingBox();
  const cdp = await page.context().newCDPSession(page);
  return (kind, p) => {
    const at = { x: box.x + p[0], y: box.y + p[1] };
    return device === 'mouse' ? cdp.send('Input.dispatchMouseEvent', { ...MOUSE[kind], ...at })
      : cdp.send('Input.dispatchTouchEvent', { type: TOUCH[kind], touchPoints: kind === 'release' ? [] : [at] });
  };
}

// A drag from canvas point `from` to `to` in `steps` movements, sent without waiting for
// each, so that the browser coalesces them as it does a fast real drag; `paced`, each one
// handled before the next is sent.
export async function drag(page, from, to, steps, device = 'mouse', paced = false) {
  const send = await pointer(page, device);
  if (device === 'mouse') await send('hover', from);
  await send('press', from);
  const moves = [];
  for (let i = 1; i <= steps; ++i) {
    moves.push(send('move', [from[0] + ((to[0] - from[0]) * i) / steps, from[1] + ((to[1] - from[1]) * i) / steps]));
    if (paced) await Promise.all([moves.pop(), animationFrames(page, 2)]);
  }
  await Promise.all(moves);
  await send('release', to);
}
