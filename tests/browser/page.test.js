// The page in headless Chromium, its commands carried out by the real command engine through the
// page relay: files are made in a temporary folder, handed to the page as dropped files, shown,
// edited and saved, and the results checked on disk.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const {
  skip, MIXED, useBrowser, winPath, dateTimeText, utc, makeFolder, snapshot, assertOnlyChanged, openPage,
  rowSelector, addFiles, selectedPaths, selectOnly, selectAll, expectField, attributeBox, editField, save,
  failures, setpropsSince,
} = require('./support/page');

useBrowser();

test('window.external.JsonCommand reaches the engine and gives no value for a text that is not JSON', { skip }, async (t) => {
  const { page } = await openPage(t);
  const result = await page.evaluate(() => {
    const notJson = window.external.JsonCommand('not json');
    return { version: window.external.JsonCommand('{"cmd":"getappver"}'), notJson: typeof notJson };
  });
  assert.match(result.version, /^\d+\.\d+\.\d+\.\d+$/);
  assert.equal(result.notJson, 'undefined');
});

test('the page sends the four property lists as JSON texts before it reads any file', { skip }, async (t) => {
  const { dir, paths } = makeFolder(t, { 'one.txt': {} });
  const { page, commands } = await openPage(t);
  await addFiles(page, [paths['one.txt']]);
  await selectOnly(page, paths['one.txt']);
  await expectField(page, '#prop-modifytime', { value: '2015:06:07 08:09:10' });
  const firstRead = commands.findIndex((c) => String(c.cmd).toLowerCase() === 'getprops');
  assert.ok(firstRead >= 0, 'the page read the file');
  const lists = commands.slice(0, firstRead).filter((c) => String(c.cmd).toLowerCase() === 'initproplist');
  assert.deepEqual(lists.map((c) => c.cat).sort(), ['avi', 'doc', 'exif', 'media']);
  for (const list of lists) {
    assert.equal(typeof list.props, 'string', `the ${list.cat} list travels as text`);
    JSON.parse(list.props);
  }
  assert.ok(dir);
});

test('the file tab shows each file\'s times and attributes as they are on disk', { skip }, async (t) => {
  const atime = '2021:05:06 07:08:09';
  const { paths } = makeFolder(t, {
    'plain.txt': { mtime: '2020:01:02 03:04:05', atime },
    'locked.txt': { mtime: '2019:11:12 13:14:15', atime, mode: 0o444 },
    '.hidden.txt': { mtime: '2018:12:31 23:59:59', atime },
  });
  const { page } = await openPage(t);
  const all = Object.values(paths);
  await addFiles(page, all);

  for (const [name, file] of Object.entries(paths)) {
    await selectOnly(page, file);
    const stat = fs.statSync(file);
    await expectField(page, '#prop-modifytime', { value: dateTimeText(stat.mtime), mixed: false });
    // The access time as it was when the engine read the times, before it read the content.
    await expectField(page, '#prop-accesstime', { value: atime, mixed: false });
    // Linux keeps no creation time of its own: Wine makes one up, so the engine's word is the truth.
    const created = await page.evaluate((n) => JSON.parse(window.external.JsonCommand(
      JSON.stringify({ cmd: 'getprops', name: n, allprops: false }))).createtime, winPath(file));
    await expectField(page, '#prop-createtime', { value: created, mixed: false });
    await expectField(page, attributeBox('R'), { checked: (stat.mode & 0o222) === 0, indeterminate: false });
    await expectField(page, attributeBox('H'), { checked: name.startsWith('.'), indeterminate: false });
  }

  // Together: what they share is shown, what differs is marked.
  await selectAll(page, all);
  await expectField(page, '#prop-modifytime', { value: '', mixed: true, placeholder: MIXED });
  await expectField(page, '#prop-accesstime', { value: atime, mixed: false });
  await expectField(page, attributeBox('R'), { indeterminate: true });
  await expectField(page, attributeBox('H'), { indeterminate: true });
});

test('a new modified time is saved to every selected file and to nothing else', { skip }, async (t) => {
  const { dir, paths } = makeFolder(t, {
    'a.txt': { mtime: '2010:01:01 00:00:01', atime: '2011:01:01 00:00:00' },
    'b.txt': { mtime: '2012:02:02 10:20:30', atime: '2011:01:01 00:00:00' },
    'c.txt': { mtime: '2014:03:04 05:06:07', atime: '2011:01:01 00:00:00' },
    'sibling.txt': { mtime: '2013:01:01 00:00:00' },
  });
  const { page, commands } = await openPage(t);
  const chosen = [paths['a.txt'], paths['b.txt'], paths['c.txt']];
  await addFiles(page, chosen);
  await selectAll(page, chosen);
  await expectField(page, '#prop-modifytime', { mixed: true });
  const before = snapshot(dir);

  const newTime = '2019:02:03 04:05:06';
  await editField(page, '#prop-modifytime', newTime);
  const sent = commands.length;
  const { texts, final } = await save(page);

  assert.ok(texts.some((text) => /Saving \d of 3/.test(text)), `progress shown: ${JSON.stringify(texts)}`);
  assert.match(final, /Saved/);
  assert.deepEqual(await failures(page), []);
  const writes = commands.slice(sent).filter((c) => String(c.cmd).toLowerCase() === 'setprops');
  assert.deepEqual(writes.map((c) => [c.filename, c.cat]).sort(), chosen.map((p) => [winPath(p), 'datetime']).sort(),
    'one datetime write per selected file');
  const mtimeMs = utc(newTime).getTime();
  assertOnlyChanged(dir, before, { 'a.txt': { mtimeMs }, 'b.txt': { mtimeMs }, 'c.txt': { mtimeMs } });
  // The page shows what is now on disk.
  await expectField(page, '#prop-modifytime', { value: newTime, mixed: false });
});

test('checking read-only and saving makes the file read-only on disk', { skip }, async (t) => {
  const { dir, paths } = makeFolder(t, { 'r.txt': { mode: 0o644 }, 'other.txt': {} });
  const { page } = await openPage(t);
  await addFiles(page, [paths['r.txt'], paths['other.txt']]);
  await selectOnly(page, paths['r.txt']);
  await expectField(page, attributeBox('R'), { checked: false, indeterminate: false });
  const before = snapshot(dir);

  await page.locator(attributeBox('R')).check();
  const { final } = await save(page);

  assert.match(final, /Saved/);
  assert.deepEqual(await failures(page), []);
  const mode = fs.statSync(paths['r.txt']).mode;
  assert.equal(mode & 0o222, 0, `write permission bits cleared (mode ${mode.toString(8)})`);
  assertOnlyChanged(dir, before, { 'r.txt': { mode } });
  await expectField(page, attributeBox('R'), { checked: true, indeterminate: false });
});

test('a file deleted after it was added is reported while the others are saved', { skip }, async (t) => {
  const { dir, paths } = makeFolder(t, {
    'a.txt': { mtime: '2010:01:01 00:00:01' },
    'gone.txt': { mtime: '2011:01:01 00:00:01' },
    'c.txt': { mtime: '2012:01:01 00:00:01' },
  });
  const { page } = await openPage(t);
  const chosen = [paths['a.txt'], paths['gone.txt'], paths['c.txt']];
  await addFiles(page, chosen);
  await selectAll(page, chosen);
  await expectField(page, '#prop-modifytime', { mixed: true });
  fs.unlinkSync(paths['gone.txt']);
  const before = snapshot(dir);

  const newTime = '2020:01:31 13:45:00';
  await editField(page, '#prop-modifytime', newTime);
  const { final } = await save(page);

  assert.match(final, /Saved/);
  const reported = await failures(page);
  assert.equal(reported.length, 1, JSON.stringify(reported));
  assert.equal(reported[0].path, winPath(paths['gone.txt']));
  assert.match(reported[0].error, /file open failed, error: 2\b/);
  const mtimeMs = utc(newTime).getTime();
  assertOnlyChanged(dir, before, { 'a.txt': { mtimeMs }, 'c.txt': { mtimeMs } });
});

test('attributes of a file that could not be read are left alone and reported', { skip }, async (t) => {
  const { dir, paths } = makeFolder(t, { 'a.txt': { mode: 0o644 }, 'gone.txt': {} });
  const { page } = await openPage(t);
  const chosen = [paths['a.txt'], paths['gone.txt']];
  await addFiles(page, chosen);
  fs.unlinkSync(paths['gone.txt']);
  await selectAll(page, chosen);
  const before = snapshot(dir);

  await page.locator(attributeBox('R')).check();
  const { final } = await save(page);

  assert.match(final, /Saved/);
  const reported = await failures(page);
  assert.equal(reported.length, 1, JSON.stringify(reported));
  assert.equal(reported[0].path, winPath(paths['gone.txt']));
  assert.match(reported[0].error, /could not be read/);
  const mode = fs.statSync(paths['a.txt']).mode;
  assert.equal(mode & 0o222, 0, `write permission bits cleared (mode ${mode.toString(8)})`);
  assertOnlyChanged(dir, before, { 'a.txt': { mode } });
});

test('revert discards an edit without writing anything', { skip }, async (t) => {
  const { dir, paths } = makeFolder(t, { 'keep.txt': { mtime: '2016:04:05 06:07:08' } });
  const { page, commands } = await openPage(t);
  await addFiles(page, [paths['keep.txt']]);
  await selectOnly(page, paths['keep.txt']);
  await expectField(page, '#prop-modifytime', { value: '2016:04:05 06:07:08' });
  const before = snapshot(dir);

  await editField(page, '#prop-modifytime', '2001:01:01 01:01:01');
  const sent = commands.length;
  await page.click('#revert');

  await expectField(page, '#prop-modifytime', { value: '2016:04:05 06:07:08', mixed: false });
  assert.ok(!(await page.$eval('#prop-modifytime', (input) => input.classList.contains('edited'))), 'no longer edited');
  assert.deepEqual(commands.slice(sent).filter((c) => String(c.cmd).toLowerCase() === 'setprops'), []);
  assertOnlyChanged(dir, before, {});
});

const SUMMARY = '{F29F85E0-4FF9-1068-AB91-08002B27B3D9}';
const DOCSUMMARY = '{D5CDD502-2E9C-101B-9397-08002B2CF9AE}';

// The state of every property field on the category pages: tab -> label -> state.
async function categoryFields(page) {
  return page.$$eval('#props-body .page[data-page]', (pages) => {
    const all = {};
    for (const box of pages) {
      const fields = {};
      for (const field of box.querySelectorAll('.field')) {
        const input = field.querySelector('input.prop');
        if (!input || input.classList.contains('time')) continue;
        fields[field.querySelector('label').textContent] =
          { value: input.value, mixed: input.classList.contains('mixed'), readOnly: input.readOnly };
      }
      if (Object.keys(fields).length > 0) all[box.getAttribute('data-page')] = fields;
    }
    return all;
  });
}

// A category's field by its property key, which its label carries as the title.
const categoryField = (tab, key) => `#props-body .page[data-page="${tab}"] .field:has(> label[title=${JSON.stringify(key)}]) > input.prop`;

// Waits until the panel shows the given selection ("N files selected", or the one file's path).
async function panelShows(page, text) {
  await page.waitForFunction((want) => document.getElementById('selection-info').textContent === want, text);
}

test('the tabs are the categories in order, and each offers and sends its own properties', { skip }, async (t) => {
  const cases = [
    { tab: 'doc', file: 'notes.txt', key: 'Title', label: 'Title', offers: ['Title', 'Company'], withholds: ['Pages', 'Template'],
      item: { fmtid: SUMMARY, id: '2', type: 'VT_LPSTR' } },
    { tab: 'doc', file: 'letter.txt', key: 'Company', label: 'Company', offers: ['Manager'], withholds: ['Total editing time'],
      item: { fmtid: DOCSUMMARY, id: '15', type: 'VT_LPSTR' } },
    { tab: 'exif', file: 'photo.jpg', key: '0x013B', label: 'Artist', offers: ['0x010E', '0x9003'], withholds: ['0x829A', '0xA002'],
      item: { type: 'ASCII' } },
    // MP3 files take frame identifiers; every other kind takes property-map names.
    { tab: 'media', file: 'song.mp3', key: 'TIT2', label: 'Title', offers: ['TPE1', 'COMM'], withholds: ['TITLE'], item: {} },
    { tab: 'media', file: 'clip.ogg', key: 'TITLE', label: 'Title', offers: ['ARTIST'], withholds: ['TIT2'], item: {} },
    { tab: 'avi', file: 'movie.avi', key: 'ICMT', label: 'Comments', offers: ['INAM', 'ITCH'], withholds: [], item: {} },
  ];
  const folder = {};
  for (const c of cases) folder[c.file] = {};
  const { paths } = makeFolder(t, folder);

  const { page: first } = await openPage(t);
  const tabs = await first.$$eval('#tabs .tab', (items) => items.map((tab) => [tab.getAttribute('data-cat'), tab.textContent]));
  assert.deepStrictEqual(tabs, [['file', 'File'], ['doc', 'Document'], ['exif', 'EXIF'], ['media', 'Media'], ['avi', 'AVI']]);

  for (const c of cases) {
    const what = `${c.tab} ${c.key} on ${c.file}`;
    const { page, commands } = await openPage(t);
    await addFiles(page, [paths[c.file]]);
    await selectOnly(page, paths[c.file]);
    await panelShows(page, winPath(paths[c.file]));
    await page.click(`#tabs .tab[data-cat="${c.tab}"]`);
    const adder = `#props-body .page[data-page="${c.tab}"] select.add-property`;
    await page.locator(adder).waitFor();
    const offered = await page.$$eval(`${adder} option`, (options) => options.map((option) => option.value));
    for (const key of c.offers) assert.ok(offered.includes(key), `${what}: ${key} offered in ${JSON.stringify(offered)}`);
    for (const key of c.withholds) assert.ok(!offered.includes(key), `${what}: ${key} not offered`);

    await page.selectOption(adder, c.key);
    const field = categoryField(c.tab, c.key);
    await page.locator(field).waitFor();
    assert.equal(await page.textContent(`label[for="${await page.getAttribute(field, 'id')}"]`), c.label, what);
    const value = `value of ${c.key}`;
    await editField(page, field, value);
    const sent = commands.length;
    await save(page);

    const expected = { cmd: 'setprops', filename: winPath(paths[c.file]), cat: c.tab, props: {} };
    expected.props[c.tab] = { [c.key]: Object.assign({ data: value }, c.item) };
    assert.deepStrictEqual(setpropsSince(commands, sent), [expected], what);
  }
});

test('what the engine reports in each category is shown, shared or marked, and saved back whole where it must be', { skip }, async (t) => {
  const entry = (fields, data) => Object.assign({}, fields, { data });
  const title = { id: 2, fmtid: SUMMARY, fmtname: 'Summary', type: 'VT_LPSTR' };
  const pages = { id: 14, fmtid: SUMMARY, fmtname: 'Summary', type: 'VT_I4', readonly: true };
  const maker = { name: 'Camera maker', type: 'ASCII' };
  const reported = {
    'a.txt': {
      doc: { Title: entry(title, 'Plan'), Pages: entry(pages, 12) },
      exif: { '0x010F': entry(maker, 'Acme') },
      media: { TITLE: entry({ name: 'Title', type: 'String', route: 'map' }, 'Song') },
      avi: { INAM: entry({ name: 'Title' }, 'Clip'), IART: entry({ name: 'Artist' }, 'Someone') },
    },
    'b.txt': {
      doc: { Title: entry(title, 'Plan') },
      exif: { '0x010F': entry(maker, 'Other') },
      media: {},
      avi: { INAM: entry({ name: 'Title' }, 'Clip') },
    },
  };
  const { paths } = makeFolder(t, { 'a.txt': {}, 'b.txt': {} });
  const { page, commands } = await openPage(t);
  // Text files hold none of these: the engine's answers get the members above added on the way to
  // the page, as if the files did.
  await page.route('**/varenko/command', async (route) => {
    const request = JSON.parse(route.request().postData());
    const response = await route.fetch();
    if (String(request.cmd).toLowerCase() !== 'getprops' || !request.allprops) return route.fulfill({ response });
    const line = await response.json();
    const answer = JSON.parse(line.answer);
    Object.assign(answer, reported[request.name.replace(/^.*\\/, '')]);
    line.answer = JSON.stringify(answer);
    return route.fulfill({ response, body: JSON.stringify(line) });
  });
  const chosen = [paths['a.txt'], paths['b.txt']];
  await addFiles(page, chosen);

  await selectOnly(page, paths['a.txt']);
  await panelShows(page, winPath(paths['a.txt']));
  assert.deepStrictEqual(await categoryFields(page), {
    doc: { Title: { value: 'Plan', mixed: false, readOnly: false }, Pages: { value: '12', mixed: false, readOnly: true } },
    exif: { 'Camera maker': { value: 'Acme', mixed: false, readOnly: false } },
    media: { Title: { value: 'Song', mixed: false, readOnly: false } },
    avi: { Title: { value: 'Clip', mixed: false, readOnly: false }, Artist: { value: 'Someone', mixed: false, readOnly: false } },
  });

  await selectAll(page, chosen);
  await panelShows(page, '2 files selected');
  // A property some files lack differs from the files that have it.
  assert.deepStrictEqual(await categoryFields(page), {
    doc: { Title: { value: 'Plan', mixed: false, readOnly: false }, Pages: { value: '', mixed: true, readOnly: true } },
    exif: { 'Camera maker': { value: '', mixed: true, readOnly: false } },
    media: { Title: { value: '', mixed: true, readOnly: false } },
    avi: { Title: { value: 'Clip', mixed: false, readOnly: false }, Artist: { value: '', mixed: true, readOnly: false } },
  });

  await page.click('#tabs .tab[data-cat="doc"]');
  await editField(page, categoryField('doc', 'Title'), 'New plan');
  await page.click('#tabs .tab[data-cat="avi"]');
  await editField(page, categoryField('avi', 'INAM'), 'New clip');
  const sent = commands.length;
  await save(page);

  const doc = { Title: { data: 'New plan', fmtid: SUMMARY, id: '2', type: 'VT_LPSTR' } };
  const writes = setpropsSince(commands, sent).map((c) => [c.filename, c.cat, c.props]);
  assert.deepStrictEqual(writes, [
    [winPath(paths['a.txt']), 'doc', { doc }],
    // The INFO list is written whole: the items that were not edited go along as they were.
    [winPath(paths['a.txt']), 'avi', { avi: { INAM: { data: 'New clip' }, IART: { data: 'Someone' } } }],
    [winPath(paths['b.txt']), 'doc', { doc }],
    [winPath(paths['b.txt']), 'avi', { avi: { INAM: { data: 'New clip' } } }],
  ]);
});

test('an input event that leaves a field as it was marks nothing edited', { skip }, async (t) => {
  // The Windows browser control sends "input" when a placeholder is set, and when a field that
  // has one gains or loses the focus.
  const { paths } = makeFolder(t, {
    'a.txt': { mtime: '2010:01:01 00:00:01', atime: '2011:01:01 00:00:00' },
    'b.txt': { mtime: '2012:02:02 10:20:30', atime: '2011:01:01 00:00:00' },
  });
  const { page } = await openPage(t);
  const chosen = Object.values(paths);
  await addFiles(page, chosen);
  await selectAll(page, chosen);
  await expectField(page, '#prop-modifytime', { value: '', mixed: true, placeholder: MIXED });
  await expectField(page, '#prop-accesstime', { value: '2011:01:01 00:00:00', mixed: false });

  for (const selector of ['#prop-modifytime', '#prop-accesstime', '#prop-createtime']) {
    await page.focus(selector);
    await page.$eval(selector, (input) => {
      input.dispatchEvent(new Event('input', { bubbles: true }));
      input.blur();
      input.dispatchEvent(new Event('input', { bubbles: true }));
    });
  }
  assert.deepStrictEqual(await page.$$eval('#props-body .edited', (items) => items.map((item) => item.id)), []);
  assert.deepStrictEqual(await page.$$eval('#save, #revert', (buttons) => buttons.map((b) => b.disabled)), [true, true]);
  await expectField(page, '#prop-modifytime', { value: '', mixed: true, placeholder: MIXED });

  // A real change still counts.
  await editField(page, '#prop-modifytime', '2019:02:03 04:05:06');
  assert.deepStrictEqual(await page.$$eval('#save, #revert', (buttons) => buttons.map((b) => b.disabled)), [false, false]);
});
