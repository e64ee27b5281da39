// The page beyond a desktop's mouse, in Debian's Chromium: a phone's screen and touch, the
// menu from the keyboard, the key buttons, a browser that cannot run the lab, and the
// server taking malformed requests.
// Usage: node page_test.mjs (from the repository root, after the browser build)
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { animationFrames, canvasPicture, closeSite, drag, frames, openPage, openSite, pointerSession, settle, still } from './browser.mjs';

const PHONE = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, hasTouch: true, isMobile: true };
const PHONE_DRAG = [[120, 120], [200, 180], 8];  // canvas points in CSS pixels, and the steps
const FINGER_HEIGHT = 40;                         // CSS pixels a touch menu's entry needs

let site;
before(async () => { site = await openSite(); });
after(() => closeSite(site));

async function openDrawn(opener) {
  const page = await openPage(opener, site.url);
  await page.waitForFunction(() => window.Module?.labFrameCount?.() > 0, null, { timeout: 120000 });
  await settle(page);
  return page;
}

describe('on a phone (390 x 844, three device pixels to one, touch)', () => {
  let phone;
  let fingerMoved;  // the picture after "Move Position" and a one-finger drag
  before(async () => { phone = await site.browser.newContext(PHONE); });
  after(() => phone.close());

  test('the page fits: a square canvas inside the screen, its buffer three times its size, a name', async () => {
    const page = await openDrawn(phone);
    const layout = await page.evaluate(() => {
      const canvas = document.getElementById('lab');
      const r = canvas.getBoundingClientRect();
      return { width: innerWidth, scrollWidth: document.documentElement.scrollWidth,
               box: [r.left, r.top, r.right, r.bottom], buffer: [canvas.width, canvas.height] };
    });
    const [left, top, right, bottom] = layout.box;
    assert.equal(layout.width, 390, 'laid out at the device width');
    assert.ok(layout.scrollWidth <= 390, 'no horizontal scrolling');
    assert.ok(left >= 0 && top >= 0 && right <= 390 && bottom <= 844, `inside the viewport: ${layout.box}`);
    assert.equal(right - left, bottom - top, 'square');
    assert.deepEqual(layout.buffer, [Math.round((right - left) * 3), Math.round((bottom - top) * 3)]);
    assert.equal(await page.getByRole('img', { name: /computer teaching lab/ }).count(), 1);

    const count = await frames(page);
    await drag(page, ...PHONE_DRAG, 'touch');
    await settle(page);
    assert.equal(await frames(page), count, 'before a mode is chosen, a drag changes nothing');

    const finger = await pointerSession(page, 'touch');
    await finger.send('press', [180, 180]);
    await page.locator('.glut-menu').waitFor();  // a long press, held still
    await finger.send('release', [180, 180]);
    await finger.detach();
    const entry = page.locator('.glut-entry', { hasText: 'Move Position' });
    assert.ok((await entry.boundingBox()).height >= FINGER_HEIGHT, 'entries a finger can hit');
    await entry.tap();
    await settle(page);
    assert.equal(await page.locator('.glut-menu').count(), 0);
    const picked = await canvasPicture(page);
    await drag(page, ...PHONE_DRAG, 'touch');
    await settle(page);
    fingerMoved = await canvasPicture(page);
    assert.ok(!fingerMoved.rgb.equals(picked.rgb), 'the drag moved the eye');
    await page.close();
  });

  test('Shift+F10 and Enter pick "Move Position"; the mouse\'s drag shows what the finger\'s did; a and s', async () => {
    const page = await openDrawn(phone);
    await page.locator('#lab').focus();
    await page.keyboard.press('Shift+F10');
    await page.keyboard.press('ArrowDown');
    assert.equal(await page.evaluate(() => document.activeElement.textContent), 'Move Position');
    await page.keyboard.press('Enter');
    await settle(page);
    assert.equal(await page.locator('.glut-menu').count(), 0);
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
    await page.close();
  });
});

describe('a browser that cannot run the lab', () => {
  async function expectMissing(page, what) {
    await page.waitForFunction(() => window.Module?.labEnded !== undefined, null, { timeout: 120000 });
    assert.match(await page.locator('#message').textContent(), what);
    assert.equal(await page.locator('#lab').isVisible(), false, 'in place of the canvas');
    await page.close();
  }

  test('no WebGL 2: the page says so and what to do', async () => {
    const context = await site.browser.newContext();
    await context.addInitScript(() => {
      const getContext = HTMLCanvasElement.prototype.getContext;
      HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
        return kind === 'webgl2' ? null : getContext.call(this, kind, ...rest);
      };
    });
    await expectMissing(await openPage(context, site.url), /WebGL 2.*hardware .*acceleration.*another browser/s);
    await context.close();
  });

  test('no program: the page says the .wasm did not load', async () => {
    const route = { pattern: '**/ostrel-lab.wasm', handler: (r) => r.fulfill({ status: 404, body: '' }) };
    await expectMissing(await openPage(site.browser, site.url, route), /ostrel-lab\.wasm\) could not be loaded/);
  });
});

describe('the server', () => {
  // A request that brought the server down would never be answered: the time limit says so.
  const ask = (path, method = 'GET') => fetch(site.url + path, { method, signal: AbortSignal.timeout(10000) });

  test('answers malformed requests with a 4xx, HEAD as GET without a body, and goes on serving', async () => {
    for (const [method, path] of [['GET', '%E0%A4%A'], ['GET', '..%2f..%2fetc%2fpasswd'], ['DELETE', 'index.html']]) {
      const { status } = await ask(path, method);
      assert.ok(status >= 400 && status < 500, `${method} /${path}: ${status}`);
    }
    const head = await ask('', 'HEAD');
    const body = await (await ask('')).text();
    assert.match(body, /<canvas id="lab"/);
    assert.equal(head.status, 200);
    assert.equal(head.headers.get('content-length'), String(Buffer.byteLength(body)));
    assert.equal(await head.text(), '');
  });
});
