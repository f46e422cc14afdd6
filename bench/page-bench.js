// Prints how fast the page works through the page relay:
// - calls per second from the page: loops of cheap commands through window.external.JsonCommand,
//   each call a round trip through the relay to the command engine and back;
// - files per second for reading a selection of 2,000 small files into the property panel;
// - how the page copes with a long list: the time to take [count] (default 20,000) dropped paths,
//   to sort them, and to render one scroll position.
// One command runs it, from the repository's root:
//   node bench/page-bench.js [count]
// It starts its own page relay over build/bin/varenko-cmd.exe under Wine, as the browser tests do
// (VARENKO_CMD picks another engine, WINEPREFIX the Wine prefix), or uses the relay at
// VARENKO_PAGE_URL when that is set (scripts/browser-tests.sh prints it).
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawn } = require('child_process');
const { chromium } = require(path.join(__dirname, '..', 'tests', 'browser', 'node_modules', 'playwright-core'));

const ROOT = path.join(__dirname, '..');
const SELECTION = 2000;
const CALL_MS = 2000;

// A relay of the bench's own, started as scripts/lib.sh starts one; resolves to its page address.
function startRelay() {
  const exe = process.env.VARENKO_CMD || path.join(ROOT, 'build', 'bin', 'varenko-cmd.exe');
  const relay = spawn('python3', [path.join(ROOT, 'tools', 'page-relay.py'), '0', '--exe', exe], { stdio: ['ignore', 'pipe', 'inherit'] });
  const url = new Promise((resolve, reject) => {
    let out = '';
    relay.stdout.on('data', (chunk) => {
      out += chunk;
      const found = /^Varenko page at (\S+)/m.exec(out);
      if (found) resolve(found[1]);
    });
    relay.on('exit', (code) => reject(new Error(`the page relay ended with ${code}`)));
  });
  return { relay, url };
}

// Calls of one request in a loop for a while, from inside the page.
async function callsPerSecond(page, request) {
  return page.evaluate(([text, ms]) => {
    const start = performance.now();
    let calls = 0;
    let now = start;
    while (now - start < ms) {
      window.external.JsonCommand(text);
      calls++;
      now = performance.now();
    }
    return (calls * 1000) / (now - start);
  }, [JSON.stringify(request), CALL_MS]);
}

// The time from Ctrl+A until the panel shows what 2,000 selected files share, and how much of it
// the page spent waiting for its commands.
async function selectionSeconds(browser, url) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varenko-bench-'));
  try {
    const names = [];
    for (let i = 0; i < SELECTION; i++) {
      const file = path.join(dir, `file ${String(i).padStart(4, '0')}.txt`);
      fs.writeFileSync(file, `contents of file ${i}\n`);
      names.push('Z:' + file.replace(/\//g, '\\'));
    }
    const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
    const page = await context.newPage();
    await page.goto(url);
    await page.evaluate((list) => onAddFiles(JSON.stringify(list)), names);
    await page.locator(`#file-list .file-row[data-path=${JSON.stringify(names[0])}]`).click();
    await page.waitForFunction((first) => document.getElementById('selection-info').textContent === first, names[0]);
    await page.evaluate(() => {
      const call = window.external.JsonCommand;
      window.__commandMs = 0;
      window.external.JsonCommand = (text) => {
        const started = performance.now();
        try { return call(text); } finally { window.__commandMs += performance.now() - started; }
      };
    });
    const start = Date.now();
    await page.keyboard.press('Control+A');
    await page.waitForFunction((count) => document.getElementById('selection-info').textContent === count + ' files selected' &&
      !/\breading\b/.test(document.getElementById('props-panel').className), SELECTION, { polling: 10, timeout: 600000 });
    const seconds = (Date.now() - start) / 1000;
    const commandSeconds = (await page.evaluate(() => window.__commandMs)) / 1000;
    await context.close();
    return { seconds, commandSeconds };
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

(async () => {
  const count = Number(process.argv[2] || 20000);
  const own = process.env.VARENKO_PAGE_URL ? null : startRelay();
  // The relay closes its engine when it ends, whichever way the bench ends.
  if (own) process.on('exit', () => own.relay.kill());
  const url = own ? await own.url : process.env.VARENKO_PAGE_URL;
  const browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true });
  try {
    const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
    await page.goto(url);
    // The first calls start Wine and load the engine's libraries: not what is measured.
    await page.evaluate(() => { for (let i = 0; i < 20; i++) window.external.JsonCommand('{"cmd":"getappver"}'); });
    for (const request of [{ cmd: 'getappver' }, { cmd: 'getsetting', name: 'addfolder.subdir' }]) {
      const rate = await callsPerSecond(page, request);
      console.log(`calls from the page, "${request.cmd}": ${rate.toFixed(0)} per second (${(1000 / rate).toFixed(2)} ms a call)`);
    }

    const { seconds, commandSeconds } = await selectionSeconds(browser, url);
    console.log(`read a selection of ${SELECTION} files: ${seconds.toFixed(2)} s, ${(SELECTION / seconds).toFixed(0)} files per second ` +
      `(${commandSeconds.toFixed(2)} s of it waiting for commands)`);

    const figures = await page.evaluate((count) => {
      const paths = [];
      for (let i = 0; i < count; i++) paths.push('Z:\\nowhere\\folder ' + (i % 97) + '\\file ' + i + '.jpg');
      const text = JSON.stringify(paths);
      let start = performance.now();
      onAddFiles(text);
      const add = performance.now() - start;
      const list = document.getElementById('file-list');
      start = performance.now();
      for (let i = 0; i < 50; i++) { list.scrollTop = i * 4000; list.dispatchEvent(new Event('scroll')); }
      const scroll = (performance.now() - start) / 50;
      start = performance.now();
      document.querySelector('#list-header [data-sort="name"]').click();
      const sort = performance.now() - start;
      return { add, scroll, sort, rows: document.querySelectorAll('#file-list .file-row').length };
    }, count);
    console.log(`entries: ${count}`);
    console.log(`add dropped paths: ${figures.add.toFixed(1)} ms`);
    console.log(`sort by name: ${figures.sort.toFixed(1)} ms`);
    console.log(`render one scroll position: ${figures.scroll.toFixed(2)} ms (${figures.rows} rows in the document)`);
  } finally {
    await browser.close();
  }
})().then(() => process.exit(0), (e) => { console.error(e); process.exit(1); });
