// The script that a real build injects, for each set of window options, run
// as a built app runs it: the project's own script first, then the fit script
// with the chosen settings, in a scope of its own that leaves the page's globals alone.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, it } from 'node:test';
import { html, launchBrowser, withApp } from './app_page.mjs';

const folder = mkdtempSync(join(tmpdir(), 'bundlekiln-fitscript-'));
let browser;
let runtime;
before(async () => {
  browser = await launchBrowser();
  const generator = [process.env.BUNDLEKILN_RUNTIME_GENERATOR, '--into', folder, '--form', 'app', '--framework-mb', '0.5'];
  runtime = execFileSync(process.env.BUNDLEKILN_PYTHON, generator, { encoding: 'utf8' }).trim();
});
after(async () => {
  await browser.close();
  rmSync(folder, { recursive: true, force: true });
});

// Builds a project whose own script notes whether `settings` is in view; returns the script the build injected.
const injectedScript = (name, options) => {
  const project = join(folder, name);
  mkdirSync(project);
  writeFileSync(join(project, 'index.html'), '');
  writeFileSync(join(project, 'own.js'), 'window.order = [typeof settings];');
  writeFileSync(join(project, 'package.json'), JSON.stringify({ main: 'index.html', inject_js_end: 'own.js' }));
  const output = join(folder, 'out');
  execFileSync(
    process.env.BUNDLEKILN_EXECUTABLE,
    ['--build', '--project', project, '--runtime', runtime, '--output', output, '--name', name, ...options],
    { env: { ...process.env, BUNDLEKILN_TOOL_ROOT: process.env.BUNDLEKILN_TEST_TOOLROOT, TMPDIR: folder } },
  );
  const staged = join(output, `${name}.app`, 'Contents/Resources/app.nw');
  return readFileSync(join(staged, JSON.parse(readFileSync(join(staged, 'package.json'))).inject_js_end), 'utf8');
};

const globalNames = () => Object.getOwnPropertyNames(window).sort();
const resized = () => window.nwLog.some((entry) => entry.call === 'resizeTo');
const page = html('<div style="width:300px;height:100px;background:#ddd"></div>', '<title>My App</title>');

// Each set of options turns every setting the other way at least once.
const seen = (title, buttons, styles, fitted, centred) => ({ title, buttons, styles, fitted, centred });
const builds = [
  { name: 'Defaults', options: [], seen: seen('My App', 0, 1, true, true) },
  { name: 'Frameless', options: ['--frameless', '--no-center', '--show-scrollbars'], seen: seen(' ', 0, 0, true, false) },
  { name: 'Closable', options: ['--close-button', '--manual'], seen: seen(' ', 1, 1, false, false) },
];

describe('the injected script', { concurrency: 3 }, () => {
  for (const { name, options, seen: expected } of builds) {
    it(`of a build with ${options.join(' ') || 'the default options'}`, () =>
      withApp(browser, { pages: { '/index.html': page }, inject: false }, async (app) => {
        const before = await app.page.evaluate(globalNames);
        await app.page.addScriptTag({ content: injectedScript(name, options) });
        if (expected.fitted) await app.page.waitForFunction(resized);
        await app.page.waitForTimeout(1200);
        assert.deepEqual(await app.page.evaluate(() => window.order), ['undefined']);
        const added = (await app.page.evaluate(globalNames)).filter((global) => !before.includes(global));
        assert.deepEqual(added, ['order']);
        const last = (await app.log()).at(-1);
        const title = await app.page.evaluate(() => document.querySelector('title').textContent);
        const buttons = await app.page.locator('[data-bundlekiln-ui="close"]').count();
        const styles = await app.page.locator('style').count();
        const fitted = (await app.calls('resizeTo')).length > 0;
        // The fit ends by centring, after its last resize.
        const centred = last?.call === 'setPosition' && last.args[0] === 'center';
        assert.deepEqual({ title, buttons, styles, fitted, centred }, expected);
      }));
  }
});
