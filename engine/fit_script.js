// Window-fit script. It runs in every page of a built app as the body of an
// arrow function that first defines the constant `settings`, so its top-level
// `return` statements end only that function and it leaves no global behind.
// It blanks frameless titles, hides the root's scrollbars, draws the close
// button, and sizes the native window to the page once at start-up.

// Frames and pages shown by an ordinary browser are left alone.
if (window !== window.top || typeof nw === 'undefined') return;

const native = nw.Window.get();

const controlsAndMedia = 'input,button,select,textarea,img,canvas,svg,video,table';
const transparent = 'rgba(0, 0, 0, 0)';
const clippingOverflows = ['auto', 'scroll', 'hidden', 'clip'];
const outOfFlowPositions = ['absolute', 'fixed'];
const ownInterface = '[data-bundlekiln-ui]';
const hiddenScrollbars =
  'html::-webkit-scrollbar,body::-webkit-scrollbar{display:none!important}html,body{scrollbar-width:none!important}';
const closeButtonStyle =
  'position:fixed;right:4px;top:4px;width:26px;height:26px;padding:0;z-index:2147483647;' +
  'background:#eee;color:#222;border:1px solid #999;border-radius:5px;font:22px/22px sans-serif;' +
  '-webkit-app-region:no-drag;cursor:pointer';

// A title of one space keeps NW.js from showing the app name in a borderless
// window. A blank title is not rewritten: the observer would fire again forever.
const clearNativeTitle = () => {
  if (document.title.trim() === '') return;
  document.title = ' ';
  native.title = ' ';
};

if (settings.frameless) {
  clearNativeTitle();
  if (document.head) {
    new MutationObserver(clearNativeTitle).observe(document.head, {
      childList: true,
      subtree: true,
      characterData: true,
    });
  }
}

const capW = Math.max(100, screen.availWidth - 24);
const capH = Math.max(100, screen.availHeight - 60);

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const pixels = (value) => parseFloat(value) || 0;

const spansViewport = (box) => box.width >= innerWidth - 1 && box.width <= innerWidth + 1;

// Containers without paint of their own, and boxes as wide as the window,
// follow the window and say nothing about the content's width.
const isMeaningful = (element, style, box) =>
  element.matches(controlsAndMedia) ||
  element.childElementCount === 0 ||
  (!spansViewport(box) && (style.backgroundColor !== transparent || pixels(style.borderLeftWidth) > 0));

// A page wrapper as tall as the window would keep an empty gutter below the
// content forever; its children decide the height instead.
const isViewportShell = (element, box) =>
  element.childElementCount > 0 && Math.abs(box.height - innerHeight) <= 2 && !element.matches(controlsAndMedia);

// The bottom of the visible area of `element` and of every ancestor below the
// body that clips it, remembered per call since siblings share ancestors.
const clippingLimit = (element, body, limits) => {
  if (element === body || element === null) return Infinity;
  if (limits.has(element)) return limits.get(element);
  let limit = clippingLimit(element.parentElement, body, limits);
  const box = element.getBoundingClientRect();
  // A panel as tall as the window is exempt, so the fit can grow to its content.
  if (clippingOverflows.includes(getComputedStyle(element).overflowY) && box.height < innerHeight - 2) {
    limit = Math.min(limit, box.top + element.clientTop + element.clientHeight);
  }
  limits.set(element, limit);
  return limit;
};

const textExtent = (body) => {
  const range = document.createRange();
  range.selectNodeContents(body);
  const box = range.getBoundingClientRect();
  return { left: box.left, right: box.right, bottom: box.bottom };
};

// Automatic margins of a centred fixed-width body are gutters that follow the
// window width, not content.
const isCentredBody = (style, box) => {
  const left = pixels(style.marginLeft);
  const right = pixels(style.marginRight);
  return (
    box.width < innerWidth - 1 &&
    (outOfFlowPositions.includes(style.position) || left >= 24) &&
    Math.abs(left - right) < 2 &&
    left > 0 &&
    Math.abs(box.width + left + right - innerWidth) < 3
  );
};

const horizontalInset = (body) => {
  const style = getComputedStyle(body);
  const margins = isCentredBody(style, body.getBoundingClientRect())
    ? 0
    : pixels(style.marginLeft) + pixels(style.marginRight);
  return margins + pixels(style.paddingLeft) + pixels(style.paddingRight);
};

const contentExtent = (body) => {
  const extent = { left: Infinity, right: 0, bottom: 0 };
  const limits = new Map();
  for (const element of body.querySelectorAll('*')) {
    if (element.closest(ownInterface)) continue;
    // The box first: it is cheaper than the style, and it is empty for every
    // element that is not displayed.
    const box = element.getBoundingClientRect();
    if (box.width === 0 || box.height === 0) continue;
    const style = getComputedStyle(element);
    if (style.visibility === 'hidden' || style.position === 'fixed') continue;
    if (!isMeaningful(element, style, box)) continue;
    extent.left = Math.min(extent.left, box.left);
    extent.right = Math.max(extent.right, box.right);
    if (isViewportShell(element, box)) continue;
    const visibleBottom = Math.min(box.bottom, clippingLimit(element.parentElement, body, limits));
    extent.bottom = Math.max(extent.bottom, visibleBottom);
  }
  return extent.left === Infinity ? textExtent(body) : extent;
};

// The extent of the page's meaningful content, in viewport coordinates; the
// height counts from the top of the document.
const bounds = () => {
  const body = document.body;
  const { left, right, bottom } = contentExtent(body);
  return {
    width: Math.ceil(right - left + horizontalInset(body) + 4),
    height: Math.ceil(bottom + scrollY + 4),
    left,
    right,
  };
};

const resize = (w, h) => {
  const width = Math.max(100, Math.min(capW, Math.ceil(w)));
  const height = Math.max(100, Math.min(capH, Math.ceil(h)));
  if (Math.abs(width - innerWidth) < 2 && Math.abs(height - innerHeight) < 2) return;
  native.resizeTo(width, height);
};

const settled = (image) =>
  image.complete ||
  new Promise((resolve) => {
    image.addEventListener('load', resolve, { once: true });
    image.addEventListener('error', resolve, { once: true });
  });

const fontsAndImages = () => Promise.all([document.fonts.ready, ...Array.from(document.images, settled)]);

const paintCloseButton = (button, background, color) => {
  button.style.background = background;
  button.style.color = color;
};

const addCloseButton = () => {
  const button = document.createElement('button');
  button.dataset.bundlekilnUi = 'close';
  button.textContent = '×';
  button.setAttribute('aria-label', 'Close window');
  button.title = 'Close window';
  button.style.cssText = closeButtonStyle;
  button.addEventListener('mouseenter', () => paintCloseButton(button, '#c42b1c', 'white'));
  button.addEventListener('mouseleave', () => paintCloseButton(button, '#eee', '#222'));
  button.addEventListener('click', () => native.close());
  document.body.appendChild(button);
};

const hideScrollbars = () => {
  const style = document.createElement('style');
  style.textContent = hiddenScrollbars;
  (document.head || document.documentElement).appendChild(style);
};

// The width only shrinks; a layout that reflows wider when narrowed gets the
// last accepted width back and ends the fit.
const fitOnce = async () => {
  let narrowest = Math.min(innerWidth, capW);
  for (let pass = 0; pass < 8; pass += 1) {
    const measured = bounds();
    const candidate = Math.max(100, Math.min(narrowest, measured.width));
    resize(candidate, measured.height);
    await pause(90);
    const after = bounds();
    if (after.left < -2 || after.right > innerWidth + 2) {
      resize(narrowest, after.height);
      await pause(90);
      break;
    }
    const converged = Math.abs(narrowest - candidate) < 2;
    narrowest = candidate;
    if (converged) break;
  }
  return narrowest;
};

// The window is fitted once: re-fitting on later page changes caused repeated
// native resizes and visible window movement.
const start = async () => {
  if (!document.body) return;
  if (settings.hide) hideScrollbars();
  if (settings.close) addCloseButton();
  if (!settings.auto) return;
  await Promise.race([fontsAndImages(), pause(2500)]);
  await pause(150);
  const lockedWidth = await fitOnce();
  resize(lockedWidth, bounds().height);
  if (settings.center) native.setPosition('center');
};

if (document.readyState === 'complete') start();
else window.addEventListener('load', start, { once: true });
