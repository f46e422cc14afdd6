// Prints how the page copes with a long list: the time to take 20,000 dropped paths, to select
// them all, and to scroll through the list. Needs the page relay (see scripts/browser-tests.sh):
//   VARENKO_PAGE_URL=http://127.0.0.1:PORT/varenko/UI node bench/page-bench.js [count]
'use strict';
const path = require('path');
const { chromium } = require(path.join(__dirname, '..', 'tests', 'browser', 'node_modules', 'playwright-core'));

(async () => {
  const url = process.env.VARENKO_PAGE_URL;
  if (!url) throw new Error('VARENKO_PAGE_URL is not set');
  const count = Number(process.argv[2] || 20000);
  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true });
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  await page.goto(url);
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
  await browser.close();
})().catch((e) => { console.error(e); process.exit(1); });
