// The injected file as a built app loads it: the project's own script first,
// then the fit script in a scope of its own that leaves the page's globals alone.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { allOff, assemble, fitting, html, launchBrowser, openApp } from './app_page.mjs';

let browser;
before(async () => {
  browser = await launchBrowser();
});
after(() => browser.close());

const globalNames = () => Object.getOwnPropertyNames(window).sort();

describe('the assembled script', { concurrency: 3 }, () => {
  it('runs the project script first and defines no global of its own', async () => {
    const app = await openApp(browser, { pages: { '/index.html': html('<p>x</p>') }, inject: 'none' });
    try {
      await app.page.waitForLoadState('load');
      const before = await app.page.evaluate(globalNames);
      const previous = 'window.order = [typeof settings];';
      const probe = '\nwindow.order.push(typeof settings, typeof clearNativeTitle);';
      await app.page.addScriptTag({ content: assemble({ ...fitting, close: true }, previous, probe) });
      await app.page.waitForFunction(() => window.nwLog.some((entry) => entry.call === 'setPosition'));
      assert.deepEqual(await app.page.evaluate(() => window.order), ['undefined', 'object', 'function']);
      const added = (await app.page.evaluate(globalNames)).filter((name) => !before.includes(name));
      assert.deepEqual(added, ['order']);
    } finally {
      await app.close();
    }
  });

  it('still ends its own function early when the page is not the app window', async () => {
    const probe = '\nwindow.reachedTheEnd = true;';
    const app = await openApp(browser, {
      pages: { '/index.html': html('<p>x</p>') },
      nw: false,
      script: assemble(allOff, 'window.previousRan = true;', probe),
    });
    try {
      await app.page.waitForLoadState('load');
      assert.equal(await app.page.evaluate(() => window.previousRan), true);
      assert.equal(await app.page.evaluate(() => window.reachedTheEnd), undefined);
    } finally {
      await app.close();
    }
  });
});
