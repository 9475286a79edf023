// The page in Debian's Chromium, driven by puppeteer-core and served as
// scripts/web.sh serves it. Every paper is compared with the one that
// tallivo-run --type prints for the same keys.
//
//   keys:    tapes from the address, mouse clicks, taps under phone
//            emulation (two fingers, a finger sliding off), PC keys
//   screens: five screen sizes and the phones on their side: no sideways
//            scrolling, every key on screen (screenshots kept), the
//            accessibility audit, printing, the About box
//   apps:    offline after one visit and a new build on the next, a copied
//            link in a fresh browser, the saved tape, the museum kiosk
//   sound:   the Sound button and the address that keeps it, the machine's
//            sound played as keys are pressed, no audio at all while it is
//            off, and a browser without Web Audio
//
// Usage: node browser_test.js SITE_DIR BIN_DIR NODE_DIR SHOT_DIR GROUP
// (exits 77, skipped, when the page has not been built)
'use strict';

const assert = require('assert');
const { execFileSync, spawn } = require('child_process');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');

const [siteArg, binArg, nodeArg, shotArg, group] = process.argv.slice(2);
const site = path.resolve(siteArg);
if (!fs.existsSync(path.join(site, 'tallivo.wasm')) || !fs.existsSync(path.join(site, 'sw.js'))) {
  console.log('no page in ' + site + ': scripts/web.sh --build-only builds it');
  process.exit(77);
}
const runner = path.join(path.resolve(binArg), 'tallivo-run');
const puppeteer = require(path.join(path.resolve(nodeArg), 'node_modules', 'puppeteer-core'));
const axeSource = path.join(path.resolve(nodeArg), 'node_modules', 'axe-core', 'axe.min.js');
const shots = path.resolve(shotArg);
fs.mkdirSync(shots, { recursive: true });
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tallivo_page_'));

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// --- The server and the browser ---------------------------------------

async function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer();
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// python's web server on 127.0.0.1 for `dir`; stop() ends it.
async function serve(dir, port) {
  port = port || await freePort();
  const child = spawn('python3', ['-m', 'http.server', String(port), '--bind', '127.0.0.1', '--directory', dir],
    { stdio: 'ignore' });
  for (let i = 0; i < 100; ++i) {
    const up = await new Promise((resolve) => {
      const socket = net.connect(port, '127.0.0.1', () => { socket.end(); resolve(true); });
      socket.on('error', () => resolve(false));
    });
    if (up) break;
    await sleep(100);
  }
  return {
    base: 'http://127.0.0.1:' + port + '/', port,
    stop: () => new Promise((resolve) => { child.once('exit', resolve); child.kill(); }),
  };
}

async function launch() {
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir: fs.mkdtempSync(path.join(work, 'profile-')),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--disable-dev-shm-usage', '--hide-scrollbars',
      '--disable-background-timer-throttling', '--disable-renderer-backgrounding'],
  });
}

const PHONE = { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 1 };
const DESKTOP = { width: 1280, height: 900 };

// A page at `url`, once the calculator runs.
async function open(browserOrContext, url, viewport = DESKTOP) {
  const page = await browserOrContext.newPage();
  await page.setViewport(viewport);
  page.on('pageerror', (e) => console.log('  page error: ' + e.message));
  await page.goto(url, { waitUntil: 'load' });
  await page.waitForFunction(() => !/^Loading/.test(document.getElementById('status').textContent), { timeout: 30000 });
  return page;
}

// --- The paper --------------------------------------------------------

function runnerPaper(tape, options = []) {
  const out = execFileSync(runner, ['--code', path.join(site, '4001.code'), '--type', tape, ...options], { encoding: 'latin1' });
  return out.split('\n').filter((l) => l.length > 0);
}

const paperLines = (page) => page.$$eval('#paper > div', (lines) => lines.map((l) => l.textContent));

// Waits until the page's paper has as many lines as `expected` and stays so
// a moment, then compares.
async function expectPaper(page, expected, what) {
  try {
    await page.waitForFunction((n) => document.querySelectorAll('#paper > div').length >= n, { timeout: 60000 },
      expected.length);
  } catch (e) {
    // The comparison below says what came instead.
  }
  await sleep(400);
  assert.deepStrictEqual(await paperLines(page), expected, what);
}

async function keyBox(page, caption) {
  const handle = await page.evaluateHandle((c) => [...document.querySelectorAll('#keyboard button.key')]
    .find((b) => b.textContent === c), caption);
  const box = await handle.boundingBox();
  assert.ok(box, 'key ' + caption + ' is shown');
  return box;
}
const centre = (box) => ({ x: box.x + box.width / 2, y: box.y + box.height / 2 });

// Keys one after the other, each let go at once, 150 ms apart: the firmware
// takes a key in a few milliseconds and keeps eight waiting while it prints.
async function clickKeys(page, tape) {
  for (const caption of tape.split(' ')) {
    const { x, y } = centre(await keyBox(page, caption));
    await page.mouse.click(x, y);
    await sleep(150);
  }
}

async function tapKeys(page, tape) {
  for (const caption of tape.split(' ')) {
    const { x, y } = centre(await keyBox(page, caption));
    await page.touchscreen.tap(x, y);
    await sleep(150);
  }
}

const keysDown = (page) => page.$$eval('#keyboard button.key.down', (keys) => keys.map((k) => k.textContent).sort());

// --- The tests --------------------------------------------------------

let failures = 0;
async function check(name, body) {
  const started = Date.now();
  try {
    await body();
    console.log('ok   ' + name + ' (' + ((Date.now() - started) / 1000).toFixed(1) + ' s)');
  } catch (e) {
    failures++;
    console.log('FAIL ' + name + '\n' + (e.stack || e));
  }
}

async function keysGroup(browser, server) {
  await check('tapes from the address print what tallivo-run prints, however the spaces are written', async () => {
    // One at a time: a page that is not in front is hidden, and a hidden
    // page's clock stands still.
    for (const [tape, query] of [
      ['1 2 + 3 4 + =', '1%202%20+%203%204%20+%20='],
      ['1 2 + 3 4 + =', '1+2+%2B+3+4+%2B+%3D'],
      ['5 - 9 = 7 M+ RM', '5 - 9 = 7 M+ RM'],
      // Text as the PC keys type it.
      ['1 2 . 5 + 7 . 2 5 + <> =', '12.5%2B7.25%2B%20%3C%3E%20%3D'],
    ]) {
      const page = await open(browser, server.base + '?type=' + query);
      await expectPaper(page, runnerPaper(tape), '?type=' + query);
      await page.close();
    }
  });

  await check('a key the calculator does not have is reported, and nothing is typed', async () => {
    const page = await open(browser, server.base + '?type=1%20NOPE&dp=9');
    const status = await page.$eval('#status', (s) => s.textContent);
    assert.match(status, /not typed.*NOPE/);
    assert.match(status, /\?dp=9 is not/);
    await sleep(500);
    assert.deepStrictEqual(await paperLines(page), []);
    await page.close();
  });

  await check('mouse clicks on the keys print the paper of the same tape', async () => {
    const tape = '1 2 . 5 + 7 . 2 5 + 3 - <> =';
    const page = await open(browser, server.base);
    await clickKeys(page, tape);
    await expectPaper(page, runnerPaper(tape), 'clicked ' + tape);
    // A red line is red.
    await clickKeys(page, '5 - 9 =');
    await page.waitForFunction(() => document.querySelector('#paper > div.red'), { timeout: 20000 });
    assert.strictEqual(await page.$eval('#paper > div.red', (l) => getComputedStyle(l).color), 'rgb(192, 0, 0)');
    await page.close();
  });

  await check('taps on a phone print the paper of the same tape; two fingers hold two keys', async () => {
    const tape = '5 - 9 = 7 M+ RM';
    const page = await open(browser, server.base, PHONE);
    await tapKeys(page, tape);
    await expectPaper(page, runnerPaper(tape), 'tapped ' + tape);

    const cdp = await page.createCDPSession();
    const one = centre(await keyBox(page, '1'));
    const two = centre(await keyBox(page, '2'));
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ ...one, id: 1 }, { ...two, id: 2 }] });
    await page.waitForFunction(() => document.querySelectorAll('#keyboard button.key.down').length === 2, { timeout: 5000 });
    assert.deepStrictEqual(await keysDown(page), ['1', '2']);
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
    await page.waitForFunction(() => document.querySelectorAll('#keyboard button.key.down').length === 0, { timeout: 5000 });

    // A finger that slides off its key lets it go, and the page neither
    // scrolls nor selects text under it.
    const seven = centre(await keyBox(page, '7'));
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ ...seven, id: 3 }] });
    await page.waitForFunction(() => document.querySelectorAll('#keyboard button.key.down').length === 1, { timeout: 5000 });
    for (let dy = 20; dy <= 200; dy += 20) {
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: [{ x: seven.x, y: seven.y - dy, id: 3 }] });
    }
    await page.waitForFunction(() => document.querySelectorAll('#keyboard button.key.down').length === 0, { timeout: 5000 });
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
    assert.strictEqual(await page.evaluate(() => window.scrollY), 0, 'the page did not scroll');
    assert.strictEqual(await page.evaluate(() => String(window.getSelection())), '', 'nothing was selected');
    await page.close();
  });

  await check('72 PC keys pressed with no delay between them all reach the calculator, each once', async () => {
    // Every key the firmware has; the page's queue of presses holds them
    // while the calculator prints.
    const tape = '1 2 . 5 + 3 4 + 5 6 7 - <> 8 9 0 0 0 + 00 . 2 5 - = 1 2 X 3 = 4 5 / 9 = 2 0 0 X 1 5 % ' +
      '7 M+ 3 M- RM + CM 6 S + 9 X 2 Ex = 4 CE 5 + C 1 0 0 + 5 M+ 9 9 9 -';
    const pcKey = { '00': 'z', '<>': 'd', X: 'x', 'M+': 'm', 'M-': 'n', RM: 'r', CM: 'l', S: 's', Ex: 'e',
      CE: 'Backspace', C: 'Escape', '=': 'Enter' };
    const page = await open(browser, server.base);
    for (const caption of tape.split(' ')) await page.keyboard.press(pcKey[caption] || caption);
    await expectPaper(page, runnerPaper(tape), 'PC keys with no delay');
    await page.close();
  });

  await check('PC keys type the tape the desktop program types with them', async () => {
    const page = await open(browser, server.base);
    for (const key of ['1', '2', '*', '3', 'Enter', '4', 'Backspace', '5', '+', 'Escape']) {
      await page.keyboard.press(key);
      await sleep(150);
    }
    await expectPaper(page, runnerPaper('1 2 X 3 = 4 CE 5 + C'), 'PC keys');
    await page.close();
  });
}

// The page's geometry: what sticks out sideways, and any key, switch, lamp
// or the last paper line outside the screen.
async function geometry(page) {
  return page.evaluate(() => {
    const outside = [];
    const inView = (element, name) => {
      const r = element.getBoundingClientRect();
      if (r.left < -0.5 || r.top < -0.5 || r.right > innerWidth + 0.5 || r.bottom > innerHeight + 0.5 || r.width === 0) {
        outside.push(name + ' at ' + [r.left, r.top, r.right, r.bottom].map(Math.round).join(','));
      }
      return r;
    };
    const keys = [...document.querySelectorAll('#keyboard button.key')];
    const narrowest = Math.min(...keys.map((k) => inView(k, 'key ' + k.textContent).width));
    document.querySelectorAll('#keyboard input, #keyboard .lamp').forEach((e) => inView(e, e.getAttribute('aria-label')));
    const lines = document.querySelectorAll('#paper > div');
    if (lines.length > 0) {
      const last = inView(lines[lines.length - 1], 'the last paper line');
      if (last.bottom > document.getElementById('paper').getBoundingClientRect().bottom + 0.5) outside.push('the last line below the paper');
    }
    return { overflow: document.documentElement.scrollWidth - document.documentElement.clientWidth, outside, narrowest };
  });
}

async function screensGroup(browser, server) {
  const tape = '1 2 + 3 4 + = 5 - 9 =';
  const expected = runnerPaper(tape);
  const sizes = [
    [{ width: 360, height: 640, isMobile: true, hasTouch: true }, [[390, 844], [768, 1024], [640, 360], [844, 390]]],
    [{ width: 1024, height: 768 }, [[1920, 1080]]],
  ];
  await check('at every size: no sideways scrolling, every key, switch, lamp and the last line on screen', async () => {
    for (const [first, more] of sizes) {
      const page = await open(browser, server.base + '?type=' + tape, first);
      await expectPaper(page, expected, 'the tape at ' + first.width + 'x' + first.height);
      for (const [width, height] of [[first.width, first.height], ...more]) {
        await page.setViewport({ ...first, width, height });
        await sleep(300);
        const size = width + 'x' + height;
        await page.screenshot({ path: path.join(shots, 'page-' + size + '.png') });
        const g = await geometry(page);
        assert.ok(g.overflow <= 0, size + ': the page is ' + g.overflow + ' px too wide');
        assert.deepStrictEqual(g.outside, [], size + ': outside the screen');
        assert.ok(g.narrowest >= 40, size + ': a key is ' + g.narrowest + ' px across');
      }
      await page.close();
    }
  });

  await check('the accessibility audit finds nothing serious, on a phone, a desktop and in the About box', async () => {
    for (const viewport of [PHONE, DESKTOP]) {
      const page = await open(browser, server.base, viewport);
      await page.addScriptTag({ path: axeSource });
      const audit = async (what) => {
        const result = await page.evaluate(async () => {
          const r = await axe.run(document);
          return r.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
            .map((v) => v.id + ' (' + v.impact + '): ' + v.nodes.slice(0, 3).map((n) => n.target.join(' ')).join('; '));
        });
        assert.deepStrictEqual(result, [], what);
      };
      await audit('the page at ' + viewport.width);
      await page.click('#about');
      await audit('the About box at ' + viewport.width);
      await page.close();
    }
  });

  await check('About shows the About box, which OK and Escape close; keys typed meanwhile are no calculator keys', async () => {
    const page = await open(browser, server.base);
    await page.focus('#about');
    await page.keyboard.press('Enter');
    await page.waitForSelector('#about-box[open]');
    assert.strictEqual(await page.$eval('#about-text', (p) => p.textContent), 'Tallivo Calculator Version 0.1');
    assert.strictEqual(await page.$eval('#about-box .caption', (p) => p.textContent), 'About Tallivo');
    // A key typed while the box is open is no calculator key.
    await page.keyboard.press('7');
    await page.keyboard.press('Escape');
    await page.waitForSelector('#about-box:not([open])');
    await page.click('#about');
    await page.click('#about-ok');
    await page.waitForSelector('#about-box:not([open])');
    await page.keyboard.press('+');
    await sleep(150);
    await page.keyboard.press('Enter');
    await sleep(1500);
    assert.deepStrictEqual((await paperLines(page)).map((l) => l.trim()), [], 'no number was typed');
    await page.close();
  });

  await check('printed, the page is the paper alone with its red lines red', async () => {
    const page = await open(browser, server.base + '?type=5 - 9 =');
    await expectPaper(page, runnerPaper('5 - 9 ='), 'the tape to print');
    await page.emulateMediaType('print');
    const printed = await page.evaluate(() => ({
      hidden: ['#keyboard-window', '#tools', '#flowchart-window', '#status']
        .filter((s) => getComputedStyle(document.querySelector(s)).display === 'none'),
      lines: [...document.querySelectorAll('#paper > div')].map((l) => [l.textContent, getComputedStyle(l).color]),
      clipped: document.getElementById('paper').scrollHeight > document.getElementById('paper').clientHeight + 1,
    }));
    assert.deepStrictEqual(printed.hidden, ['#keyboard-window', '#tools', '#flowchart-window', '#status']);
    assert.ok(!printed.clipped, 'the whole paper prints');
    assert.ok(printed.lines.some(([text, color]) => text.includes('-') && color === 'rgb(192, 0, 0)'), 'a red line');
    assert.ok(printed.lines.some(([, color]) => color === 'rgb(0, 0, 0)'), 'a black line');
    await page.pdf({ path: path.join(work, 'paper.pdf') });
    await page.close();
  });
}

async function appsGroup(browser, server) {
  await check('installable; after one visit the page starts and runs with the network off; a new build comes on the next visit', async () => {
    const copy = path.join(work, 'site');
    fs.cpSync(site, copy, { recursive: true });
    let own = await serve(copy);
    const page = await open(browser, own.base);
    await page.evaluate(() => navigator.serviceWorker.ready);
    // Installable: the manifest, its icons and the service worker as the
    // browser wants them.
    const cdp = await page.createCDPSession();
    assert.deepStrictEqual((await cdp.send('Page.getInstallabilityErrors')).installabilityErrors, []);
    assert.deepStrictEqual((await cdp.send('Page.getAppManifest')).errors, []);
    await page.waitForFunction(async () => {
      const names = await caches.keys();
      return names.length === 1 && (await (await caches.open(names[0])).keys()).length >= 15;
    }, { timeout: 30000 });
    await own.stop();
    await page.goto(own.base + '?type=5 - 9 =');
    await page.waitForFunction(() => /Typing|Typed/.test(document.getElementById('status').textContent), { timeout: 30000 });
    await expectPaper(page, runnerPaper('5 - 9 ='), 'offline');
    await page.reload();
    await page.waitForFunction(() => /Typing|Typed/.test(document.getElementById('status').textContent), { timeout: 30000 });

    // A new build: another page and another store.
    const index = path.join(copy, 'index.html');
    fs.writeFileSync(index, fs.readFileSync(index, 'latin1').replace('<title>Tallivo 141DU</title>', '<title>Tallivo 141DU (new)</title>'));
    const sw = path.join(copy, 'sw.js');
    fs.writeFileSync(sw, fs.readFileSync(sw, 'latin1').replace(/const STORE = 'tallivo-[0-9a-f]+'/, "const STORE = 'tallivo-0000000000000000'"));
    own = await serve(copy, own.port);
    await page.goto(own.base);
    assert.strictEqual(await page.title(), 'Tallivo 141DU (new)');
    await page.waitForFunction(async () => (await caches.keys()).join() === 'tallivo-0000000000000000', { timeout: 30000 });
    await page.close();
    await own.stop();
  });

  await check('a copied link types the tape so far with the same switches in a fresh browser', async () => {
    const context = await browser.createBrowserContext();
    await context.overridePermissions(server.base.slice(0, -1), ['clipboard-read', 'clipboard-write', 'clipboard-sanitized-write']);
    const page = await open(context, server.base);
    await page.click('#keyboard input[name=decimal][aria-label="2"]');
    await page.click('#keyboard input[name=rounding][aria-label="5/4"]');
    const tape = '2 / 3 = 1 + 5 - <> M+ RM +';
    await clickKeys(page, tape);
    const expected = runnerPaper(tape, ['--dp', '2', '--round', '2']);
    await expectPaper(page, expected, 'the clicked tape');
    await page.click('#copy-link');
    await page.waitForFunction(() => /Link copied/.test(document.getElementById('status').textContent));
    const link = await page.evaluate(() => navigator.clipboard.readText());
    assert.ok(link.startsWith(server.base + '?dp=2&round=2&type='), link);
    await context.close();
    const fresh = await browser.createBrowserContext();
    const again = await open(fresh, link);
    await expectPaper(again, expected, 'the link ' + link);
    await fresh.close();
  });

  await check('Save tape downloads the paper as text', async () => {
    const page = await open(browser, server.base + '?type=1 2 + 3 4 + =');
    await expectPaper(page, runnerPaper('1 2 + 3 4 + ='), 'the tape to save');
    const downloads = fs.mkdtempSync(path.join(work, 'downloads-'));
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await page.click('#save-tape');
    const file = path.join(downloads, 'paper.txt');
    for (let i = 0; i < 100 && !fs.existsSync(file); ++i) await sleep(100);
    assert.strictEqual(fs.readFileSync(file, 'latin1'), runnerPaper('1 2 + 3 4 + =').map((l) => l + '\n').join(''));
    await page.close();
  });

  await check('the kiosk: no Quit, nothing leading out, a fresh start when idle, a demonstration a touch stops', async () => {
    const page = await open(browser, server.base + '?kiosk&idle=3', PHONE);
    const shown = await page.evaluate(() => [...document.querySelectorAll('button, a[href]')]
      .filter((e) => e.getClientRects().length > 0 && !e.classList.contains('key')).map((e) => e.textContent));
    assert.deepStrictEqual(shown.sort(), ['About', 'Flowchart', 'Sound']);
    await tapKeys(page, '7 +');
    await expectPaper(page, runnerPaper('7 +'), 'the visitor\'s tape');
    await page.waitForFunction(() => document.querySelectorAll('#paper > div').length === 0, { timeout: 15000 });
    await page.close();

    const demo = await open(browser, server.base + '?kiosk&idle=60&demo=1 2 + 3 4 + =', PHONE);
    await demo.waitForFunction(() => document.querySelectorAll('#paper > div').length >= 2, { timeout: 30000 });
    await tapKeys(demo, '5 +');
    await expectPaper(demo, runnerPaper('5 +'), 'a touch stops the demonstration and starts afresh');
    await sleep(1500);
    assert.deepStrictEqual(await paperLines(demo), runnerPaper('5 +'), 'the demonstration stays stopped');
    await demo.close();
  });
}

// Watches the page's audio from before its scripts run: every audio
// context made, and every block of samples started, with when it is to be
// heard, its length and its loudest sample. `noAudio` takes Web Audio away.
function watchAudio(page, noAudio = false) {
  return page.evaluateOnNewDocument((none) => {
    window.heard = { contexts: 0, closed: 0, blocks: [] };
    if (none) {
      delete window.AudioContext;
      delete window.webkitAudioContext;
      return;
    }
    const Original = window.AudioContext;
    window.AudioContext = class extends Original {
      constructor(...args) {
        super(...args);
        window.heard.contexts++;
      }
      close() {
        window.heard.closed++;
        return super.close();
      }
    };
    const start = AudioBufferSourceNode.prototype.start;
    AudioBufferSourceNode.prototype.start = function (when, ...rest) {
      const samples = this.buffer.getChannelData(0);
      let loudest = 0;
      for (const v of samples) loudest = Math.max(loudest, Math.abs(v));
      window.heard.blocks.push({ when, length: samples.length, rate: this.buffer.sampleRate, loudest,
        now: this.context.currentTime });
      return start.call(this, when, ...rest);
    };
  }, noAudio);
}

const heard = (page) => page.evaluate(() => window.heard);
const soundButton = (page) => page.$eval('#sound', (b) => ({
  pressed: b.getAttribute('aria-pressed'), disabled: b.disabled, name: b.textContent }));

async function soundGroup(browser, server) {
  await check('the Sound button is pressed at first, toggles, and the address keeps it across a reload', async () => {
    const page = await open(browser, server.base + '?type=1%202%20+&dp=2');
    assert.deepStrictEqual(await soundButton(page), { pressed: 'true', disabled: false, name: 'Sound' });
    await page.click('#sound');
    assert.strictEqual((await soundButton(page)).pressed, 'false');
    assert.strictEqual(page.url(), server.base + '?type=1%202%20+&dp=2&sound=off', 'the tape stays as written');
    await page.reload();
    await page.waitForFunction(() => /Typ/.test(document.getElementById('status').textContent), { timeout: 30000 });
    assert.strictEqual((await soundButton(page)).pressed, 'false', 'off after the reload');
    await expectPaper(page, runnerPaper('1 2 +', ['--dp', '2']), 'the tape typed again');
    // A keyboard user toggles it with the space bar too.
    await page.focus('#sound');
    await page.keyboard.press(' ');
    assert.strictEqual((await soundButton(page)).pressed, 'true');
    assert.strictEqual(page.url(), server.base + '?type=1%202%20+&dp=2');
    await page.reload();
    await page.waitForFunction(() => /Typ/.test(document.getElementById('status').textContent), { timeout: 30000 });
    assert.strictEqual((await soundButton(page)).pressed, 'true', 'on after the reload');
    await page.close();

    const bad = await open(browser, server.base + '?sound=loud');
    assert.match(await bad.$eval('#status', (s) => s.textContent), /\?sound=loud is neither on nor off/);
    assert.strictEqual((await soundButton(bad)).pressed, 'true');
    await bad.close();
  });

  await check('with the sound on, keys and the printer are heard from the first touch on; no page error', async () => {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(e.message));
    await watchAudio(page);
    await page.setViewport(DESKTOP);
    // A tape typed by the address before anyone touches the page is not
    // heard: the browser allows no sound yet, and none is tried.
    await page.goto(server.base + '?type=4%202%20+', { waitUntil: 'load' });
    await expectPaper(page, runnerPaper('4 2 +'), 'the tape in the address');
    assert.deepStrictEqual(await heard(page), { contexts: 0, closed: 0, blocks: [] });

    const tape = '1 2 3 4 5 6 7 8 +';
    await clickKeys(page, tape);
    await expectPaper(page, runnerPaper('4 2 +').concat(runnerPaper(tape)), 'the clicked tape');
    await sleep(500);
    const { contexts, blocks } = await heard(page);
    assert.strictEqual(contexts, 1, 'one audio context, made at the first click');
    assert.ok(blocks.length >= 3, blocks.length + ' blocks of sound');
    assert.ok(blocks.every((b) => b.rate === 44100 && b.length > 0 && b.loudest <= 1), 'blocks of samples at 44100 Hz');
    // A line of eight digits: eight hammer blows, loud ones, and a feed.
    assert.ok(blocks.some((b) => b.loudest > 0.2), 'loud blows: ' + blocks.map((b) => b.loudest.toFixed(2)));
    // One after the other, none in the past when it was started.
    for (let i = 0; i < blocks.length; ++i) {
      assert.ok(blocks[i].when >= blocks[i].now, 'block ' + i + ' starts in the future');
      if (i > 0) assert.ok(blocks[i].when >= blocks[i - 1].when + blocks[i - 1].length / 44100 - 1e-6, 'block ' + i + ' after the one before');
    }
    // PC keys are heard too.
    for (const key of ['5', '+']) {
      await page.keyboard.press(key);
      await sleep(150);
    }
    await page.waitForFunction((n) => window.heard.blocks.length > n, { timeout: 10000 }, blocks.length);
    assert.deepStrictEqual(errors, []);
    await page.close();
  });

  await check('with the sound off the page makes no audio, and turned on again it plays at once', async () => {
    const page = await browser.newPage();
    await watchAudio(page);
    await page.setViewport(PHONE);
    await page.goto(server.base + '?sound=off', { waitUntil: 'load' });
    await page.waitForFunction(() => /Running/.test(document.getElementById('status').textContent), { timeout: 30000 });
    assert.strictEqual((await soundButton(page)).pressed, 'false');
    await tapKeys(page, '7 +');
    await expectPaper(page, runnerPaper('7 +'), 'tapped while silent');
    assert.deepStrictEqual(await heard(page), { contexts: 0, closed: 0, blocks: [] });

    await page.tap('#sound');
    assert.strictEqual((await soundButton(page)).pressed, 'true');
    await tapKeys(page, '9 +');
    await page.waitForFunction(() => window.heard.blocks.some((b) => b.loudest > 0.2), { timeout: 10000 });
    assert.strictEqual((await heard(page)).contexts, 1);
    // Off again: the audio is closed, and keys make none.
    await page.tap('#sound');
    const before = await heard(page);
    assert.strictEqual(before.closed, 1);
    await tapKeys(page, '3 +');
    await expectPaper(page, runnerPaper('7 + 9 + 3 +'), 'the whole tape');
    const after = await heard(page);
    assert.strictEqual(after.blocks.length, before.blocks.length, 'nothing played while off');
    assert.strictEqual(after.contexts, 1);
    await page.close();
  });

  await check('a browser without Web Audio runs the calculator silently, its Sound button greyed', async () => {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(e.message));
    await watchAudio(page, true);
    await page.setViewport(DESKTOP);
    await page.goto(server.base, { waitUntil: 'load' });
    await page.waitForFunction(() => /Running/.test(document.getElementById('status').textContent), { timeout: 30000 });
    assert.deepStrictEqual(await soundButton(page), { pressed: 'false', disabled: true, name: 'Sound' });
    await clickKeys(page, '1 2 +');
    await expectPaper(page, runnerPaper('1 2 +'), 'clicked without audio');
    assert.strictEqual(await page.$eval('#status', (s) => s.textContent), 'Running at 740 kHz.');
    assert.deepStrictEqual(errors, []);
    await page.close();
  });
}

(async () => {
  const server = await serve(site);
  const browser = await launch();
  try {
    const groups = { keys: keysGroup, screens: screensGroup, apps: appsGroup, sound: soundGroup };
    if (!groups[group]) throw new Error('no group ' + group);
    await groups[group](browser, server);
  } finally {
    await browser.close();
    await server.stop();
    fs.rmSync(work, { recursive: true, force: true });
  }
  process.exit(failures === 0 ? 0 : 1);
})().catch((e) => {
  console.log('FAIL ' + (e.stack || e));
  process.exit(1);
});
