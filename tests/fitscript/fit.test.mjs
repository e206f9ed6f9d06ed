// The start-up fit against real layout: the window must end tight around the
// page's content, within the screen and the starting size.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { fittedSize, fitting, html, launchBrowser, withApp } from './app_page.mjs';

let browser;
before(async () => {
  browser = await launchBrowser();
});
after(() => browser.close());

const rows = (count, style) => Array.from({ length: count }, (_, i) => `<div style="${style}">row ${i}</div>`).join('');
const box = (width, height) => `<div style="width:${width}px;height:${height}px;background:#ccc"></div>`;
const wide = '<table style="width:1200px"><tr><td>wide</td></tr></table>';
const margin0 = '<style>body{margin:0}</style>';

// Each page, and the window size it must end with. A function gets the page
// before the fit, for sizes that depend on font metrics.
const layouts = [
  { name: 'a fixed-width table: its width plus the body margins and paddings',
    body: '<table style="width:300px;border-collapse:collapse"><tr><td style="height:150px">cell</td></tr></table>',
    head: '<style>body{margin:8px;padding:0 5px}td{padding:0}</style>',
    expected: { width: 300 + 16 + 10 + 4, height: 8 + 150 + 4 } },
  { name: 'a full-height wrapper leaves the height to its children',
    body: '<div style="min-height:100vh;width:600px;background:#eef"><p style="margin:0;height:200px">x</p></div>',
    head: margin0, expected: { width: 604, height: 204 } },
  { name: 'a centred fixed-width body counts its own width, not its gutters',
    body: '<p style="margin:0;height:100px;background:#fff">centred</p>',
    head: '<style>body{width:400px;margin:0 auto}</style>', expected: { width: 404, height: 104 } },
  { name: 'a scrolling panel of fixed height contributes only its visible bottom',
    body: `<div style="height:200px;overflow-y:auto;width:300px;background:#fafafa">${rows(50, 'height:30px')}</div>`,
    head: margin0, expected: { width: 304, height: 204 } },
  // Large type, so that the text's height is above the 100 px floor.
  { name: 'text directly in the body is sized to its bounding box', body: 'Just text.',
    head: '<style>body{font-size:100px}</style>',
    expected: (page) =>
      page.evaluate(() => {
        const range = document.createRange();
        range.selectNodeContents(document.body);
        const box = range.getBoundingClientRect();
        return { width: Math.ceil(box.width + 16 + 4), height: Math.ceil(box.bottom + 4) };
      }) },
  { name: 'content wider than the window keeps the starting width', body: wide, head: margin0, expected: { width: 1000 } },
  { name: 'tiny content ends at the smallest window, 100 × 100', body: box(20, 20), head: margin0,
    expected: { width: 100, height: 100 } },
  { name: 'content taller than the screen ends at capH', body: box(300, 3000), head: margin0,
    expected: { width: 304, height: 900 - 60 } },
  { name: 'a narrow screen caps the width at capW', body: wide, screen: { width: 800, height: 900 },
    expected: { width: 800 - 24 } },
  { name: 'the close button is never measured', body: box(200, 50), head: margin0, settings: { ...fitting, close: true },
    expected: { width: 204, height: 100 } },
];

describe('the start-up fit', { concurrency: 5 }, () => {
  for (const { name, body, head, screen, settings, expected } of layouts) {
    it(name, () =>
      withApp(browser, { pages: { '/index.html': html(body, head) }, settings, screen }, async (app) => {
        const wanted = typeof expected === 'function' ? await expected(app.page) : expected;
        const size = await fittedSize(app);
        for (const [key, value] of Object.entries(wanted)) assert.equal(size[key], value, JSON.stringify(size));
        assert.ok(size.resizes.every(([width]) => width <= 1000), 'never wider than it started');
      }));
  }

  it('a layout that reflows wider when narrowed gets its width back and the fit stops', () => {
    const page = html(
      `${box(300, 100)}<div class="wide"></div>`,
      '<style>body{margin:0}.wide{display:none;width:700px;height:10px}' +
        '@media (max-width:600px){.wide{display:block}}</style>',
    );
    return withApp(browser, { pages: { '/index.html': page } }, async (app) => {
      const size = await fittedSize(app);
      assert.equal(size.width, 1000);
      const widths = size.resizes.map(([width]) => width);
      assert.deepEqual(widths, widths.length === 3 ? [304, 1000, 1000] : [304, 1000]);
    });
  });

  it('a page whose image never loads is fitted after the 2500 ms cap', () => {
    // The page adds the image in its own load handler, which runs before the fit starts.
    const page = html(
      box(300, 100) +
        '<script>addEventListener("load", () => { window.loadedAt = performance.now();' +
        ' document.body.insertAdjacentHTML("beforeend", \'<img src="/never.png" width="50" height="50">\'); });</script>',
      margin0,
    );
    return withApp(browser, { pages: { '/index.html': page, '/never.png': 'never' } }, async (app) => {
      const size = await fittedSize(app);
      const [first] = await app.calls('resizeTo');
      const loadedAt = await app.page.evaluate(() => window.loadedAt);
      assert.ok(first.at - loadedAt >= 2500 + 150, `fit began ${first.at - loadedAt} ms after load`);
      assert.equal(size.width, 304);
      assert.equal(await app.page.evaluate(() => document.images[0].complete), false);
    });
  });
});
