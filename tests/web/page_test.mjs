// The page beyond a desktop's mouse, in Debian's Chromium: a phone's screen and touch, the
// keyboard's menu, the key buttons, what axe-core finds, Start again after Quit, a browser
// that cannot run the lab, the server.
// Usage: node page_test.mjs (from the repository root, after the browser build)
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { setDefaultResultOrder } from 'node:dns';
import { once } from 'node:events';
import { createServer } from 'node:http';
import { gzipSync } from 'node:zlib';
import { copyFileSync, mkdtempSync, readFileSync, readdirSync, rmSync, symlinkSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';
import { launchChromiumProfile } from '../../tools/web/chromium.mjs';
import { serve } from '../../tools/web/web_serve.mjs';
import { SITE, animationFrames, canvasPicture, closeSite, drag, drawn, drawnPicture, frames, newBuild, openPage, openSite, pointer, settle,
  siteCopy, siteVersion, still } from './browser.mjs';

// The server listens on 127.0.0.1 and names it localhost, as browsers take it. Node's own
// fetch tries only the first address of a name in Node 18 (Debian 12's), which is ::1.
setDefaultResultOrder('ipv4first');

const PHONE = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, hasTouch: true, isMobile: true };
const PHONE_DRAG = [[120, 120], [200, 180], 8];  // canvas points in CSS pixels, and the steps

const AXE = createRequire(import.meta.url).resolve('axe-core/axe.min.js');
const AXE_RULES = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice'];

let site;
before(async () => { site = await openSite(); });
after(() => closeSite(site));

// Once a touch's long-press time has passed (a page timer set now runs after the touch's).
async function noMenuLeft(page, why) {
  await page.evaluate(() => new Promise((done) => setTimeout(done, 1000)));
  assert.equal(await page.locator('.glut-menu').count(), 0, why);
}

async function openDrawn(opener) {
  const page = await openPage(opener, site.url);
  await drawn(page);
  await settle(page);
  return page;
}

describe('on a phone (390 x 844, pixel ratio 3, touch)', () => {
  let phone, fingerMoved;  // the picture after "Move Position" and a finger's drag
  before(async () => { phone = await site.browser.newContext(PHONE); });
  after(() => phone.close());

  test('a square canvas inside the screen with a buffer 3 times its size; long press, tap, finger drags', async () => {
    const page = await openDrawn(phone);
    const [width, scrollWidth, r, buffer] = await page.evaluate(() => {
      const canvas = document.getElementById('lab');
      return [innerWidth, document.documentElement.scrollWidth, canvas.getBoundingClientRect().toJSON(), [canvas.width, canvas.height]];
    });
    assert.deepEqual([width, scrollWidth], [390, 390], 'laid out at the device width, no horizontal scrolling');
    assert.ok(r.left >= 0 && r.top >= 0 && r.right <= 390 && r.bottom <= 844 && r.width === r.height, JSON.stringify(r));
    assert.deepEqual(buffer, [Math.round(r.width * 3), Math.round(r.height * 3)]);
    assert.equal(await page.getByRole('img', { name: /computer teaching lab/ }).count(), 1);

    const count = await frames(page);
    await drag(page, ...PHONE_DRAG, 'touch');
    await settle(page);
    assert.equal(await frames(page), count, 'before a mode is chosen, a drag changes nothing');
    await noMenuLeft(page, 'a finger\'s drag leaves no menu behind');
    const finger = await pointer(page, 'touch');
    await Promise.all([finger('press', [180, 180]), finger('release', [180, 180])]);  // sent together: no wait between
    await noMenuLeft(page, 'nor does a tap');
    await finger('press', [180, 180]);
    await page.locator('.glut-menu').waitFor();  // held still: a long press
    await finger('release', [180, 180]);
    const entry = page.locator('.glut-entry', { hasText: 'Move Position' });
    assert.ok((await entry.boundingBox()).height >= 40, 'entries a finger can hit');
    await entry.tap();
    await settle(page);
    const picked = await canvasPicture(page);
    await drag(page, ...PHONE_DRAG, 'touch');
    await settle(page);
    fingerMoved = await canvasPicture(page);
    assert.ok(!fingerMoved.rgb.equals(picked.rgb), 'the drag moved the eye');
  });

  test('Shift+F10 and Enter pick "Move Position", the mouse drags as the finger did; the a and s buttons', async () => {
    const page = await openDrawn(phone);
    await page.locator('#lab').focus();
    for (const key of ['Shift+F10', 'ArrowDown', 'Enter']) await page.keyboard.press(key);
    await drag(page, ...PHONE_DRAG, 'mouse', true);  // step by step: no movement lost to coalescing
    await settle(page);
    assert.ok((await canvasPicture(page)).rgb.equals(fingerMoved.rgb), 'the same picture as the finger\'s drag');
    await page.getByRole('button', { name: /^a\b/ }).tap();
    const count = await frames(page);
    await animationFrames(page, 10);
    assert.ok((await frames(page)) >= count + 5, 'the a button starts the orbit');
    await page.getByRole('button', { name: /^s\b/ }).tap();
    assert.ok(await still(page), 'the s button stops it');
    assert.deepEqual(page.errors, []);
  });
});

test('a script of the site\'s host that fails leaves the lab drawing', async (t) => {
  const context = await site.browser.newContext({ serviceWorkers: 'block' });  // else host.js may pass the route by
  t.after(() => context.close());
  const page = await openDrawn(context);
  await page.route('**/host.js', (r) => r.fulfill({ contentType: 'text/javascript',
    body: 'setTimeout(() => { throw new Error("the host\'s"); }); Promise.reject(new Error("the host\'s too"));' }));
  await page.addScriptTag({ url: `${site.url}host.js` });
  await page.addScriptTag({ content: 'null.banner;' }).catch(() => {});  // a host's line in the page itself
  await animationFrames(page, 5);
  await page.locator('#lab').press('a');
  const count = await frames(page);
  await animationFrames(page, 10);
  assert.ok((await frames(page)) >= count + 5, 'the orbit goes on');
  assert.deepEqual([await page.evaluate(() => Module.labEnded), await page.locator('#message').textContent()], [undefined, '']);
});

const keptVersions = (page) => page.evaluate(() => caches.keys().then((names) => names.map((n) => n.split(' ').pop())));

test('after one visit the lab draws with no network; a new build is what the next visit gets, and then what is kept', async (t) => {
  const copy = await siteCopy();
  const context = await site.browser.newContext();
  t.after(() => Promise.all([context.close(), copy.close()]));
  const page = await openPage(context, copy.url);
  const online = await drawnPicture(page);
  await page.evaluate(() => navigator.serviceWorker.ready);
  copy.down();
  const offline = async (heading) => {
    await page.reload();
    assert.ok((await drawnPicture(page)).rgb.equals(online.rgb), 'the same first frame, with no network');
    assert.equal(await page.locator('h1').textContent(), heading);
  };
  await offline('Ostrel Lab');

  const built = siteVersion(copy.dir);
  newBuild(copy.dir);
  assert.notEqual(siteVersion(copy.dir), built);
  await copy.up();
  await page.reload();
  assert.equal(await page.locator('h1').textContent(), 'Ostrel Lab, rebuilt');
  await drawn(page);
  await page.waitForFunction((v) => {  // the new worker has kept the new build and dropped the old
    caches.keys().then((names) => { window.kept = names; });
    return window.kept?.length === 1 && window.kept[0].endsWith(` ${v}`);
  }, siteVersion(copy.dir), { polling: 100 });
  copy.down();
  await offline('Ostrel Lab, rebuilt');
  assert.deepEqual([await keptVersions(page), page.errors.filter((e) => !/ERR_CONNECTION_REFUSED/.test(e))], [[siteVersion(copy.dir)], []]);
});

test('Chromium finds the lab installable: a manifest with the lab\'s name, standalone, icons of 192 and 512 pixels', async (t) => {
  const profile = mkdtempSync(join(tmpdir(), 'lab profile-'));
  const context = await launchChromiumProfile(chromium, profile);
  t.after(async () => { await context.close(); rmSync(profile, { recursive: true }); });
  const page = context.pages()[0] || await context.newPage();
  await page.goto(site.url);
  await drawn(page);
  await page.evaluate(() => navigator.serviceWorker.ready);
  const cdp = await context.newCDPSession(page);
  const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
  const { data } = await cdp.send('Page.getAppManifest');
  const manifest = JSON.parse(data);
  assert.deepEqual([installabilityErrors, manifest.name, manifest.display, manifest.icons.map((i) => i.sizes)],
    [[], 'Ostrel Lab', 'standalone', ['192x192', '512x512']]);
});

// Each fault axe-core finds, as "rule: the elements".
async function accessibilityFaults(page) {
  await page.addScriptTag({ path: AXE });
  const { violations } = await page.evaluate((rules) => axe.run({ runOnly: rules }), AXE_RULES);
  return violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
}

test('axe-core finds nothing on desktop and phone, menu closed, open and ended; Start again reloads', async () => {
  for (const options of [{}, PHONE]) {
    const context = await site.browser.newContext(options);
    const page = await openDrawn(context);
    const faults = { closed: await accessibilityFaults(page) };
    await page.locator('#lab').press('Shift+F10');
    await page.locator('.glut-submenu').click();
    faults.open = [await page.locator('.glut-menu').count(), ...await accessibilityFaults(page)];
    await page.locator('.glut-entry', { hasText: 'Quit' }).click();
    const restart = page.getByRole('button', { name: 'Start again' });
    await restart.waitFor();
    faults.ended = await accessibilityFaults(page);
    assert.deepEqual(faults, { closed: [], open: [2], ended: [] }, 'the menu open with its submenu');
    assert.ok(await restart.evaluate((b) => b === document.activeElement && b.getBoundingClientRect().top >=
                                      document.getElementById('message').getBoundingClientRect().bottom), 'focused, under the message');
    await Promise.all([page.waitForEvent('load'), restart.click()]);
    await drawn(page);
    assert.deepEqual([await page.locator('#message').textContent(), await restart.isVisible(), page.errors], ['', false, []]);
    await context.close();
  }
});

// The site served by the lab's own server without some of its files, as a host may upload it.
async function siteWithout(...left) {
  const dir = mkdtempSync(join(tmpdir(), 'lab site-'));
  for (const name of readdirSync(SITE)) if (!left.includes(name)) symlinkSync(resolve(SITE, name), join(dir, name));
  const server = await serve(dir, 0);
  return { url: `http://localhost:${server.address().port}/`, close: () => { server.close(); rmSync(dir, { recursive: true }); } };
}

test('without WebGL 2, WebAssembly, the .wasm, data/ or the script, or opened as a file, the page says why in place of the canvas', async (t) => {
  const [noWebGL, noWasm] = [await site.browser.newContext(), await site.browser.newContext()];
  const [noProgram, noData] = [await siteWithout('ostrel-lab.wasm', 'ostrel-lab.wasm.gz'), await siteWithout('data')];
  t.after(() => Promise.all([noWebGL.close(), noWasm.close(), noProgram.close(), noData.close()]));  // failed or not
  await noWebGL.addInitScript(() => {
    const getContext = HTMLCanvasElement.prototype.getContext;
    HTMLCanvasElement.prototype.getContext = function (kind, ...rest) { return kind === 'webgl2' ? null : getContext.call(this, kind, ...rest); };
  });
  await noWasm.addInitScript(() => { delete window.WebAssembly; });
  // Under any query: the page names its script with the build's version.
  const lost = (file) => ({ pattern: new RegExp(`/${file.replace(/[.]/g, '[.]')}([?].*)?$`), handler: (r) => r.fulfill({ status: 404, body: '' }) });
  const upload = 'upload the whole site/ folder that ./lab web builds';
  const images = readdirSync(join(SITE, 'data')).filter((f) => f.endsWith('.tga')).sort();  // in the page's order, as CMake lists them
  // Every file of the site is named to whoever uploads it: the name, then a comma or the list's end.
  const unnamed = (message) => readdirSync(SITE, { recursive: true, withFileTypes: true }).filter((f) => f.isFile())
    .map((f) => f.name).filter((name) => !message.includes(` ${name},`) && !message.includes(` ${name})`));
  for (const [page, missing] of [[await openPage(noWebGL, site.url), /WebGL 2.*hardware .*acceleration.*another browser/s],
                                  [await openPage(noWasm, site.url), /this browser does not run WebAssembly: open the page in another/],
                                  [await openPage(site.browser, noProgram.url), `This site is incomplete: the server did not deliver this file of the lab:\nostrel-lab.wasm: 404 Not Found\n\nTo whoever put the lab on this site: ${upload}`],
                                  [await openPage(site.browser, noData.url), `these files of the lab:\n${images.map((f) => `data/${f}: 404 Not Found`).join('\n')}\n\nTo whoever put the lab on this site: ${upload}`],
                                  [await openPage(site.browser, site.url, lost('ostrel-lab.js')), /ostrel-lab\.js\) could not be loaded/],
                                  [await openPage(site.browser, pathToFileURL(resolve(SITE, 'index.html')).href),
                                   /served by a web server.*\.\/lab web.*build-web\/site\/ with any static web server/s]]) {
    await page.waitForFunction(() => document.body.classList.contains('lab-stopped'));
    const message = await page.locator('#message').textContent();
    typeof missing === 'string' ? assert.ok(message.includes(missing), message) : assert.match(message, missing);
    if (message.includes(upload)) assert.deepEqual(unnamed(message), [], message);
    assert.equal(await page.locator('#lab').isVisible(), false);
  }
});

// A program of another build, as a host leaves an old ostrel-lab.wasm.gz behind: a module
// whose import this script does not give (a LinkError), gzip-compressed.
const OLD_PROGRAM = gzipSync(Buffer.from([0, 0x61, 0x73, 0x6d, 1, 0, 0, 0, 1, 4, 1, 0x60, 0, 0,  // a type: () -> ()
  2, 10, 1, 1, 0x61, 4, 0x67, 0x6f, 0x6e, 0x65, 0, 0]));  // an import: a.gone, a function of that type

test('an old build\'s .wasm.gz: the lab runs from the .wasm and the console names the .gz; without the .wasm, the page names both', async (t) => {
  const noProgram = await siteWithout('ostrel-lab.wasm');
  const context = await site.browser.newContext({ serviceWorkers: 'block' });
  t.after(() => Promise.all([context.close(), noProgram.close()]));
  const old = { pattern: '**/ostrel-lab.wasm.gz', handler: (r) => r.fulfill({ status: 200, body: OLD_PROGRAM }) };
  const warnings = [];
  const page = await context.newPage();
  page.on('console', (m) => { if (m.type() === 'warning') warnings.push(m.text()); });
  await page.route(old.pattern, old.handler);
  await page.goto(site.url);
  await drawn(page);
  assert.ok(warnings.some((w) => /^The lab runs ostrel-lab\.wasm: ostrel-lab\.wasm\.gz did not start \(LinkError/.test(w)), warnings.join('\n'));
  const stopped = await openPage(context, noProgram.url, old);
  await stopped.waitForFunction(() => document.body.classList.contains('lab-stopped'));
  assert.match(await stopped.locator('#message').textContent(), new RegExp('^This site is incomplete: the server did not deliver these files of the lab:\n' +
    'ostrel-lab\\.wasm: 404 Not Found\nostrel-lab\\.wasm\\.gz: another build of the lab than ostrel-lab\\.js \\(LinkError'));
});

// The snippet docs/browser.md gives, pasted into a course page of another site (127.0.0.1
// is another site than localhost) with the lab's address; `allow` as the embedder sets it.
function coursePage(allow) {
  const [, snippet] = /## Embedding in a course page[^]*?```html\n([^]*?)```/.exec(readFileSync('docs/browser.md', 'utf8'));
  const frame = snippet.replace(/src="[^"]*"/, `src="${site.url}"`).replace(/ allow="fullscreen"/, allow ? '$&' : '');
  return `<!doctype html><html lang="en"><title>Week 4</title><h1>Week 4: lighting</h1><p>Walk through the lab.</p>${frame}`;
}

test('embedded in a course page of another site: it draws, takes a, s and the menu after a click, fits, and goes full screen where allowed', async (t) => {
  const course = createServer((request, response) => response.writeHead(200, { 'Content-Type': 'text/html' })
    .end(coursePage(!request.url.includes('not-allowed')))).listen(0, '127.0.0.1');
  await once(course, 'listening');
  const context = await site.browser.newContext({ viewport: { width: 800, height: 900 } });
  t.after(() => { course.close(); return context.close(); });
  const page = await context.newPage();
  const lab = async (path) => {
    await page.goto(`http://127.0.0.1:${course.address().port}/${path}`);
    const frame = await (await page.locator('iframe').elementHandle()).contentFrame();
    await drawn(frame);
    await settle(frame);
    return frame;
  };
  const frame = await lab('');
  const view = await frame.evaluate(() => { const d = document.documentElement; return [d.scrollWidth, d.clientWidth, d.scrollHeight, d.clientHeight]; });
  assert.ok(view[0] <= view[1] && view[2] <= view[3], `the lab and its controls within the frame, no scrolling: ${view}`);
  await frame.locator('#lab').click();
  await page.keyboard.press('a');
  const count = await frames(frame);
  await animationFrames(frame, 10);
  assert.ok((await frames(frame)) >= count + 5, 'a starts the orbit');
  await page.keyboard.press('s');
  assert.ok(await still(frame), 's stops it');
  await frame.locator('#lab').click({ button: 'right', position: { x: 400, y: 400 } });
  const menu = await frame.locator('.glut-menu').evaluate((m) => m.getBoundingClientRect().toJSON());
  assert.ok(menu.right <= view[1] && menu.bottom <= view[3], `the menu, inside the frame: ${JSON.stringify(menu)}`);
  await page.keyboard.press('Escape');
  await frame.getByRole('button', { name: 'Full screen' }).click();
  await frame.waitForFunction(() => document.fullscreenElement?.tagName === 'MAIN');
  await settle(frame);
  assert.ok(await frame.evaluate(() => document.getElementById('lab').width) > 500, 'a larger canvas, drawn at its size');
  assert.deepEqual(page.errors ?? [], []);
  const refused = await lab('not-allowed');
  assert.equal(await refused.locator('#fullscreen').isVisible(), false, 'no Full screen button where the embedder does not allow it');
});

// A request that brought the server down would never be answered: the time limit says so.
test('the server answers malformed requests with a 4xx, HEAD as GET without a body, and goes on', async () => {
  const ask = (path, method = 'GET') => fetch(site.url + path, { method, signal: AbortSignal.timeout(10000) });
  for (const [method, path] of [['GET', '%E0%A4%A'], ['GET', '..%2f..%2fetc%2fpasswd'], ['DELETE', 'index.html']]) {
    const { status } = await ask(path, method);
    assert.ok(status >= 400 && status < 500, `${method} /${path}: ${status}`);
  }
  const [head, get] = [await ask('', 'HEAD'), await ask('')];
  assert.match(await get.text(), /<canvas id="lab"/);
  assert.deepEqual([head.status, head.headers.get('content-length'), await head.text()], [200, get.headers.get('content-length'), '']);
});

// Copied there or through a link, it still knows it was run directly: it prints its address.
test('the server runs from a folder with a space in its name', async () => {
  const dir = mkdtempSync(join(tmpdir(), 'lab server-'));
  copyFileSync('tools/web/web_serve.mjs', join(dir, 'web serve.mjs'));
  symlinkSync(resolve('tools/web/web_serve.mjs'), join(dir, 'linked serve.mjs'));
  for (const name of ['web serve.mjs', 'linked serve.mjs']) {
    const server = spawn(process.execPath, [join(dir, name), SITE, '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
    let page = '';
    try {  // a server left running would keep the test runner waiting for ever
      const address = String(await Promise.race([once(server.stdout, 'data'), once(server, 'exit').then(() => '')])).trim();
      page = address.startsWith('http') ? await (await fetch(address)).text() : '';
    } finally {
      server.kill();
    }
    assert.match(page, /<canvas id="lab"/, `${name} serves`);
  }
  rmSync(dir, { recursive: true });
});
