// What the page's browser tests share: a headless Chromium, a page opened through the page relay
// with its commands recorded, folders of files made for a test, snapshots of them, and the steps a
// user takes (add files, select, edit a field, save) with waits for what the page shows.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { chromium } = require('playwright-core');

const pageUrl = process.env.VARENKO_PAGE_URL;
const skip = pageUrl ? false : 'needs the page relay: run scripts/browser-tests.sh';
const MIXED = '(different values)';
// Saving waits 100 ms per command inside the engine, and Wine is slow to start a file operation.
const SAVE_TIMEOUT = 60000;

// One headless Chromium per test file, started before its first test and closed after its last.
let browser;
function useBrowser() {
  test.before(async () => {
    if (skip) return;
    browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true });
  });
  test.after(async () => {
    if (browser) await browser.close();
  });
}

// Wine shows the Linux root as drive Z:.
function winPath(linuxPath) {
  return 'Z:' + linuxPath.replace(/\//g, '\\');
}

// The engine's date-time text; the tests run with TZ=UTC0, so local time is UTC.
function dateTimeText(date) {
  const two = (n) => String(n).padStart(2, '0');
  return `${date.getUTCFullYear()}:${two(date.getUTCMonth() + 1)}:${two(date.getUTCDate())} ` +
    `${two(date.getUTCHours())}:${two(date.getUTCMinutes())}:${two(date.getUTCSeconds())}`;
}

function utc(text) {
  const [y, mo, d, h, mi, s] = text.split(/[: ]/).map(Number);
  return new Date(Date.UTC(y, mo - 1, d, h, mi, s));
}

// A fresh folder for one test, removed with everything in it when the test ends.
function tempFolder(t, label) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), `varenko-${label}-`));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  return dir;
}

// Whether a reader the tests check files with runs here (`command args` ends well).
function hasTool(command, args) {
  try {
    execFileSync(command, args, { stdio: 'ignore' });
    return true;
  } catch (error) {
    return false;
  }
}

// Makes a folder of files: name -> { text, mtime, atime, mode }. Returns the folder and the paths.
function makeFolder(t, files) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varenko-page-'));
  t.after(() => {
    for (const name of fs.readdirSync(dir)) fs.chmodSync(path.join(dir, name), 0o644);
    fs.rmSync(dir, { recursive: true, force: true });
  });
  const paths = {};
  for (const [name, wanted] of Object.entries(files)) {
    const file = path.join(dir, name);
    fs.writeFileSync(file, wanted.text || `contents of ${name}\n`);
    const mtime = utc(wanted.mtime || '2015:06:07 08:09:10');
    fs.utimesSync(file, wanted.atime ? utc(wanted.atime) : mtime, mtime);
    if (wanted.mode !== undefined) fs.chmodSync(file, wanted.mode);
    paths[name] = file;
  }
  return { dir, paths };
}

// Reads a file without moving its access time, so that looking does not change what is checked.
function readUntouched(file) {
  const fd = fs.openSync(file, fs.constants.O_RDONLY | fs.constants.O_NOATIME);
  try {
    return fs.readFileSync(fd);
  } finally {
    fs.closeSync(fd);
  }
}

// Everything a save could change in a folder, file by file.
function snapshot(dir) {
  const state = {};
  for (const name of fs.readdirSync(dir).sort()) {
    const file = path.join(dir, name);
    const stat = fs.statSync(file);
    state[name] = { bytes: readUntouched(file).toString('base64'), mtimeMs: stat.mtimeMs, atimeMs: stat.atimeMs, mode: stat.mode };
  }
  return state;
}

// Compares a folder with its earlier snapshot, where `changed` gives, per file name, the members
// that were meant to change and their new values.
// The access time is compared only where a change to it is expected: the engine reads a file's
// content to show its properties, and reading moves the access time (Linux's relatime, and NTFS
// where last-access updates are on), whatever a save did.
function assertOnlyChanged(dir, before, changed) {
  const after = snapshot(dir);
  assert.deepEqual(Object.keys(after), Object.keys(before).filter((name) => !(changed[name] && changed[name].gone)),
    'the files in the folder');
  for (const name of Object.keys(after)) {
    const expected = Object.assign({}, before[name], changed[name] || {});
    const found = Object.assign({}, after[name]);
    if (!(changed[name] && 'atimeMs' in changed[name])) {
      delete expected.atimeMs;
      delete found.atimeMs;
    }
    assert.deepEqual(found, expected, name);
  }
}

async function openPage(t) {
  const context = await browser.newContext();
  t.after(() => context.close());
  const page = await context.newPage();
  const commands = [];
  const errors = [];
  page.on('request', (request) => {
    if (request.method() === 'POST' && new URL(request.url()).pathname === '/varenko/command') {
      let body = request.postData();
      try {
        body = JSON.parse(body);
      } catch (error) {
        // Not JSON: kept as the text it is.
      }
      commands.push(body);
    }
  });
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(pageUrl, { waitUntil: 'load' });
  t.after(() => assert.deepEqual(errors, [], 'script errors on the page'));
  return { page, commands };
}

function rowSelector(winName) {
  return `#file-list .file-row[data-path=${JSON.stringify(winName)}]`;
}

async function addFiles(page, linuxPaths) {
  const list = linuxPaths.map(winPath);
  await page.evaluate((names) => onAddFiles(JSON.stringify(names)), list);
  for (const name of list) await page.locator(rowSelector(name)).waitFor();
}

async function selectedPaths(page) {
  return page.$$eval('#file-list .file-row.selected', (rows) => rows.map((row) => row.getAttribute('data-path')).sort());
}

async function selectOnly(page, linuxPath) {
  await page.locator(rowSelector(winPath(linuxPath))).click();
  assert.deepEqual(await selectedPaths(page), [winPath(linuxPath)], 'a click selects that row alone');
}

async function selectAll(page, linuxPaths) {
  await page.locator(rowSelector(winPath(linuxPaths[0]))).click();
  await page.keyboard.press('Control+A');
  assert.deepEqual(await selectedPaths(page), linuxPaths.map(winPath).sort(), 'Ctrl+A selects every row');
}

// The state of a field once the page has shown the selection: waits for the expected state and
// reports the one there is when it never comes.
async function expectField(page, selector, expected) {
  const read = (sel) => {
    const input = document.querySelector(sel);
    if (!input) return null;
    const state = { value: input.value, mixed: input.classList.contains('mixed') };
    if (input.type === 'checkbox') return { checked: input.checked, indeterminate: input.indeterminate };
    if (state.mixed) state.placeholder = input.placeholder;
    return state;
  };
  const matches = (actual) => actual !== null && Object.keys(expected).every((key) => actual[key] === expected[key]);
  try {
    await page.waitForFunction(([sel, want, readText]) => {
      // eslint-disable-next-line no-new-func
      const actual = new Function('return ' + readText)()(sel);
      return actual !== null && Object.keys(want).every((key) => actual[key] === want[key]);
    }, [selector, expected, read.toString()], { timeout: 10000 });
  } catch (error) {
    if (!/Timeout/.test(String(error))) throw error;
  }
  const actual = await page.evaluate(([sel, readText]) => new Function('return ' + readText)()(sel), [selector, read.toString()]);
  if (!matches(actual)) assert.deepEqual(actual, expected, selector);
}

const attributeBox = (letter) => `#props-panel input.attr[data-letter="${letter}"]`;
// The field of a property by its tab and key.
const propField = (tab, key) => `#props-body .page[data-page="${tab}"] .field:has(> label[title=${JSON.stringify(key)}]) > input.prop`;

async function editField(page, selector, text) {
  await page.fill(selector, text);
  await page.press(selector, 'Tab');
  assert.ok(await page.$eval(selector, (input) => input.classList.contains('edited')), `${selector} is marked edited`);
}

// Clicks Save and waits for the summary; returns every text the status showed on the way.
async function save(page) {
  await page.evaluate(() => {
    const box = document.getElementById('status');
    window.__statusTexts = [];
    window.__statusObserver = new MutationObserver((records) => {
      for (const record of records) {
        if (record.type === 'characterData') window.__statusTexts.push(record.target.data);
        for (const node of record.addedNodes || []) window.__statusTexts.push(node.textContent);
      }
    });
    window.__statusObserver.observe(box, { childList: true, characterData: true, subtree: true });
  });
  await page.click('#save');
  try {
    await page.waitForFunction(() => /Saved/.test(document.getElementById('status').textContent), null, { timeout: SAVE_TIMEOUT });
  } catch (error) {
    assert.fail(`no "Saved" summary; the status shows "${await page.textContent('#status')}"`);
  }
  return page.evaluate(() => {
    window.__statusObserver.disconnect();
    return { texts: window.__statusTexts, final: document.getElementById('status').textContent };
  });
}

async function failures(page) {
  return page.$$eval('#failures .failure', (items) => items.map((item) => ({
    path: item.querySelector('.failure-path').textContent,
    error: item.querySelector('.failure-error').textContent,
  })));
}

// The "setprops" requests sent since the count `sent` of recorded commands.
function setpropsSince(commands, sent) {
  return commands.slice(sent).filter((c) => String(c.cmd).toLowerCase() === 'setprops');
}

module.exports = {
  pageUrl, skip, MIXED, SAVE_TIMEOUT,
  useBrowser, tempFolder, hasTool, winPath, dateTimeText, utc, makeFolder, readUntouched, snapshot, assertOnlyChanged,
  openPage, rowSelector, addFiles, selectedPaths, selectOnly, selectAll, expectField, attributeBox, propField,
  editField, save, failures, setpropsSince,
};
