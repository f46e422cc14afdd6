// The page with files the engine can only partly show: a time before 1970 has no date-time text,
// so the engine sends empty text for it, and the page must mark it as out of range, keep showing
// the file's other values, and never write that time back unless the user types a new one.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const { skip, SAVE_TIMEOUT, useBrowser, winPath, openPage, tempFolder } = require('./support/page');


useBrowser();

// The tests run with TZ=UTC0, so the engine's local time is UTC.
function utc(text) {
  const [y, mo, d, h, mi, s] = text.split(/[: ]/).map(Number);
  return new Date(Date.UTC(y, mo - 1, d, h, mi, s));
}

// A folder of files: name -> { mtime, atime } as date-time texts. Returns the paths by name.
function makeFolder(t, files) {
  const dir = tempFolder(t, 'hardening');
  const paths = {};
  for (const [name, times] of Object.entries(files)) {
    const file = path.join(dir, name);
    fs.writeFileSync(file, `contents of ${name}\n`);
    fs.utimesSync(file, utc(times.atime), utc(times.mtime));
    paths[name] = file;
  }
  return paths;
}

const row = (file) => `#file-list .file-row[data-path=${JSON.stringify(winPath(file))}]`;

async function select(page, files) {
  await page.locator(row(files[0])).click();
  for (const file of files.slice(1)) await page.locator(row(file)).click({ modifiers: ['Control'] });
  const want = files.length === 1 ? winPath(files[0]) : `${files.length} files selected`;
  await page.waitForFunction((text) => document.getElementById('selection-info').textContent.indexOf(text) === 0, want);
}

// A time field as the page shows it.
async function timeField(page, key) {
  return page.$eval(`#prop-${key}`, (input) => ({
    value: input.value,
    placeholder: input.placeholder,
    outOfRange: input.classList.contains('out-of-range'),
    mixed: input.classList.contains('mixed'),
  }));
}

async function expectTimeField(page, key, expected) {
  try {
    await page.waitForFunction(([k, want]) => {
      const input = document.getElementById(`prop-${k}`);
      return input.value === want.value && input.classList.contains('out-of-range') === want.outOfRange &&
        input.classList.contains('mixed') === want.mixed;
    }, [key, expected], { timeout: 10000 });
  } catch (error) {
    if (!/Timeout/.test(String(error))) throw error;
  }
  const actual = await timeField(page, key);
  for (const name of Object.keys(expected)) assert.deepEqual(actual[name], expected[name], `${key}: ${name}`);
}

async function save(page) {
  // The status may still show the last save's summary.
  await page.evaluate(() => { document.getElementById('status').textContent = ''; });
  await page.click('#save');
  await page.waitForFunction(() => /Saved/.test(document.getElementById('status').textContent), null, { timeout: SAVE_TIMEOUT });
}

const OUT_OF_RANGE = { value: '', outOfRange: true, mixed: false, placeholder: '(out of range)' };

test('a time before 1970 is shown as out of range and kept when other values are saved', { skip }, async (t) => {
  const atime = '2021:05:06 07:08:09';
  const paths = makeFolder(t, {
    'old.txt': { mtime: '1965:03:04 05:06:07', atime },
    'older.txt': { mtime: '1950:01:02 03:04:05', atime },
    'new.txt': { mtime: '2015:06:07 08:09:10', atime },
  });
  const { page, commands } = await openPage(t);
  const all = Object.values(paths);
  await page.evaluate((names) => onAddFiles(JSON.stringify(names)), all.map(winPath));
  for (const file of all) await page.locator(row(file)).waitFor();

  await select(page, [paths['old.txt']]);
  // The file's other values still arrive.
  assert.equal(await page.textContent('#selection-info'), winPath(paths['old.txt']), 'the file was read');
  await expectTimeField(page, 'modifytime', OUT_OF_RANGE);
  await expectTimeField(page, 'accesstime', { value: atime, outOfRange: false, mixed: false });

  // Two times out of range are alike; a time out of range and one in range differ.
  await select(page, [paths['old.txt'], paths['older.txt']]);
  await expectTimeField(page, 'modifytime', OUT_OF_RANGE);
  await select(page, [paths['old.txt'], paths['new.txt']]);
  await expectTimeField(page, 'modifytime', { value: '', outOfRange: false, mixed: true });

  // Saving another time leaves the one out of range as it is on disk.
  await select(page, [paths['old.txt'], paths['older.txt']]);
  const before = { old: fs.statSync(paths['old.txt']).mtimeMs, older: fs.statSync(paths['older.txt']).mtimeMs };
  const newAccess = '2022:02:03 04:05:06';
  await page.fill('#prop-accesstime', newAccess);
  await page.press('#prop-accesstime', 'Tab');
  const sent = commands.length;
  await save(page);
  const writes = commands.slice(sent).filter((c) => String(c.cmd).toLowerCase() === 'setprops');
  assert.equal(writes.length, 2, JSON.stringify(writes));
  for (const write of writes) {
    assert.equal(write.cat, 'datetime');
    assert.equal(write.props.modifytime, '', 'the time out of range is not sent');
    assert.equal(write.props.accesstime, newAccess);
  }
  assert.equal(fs.statSync(paths['old.txt']).mtimeMs, before.old);
  assert.equal(fs.statSync(paths['older.txt']).mtimeMs, before.older);
  await expectTimeField(page, 'modifytime', OUT_OF_RANGE);

  // A time the user types replaces it.
  await select(page, [paths['old.txt']]);
  const typed = '2019:02:03 04:05:06';
  await page.fill('#prop-modifytime', typed);
  await page.press('#prop-modifytime', 'Tab');
  await save(page);
  assert.equal(fs.statSync(paths['old.txt']).mtimeMs, utc(typed).getTime());
  assert.equal(fs.statSync(paths['older.txt']).mtimeMs, before.older);
  await expectTimeField(page, 'modifytime', { value: typed, outOfRange: false, mixed: false });
});
