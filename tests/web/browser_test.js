// The page in Debian's chromium, driven by playwright-core: it loads without
// a console error, a click starts the title on moving noise, holding Right
// walks the avatar, the sound runs and is suspended in a hidden tab, Esc twice
// ends at the page that offers to play again, and a missing or truncated
// packed.dat shows the game's message. On a small archive of two rooms: a
// room change is continued after a reload, and walking out of the last room
// ends the game, erases the save and closes the sound.
// usage: node browser_test.js DIST_DIR WORK_DIR [SMALL_ARCHIVE]   (CHROMIUM = the browser)
'use strict';
const { chromium } = require('playwright-core');
const fs = require('fs');
const http = require('http');
const path = require('path');

const [dist, work, small] = process.argv.slice(2);
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
const failures = [];

function check(ok, what) {
  console.log((ok ? 'ok: ' : 'FAIL: ') + what);
  if (!ok) failures.push(what);
}

// dist/ as any static host serves it; `data` replaces packed.dat when set
// (null: missing).
function serve(state) {
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(req.url.split('?')[0]).replace(/^\/$/, '/index.html');
    const send = (err, bytes) => {
      if (err || !bytes) { res.writeHead(404); res.end(); return; }
      res.writeHead(200, { 'Content-Type': TYPES[path.extname(name)] || 'application/octet-stream',
                           'Content-Length': bytes.length });
      res.end(bytes);
    };
    if (name === '/packed.dat' && state.data !== undefined) send(null, state.data);
    else fs.readFile(path.join(dist, path.normalize(name)), send);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Polls fn in the page until it returns something truthy, up to ms.
async function until(page, fn, arg, ms) {
  try {
    return await (await page.waitForFunction(fn, arg, { timeout: ms, polling: 50 })).jsonValue();
  } catch (e) {
    return null;
  }
}

// Once 80 frames (past the fade-in) have run, polls the canvas (a sample of
// every 7th pixel) until it shows more than one colour and more than 100
// samples differ from the first read: the noise moves.
async function noiseMoves(page) {
  await until(page, () => Module.vantrelStats().callback.length >= 80, null, 10000);
  const read = () => {
    const c = document.getElementById('canvas');
    return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data.filter((_, i) => i % 28 === 0));
  };
  await page.evaluate(`window.canvasSample = ${read.toString()}; window.firstSample = canvasSample();`);
  return until(page, () => {
    const a = window.firstSample, b = window.canvasSample();
    const changed = a.filter((v, i) => v !== b[i]).length, colours = new Set(b).size;
    return colours > 1 && changed > 100 && { changed, colours };
  }, null, 10000);
}

async function main() {
  fs.mkdirSync(work, { recursive: true });
  const state = {};
  const server = await serve(state);
  const url = `http://127.0.0.1:${server.address().port}/`;
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  const context = await browser.newContext({ viewport: { width: 1000, height: 750 } });
  const page = await context.newPage();
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(e.message));

  const offered = () => until(page, () => !document.getElementById('start').hidden, null, 20000);
  const started = () => until(page, () => { const q = Module.vantrelQuery(); return q && Module.vantrelStats().firstFrameMs && q; }, null, 10000);
  const playing = () => until(page, () => { const q = Module.vantrelQuery(); return q.gameState === 0 && q; }, null, 5000);
  await page.goto(url);
  check(await offered(), 'the page offers to play');
  await page.click('#play');
  const title = await started();
  check(title && title.gameState === 1, 'a click starts the title screen');
  const noise = await noiseMoves(page);
  check(noise, `the title's noise moves (${JSON.stringify(noise)})`);
  await page.screenshot({ path: path.join(work, 'title.png') });

  await page.keyboard.press('Space');
  const play = await playing();
  check(play && play.room === 1, 'a key starts a new game in room 1');
  if (play) {
    await page.keyboard.down('ArrowRight');
    const moved = await until(page, (x) => Module.vantrelQuery().x > x + 40 && Module.vantrelQuery(), play.x, 5000);
    await page.keyboard.up('ArrowRight');
    check(moved, `holding Right walks the avatar (x ${play.x} -> ${moved && moved.x})`);
  }
  const sound = await until(page, () => { const a = Module.vantrelAudio(); return a.state === 'running' && a.loud > 0 && a; }, null, 5000);
  check(sound, `the AudioContext runs and plays sound (${JSON.stringify(sound)})`);
  // A hidden tab: the game is told it is inactive and the sound is suspended.
  const setVisibility = (state) => {
    Object.defineProperty(document, 'visibilityState', { value: state, configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
  };
  await page.evaluate(setVisibility, 'hidden');
  const hidden = await until(page, () => Module.vantrelQuery().inactive && Module.vantrelAudio().state === 'suspended', null, 5000);
  await page.evaluate(setVisibility, 'visible');
  const shown = await until(page, () => !Module.vantrelQuery().inactive && Module.vantrelAudio().state === 'running', null, 5000);
  check(hidden && shown, 'a hidden tab is inactive with its sound suspended, and comes back');

  await page.keyboard.press('Escape');  // play -> menu
  await until(page, () => Module.vantrelQuery().gameState !== 0, null, 5000);
  await page.keyboard.press('Escape');  // menu -> quit
  const end = await until(page, () => !document.getElementById('end').hidden && document.getElementById('end-text').textContent, null, 5000);
  check(end && /left the game/.test(end), `Esc in the menu ends at the page offering to play again (${end})`);
  check(errors.length === 0, `no console errors (${errors.join(' | ')})`);

  // On the two-room archive, with the developer keys (+cheat, F): fly right
  // over whatever stands in the room until cond holds.
  const flyRight = async (cond) => {
    await page.keyboard.press('KeyF');
    await page.keyboard.down('ArrowUp');
    await until(page, () => Module.vantrelQuery().y < 10, null, 5000);
    await page.keyboard.up('ArrowUp');
    await page.keyboard.down('ArrowRight');
    const got = await until(page, cond, null, 30000);
    await page.keyboard.up('ArrowRight');
    return got;
  };
  if (small) {
    state.data = fs.readFileSync(small);
    await page.goto(url + '?+cheat');
    await offered();
    await page.keyboard.press('Enter');
    const menu = await until(page, () => { const q = Module.vantrelQuery(); return q && q.gameState >= 1 && q; }, null, 10000);
    await page.keyboard.press('ArrowDown');  // the menu's "new game", when a save was already there
    await page.keyboard.press('Space');
    await playing();
    const room2 = await flyRight(() => Module.vantrelQuery().room === 2 && Module.vantrelQuery());
    check(room2, `the first room change (menu state ${menu && menu.gameState})`);
    const saved = await page.evaluate(() => localStorage.getItem('Orrinvale/qorvel/save'));
    check(/^[0-9a-f]{48}$/.test(saved || ''), `the save is 24 bytes in hex in localStorage (${saved})`);

    await page.reload();
    await offered();
    await page.click('#play');
    const offer = await started();
    check(offer && offer.gameState === 2, 'after a reload the menu offers "continue"');
    await page.keyboard.press('Space');
    const resumed = await playing();
    check(resumed && resumed.room === 2, `continuing restores room 2 (room ${resumed && resumed.room})`);

    const finished = await flyRight(() => !document.getElementById('end').hidden &&
                                          document.getElementById('end-text').textContent);
    check(finished && /last room/.test(finished), `walking out of the last room ends the game (${finished})`);
    await page.screenshot({ path: path.join(work, 'finished.png') });
    const erased = await page.evaluate(() => localStorage.getItem('Orrinvale/qorvel/save'));
    check(erased === '0'.repeat(48), `the end of the game erases the save (${erased})`);
    check(await until(page, () => Module.vantrelAudio().state === 'closed', null, 10000), 'the sound fades out and closes');
  }

  // Broken data: the game's own message on the page.
  const packed = fs.readFileSync(path.join(dist, 'packed.dat'));
  for (const [what, data] of [['missing', null], ['truncated', packed.subarray(0, packed.length >> 1)]]) {
    state.data = data;
    await page.goto(url);
    if (data) await offered().then(() => page.click('#play'));
    const text = await until(page, () => !document.getElementById('message').hidden &&
                                         document.getElementById('message-text').textContent, null, 10000);
    check(text === "Couldn't find data file", `a ${what} packed.dat shows "${text}"`);
  }
  await browser.close();
  server.close();
}

main().then(() => {
  console.log(failures.length ? `${failures.length} check(s) failed` : 'all checks passed');
  process.exit(failures.length ? 1 : 0);
}, (e) => {
  console.log('FAIL: ' + (e && e.stack || e));
  process.exit(1);
});
