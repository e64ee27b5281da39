// The site as a school's web host puts it: on Debian's nginx and Apache with their stock
// settings (tests/web/hosts/, started by ctest on ports of their own), in a subfolder and at
// a server's root beside another site, uploaded weeks ago, in Debian's Chromium. Offline after
// one visit whatever the host serves, never stale, in no other site's way, the kept copy when
// the server fails.
// Usage: node hosts_test.mjs (from the repository root, after the browser build; LAB_HOSTS
// names the servers' file that tests/web/hosts/hosts start wrote)
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, mkdirSync, readFileSync, readdirSync, rmSync, statSync, utimesSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import { launchChromium } from '../../tools/web/chromium.mjs';
import { SITE, WEB_BUILD, drawn, drawnPicture, openPage, rebuildSite, reloadsUntil } from './browser.mjs';

const HOSTS = JSON.parse(readFileSync(process.env.LAB_HOSTS || join(WEB_BUILD, 'Testing/hosts.json'), 'utf8'));
const LAB_FOLDER = { root: '', sub: 'courses/graphics/lab/' };
const OTHER_SITE = 'courses/plain/';
// Stock servers send no Cache-Control: a browser guesses a file fresh for a tenth of its age.
const UPLOADED = Date.now() / 1000 - 40 * 24 * 3600;

function age(path) {
  if (statSync(path).isDirectory()) for (const name of readdirSync(path)) age(join(path, name));
  utimesSync(path, UPLOADED, UPLOADED);
}

// The server's site folder emptied and laid anew: the lab (without its .gz files, as a host
// that refuses them), and the other site's two pages.
function lay(server, layout, { gz = true, folder = LAB_FOLDER[layout] } = {}) {
  const www = join(HOSTS.dir, 'www', `${server}-${layout}`);
  for (const name of readdirSync(www)) rmSync(join(www, name), { recursive: true });
  const lab = join(www, folder);
  cpSync(SITE, lab, { recursive: true, filter: (from) => gz || !from.endsWith('.gz') });
  mkdirSync(join(www, OTHER_SITE), { recursive: true });
  for (const [name, title] of [['index.html', 'Week 3'], ['week4.html', 'Week 4']])
    writeFileSync(join(www, OTHER_SITE, name), `<!doctype html><title>${title}</title><p>Plain pages of another course.</p>\n`);
  age(www);
  const url = `http://127.0.0.1:${HOSTS[server][layout]}/`;
  return { www, lab, url, labUrl: url + folder };
}

// Until the worker the page registered keeps the lab and answers for it.
const kept = (page) => page.waitForFunction(() => navigator.serviceWorker.controller, null, { timeout: 60000 });

// The carpet's colours turned over, as docs/browser.md says to replace an image.
function replaceCarpet(host) {
  const carpet = join(host.lab, 'data/carpet.tga');
  const bytes = readFileSync(carpet);
  for (let at = 18; at < bytes.length; ++at) bytes[at] ^= 0xff;
  writeFileSync(carpet, bytes);
  execFileSync('gzip', ['-9nkf', carpet]);
}

let browser;
before(async () => { browser = await launchChromium(chromium); });
after(() => browser?.close());

for (const server of ['nginx', 'apache']) {
  for (const layout of ['sub', 'root']) {
    describe(`${server}, the lab ${layout === 'root' ? 'at the server\'s root beside another site' : `in /${LAB_FOLDER.sub}`}`, () => {
      test('a host that answers 404 for .gz: offline after one visit; the other site\'s pages stay its own; a 503 for the .wasm takes the kept copy', async (t) => {
        const host = lay(server, layout, { gz: false });
        const context = await browser.newContext();
        t.after(() => context.close());
        const page = await openPage(context, host.labUrl);
        const online = await drawnPicture(page);
        await kept(page);

        const same = async (why) => { await page.reload(); assert.ok((await drawnPicture(page)).rgb.equals(online.rgb), why); };
        await context.setOffline(true);
        await same('offline, the same first frame');
        for (const path of [`${OTHER_SITE}week4.html`, `${LAB_FOLDER[layout]}no-such-page.html`]) {
          const other = await context.newPage();
          const failed = await other.goto(host.url + path).then(() => '', (e) => e.message);
          assert.match(failed, /ERR_INTERNET_DISCONNECTED/, `offline, /${path} is the browser's own answer, not the lab's page`);
          await other.close();
        }
        await context.setOffline(false);

        writeFileSync(join(host.www, '.failing'), '');
        t.after(() => rmSync(join(host.www, '.failing'), { force: true }));
        await same('the server failing, the same first frame');
        assert.equal(await page.locator('#message').textContent(), '');

        // Nothing kept: the visitor is told the server fails, not the host to upload the site.
        const unkept = await browser.newContext({ serviceWorkers: 'block' });
        t.after(() => unkept.close());
        const fresh = await openPage(unkept, host.labUrl);
        await fresh.waitForFunction(() => document.body.classList.contains('lab-stopped'));
        assert.match(await fresh.locator('#message').textContent(), /^The lab could not be loaded: its server is failing \(503 Service (Temporarily )?Unavailable\)/);
      });

      test('an image replaced by hand (the .tga and its .gz remade), then a new build, are seen within two reloads, with a worker and without', async (t) => {
        const host = lay(server, layout);
        const visitors = [await browser.newContext(), await browser.newContext({ serviceWorkers: 'block' })];
        t.after(() => Promise.all(visitors.map((c) => c.close())));
        const pages = [];
        for (const visitor of visitors) {
          const page = await openPage(visitor, host.labUrl);
          pages.push({ page, before: await drawnPicture(page) });
        }
        await kept(pages[0].page);

        replaceCarpet(host);
        for (const [which, { page, before }] of pages.entries()) {
          assert.ok(await reloadsUntil(() => page.reload(), async () => !(await drawnPicture(page)).rgb.equals(before.rgb)),
            `${which ? 'without' : 'with'} a worker, the new carpet within two reloads`);
          assert.deepEqual(page.errors, []);
        }

        // A new build: another script, and the worker written for the site as the build writes it.
        writeFileSync(join(host.lab, 'ostrel-lab.js'), `${readFileSync(join(host.lab, 'ostrel-lab.js'), 'utf8')}\nModule.labBuild = 'new';\n`);
        rebuildSite(host.lab);
        for (const [which, { page }] of pages.entries()) {
          assert.ok(await reloadsUntil(() => page.reload(), () => drawn(page).then(() => page.evaluate(() => Module.labBuild === 'new'))),
            `${which ? 'without' : 'with'} a worker, the new build within two reloads`);
        }
      });

      if (layout === 'sub') {
        test('a host that sends Cache-Control: no-cache: a replaced image shows at the first reload, without a worker', async (t) => {
          const host = lay(server, layout, { folder: 'courses/fresh/lab/' });
          const visitor = await browser.newContext({ serviceWorkers: 'block' });
          t.after(() => visitor.close());
          const page = await openPage(visitor, host.labUrl);
          const before = await drawnPicture(page);
          replaceCarpet(host);
          await page.reload();
          assert.ok(!(await drawnPicture(page)).rgb.equals(before.rgb), 'the new carpet');
        });
      }
    });
  }
}
