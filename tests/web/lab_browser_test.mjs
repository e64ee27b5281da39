// The browser build in Debian's Chromium, driven with playwright-core as a person would use
// it: its pictures against the native program's at the same poses, drawn on the same
// renderer (WebGL through the X server's GL), the menu tree, drags, the orbit keys and
// buttons, Quit, unreadable images, a lost context; and the first frame on SwiftShader.
// Usage: node lab_browser_test.mjs  (from the repository root, after the native and
// browser builds; needs DISPLAY to name an X server, for both renderers)
import { execFileSync } from 'node:child_process';
import { once } from 'node:events';
import { createServer } from 'node:http';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { SITE, WEB_BUILD, animationFrames, canvasPicture, closeSite, drag, drawn, ended, frames, openMenu, openPage, openSite, pick, settle, still, webglRenderer } from './browser.mjs';

const NATIVE = process.env.OSTREL_BUILD || 'build';
const OUT = join(WEB_BUILD, 'test-pictures');  // the browser's pictures, for a look after a failure; not part of the site
const SIZE = 500;
// Levels of 255 per channel, per cent of the canvas within them, the largest difference. On
// the same renderer only a few dozen edge and texel-boundary pixels differ; on SwiftShader, two rasterizers.
const SAME_RENDERER = { tolerance: 1, share: 99.97, worst: 24 };
const SOFTWARE = { tolerance: 8, share: 99, worst: 255 };

// The poses the drags below reach, as the native program is put at them.
const START = { eye: [0, 0, 0], center: [0, 0, -30] };
const AFTER_POSITION_DRAG = { eye: [0, 10, 10], center: [0, 0, -30] };
const AFTER_ORIENTATION_DRAG = { eye: [0, 10, 10], center: [-16, 16, -30] };
const OUTSIDE_THE_ROOM = { eye: [0, 10, 200], center: [-16, 16, -30] };

const MENU_TREE = [
  { label: 'Move Orientation', value: 1 },
  { label: 'Move Position', value: 2 },
  { label: 'Auto Movement', value: 3 },
  { label: 'Controls [LOCKED]', submenu: [
    { label: 'Orientation Controls', submenu: [
      { label: 'Mouseup = y+2', value: 1 }, { label: 'Mousedown = y-2', value: 1 },
      { label: 'Mouseleft = z-2', value: 1 }, { label: 'Mouseright = z+2', value: 1 }] },
    { label: 'Position Controls', submenu: [
      { label: 'Mouseup = y+4', value: 1 }, { label: 'Mousedown = y-4', value: 1 },
      { label: 'Mouseleft = x-4', value: 1 }, { label: 'Mouseright = x+4', value: 1 }] },
    { label: 'Automove Controls', submenu: [
      { label: 'a = Automove', value: 1 }, { label: 's = Stop', value: 1 }] },
  ] },
  { label: 'Quit', value: 4 },
];

// ---- native pictures

function nativePictures() {
  const dir = mkdtempSync(join(tmpdir(), 'lab-pose-'));
  const arg = (name, p) => `${name}=${[...p.eye, ...p.center].join(',')}`;
  execFileSync(join(NATIVE, 'lab-pose'), [dir, arg('start', START), arg('position', AFTER_POSITION_DRAG),
    arg('orientation', AFTER_ORIENTATION_DRAG), arg('outside', OUTSIDE_THE_ROOM)], { stdio: 'inherit' });
  const pictures = {};
  for (const name of ['first', 'start', 'position', 'orientation', 'outside']) pictures[name] = readPpm(join(dir, `${name}.ppm`));
  rmSync(dir, { recursive: true });
  return pictures;
}

function readPpm(path) {
  const bytes = readFileSync(path);
  const header = bytes.toString('latin1', 0, 20).match(/^P6\s+(\d+)\s+(\d+)\s+255\s/);
  assert.ok(header, `${path} is not a binary PPM`);
  return { width: +header[1], height: +header[2], rgb: bytes.subarray(header[0].length) };
}

function writePpm(path, picture) {
  writeFileSync(path, Buffer.concat([Buffer.from(`P6\n${picture.width} ${picture.height}\n255\n`), picture.rgb]));
}

// The per cent of pixels whose every channel is within `tolerance`, and the largest difference.
function difference(a, b, tolerance) {
  assert.deepEqual([a.width, a.height], [b.width, b.height]);
  let matching = 0;
  let worst = 0;
  for (let p = 0; p < a.width * a.height; ++p) {
    let off = 0;
    for (let k = 0; k < 3; ++k) off = Math.max(off, Math.abs(a.rgb[p * 3 + k] - b.rgb[p * 3 + k]));
    if (off <= tolerance) ++matching;
    worst = Math.max(worst, off);
  }
  return { share: (100 * matching) / (a.width * a.height), worst };
}

let site;
let native;
const openLab = (route, query) => openPage(site.browser, site.url, route, query);

before(async () => {
  mkdirSync(OUT, { recursive: true });
  native = nativePictures();
  site = await openSite('native', false);  // a host that compresses nothing: the images come as the .gz the site holds
});

after(() => closeSite(site));

// Whether the page takes a key typed on the canvas from the browser (prevents its default).
const taken = (page, key, held) => page.evaluate(([key, held]) => !document.getElementById('lab').dispatchEvent(
  new KeyboardEvent('keydown', { key, [held]: !!held, bubbles: true, cancelable: true })), [key, held]);

function expectFaithful(name, picture, reference, bound = SAME_RENDERER) {
  writePpm(join(OUT, `${name}.ppm`), picture);
  const { share, worst } = difference(picture, reference, bound.tolerance);
  const said = `${share.toFixed(3)} % of pixels within ${bound.tolerance} level${bound.tolerance === 1 ? '' : 's'} of the native picture, none off by more than ${worst}`;
  console.log(`# fidelity ${name}: ${said}`);
  assert.ok(share >= bound.share && worst <= bound.worst, `${name}: ${said}`);
}

describe('the lab in a browser', () => {
  let page;

  test('the page holds one 500 x 500 canvas and shows the first frame as the native program does', async () => {
    page = await openLab();
    assert.equal(await page.title(), 'Ostrel Lab');
    assert.equal(await page.locator('canvas').count(), 1);
    assert.deepEqual(await page.evaluate(() => [document.getElementById('lab').width, document.getElementById('lab').height]),
      [SIZE, SIZE]);
    await drawn(page);
    await settle(page);
    assert.equal(await frames(page), 1, 'one frame until something asks for another');
    assert.doesNotMatch(await webglRenderer(page), /SwiftShader/, 'WebGL on the X server\'s GL, as natively');
    expectFaithful('start', await canvasPicture(page), native.first);
  });

  test('the right button opens the menu tree with its texts, order and values', async () => {
    const read = async (menu) => {
      const items = [];
      for (const row of await menu.locator(':scope > div').all()) {
        const label = await row.textContent();
        const sub = await row.getAttribute('data-submenu');
        if (sub) {
          await row.hover();
          items.push({ label, submenu: await read(page.locator(`.glut-menu[data-menu="${sub}"]`)) });
        } else {
          items.push({ label, value: Number(await row.getAttribute('data-value')) });
        }
      }
      return items;
    };
    const top = await openMenu(page);
    assert.deepEqual(await read(top), MENU_TREE);
    await page.keyboard.press('Escape');
    assert.equal(await page.locator('.glut-menu').count(), 0);
  });

  test('a drag before any mode is chosen moves nothing', async () => {
    const before = await canvasPicture(page);
    const count = await frames(page);
    await drag(page, [250, 250], [320, 180], 6);
    await settle(page);
    assert.equal(await frames(page), count);
    assert.ok((await canvasPicture(page)).rgb.equals(before.rgb));
  });

  test('an information entry only redraws: the same pose, lit as on later native frames', async () => {
    await pick(page, 'Controls [LOCKED]', 'Automove Controls', 'a = Automove');
    await settle(page);
    assert.equal(await frames(page), 2);
    expectFaithful('start-redrawn', await canvasPicture(page), native.start);
  });

  test('every pointer movement of a position drag moves the eye one step', async () => {
    await pick(page, 'Move Position');
    await drag(page, [250, 250], [300, 300], 5);  // five steps right and down: back 10, up 10
    await settle(page);
    expectFaithful('position-drag', await canvasPicture(page), native.position);
  });

  test('every pointer movement of an orientation drag moves the point looked at', async () => {
    await pick(page, 'Move Orientation');
    await drag(page, [300, 300], [260, 260], 4);  // four steps left and up: x -16, y +16
    await settle(page);
    expectFaithful('orientation-drag', await canvasPicture(page), native.orientation);
  });

  test('the eye dragged out of the room', async () => {
    await pick(page, 'Move Position');
    await drag(page, [260, 260], [450, 260], 95);  // straight right: back 190, the height kept
    await settle(page);
    expectFaithful('outside', await canvasPicture(page), native.outside);
  });

  test('a canvas laid out at another size reaches the reshape callback and is drawn at it', async () => {
    const before = await canvasPicture(page);
    const count = await frames(page);
    const resize = (width) => page.evaluate((w) => { document.getElementById('lab').style.width = `${w}px`; }, width);
    await resize(600);
    await settle(page);
    assert.equal(await page.evaluate(() => document.getElementById('lab').width), 600);
    assert.equal(await frames(page), count + 1);
    await resize(SIZE);
    await settle(page);
    assert.equal(await frames(page), count + 2);
    assert.ok((await canvasPicture(page)).rgb.equals(before.rgb), 'back at 500 x 500, the same picture');
  });

  test('a starts the orbit and s stops it, typed or with their buttons from the keyboard; A and S do nothing', async () => {
    const orbiting = async (why) => {
      const count = await frames(page);
      await animationFrames(page, 10);
      assert.ok((await frames(page)) >= count + 5, why);
    };
    await page.locator('#lab').focus();
    await page.keyboard.press('Shift+A');
    for (const [key, held] of [['r', 'ctrlKey'], ['f', 'ctrlKey'], ['=', 'ctrlKey'], ['a', 'ctrlKey'], ['a', 'altKey'], ['a', 'metaKey']])
      assert.equal(await taken(page, key, held), false, `${held} ${key} left to the browser`);
    assert.ok(await still(page), 'A, and a with Ctrl, Alt or Meta, start nothing');
    await page.keyboard.press('a');
    await orbiting('a orbits, a frame per pass');
    await page.keyboard.press('Shift+S');
    await orbiting('S does not stop it');
    await page.keyboard.press('s');
    assert.ok(await still(page), 's stops it');
    // The buttons come next in Tab order and are pressed as any button is.
    await page.keyboard.press('Tab');
    await page.keyboard.press('Enter');
    await orbiting('Enter on the a button orbits');
    await page.keyboard.press('Tab');
    await page.keyboard.press('Space');
    assert.ok(await still(page), 'Space on the s button stops it');
  });

  test('Quit ends the lab: the page says so and draws no more', async () => {
    await pick(page, 'Quit');
    await ended(page);
    assert.equal(await page.evaluate(() => Module.labEnded), 0);
    assert.equal(await page.locator('#message').textContent(), 'The lab has ended.');
    assert.equal(await page.locator('#lab').isVisible(), false);
    const count = await frames(page);
    await animationFrames(page, 10);
    assert.equal(await frames(page), count);
    assert.deepEqual([await taken(page, 'a'), await page.evaluate(() => Module.labProgramTimes().length)], [false, 0],
      'a left to the browser once ended; no bench times kept for a visitor');
    assert.deepEqual(page.errors, [], 'no errors on the console');
    await page.close();
  });
});

describe('an image the lab cannot read', () => {
  const CARPET = /\/data\/carpet\.tga(\.gz)?$/;  // as it is and compressed: the page falls back from one to the other

  // The reader's own message for the same bytes, from the native tga-to-ppm in a folder
  // holding them (or not) at the same path.
  function nativeMessage(bytes) {
    const dir = mkdtempSync(join(tmpdir(), 'lab-tga-'));
    mkdirSync(join(dir, 'data'));
    if (bytes) writeFileSync(join(dir, 'data/carpet.tga'), bytes);
    let stderr = '';
    try {
      execFileSync(resolve(NATIVE, 'tga-to-ppm'), ['data/carpet.tga', 'out.ppm'], { cwd: dir, stdio: 'pipe' });
    } catch (e) {
      stderr = e.stderr.toString();
    }
    rmSync(dir, { recursive: true });
    return stderr.trim();
  }

  async function expectFailure(route, bytes) {
    const page = await openLab(route);
    await ended(page);
    assert.equal(await page.evaluate(() => Module.labEnded), 1);
    const want = nativeMessage(bytes);
    assert.match(want, /^data\/carpet\.tga: /);
    assert.equal((await page.locator('#message').textContent()).trim(), want);
    assert.equal(await page.evaluate(() => Module.labFrameCount()), 0, 'no frame drawn');
    assert.equal(await page.locator('#lab').isVisible(), false);
    await page.close();
  }

  test('a host\'s web page in place of a file is named with the server\'s answer, and the lab does not start', async () => {
    const page = await openLab({ pattern: CARPET, handler: (r) => r.fulfill({ status: 200, contentType: 'text/html', body: '<!doctype html><p>Not here</p>' }) });
    await page.waitForFunction(() => document.body.classList.contains('lab-stopped'));  // once the server was asked again
    assert.match(await page.locator('#message').textContent(), /this file of the lab:\ndata\/carpet\.tga: 200 OK, but a web page \(text\/html\) in place of the file\n\n.*upload the whole site\/ folder/);
    assert.deepEqual([await page.evaluate(() => Module.labFrameCount?.() ?? 0), await page.locator('#lab').isVisible()], [0, false]);
    await page.close();
  });

  test('a truncated file shows the reader\'s message instead of the lab', async () => {
    const cut = readFileSync('data/carpet.tga').subarray(0, 1218);
    await expectFailure({ pattern: CARPET, handler: (r) => r.fulfill({ status: 200, body: cut }) }, cut);
  });
});

test('a browser without DecompressionStream takes the images as they are, and draws the same first frame', async () => {
  const context = await site.browser.newContext();
  await context.addInitScript(() => { delete window.DecompressionStream; });
  const page = await context.newPage();
  const asked = [];
  page.on('request', (r) => asked.push(new URL(r.url()).pathname));
  await page.goto(site.url);
  await drawn(page);
  await settle(page);
  assert.ok(asked.includes('/data/carpet.tga'), asked.join(' '));
  assert.deepEqual(asked.filter((path, i) => path.endsWith('.gz') || asked.indexOf(path) !== i), [],
    'the page\'s head asked for what the script takes: no .gz, no file twice');
  expectFaithful('without-decompression', await canvasPicture(page), native.first);
  await context.close();
});

// As Apache does with its AddEncoding for .gz: the browser inflates the file on the way.
test('a host that sends the .gz files as gzip-encoded is neither undone nor doubled', async (t) => {
  const host = createServer((request, response) => {
    const path = new URL(request.url, 'http://localhost').pathname, file = join(SITE, path.endsWith('/') ? 'index.html' : path);
    response.writeHead(200, path.endsWith('.gz') ? { 'Content-Encoding': 'gzip' } : {}).end(readFileSync(file));
  }).listen(0);
  await once(host, 'listening');
  t.after(() => host.close());
  const page = await site.browser.newPage();
  const asked = [];
  page.on('request', (r) => asked.push(new URL(r.url()).pathname));
  await page.goto(`http://localhost:${host.address().port}/`);
  await drawn(page);
  await settle(page);
  expectFaithful('gzip-encoded', await canvasPicture(page), native.first);
  assert.deepEqual(asked.filter((path) => /\.(tga|wasm)$/.test(path)), [], 'the .gz files taken as they came');
  await page.close();
});

describe('the page\'s bench mode', () => {
  test('?bench=N draws N frames at the starting pose, reports them, then draws no more', async () => {
    const page = await openLab(null, '?bench=4');
    await page.waitForFunction(() => window.Module?.labBench, null, { timeout: 120000 });
    const bench = await page.evaluate(() => Module.labBench);
    assert.equal(bench.frames, 3, 'timed from the end of the first frame');
    assert.ok(bench.ms_per_frame > 0 && bench.program_ms > 0);
    assert.match(await page.locator('#message').textContent(), /^3 frames in [0-9.]+ s: [0-9.]+ ms a frame/);
    await settle(page);
    assert.equal(await frames(page), 4);
    expectFaithful('bench', await canvasPicture(page), native.start);
    assert.deepEqual(page.errors, []);
    await page.close();
  });
});

describe('a lost WebGL context', () => {
  // The context lost by window.loseContext back, and an animation frame after.
  const restored = (page) => page.evaluate(() => new Promise((done) => {
    document.getElementById('lab').addEventListener('webglcontextrestored', () => requestAnimationFrame(done), { once: true });
    window.loseContext.restoreContext();
  }));

  test('once it is back, the picture from before the loss, and the lab goes on responding to drags', async () => {
    const page = await openLab();
    await drawn(page);
    await pick(page, 'Move Position');
    await drag(page, [250, 250], [300, 300], 5);  // the camera away from its start
    await settle(page);
    const before = await canvasPicture(page);
    const lost = await page.evaluate(() => new Promise((done) => {
      const canvas = document.getElementById('lab');
      window.loseContext = canvas.getContext('webgl2').getExtension('WEBGL_lose_context');
      canvas.addEventListener('webglcontextlost', () => done(canvas.getContext('webgl2').isContextLost()), { once: true });
      window.loseContext.loseContext();
    }));
    assert.ok(lost);
    await restored(page);
    await settle(page);
    assert.ok((await canvasPicture(page)).rgb.equals(before.rgb), 'the picture from before the loss');
    await pick(page, 'Move Orientation');
    await drag(page, [300, 300], [260, 260], 4);
    await settle(page);
    expectFaithful('restored-orientation-drag', await canvasPicture(page), native.orientation);
    assert.deepEqual(page.errors, []);
    await page.close();
  });

  test('lost before the first frame, unannounced: once back, the first frame as the native program draws it', async () => {
    const context = await site.browser.newContext();
    await context.addInitScript(() => {  // lost in the animation frame of the lab's first pass, before its event
      const later = requestAnimationFrame.bind(window);
      window.requestAnimationFrame = (pass) => later((t) => {
        const canvas = document.getElementById('lab');
        if (window.Module?.labFrameCount && !window.loseContext) {
          (window.loseContext = canvas.getContext('webgl2').getExtension('WEBGL_lose_context')).loseContext();
          canvas.addEventListener('webglcontextlost', () => { window.lostSaid = true; });
        }
        pass(t);
      });
    });
    const page = await openPage(context, site.url);
    await page.waitForFunction(() => window.lostSaid && (Module.labFrameCount() > 0 || Module.labEnded !== undefined), null, { timeout: 120000 });
    await restored(page);
    await settle(page);
    expectFaithful('lost-at-start', await canvasPicture(page), native.first);
    assert.deepEqual([await frames(page), page.errors], [1, []]);
    await context.close();
  });
});

test('on SwiftShader (a browser without a usable GPU), the first frame within two rasterizers\' differences', async (t) => {
  const software = await openSite('software');
  t.after(() => closeSite(software));
  const page = await openPage(software.browser, software.url);
  await drawn(page);
  await settle(page);
  assert.match(await webglRenderer(page), /SwiftShader/);
  expectFaithful('software-start', await canvasPicture(page), native.first, SOFTWARE);
});
