// Plays the web build in headless chromium and prints its figures beside the
// budgets: first frame after the click with the data cached, run_frame (less
// the canvas upload, which is given apart) against the native runner on the
// plain renderer, the whole animation-frame callback at the 99th
// percentile, and wasm memory plus JS heap. Both sides measure the same
// session: every frame from the first, the title for a second, then a new
// game holding Right; the native runner gets the browser's keys at the
// frames where the game saw them and runs as many frames. A report, not a
// test: timings depend on the machine and on what else it runs.
// usage: node web_budget.js DIST_DIR NATIVE_RUNNER PACKED_DAT WORK_DIR   (CHROMIUM = the browser)
'use strict';
const { chromium } = require('playwright-core');
const childProcess = require('child_process');
const fs = require('fs');
const http = require('http');
const path = require('path');

const [dist, nativeRunner, packedDat, nativeWork] = process.argv.slice(2);
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
const PLAY_MS = 12000;

function serve() {
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(req.url.split('?')[0]).replace(/^\/$/, '/index.html');
    fs.readFile(path.join(dist, path.normalize(name)), (err, bytes) => {
      if (err) { res.writeHead(404); res.end(); return; }
      // Cacheable, as a static host would serve the hashed files.
      res.writeHead(200, { 'Content-Type': TYPES[path.extname(name)] || 'application/octet-stream',
                           'Content-Length': bytes.length, 'Cache-Control': 'max-age=3600' });
      res.end(bytes);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

const percentile = (values, p) => {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted.length ? sorted[Math.min(sorted.length - 1, Math.ceil(sorted.length * p) - 1)] : NaN;
};
const mean = (values) => values.reduce((a, b) => a + b, 0) / (values.length || 1);
const line = (name, value, budget, ok) =>
  console.log(`${name.padEnd(34)} ${value.padStart(12)}   budget ${budget.padEnd(14)} ${ok ? 'within' : 'OVER'}`);

// Loads the page and starts the game with the renderer's widest vector code
// capped at `level` (2: the best the browser runs; 0: the plain renderer).
async function startGame(page, url, level) {
  await page.goto(url);
  await page.waitForFunction(() => !document.getElementById('start').hidden, null, { timeout: 30000 });
  const inEffect = await page.evaluate((l) => Module._web_renderer_limit(l), level);
  await page.click('#play');
  await page.waitForFunction(() => Module.vantrelStats().firstFrameMs, null, { timeout: 30000, polling: 20 });
  return { firstFrame: await page.evaluate(() => Module.vantrelStats().firstFrameMs), level: inEffect };
}

// One session from the click: the title for a second, then a new game
// holding Right for PLAY_MS.
async function session(page, url, level) {
  const started = await startGame(page, url, level);
  await page.waitForTimeout(1000);
  // The keys go in between two animation frames, so the game sees them
  // before the frame with this index.
  const startFrame = await page.evaluate(() => Module.vantrelStats().run.length);
  await page.keyboard.press('Space');
  await page.keyboard.down('ArrowRight');
  await page.waitForTimeout(PLAY_MS);
  const s = await page.evaluate(() => Module.vantrelStats());
  const room = await page.evaluate(() => Module.vantrelQuery().room);
  await page.keyboard.up('ArrowRight');
  const heap = await page.evaluate(() => performance.memory ? performance.memory.usedJSHeapSize : 0);
  const game = s.run.map((r, i) => r - s.upload[i]);
  return { ...started, ...s, game, startFrame, room, heap };
}

// The native runner over the same frames, with the browser's keys at the
// frames where the game saw them; its --stats figures. Paced, it runs each
// frame at its real time as the browser does: a frame that follows an idle
// wait costs more than one run straight after another (colder caches, a
// processor clocked down), so only paced figures compare with the page's.
function runNative(frames, startFrame, pace) {
  fs.rmSync(nativeWork, { recursive: true, force: true });
  fs.mkdirSync(nativeWork, { recursive: true });
  fs.symlinkSync(packedDat, path.join(nativeWork, 'packed.dat'));
  const script = path.join(nativeWork, 'session.txt');
  fs.writeFileSync(script, `${startFrame} down SPACE\n${startFrame} up SPACE\n${startFrame} down RIGHT\n`);
  const run = childProcess.spawnSync(nativeRunner, ['--portable', '--stats', ...(pace ? ['--pace'] : []), '--frames', String(frames),
    '--save-dir', 'save', '--script', script, '--trace', 'trace.csv'], { cwd: nativeWork, encoding: 'utf8' });
  if (run.status !== 0 && run.status !== 3) throw new Error(`native runner exited with ${run.status}`);
  const native = {};
  for (const row of run.stdout.split('\n')) {
    const [key, value] = row.split(' ');
    if (key) native[key] = +value;
  }
  const trace = fs.readFileSync(path.join(nativeWork, 'trace.csv'), 'utf8').trim().split('\n');
  native.room = +trace[trace.length - 1].split(',')[2];
  return native;
}

async function main() {
  const server = await serve();
  const url = `http://127.0.0.1:${server.address().port}/`;
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run',
           '--enable-precise-memory-info'],
  });
  const page = await (await browser.newContext({ viewport: { width: 1000, height: 750 } })).newPage();
  await startGame(page, url, 2);  // fills the cache
  const best = await session(page, url, 2);
  const plain = await session(page, url, 0);
  await browser.close();
  server.close();

  const LEVELS = ['plain C++', '128-bit vectors'];
  for (const web of [plain, best]) {
    const native = runNative(web.run.length, web.startFrame, true);
    const unpaced = runNative(web.run.length, web.startFrame, false);
    console.log(`renderer in the browser: ${LEVELS[web.level] || web.level}; native: plain C++ (--portable), paced at the same 60 frames a second (--pace). ` +
                `Frames: ${web.run.length} in the browser, ${native.frames} native: the title, then from frame ` +
                `${web.startFrame} a new game holding Right (ends in room ${web.room} / ${native.room})`);
    line('  run_frame mean, web / native', `${mean(web.game).toFixed(2)} / ${native.run_frame_mean_ms.toFixed(2)} ms`,
         '2x', mean(web.game) / native.run_frame_mean_ms <= 2);
    line('  run_frame p99, web / native',
         `${percentile(web.game, 0.99).toFixed(2)} / ${native.run_frame_p99_ms.toFixed(2)} ms`, '2x',
         percentile(web.game, 0.99) / native.run_frame_p99_ms <= 2);
    console.log(`  (native frames run back to back, unpaced: mean ${unpaced.run_frame_mean_ms.toFixed(2)} ms, ` +
                `p99 ${unpaced.run_frame_p99_ms.toFixed(2)} ms)`);
  }
  const s = best;
  const memory = (s.wasmBytes + s.heap) / 1048576;
  console.log('the page as shipped (best renderer):');
  line('first frame after the click', `${s.firstFrame.toFixed(0)} ms`, '1000 ms', s.firstFrame <= 1000);
  line('canvas upload mean / p99', `${mean(s.upload).toFixed(2)} / ${percentile(s.upload, 0.99).toFixed(2)} ms`,
       '-', true);
  line('animation-frame callback p99', `${percentile(s.callback, 0.99).toFixed(2)} ms`, '8 ms',
       percentile(s.callback, 0.99) <= 8);
  line('wasm memory + JS heap', `${memory.toFixed(1)} MB`, '64 MB', memory <= 64);
  console.log(`  (wasm ${(s.wasmBytes / 1048576).toFixed(1)} MB, JS heap ${(s.heap / 1048576).toFixed(1)} MB)`);
}

main().catch((e) => { console.error(e && e.stack || e); process.exit(1); });
