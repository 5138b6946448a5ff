// Plays the web build in headless chromium and prints its figures beside the
// budgets: first frame after the click with the data cached, run_frame (less
// the canvas upload, which is given apart) against the native runner on the
// same plain renderer, the whole animation-frame callback at the 99th
// percentile, and wasm memory plus JS heap. A report, not a test: timings
// depend on the machine and on what else it runs.
// usage: node web_budget.js DIST_DIR NATIVE_STATS_FILE   (CHROMIUM = the browser)
'use strict';
const { chromium } = require('playwright-core');
const fs = require('fs');
const http = require('http');
const path = require('path');

const [dist, nativeStatsFile] = process.argv.slice(2);
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

async function startGame(page, url) {
  await page.goto(url);
  await page.waitForFunction(() => !document.getElementById('start').hidden, null, { timeout: 30000 });
  await page.click('#play');
  await page.waitForFunction(() => Module.vantrelStats().firstFrameMs, null, { timeout: 30000, polling: 20 });
  return page.evaluate(() => Module.vantrelStats().firstFrameMs);
}

async function main() {
  const native = {};
  for (const row of fs.readFileSync(nativeStatsFile, 'utf8').split('\n')) {
    const [key, value] = row.split(' ');
    if (key) native[key] = +value;
  }
  const server = await serve();
  const url = `http://127.0.0.1:${server.address().port}/`;
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run',
           '--enable-precise-memory-info'],
  });
  const page = await (await browser.newContext({ viewport: { width: 1000, height: 750 } })).newPage();
  await startGame(page, url);  // fills the cache
  const firstFrame = await startGame(page, url);
  await page.waitForTimeout(1000);
  const from = await page.evaluate(() => Module.vantrelStats().run.length);
  await page.keyboard.press('Space');
  await page.keyboard.down('ArrowRight');
  await page.waitForTimeout(PLAY_MS);
  await page.keyboard.up('ArrowRight');
  const s = await page.evaluate(() => Module.vantrelStats());
  const heap = await page.evaluate(() => performance.memory ? performance.memory.usedJSHeapSize : 0);
  await browser.close();
  server.close();

  const run = s.run.slice(from), upload = s.upload.slice(from), callback = s.callback.slice(from);
  const game = run.map((r, i) => r - upload[i]);
  const ratioMean = mean(game) / native.run_frame_mean_ms;
  const ratioP99 = percentile(game, 0.99) / native.run_frame_p99_ms;
  const memory = (s.wasmBytes + heap) / 1048576;
  console.log(`frames measured: ${run.length} in the browser (title, then room 1 holding Right), ` +
              `${native.frames} native (the committed route's start)`);
  line('first frame after the click', `${firstFrame.toFixed(0)} ms`, '1000 ms', firstFrame <= 1000);
  line('run_frame mean, web / native', `${mean(game).toFixed(2)} / ${native.run_frame_mean_ms.toFixed(2)} ms`,
       '2x', ratioMean <= 2);
  line('run_frame p99, web / native', `${percentile(game, 0.99).toFixed(2)} / ${native.run_frame_p99_ms.toFixed(2)} ms`,
       '2x', ratioP99 <= 2);
  line('canvas upload mean / p99', `${mean(upload).toFixed(2)} / ${percentile(upload, 0.99).toFixed(2)} ms`, '-', true);
  line('animation-frame callback p99', `${percentile(callback, 0.99).toFixed(2)} ms`, '8 ms',
       percentile(callback, 0.99) <= 8);
  line('wasm memory + JS heap', `${memory.toFixed(1)} MB`, '64 MB', memory <= 64);
  console.log(`  (wasm ${(s.wasmBytes / 1048576).toFixed(1)} MB, JS heap ${(heap / 1048576).toFixed(1)} MB)`);
}

main().catch((e) => { console.error(e && e.stack || e); process.exit(1); });
