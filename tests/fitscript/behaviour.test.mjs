// What the script does besides the fit: the title of frameless windows, the
// close button, the hidden scrollbars, and the pages it must leave alone.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { allOff, assemble, html, launchBrowser, withApp } from './app_page.mjs';

let browser;
before(async () => {
  browser = await launchBrowser();
});
after(() => browser.close());

const frameless = { ...allOff, frameless: true };
const titled = (title) => ({ '/index.html': html('<p>x</p>', `<title>${title}</title>`) });
const titles = async (app) => (await app.calls('title')).map((entry) => entry.args[0]);
// document.title reads a one-space title back as empty; the element holds it.
const blank = () => document.querySelector('title').textContent === ' ';

describe('frameless windows', { concurrency: 2 }, () => {
  it('blank the title at once and again whenever the page changes it', () =>
    withApp(browser, { pages: titled('My App'), settings: frameless }, async (app) => {
      assert.equal(await app.page.evaluate(blank), true);
      await app.page.evaluate(() => {
        document.title = 'Changed later';
      });
      await app.page.waitForFunction(blank);
      await app.page.evaluate(() => {
        document.head.querySelector('title').remove();
        document.head.insertAdjacentHTML('beforeend', '<title>Replaced element</title>');
      });
      await app.page.waitForFunction(blank);
      assert.deepEqual(await titles(app), [' ', ' ', ' ']);
    }));

  it('leave a blank or white-space title alone, so the observer cannot loop', () =>
    withApp(browser, { pages: titled('   '), settings: frameless }, async (app) => {
      await app.page.evaluate(() => document.head.appendChild(document.createElement('meta')));
      await app.page.waitForTimeout(200);
      assert.deepEqual(await titles(app), []);
    }));
});

describe('the close button', () => {
  const pages = { '/index.html': html('<div style="height:2000px;background:#abc">tall</div>') };

  it('sits 26 × 26 px, 4 px from the top right, above the content, turns red under the mouse and closes', () =>
    withApp(browser, { pages, settings: { ...frameless, close: true } }, async (app) => {
      const button = app.page.locator('[data-bundlekiln-ui="close"]');
      assert.deepEqual(await button.boundingBox(), { x: 1000 - 4 - 26, y: 4, width: 26, height: 26 });
      const labels = await button.evaluate((element) => [element.textContent, element.ariaLabel, element.title]);
      assert.deepEqual(labels, ['\u00d7', 'Close window', 'Close window']);
      // Above the content at its place, and the body's last element.
      const uiAt = () =>
        [document.elementFromPoint(983, 17), document.body.lastElementChild].map((e) => e.dataset.bundlekilnUi);
      assert.deepEqual(await app.page.evaluate(uiAt), ['close', 'close']);
      const colours = () => button.evaluate((e) => [getComputedStyle(e).backgroundColor, getComputedStyle(e).color]);
      await app.page.mouse.move(1000 - 17, 17);
      assert.deepEqual(await colours(), ['rgb(196, 43, 28)', 'rgb(255, 255, 255)']);
      await app.page.mouse.move(100, 300);
      assert.deepEqual(await colours(), ['rgb(238, 238, 238)', 'rgb(34, 34, 34)']);
      assert.deepEqual(await app.calls('close'), []);
      await app.page.mouse.click(1000 - 17, 17);
      assert.equal((await app.calls('close')).length, 1);
    }));
});

describe('hidden scrollbars', () => {
  it('are those of the root and the body, never those of inner panels', async () => {
    const visibleScrollbars = await launchBrowser({ scrollbars: true });
    const page = html(
      '<div id="panel" style="height:100px;width:200px;overflow-y:scroll"><div style="height:500px"></div></div>' +
        '<div style="height:3000px"></div>',
    );
    const widths = () => {
      const panel = document.getElementById('panel');
      return { root: innerWidth - document.documentElement.clientWidth, panel: panel.offsetWidth - panel.clientWidth };
    };
    try {
      const options = { pages: { '/index.html': page }, settings: { ...allOff, hide: true } };
      await withApp(visibleScrollbars, options, async (app) => {
        const seen = await app.page.evaluate(widths);
        assert.equal(seen.root, 0);
        assert.ok(seen.panel > 0, `the panel lost its scrollbar: ${JSON.stringify(seen)}`);
      });
    } finally {
      await visibleScrollbars.close();
    }
  });
});

describe('pages the script leaves alone', { concurrency: 2 }, () => {
  const everything = { frameless: true, auto: true, hide: true, close: true, center: true, resizable: true };
  const inner = titled('Inner')['/index.html'];
  const framed = { '/index.html': html('<iframe src="/inner.html"></iframe>'), '/inner.html': inner };
  for (const [name, pages, nw] of [
    ['a page shown by an ordinary browser, without nw', { '/index.html': inner }, false],
    ['a page inside a frame of the app', framed, true],
  ]) {
    it(name, () =>
      withApp(browser, { pages, settings: everything, nw }, async (app) => {
        await app.page.waitForTimeout(3000);
        const page = app.page.frames().at(-1);
        assert.equal(await page.title(), 'Inner');
        assert.equal(await page.locator('[data-bundlekiln-ui], style').count(), 0);
        // The app's own page, around the frame, has the button.
        assert.equal(await app.page.locator('[data-bundlekiln-ui]').count(), nw ? 1 : 0);
      }));
  }
});

describe('the start-up fit costs little', () => {
  // The figure is printed for the record; the limit only catches a measurement
  // that stops being linear (a quadratic walk takes seconds here), since a busy
  // test machine stretches every time. The first call also pays for the page's first layout.
  it('measures a page of 5,000 elements in a few milliseconds per call', () => {
    const rows = Array.from({ length: 2500 }, (_, i) => `<div class="row"><span>item ${i}</span></div>`).join('');
    const probe =
      '\nbounds();\nconst times = [];\n' +
      'for (let i = 0; i < 31; i += 1) { const at = performance.now(); bounds(); times.push(performance.now() - at); }\n' +
      'window.boundsMs = times.sort((a, b) => a - b);';
    const pages = { '/index.html': html(rows, '<style>.row{width:300px;background:#eee}</style>') };
    return withApp(browser, { pages, script: assemble(allOff, probe) }, async (app) => {
      assert.equal(await app.page.evaluate(() => document.body.querySelectorAll('*').length), 5000);
      const median = (await app.page.evaluate(() => window.boundsMs))[15];
      console.log(`bounds() on 5,000 elements: median ${median.toFixed(1)} ms`);
      assert.ok(median < 200, `${median} ms per call`);
    });
  });
});
