// Opens test pages the way a built app shows them: headless Chromium with a
// mock `nw` whose window really resizes the viewport, and the injected script
// run as NW.js runs it (once the document is parsed, before its load event).
import { chromium } from 'playwright-core';
import { readFileSync } from 'node:fs';

export const fitScript = readFileSync(new URL('../../engine/fit_script.js', import.meta.url), 'utf8').replace(
  /\n$/,
  '',
);

export const allOff = { frameless: false, auto: false, hide: false, close: false, center: false, resizable: true };
export const fitting = { ...allOff, auto: true, center: true };

// The file that the build writes: the project's own script, then the fit
// script in its own function scope with `settings` in view.
export const assemble = (settings, previous = '', probe = '') =>
  (previous ? previous + '\n;\n' : '') +
  '(() => { const settings = ' +
  JSON.stringify(settings) +
  ';\n' +
  fitScript +
  probe +
  '\n})();\n';

// Without these, Chromium keeps trying to reach the network and hangs here.
// Headless Chromium hides every scrollbar unless `scrollbars` asks for them.
export const launchBrowser = ({ scrollbars = false } = {}) =>
  chromium.launch({
    executablePath: process.env.BUNDLEKILN_CHROMIUM ?? '/usr/bin/chromium',
    ignoreDefaultArgs: scrollbars ? ['--hide-scrollbars'] : [],
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });

// Runs in every frame, before any page script. Records what the fit script
// asks of the native window; the mock's own names are the only globals.
const mockNW = () => {
  const log = [];
  // A native resize has taken effect by the page's next timer; the viewport
  // change here takes a round trip through the test runner, so timers started
  // meanwhile wait for it. Without this, a loaded machine measures the old size.
  let resized = Promise.resolve();
  const startTimer = window.setTimeout.bind(window);
  window.setTimeout = (callback, ms, ...rest) => {
    resized.then(() => startTimer(callback, ms, ...rest));
    return 0;
  };
  const native = {
    resizeTo(width, height) {
      log.push({ call: 'resizeTo', args: [width, height], at: performance.now() });
      resized = window
        .resizeViewport(width, height)
        .then(() => new Promise((resolve) => requestAnimationFrame(() => resolve())));
    },
    setPosition(where) {
      log.push({ call: 'setPosition', args: [where], at: performance.now() });
    },
    close() {
      log.push({ call: 'close', args: [], at: performance.now() });
    },
    set title(value) {
      log.push({ call: 'title', args: [value], at: performance.now() });
    },
  };
  window.nwLog = log;
  window.nw = { Window: { get: () => native } };
};

const injectWhenParsed = (script) => {
  document.addEventListener(
    'DOMContentLoaded',
    () => {
      const element = document.createElement('script');
      element.textContent = script;
      document.documentElement.appendChild(element);
      element.remove();
    },
    { once: true },
  );
};

const servePages = async (context, pages) => {
  await context.route('http://app.test/**', (route) => {
    const body = pages[new URL(route.request().url()).pathname];
    // A request that is never answered: an image that never loads.
    if (body === 'never') return;
    if (body === undefined) return route.fulfill({ status: 404, body: '' });
    return route.fulfill({ status: 200, contentType: 'text/html; charset=utf-8', body });
  });
};

/**
 * Opens http://app.test/index.html from `pages` (path → HTML, or 'never').
 * `inject`: 'parsed' (as NW.js does), 'complete' (after the load event) or
 * 'none'. Returns the page and helpers to read what the mock recorded.
 */
export const openApp = async (
  browser,
  { pages, settings = fitting, viewport = { width: 1000, height: 800 }, screen, nw = true, inject = 'parsed', script },
) => {
  const context = await browser.newContext({ viewport, screen: screen ?? { width: 1440, height: 900 } });
  await servePages(context, pages);
  const code = script ?? assemble(settings);
  if (nw) {
    await context.exposeBinding('resizeViewport', ({ page }, width, height) => page.setViewportSize({ width, height }));
    await context.addInitScript(mockNW);
  }
  if (inject === 'parsed') await context.addInitScript(injectWhenParsed, code);
  const page = await context.newPage();
  await page.goto('http://app.test/index.html', { waitUntil: inject === 'parsed' ? 'domcontentloaded' : 'load' });
  if (inject === 'complete') await page.addScriptTag({ content: code });
  const log = () => page.evaluate(() => window.nwLog ?? []);
  const calls = async (name) => (await log()).filter((entry) => entry.call === name);
  return { page, context, log, calls, close: () => context.close() };
};

/** Waits for the start-up fit to end (it ends by centring) and returns the window's final size. */
export const fittedSize = async (app, viewport = { width: 1000, height: 800 }) => {
  await app.page.waitForFunction(() => window.nwLog.some((entry) => entry.call === 'setPosition'), null, {
    timeout: 8000,
  });
  const resizes = await app.calls('resizeTo');
  const [width, height] = resizes.length ? resizes.at(-1).args : [viewport.width, viewport.height];
  return { width, height, resizes: resizes.map((entry) => entry.args) };
};

export const html = (body, head = '') =>
  `<!DOCTYPE html><html><head><meta charset="utf-8">${head}</head><body>${body}</body></html>`;
