// The browser build in Debian's Chromium (WebGL 2 through SwiftShader), driven with
// playwright-core as a person would use it: its pictures against the native program's at
// the same poses, the menu tree, drags, the orbit keys, Quit, unreadable images.
// Usage: node lab_browser_test.mjs  (from the repository root, after the native and
// browser builds; needs a display for the native pictures)
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { SITE, WEB_BUILD, animationFrames, canvasPicture, closeSite, drag, drawn, ended, frames, openMenu, openPage, openSite, pick, settle, still } from './browser.mjs';

const NATIVE = process.env.OSTREL_BUILD || 'build';
const OUT = join(WEB_BUILD, 'test-pictures');  // the browser's pictures, for a look after a failure; not part of the site
const SIZE = 500;
const TOLERANCE = 8;        // levels of 255, per channel
const REQUIRED_SHARE = 99;  // per cent of the canvas within the tolerance

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

// Per cent of pixels whose every channel is within the tolerance.
function matchingShare(a, b) {
  assert.equal(a.width, b.width);
  assert.equal(a.height, b.height);
  let matching = 0;
  for (let p = 0; p < a.width * a.height; ++p) {
    let worst = 0;
    for (let k = 0; k < 3; ++k) worst = Math.max(worst, Math.abs(a.rgb[p * 3 + k] - b.rgb[p * 3 + k]));
    if (worst <= TOLERANCE) ++matching;
  }
  return (100 * matching) / (a.width * a.height);
}

let site;
let native;
const openLab = (route, query) => openPage(site.browser, site.url, route, query);

before(async () => {
  mkdirSync(OUT, { recursive: true });
  native = nativePictures();
  site = await openSite();
});

after(() => closeSite(site));

// The door sends no normal: it is lit with whatever normal is current, GL's initial one
// in the first frame and the projector lens's last one after. Its pixels, found by their
// brown in the native picture, are a small share of the whole, so they are counted alone.
function expectDoorLikeNative(name, picture, reference) {
  let door = 0;
  let matching = 0;
  for (let p = 0; p < reference.width * reference.height; ++p) {
    const [r, g, b] = reference.rgb.subarray(p * 3, p * 3 + 3);
    if (!(r > g + 15 && g > b + 15 && r > 60 && r < 220 && b < 100)) continue;
    ++door;
    let worst = 0;
    for (let k = 0; k < 3; ++k) worst = Math.max(worst, Math.abs(picture.rgb[p * 3 + k] - reference.rgb[p * 3 + k]));
    if (worst <= TOLERANCE) ++matching;
  }
  assert.ok(door > 500, `${name}: the door is in view`);
  assert.ok(matching >= 0.99 * door, `${name}: ${matching} of ${door} door pixels match the native picture`);
}

function expectFaithful(name, picture, reference) {
  writePpm(join(OUT, `${name}.ppm`), picture);
  const share = matchingShare(picture, reference);
  console.log(`# fidelity ${name}: ${share.toFixed(2)} % of pixels within ${TOLERANCE} levels of the native picture`);
  assert.ok(share >= REQUIRED_SHARE, `${name}: ${share.toFixed(2)} % of pixels match the native picture`);
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
    const picture = await canvasPicture(page);
    expectFaithful('start', picture, native.first);
    expectDoorLikeNative('start', picture, native.first);
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
    const picture = await canvasPicture(page);
    expectFaithful('start-redrawn', picture, native.start);
    expectDoorLikeNative('start-redrawn', picture, native.start);
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

  test('a starts the orbit and s stops it; A and S do nothing', async () => {
    await page.locator('#lab').focus();
    await page.keyboard.press('Shift+A');
    assert.ok(await still(page), 'A starts nothing');
    let count = await frames(page);
    await page.keyboard.press('a');
    await animationFrames(page, 10);
    assert.ok((await frames(page)) >= count + 5, 'a orbits, a frame per pass');
    await page.keyboard.press('Shift+S');
    count = await frames(page);
    await animationFrames(page, 10);
    assert.ok((await frames(page)) >= count + 5, 'S does not stop it');
    await page.keyboard.press('s');
    assert.ok(await still(page), 's stops it');
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
    assert.deepEqual(page.errors, [], 'no errors on the console');
    await page.close();
  });
});

describe('an image the lab cannot read', () => {
  // The reader's own message for the same bytes, from the native tga-to-ppm in a folder
  // holding them (or not) at the same path.
  function nativeMessage(bytes) {
    const dir = mkdtempSync(join(tmpdir(), 'lab-tga-'));
    mkdirSync(join(dir, 'data'));
    if (bytes) writeFileSync(join(dir, 'data/carpet.tga'), bytes);
    let stderr = '';
    try {
      execFileSync(join(process.cwd(), NATIVE, 'tga-to-ppm'), ['data/carpet.tga', 'out.ppm'], { cwd: dir, stdio: 'pipe' });
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

  test('a missing file shows the reader\'s message instead of the lab', async () => {
    await expectFailure({ pattern: '**/data/carpet.tga', handler: (r) => r.fulfill({ status: 404, body: '' }) }, null);
  });

  test('a truncated file shows the reader\'s message instead of the lab', async () => {
    const cut = readFileSync('data/carpet.tga').subarray(0, 1218);
    await expectFailure({ pattern: '**/data/carpet.tga', handler: (r) => r.fulfill({ status: 200, body: cut }) }, cut);
  });
});

describe('the page\'s bench mode', () => {
  test('?bench=N draws N frames at the starting pose, reports them, then draws no more', async () => {
    const page = await openLab(null, '?bench=4');
    await page.waitForFunction(() => window.Module?.labBench, null, { timeout: 120000 });
    const bench = await page.evaluate(() => Module.labBench);
    assert.equal(bench.frames, 3, 'timed from the end of the first frame');
    assert.ok(bench.ms_per_frame > 0);
    assert.match(await page.locator('#message').textContent(), /^3 frames in [0-9.]+ s: [0-9.]+ ms a frame/);
    await settle(page);
    assert.equal(await frames(page), 4);
    expectFaithful('bench', await canvasPicture(page), native.start);
    assert.deepEqual(page.errors, []);
    await page.close();
  });
});

describe('a lost WebGL context', () => {
  test('the page draws nothing while it is lost, and the same picture once it is back', async () => {
    const page = await openLab();
    await page.waitForFunction(() => window.Module?.labFrameCount?.() > 0, null, { timeout: 120000 });
    await pick(page, 'Move Position');
    await drag(page, [250, 250], [300, 300], 5);  // the camera away from its start
    await settle(page);
    const before = await canvasPicture(page);
    expectFaithful('before-loss', before, native.position);
    const lost = await page.evaluate(() => new Promise((done) => {
      const canvas = document.getElementById('lab');
      window.loseContext = canvas.getContext('webgl2').getExtension('WEBGL_lose_context');
      canvas.addEventListener('webglcontextlost', () => done(canvas.getContext('webgl2').isContextLost()), { once: true });
      window.loseContext.loseContext();
    }));
    assert.ok(lost);
    await page.evaluate(() => new Promise((done) => {
      document.getElementById('lab').addEventListener('webglcontextrestored',
        () => requestAnimationFrame(() => done()), { once: true });
      window.loseContext.restoreContext();
    }));
    await settle(page);
    const after = await canvasPicture(page);
    expectFaithful('restored', after, native.position);
    assert.ok(matchingShare(after, before) >= 99.9, 'the picture from before the loss');
    assert.deepEqual(page.errors, []);
    await page.close();
  });
});
