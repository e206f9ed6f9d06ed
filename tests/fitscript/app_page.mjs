// Opens test pages the way a built app shows them: headless Chromium with a
// mock `nw` whose window really resizes the viewport, and the injected script
// run as NW.js runs it (once the document is parsed, before its load event).
import { chromium } from 'playwright-core';
import { readFileSync } from 'node:fs';

const fitScript = readFileSync(new URL('../../engine/fit_script.js', import.meta.url), 'utf8');

export const allOff = { frameless: false, auto: false, hide: false, close: false, center: false, resizable: true };
export const fitting = { ...allOff, auto: true, center: true };

// The fit script in a function scope with `settings` in view, as a build
// injects it; `probe` runs at the end of that scope.
export const assemble = (settings, probe = '') =>
  `(() => { const settings = ${JSON.stringify(settings)};\n${fitScript}${probe}\n})();\n`;

// Without these, Chromium keeps trying to reach the network and hangs here.
// Headless Chromium hides every scrollbar unless `scrollbars` asks for them.
export const launchBrowser = ({ scrollbars = false } = {}) =>
  chromium.launch({
    executablePath: process.env.BUNDLEKILN_CHROMIUM ?? '/usr/bin/chromium',
    ignoreDefaultArgs: scrollbars ? ['--hide-scrollbars'] : [],
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run']
      .concat(['--disable-background-networking', '--disable-component-update', '--disable-sync']),
  });

// Runs in every frame, before any page script. Records what the fit script
// asks of the native window; the mock's own names are the only globals.
const mockNW = () => {
  const log = [];
  const record = (call, args) => log.push({ call, args, at: performance.now() });
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
      record('resizeTo', [width, height]);
      const painted = () => new Promise((resolve) => requestAnimationFrame(() => resolve()));
      resized = window.resizeViewport(width, height).then(painted);
    },
    setPosition: (where) => record('setPosition', [where]),
    close: () => record('close', []),
    set title(value) {
      record('title', [value]);
    },
  };
  window.nwLog = log;
  window.nw = { Window: { get: () => native } };
};

const injectWhenParsed = (script) => {
  const inject = () => {
    const element = document.createElement('script');
    element.textContent = script;
    document.documentElement.appendChild(element);
    element.remove();
  };
  document.addEventListener('DOMContentLoaded', inject, { once: true });
};

const servePages = (context, pages) =>
  context.route('http://app.test/**', (route) => {
    const body = pages[new URL(route.request().url()).pathname];
    // A request that is never answered: an image that never loads.
    if (body === 'never') return;
    if (body === undefined) return route.fulfill({ status: 404, body: '' });
    return route.fulfill({ status: 200, contentType: 'text/html; charset=utf-8', body });
  });

/**
 * Opens http://app.test/index.html from `pages` (path → HTML, or 'never'),
 * with `script` (by default the fit script with `settings`) injected once the
 * document is parsed, as NW.js does, unless `inject` is false. Returns the
 * page and helpers to read what the mock recorded.
 */
export const openApp = async (
  browser,
  { pages, settings = fitting, viewport = { width: 1000, height: 800 }, screen, nw = true, inject = true, script },
) => {
  const context = await browser.newContext({ viewport, screen: screen ?? { width: 1440, height: 900 } });
  await servePages(context, pages);
  if (nw) {
    await context.exposeBinding('resizeViewport', ({ page }, width, height) => page.setViewportSize({ width, height }));
    await context.addInitScript(mockNW);
  }
  if (inject) await context.addInitScript(injectWhenParsed, script ?? assemble(settings));
  const page = await context.newPage();
  await page.goto('http://app.test/index.html', { waitUntil: inject ? 'domcontentloaded' : 'load' });
  const log = () => page.evaluate(() => window.nwLog ?? []);
  const calls = async (name) => (await log()).filter((entry) => entry.call === name);
  return { page, log, calls, close: () => context.close() };
};

/** Opens the app as openApp does, runs `body` on it once the page has loaded, and closes it. */
export const withApp = async (browser, options, body) => {
  const app = await openApp(browser, options);
  try {
    await app.page.waitForLoadState('load');
    await body(app);
  } finally {
    await app.close();
  }
};

/** Waits for the start-up fit to end (it ends by centring) and returns the window's final size. */
export const fittedSize = async (app) => {
  const centred = () => window.nwLog.some((entry) => entry.call === 'setPosition');
  await app.page.waitForFunction(centred, null, { timeout: 8000 });
  const resizes = (await app.calls('resizeTo')).map((entry) => entry.args);
  const [width, height] = resizes.at(-1) ?? [1000, 800];
  return { width, height, resizes };
};

export const html = (body, head = '') =>
  `<!DOCTYPE html><html><head><meta charset="utf-8">${head}</head><body>${body}</body></html>`;
