// The Document tab in headless Chromium against the real command engine: compound files made by
// other tools are shown with their summary and document summary properties, edited and saved, and
// each save is checked with olefile, which must find exactly the edited properties changed.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { skip, SAVE_TIMEOUT, useBrowser, winPath, openPage, tempFolder } = require('./support/page');

const root = path.resolve(__dirname, '..', '..');

// The types the native side can write from a text; any other it leaves as the file holds it.
const WRITABLE_TYPES = ['VT_LPSTR', 'VT_LPWSTR', 'VT_I4', 'VT_UI4', 'VT_UI8', 'VT_R8', 'VT_BOOL', 'VT_FILETIME'];
const SETS = {
  '{F29F85E0-4FF9-1068-AB91-08002B27B3D9}': 'Summary',
  '{D5CDD502-2E9C-101B-9397-08002B2CF9AE}': 'DocSummary',
};

useBrowser();

// Copies doc fixtures (and plain files) into a new folder: copy name -> fixture name, or
// { text } for a file of that text.
function makeFolder(t, files) {
  const dir = tempFolder(t, 'doc');
  const paths = {};
  for (const [name, source] of Object.entries(files)) {
    paths[name] = path.join(dir, name);
    if (typeof source === 'string') fs.copyFileSync(path.join(root, 'tests', 'data', 'doc', source), paths[name]);
    else fs.writeFileSync(paths[name], source.text);
  }
  return paths;
}

// olefile's reading of a file's property sets; null when olefile is not installed. Debian's module
// lives with Debian's interpreter, which another python3 on PATH may hide. olefile keeps the
// terminating zero of wide strings, which is no part of their text.
function oleDump(file) {
  const python = fs.existsSync('/usr/bin/python3') ? '/usr/bin/python3' : 'python3';
  const run = spawnSync(python, [path.join(root, 'tests', 'readers', 'olefile_dump.py'), file], { encoding: 'utf8' });
  if (run.status === 127 || run.error) return null;
  assert.equal(run.status, 0, run.stderr);
  return JSON.parse(run.stdout, (key, value) => (typeof value === 'string' ? value.replace(/\0+$/, '') : value));
}

const rowSelector = (winName) => `#file-list .file-row[data-path=${JSON.stringify(winName)}]`;

// Adds one file, selects it and opens the Document tab once the panel shows the file.
async function showDocument(page, file) {
  await page.evaluate((names) => onAddFiles(JSON.stringify(names)), [winPath(file)]);
  await page.locator(rowSelector(winPath(file))).click();
  await page.waitForFunction((want) => document.getElementById('selection-info').textContent === want, winPath(file));
  await page.click('#tabs .tab[data-cat="doc"]');
}

// The Document page's fields: label -> { key, value, readOnly }.
async function docFields(page) {
  return page.$$eval('#props-body .page[data-page="doc"] .field', (fields) => {
    const out = {};
    for (const field of fields) {
      const input = field.querySelector('input.prop');
      if (!input) continue;
      const label = field.querySelector('label');
      out[label.textContent] = { key: label.title, value: input.value, readOnly: input.readOnly };
    }
    return out;
  });
}

const docField = (key) => `#props-body .page[data-page="doc"] .field:has(> label[title=${JSON.stringify(key)}]) > input.prop`;

async function editField(page, key, text) {
  await page.fill(docField(key), text);
  await page.press(docField(key), 'Tab');
}

async function save(page) {
  await page.click('#save');
  await page.waitForFunction(() => /Saved/.test(document.getElementById('status').textContent), null, { timeout: SAVE_TIMEOUT });
  return page.$$eval('#failures .failure', (items) => items.map((item) => ({
    path: item.querySelector('.failure-path').textContent,
    error: item.querySelector('.failure-error').textContent,
  })));
}

function setpropsSince(commands, sent) {
  return commands.slice(sent).filter((c) => String(c.cmd).toLowerCase() === 'setprops');
}

test('the document catalogue names both sets and offers to write only types the engine writes', { skip }, async (t) => {
  const paths = makeFolder(t, { 'notes.txt': { text: 'notes\n' } });
  const { page, commands } = await openPage(t);
  await showDocument(page, paths['notes.txt']);
  const sent = commands.find((c) => String(c.cmd).toLowerCase() === 'initproplist' && c.cat === 'doc');
  assert.ok(sent, 'the doc list was sent');
  const list = JSON.parse(sent.props);
  const keys = Object.keys(list);
  assert.ok(keys.length > 0);
  const seen = new Set();
  for (const key of keys) {
    const entry = list[key];
    assert.ok(SETS[entry.fmtid], `${key}: a known set`);
    assert.equal(entry.fmtname, SETS[entry.fmtid], `${key}: its set's name`);
    assert.match(String(entry.id), /^\d+$/, `${key}: a property number`);
    const id = `${entry.fmtid}/${entry.id}`;
    assert.ok(!seen.has(id), `${key}: one entry per property`);
    seen.add(id);
    if (!entry.readonly) assert.ok(WRITABLE_TYPES.includes(entry.type), `${key}: ${entry.type} is written from text`);
  }
  // The editing time is read as a duration and taken back as one only under this key.
  assert.equal(list.EditTime.id, 10);
});

test('a document\'s properties are shown with their labels and read-only marks as olefile reads them', { skip }, async (t) => {
  const paths = makeFolder(t, { 'plan.doc': 'sets.doc' });
  const ole = oleDump(paths['plan.doc']);
  if (!ole) return t.skip('olefile is not installed');
  const { page } = await openPage(t);
  await showDocument(page, paths['plan.doc']);
  await page.locator(docField('Title')).waitFor();
  const summary = ole.SummaryInformation;
  const docSummary = ole.DocumentSummaryInformation;
  // The tests run with TZ=UTC0: local time is UTC.
  const printed = summary.last_printed.replace(/^(\d+)-(\d+)-(\d+)T(.*)Z$/, '$1:$2:$3 $4');
  assert.deepStrictEqual(await docFields(page), {
    'Title': { key: 'Title', value: summary.title, readOnly: false },
    'Author': { key: 'Author', value: summary.author, readOnly: false },
    'Last printed': { key: 'Last printed', value: printed, readOnly: false },
    'Words': { key: 'Words', value: String(summary.num_words), readOnly: true },
    'Category': { key: 'Category', value: docSummary.category, readOnly: false },
    'Lines': { key: 'Lines', value: String(docSummary.lines), readOnly: true },
    'Manager': { key: 'Manager', value: docSummary.manager, readOnly: false },
    'Company': { key: 'Company', value: docSummary.company, readOnly: false },
  });
});

test('edited and added document properties are saved and nothing else in the file changes', { skip }, async (t) => {
  const paths = makeFolder(t, { 'plan.doc': 'sets.doc' });
  const before = oleDump(paths['plan.doc']);
  if (!before) return t.skip('olefile is not installed');
  const { page, commands } = await openPage(t);
  await showDocument(page, paths['plan.doc']);
  await page.locator(docField('Title')).waitFor();

  await editField(page, 'Title', 'Budget Plan 2');
  await editField(page, 'Company', 'Another Ltd');
  await editField(page, 'Last printed', '2022:03:04 05:06:07');
  await page.selectOption('#props-body .page[data-page="doc"] select.add-property', 'Subject');
  await page.locator(docField('Subject')).waitFor();
  await editField(page, 'Subject', 'Money');
  const sent = commands.length;
  assert.deepEqual(await save(page), []);

  const writes = setpropsSince(commands, sent);
  assert.equal(writes.length, 1);
  assert.deepEqual(Object.keys(writes[0].props.doc).sort(), ['Company', 'Last printed', 'Subject', 'Title']);
  assert.deepEqual(writes[0].props.doc.Subject,
    { data: 'Money', fmtid: '{F29F85E0-4FF9-1068-AB91-08002B27B3D9}', id: '3', type: 'VT_LPSTR' });

  const after = oleDump(paths['plan.doc']);
  const expected = JSON.parse(JSON.stringify(before));
  Object.assign(expected.SummaryInformation, { title: 'Budget Plan 2', subject: 'Money', last_printed: '2022-03-04T05:06:07Z' });
  expected.DocumentSummaryInformation.company = 'Another Ltd';
  assert.deepStrictEqual(after, expected);
  // The page reads the file again and shows what is on it now.
  await page.waitForFunction((sel) => {
    const input = document.querySelector(sel);
    return input && input.value === 'Budget Plan 2' && !input.classList.contains('edited');
  }, docField('Title'));
});

test('a file without property sets reports why the document properties were not saved', { skip }, async (t) => {
  const paths = makeFolder(t, { 'notes.txt': { text: 'notes\n' } });
  const { page } = await openPage(t);
  await showDocument(page, paths['notes.txt']);
  await page.selectOption('#props-body .page[data-page="doc"] select.add-property', 'Title');
  await page.locator(docField('Title')).waitFor();
  await editField(page, 'Title', 'Notes');
  const reported = await save(page);
  assert.equal(reported.length, 1, JSON.stringify(reported));
  assert.equal(reported[0].path, winPath(paths['notes.txt']));
  assert.match(reported[0].error, /^set file summary property failed, hr=0x8[0-9A-F]{7}$/);
  assert.equal(fs.readFileSync(paths['notes.txt'], 'utf8'), 'notes\n');
});
