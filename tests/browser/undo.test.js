// Undo and Redo of the last save, and the "Keep file times" setting. First the requests an undo
// sends for each kind of write, in node from the page's own files; then the page against the real
// command engine, every result checked on disk by a reader that is not ours: the file system,
// exiftool and mutagen.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const { execFileSync, spawnSync } = require('node:child_process');
const {
  skip, SAVE_TIMEOUT, useBrowser, winPath, utc, makeFolder, snapshot, assertOnlyChanged, openPage, rowSelector,
  addFiles, selectAll, expectField, attributeBox, propField, editField, save, failures, setpropsSince, tempFolder, hasTool,
} = require('./support/page');
const { loadPageFiles } = require('./support/node');

const root = path.resolve(__dirname, '..', '..');

// ---- the requests of an undo ------------------------------------------------------------------

// The page's namespace with its categories and the undo, loaded without a page: none of them
// touches the document until it is started.
function loadPage() {
  return loadPageFiles(['base.js', 'datetime.js', 'categories/file.js', 'categories/doc.js', 'categories/exif.js',
    'categories/media.js', 'categories/avi.js', 'undo.js']);
}
const V = loadPage();

// What the engine reports for a catalogue entry: a copy of it with its value.
function read(category, key, data) {
  const known = V.categories.find((c) => c.name === category).catalogue[key];
  return Object.assign(JSON.parse(JSON.stringify(known)), { data });
}
const docItem = (key, data) => {
  const known = read('doc', key, data);
  return { data, fmtid: known.fmtid, id: String(known.id), type: known.type };
};
const added = (what, how) => `${what} was added by the save and cannot be removed: ${how}`;
const EMPTIED = 'it is left empty';
const KEPT = 'it keeps the value the save gave it';

test('an undo writes back what each kind of write replaced, and says what it cannot remove', () => {
  const times = { createtime: '2014:01:02 03:04:05', modifytime: '2015:06:07 08:09:10', accesstime: '2016:01:01 00:00:00', attributes: 'A' };
  const cases = [
    {
      name: 'times and attributes: only the times the save set, attributes first so that a read-only file can be written',
      file: 'a.txt',
      answer: times,
      sent: [
        { cat: 'datetime', props: { createtime: '', modifytime: '2020:01:01 00:00:00', accesstime: '' } },
        { cat: 'attributes', props: { attributes: 'RA' } },
      ],
      requests: [
        { cat: 'attributes', props: { attributes: 'A' } },
        { cat: 'datetime', props: { createtime: '', modifytime: '2015:06:07 08:09:10', accesstime: '' } },
      ],
      reasons: [],
    },
    {
      name: 'a time that was out of range cannot be set back',
      file: 'a.txt',
      answer: Object.assign({}, times, { createtime: '' }),
      sent: [{ cat: 'datetime', props: { createtime: '2020:01:01 00:00:00', modifytime: '', accesstime: '' } }],
      requests: [],
      reasons: ['The Created time was out of range before the save, so it cannot be set back'],
    },
    {
      name: 'nor a time that could not be read',
      file: 'a.txt',
      answer: { failed: true },
      sent: [{ cat: 'datetime', props: { createtime: '', modifytime: '2020:01:01 00:00:00', accesstime: '' } }],
      requests: [],
      reasons: ['The Modified time could not be read before the save, so it cannot be set back'],
    },
    {
      name: 'document properties: the old value of a changed one; an added text emptied, an added date kept',
      file: 'a.doc',
      answer: Object.assign({}, times, { doc: { Title: read('doc', 'Title', 'Old title'), Author: read('doc', 'Author', 'Ann') } }),
      sent: [{ cat: 'doc', props: { doc: {
        Title: docItem('Title', 'New title'), Subject: docItem('Subject', 'Added'), 'Content created': docItem('Content created', '2020:01:01 00:00:00'),
      } } }],
      requests: [{ cat: 'doc', props: { doc: { Title: docItem('Title', 'Old title'), Subject: docItem('Subject', '') } } }],
      reasons: [added('The document property "Subject"', EMPTIED), added('The document property "Content created"', KEPT)],
    },
    {
      name: 'EXIF items: an added text item emptied, an added number kept',
      file: 'a.jpg',
      answer: Object.assign({}, times, { exif: { '0x013B': read('exif', '0x013B', 'Anna Example') } }),
      sent: [{ cat: 'exif', props: { exif: {
        '0x013B': { data: 'Someone', type: 'ASCII' }, '0x8298': { data: 'Studio', type: 'ASCII' }, '0x0006': { data: '12', type: 'Rational' },
      } } }],
      requests: [{ cat: 'exif', props: { exif: { '0x013B': { data: 'Anna Example', type: 'ASCII' }, '0x8298': { data: '', type: 'ASCII' } } } }],
      reasons: [added('The EXIF item "Copyright" (0x8298)', EMPTIED), added('The EXIF item "GPS altitude" (0x0006)', KEPT)],
    },
    {
      name: 'EXIF items: an added Windows text emptied like an ASCII one, an added rating kept',
      file: 'a.jpg',
      answer: Object.assign({}, times, { exif: {} }),
      sent: [{ cat: 'exif', props: { exif: {
        '0x9C9B': { data: 'Title', type: 'Unicode' }, '0x4746': { data: '4', type: 'Short' },
      } } }],
      requests: [{ cat: 'exif', props: { exif: { '0x9C9B': { data: '', type: 'Unicode' } } } }],
      reasons: [added('The EXIF item "Title" (0x9C9B)', EMPTIED), added('The EXIF item "Rating" (0x4746)', KEPT)],
    },
    {
      name: 'EXIF items: a write with nothing to write back is not sent, since one without members fails',
      file: 'a.jpg',
      answer: Object.assign({}, times, { exif: {} }),
      sent: [{ cat: 'exif', props: { exif: { '0x0006': { data: '12', type: 'Rational' } } } }],
      requests: [],
      reasons: [added('The EXIF item "GPS altitude" (0x0006)', KEPT)],
    },
    {
      name: 'MP3 frames: the old text of a changed frame; an added frame emptied',
      file: 'song.MP3',
      answer: Object.assign({}, times, { media: { TIT2: read('media', 'TIT2', 'Old'), TPE1: read('media', 'TPE1', 'Ann') } }),
      sent: [{ cat: 'media', props: { media: { TIT2: { data: 'New' }, TCOM: { data: 'Added' } } } }],
      requests: [{ cat: 'media', props: { media: { TIT2: { data: 'Old' }, TCOM: { data: '' } } } }],
      reasons: [added('The media tag "Composer" (TCOM)', EMPTIED)],
    },
    {
      name: 'tags of other media files: the whole set as it was read, without the tag the save added',
      file: 'clip.m4a',
      answer: Object.assign({}, times, { media: { TITLE: read('media', 'TITLE', 'Old'), BPM: { name: 'BPM', type: 'String', data: 120 } } }),
      sent: [{ cat: 'media', props: { media: { TITLE: { data: 'New' }, BPM: { data: '120' }, COMPOSER: { data: 'Added' } } } }],
      requests: [{ cat: 'media', props: { media: { TITLE: { data: 'Old' }, BPM: { data: '120' } } } }],
      reasons: [],
    },
    {
      name: 'tags of a media file that had none: the empty set, which removes what the save added',
      file: 'song.flac',
      answer: Object.assign({}, times, { media: {} }),
      sent: [{ cat: 'media', props: { media: { TITLE: { data: 'New' } } } }],
      requests: [{ cat: 'media', props: { media: {} } }],
      reasons: [],
    },
    {
      name: 'AVI items: the whole INFO list as it was read',
      file: 'movie.avi',
      answer: Object.assign({}, times, { avi: { INAM: read('avi', 'INAM', 'Movie') } }),
      sent: [{ cat: 'avi', props: { avi: { INAM: { data: 'Film' }, ICMT: { data: 'Added' } } } }],
      requests: [{ cat: 'avi', props: { avi: { INAM: { data: 'Movie' } } } }],
      reasons: [],
    },
    {
      name: 'several writes are undone last first',
      file: 'a.jpg',
      answer: Object.assign({}, times, { exif: { '0x013B': read('exif', '0x013B', 'Anna Example') } }),
      sent: [
        { cat: 'datetime', props: { createtime: '', modifytime: '2020:01:01 00:00:00', accesstime: '' } },
        { cat: 'exif', props: { exif: { '0x013B': { data: 'Someone', type: 'ASCII' } } } },
      ],
      requests: [
        { cat: 'exif', props: { exif: { '0x013B': { data: 'Anna Example', type: 'ASCII' } } } },
        { cat: 'datetime', props: { createtime: '', modifytime: '2015:06:07 08:09:10', accesstime: '' } },
      ],
      reasons: [],
    },
  ];
  for (const c of cases) {
    const undo = V.undo.undoRequests({ path: `C:\\files\\${c.file}` }, c.answer, c.sent);
    // The runner lists the file with each reason.
    const expected = c.requests.concat(c.reasons.map((reason) => ({ cat: 'undo', skipped: reason })));
    assert.deepStrictEqual(JSON.parse(JSON.stringify(undo)), { requests: expected, reasons: c.reasons }, c.name);
  }
});

// ---- in the page ------------------------------------------------------------------------------

useBrowser();

const python = fs.existsSync('/usr/bin/python3') ? '/usr/bin/python3' : 'python3';
const skipWithoutReaders = skip || (!hasTool('exiftool', ['-ver']) ? 'needs exiftool' :
  !hasTool(python, ['-c', 'import mutagen']) ? 'needs mutagen' : false);

// Copies of fixtures (name -> path under tests/data) in a folder that is removed after the test.
function copyFixtures(t, files) {
  const dir = tempFolder(t, 'undo');
  const paths = {};
  for (const [name, fixture] of Object.entries(files)) {
    paths[name] = path.join(dir, name);
    fs.copyFileSync(path.join(root, 'tests', 'data', fixture), paths[name]);
  }
  return paths;
}

function exiftool(file, tags) {
  const read = JSON.parse(execFileSync('exiftool', ['-j', '-warning', ...tags.map((tag) => `-${tag}`), file], { encoding: 'utf8' }))[0];
  delete read.SourceFile;
  return read;
}

function mutagenTags(file) {
  const run = spawnSync(python, [path.join(root, 'tests', 'readers', 'mutagen_dump.py'), file], { encoding: 'utf8' });
  assert.equal(run.status, 0, run.stderr);
  return JSON.parse(run.stdout).tags;
}

const seconds = (file) => Math.floor(fs.statSync(file).mtimeMs / 1000);

// Selects the files (a click, then Ctrl+click for the rest) and waits until the panel shows them.
async function select(page, linuxPaths, tab) {
  await page.locator(rowSelector(winPath(linuxPaths[0]))).click();
  for (const file of linuxPaths.slice(1)) await page.locator(rowSelector(winPath(file))).click({ modifiers: ['Control'] });
  const info = linuxPaths.length === 1 ? winPath(linuxPaths[0]) : `${linuxPaths.length} files selected`;
  await page.waitForFunction((want) => document.getElementById('selection-info').textContent === want, info);
  if (tab) await page.click(`#tabs .tab[data-cat="${tab}"]`);
}

const field = propField;

async function addProperty(page, tab, key, text) {
  await page.selectOption(`#props-body .page[data-page="${tab}"] select.add-property`, key);
  await page.locator(field(tab, key)).waitFor();
  await editField(page, field(tab, key), text);
}

// Starts an undo or a redo and waits for its summary in the status.
async function runJob(page, trigger) {
  await page.evaluate(() => { document.getElementById('status').textContent = ''; });
  await trigger();
  await page.waitForFunction(() => /^(Save undone|Save redone|Cancelled)/.test(document.getElementById('status').textContent), null,
    { timeout: SAVE_TIMEOUT });
  return page.textContent('#status');
}

const isDisabled = (page, id) => page.$eval(`#${id}`, (button) => button.disabled);
const writes = (commands, since) => setpropsSince(commands, since).map((c) => [c.filename, c.cat, c.props]);

test('the times and the read-only attribute a save set on three files are set back by Undo and again by Redo', { skip }, async (t) => {
  const times = { 'a.txt': '2015:06:07 08:09:10', 'b.txt': '2016:01:02 03:04:05', 'c.txt': '2017:03:04 05:06:07' };
  const { dir, paths } = makeFolder(t, {
    'a.txt': { mtime: times['a.txt'], mode: 0o644 },
    'b.txt': { mtime: times['b.txt'], mode: 0o644 },
    'c.txt': { mtime: times['c.txt'], mode: 0o644 },
  });
  const files = Object.values(paths).sort();
  const before = snapshot(dir);
  const { page, commands } = await openPage(t);
  await addFiles(page, files);
  assert.ok(await isDisabled(page, 'undo'), 'nothing to undo before a save');
  await selectAll(page, files);
  await expectField(page, '#prop-modifytime', { mixed: true });
  await editField(page, '#prop-modifytime', '2020:01:01 00:00:00');
  await page.locator(attributeBox('R')).check();
  let sent = commands.length;
  assert.equal((await save(page)).final, 'Saved 3 of 3 files');
  const saved = writes(commands, sent);
  const afterSave = snapshot(dir);
  for (const file of files) {
    assert.equal(fs.statSync(file).mtimeMs, utc('2020:01:01 00:00:00').getTime(), file);
    assert.equal(fs.statSync(file).mode & 0o222, 0, `${file} is read-only`);
  }

  sent = commands.length;
  assert.equal(await runJob(page, () => page.click('#undo')), 'Save undone on 3 of 3 files');
  assertOnlyChanged(dir, before, {});
  // The attributes go first, so that the file is writable again before its time is set; only the
  // time the save set is sent.
  const undone = writes(commands, sent);
  assert.deepEqual(undone.map(([file, cat]) => [file, cat]),
    files.flatMap((file) => [[winPath(file), 'attributes'], [winPath(file), 'datetime']]));
  for (const [file, cat, props] of undone) {
    const name = file.split('\\').pop();
    if (cat === 'datetime') {
      assert.deepEqual(props, { createtime: '', modifytime: times[name], accesstime: '' }, name);
    } else {
      assert.doesNotMatch(props.attributes, /R/, name);
    }
  }
  await expectField(page, attributeBox('R'), { checked: false, indeterminate: false });
  assert.deepEqual([await isDisabled(page, 'undo'), await isDisabled(page, 'redo')], [true, false]);

  // Ctrl+Z and Ctrl+Y are the text field's own inside one.
  await page.focus('#list-filter');
  sent = commands.length;
  await page.keyboard.press('Control+y');
  assert.deepEqual(writes(commands, sent), []);
  assert.equal(await page.textContent('#status'), 'Save undone on 3 of 3 files');

  await page.focus('#file-list');
  sent = commands.length;
  assert.equal(await runJob(page, () => page.keyboard.press('Control+y')), 'Save redone on 3 of 3 files');
  assert.deepEqual(writes(commands, sent), saved, 'the redo sends what the save sent');
  assertOnlyChanged(dir, afterSave, {});
  assert.deepEqual([await isDisabled(page, 'undo'), await isDisabled(page, 'redo')], [false, true]);
});

test('an EXIF item and a media tag are set back by Undo, what the save added is removed or else emptied and reported, and Redo saves again',
  { skip: skipWithoutReaders }, async (t) => {
    const paths = copyFixtures(t, { 'a.jpg': 'exif/le.jpg', 'b.jpg': 'exif/maker-le.jpg', 'clip.m4a': 'media/tags.m4a' });
    const images = [paths['a.jpg'], paths['b.jpg']];
    const tags = ['Artist', 'Copyright', 'ImageDescription'];
    const beforeImages = images.map((file) => exiftool(file, tags));
    const beforeClip = mutagenTags(paths['clip.m4a']);
    const { page, commands } = await openPage(t);
    await addFiles(page, Object.values(paths));

    await select(page, images, 'exif');
    await expectField(page, field('exif', '0x013B'), { value: 'Anna Example' });
    await editField(page, field('exif', '0x013B'), 'Someone Else');
    await addProperty(page, 'exif', '0x8298', 'Example Studio');
    assert.equal((await save(page)).final, 'Saved 2 of 2 files');
    const savedImages = { Artist: 'Someone Else', Copyright: 'Example Studio', ImageDescription: 'Blue square' };
    for (const file of images) assert.deepStrictEqual(exiftool(file, tags), savedImages, file);

    assert.equal(await runJob(page, () => page.click('#undo')), 'Save undone on 2 of 2 files, 2 not wholly');
    // No EXIF write removes an item: the added one is left empty, and each file says so.
    for (const [i, file] of images.entries()) {
      assert.deepStrictEqual(exiftool(file, tags), Object.assign({}, beforeImages[i], { Copyright: '' }), file);
    }
    const reason = added('The EXIF item "Copyright" (0x8298)', EMPTIED);
    assert.deepStrictEqual(await failures(page), images.map((file) => ({ path: winPath(file), error: reason })));
    assert.ok(await isDisabled(page, 'undo'), 'the files are undone as far as they can be');

    assert.equal(await runJob(page, () => page.click('#redo')), 'Save redone on 2 of 2 files');
    for (const file of images) assert.deepStrictEqual(exiftool(file, tags), savedImages, file);

    // A new save replaces the record: undo now concerns the media file alone.
    await select(page, [paths['clip.m4a']], 'media');
    await expectField(page, field('media', 'TITLE'), { value: 'Café Morning' });
    await editField(page, field('media', 'TITLE'), 'Neuer Titel');
    await addProperty(page, 'media', 'COMPOSER', 'Ben Example');
    assert.equal((await save(page)).final, 'Saved 1 of 1 file');
    const savedClip = mutagenTags(paths['clip.m4a']);
    assert.deepStrictEqual([savedClip['©nam'], savedClip['©wrt']], [['Neuer Titel'], ['Ben Example']]);

    const sent = commands.length;
    assert.equal(await runJob(page, () => page.keyboard.press('Control+z')), 'Save undone on 1 of 1 file');
    assert.deepStrictEqual(writes(commands, sent).map(([file, cat, props]) => [file, cat, Object.keys(props.media).sort()]),
      [[winPath(paths['clip.m4a']), 'media', ['ALBUM', 'ARTIST', 'COMMENT', 'DATE', 'GENRE', 'TITLE', 'TRACKNUMBER']]]);
    assert.deepStrictEqual(mutagenTags(paths['clip.m4a']), beforeClip);
    assert.deepStrictEqual(await failures(page), []);
    for (const file of images) assert.deepStrictEqual(exiftool(file, tags), savedImages, `${file} is left as the older save wrote it`);

    assert.equal(await runJob(page, () => page.click('#redo')), 'Save redone on 1 of 1 file');
    assert.deepStrictEqual(mutagenTags(paths['clip.m4a']), savedClip);
  });

test('a file changed on disk after the save is listed before the undo, and skipping it leaves it as it is', { skip }, async (t) => {
  const { dir, paths } = makeFolder(t, {
    'a.txt': { mtime: '2015:06:07 08:09:10' },
    'b.txt': { mtime: '2016:01:02 03:04:05' },
    'c.txt': { mtime: '2017:03:04 05:06:07' },
  });
  const files = Object.values(paths).sort();
  const before = snapshot(dir);
  const { page, commands } = await openPage(t);
  await addFiles(page, files);
  await selectAll(page, files);
  await expectField(page, '#prop-modifytime', { mixed: true });
  await editField(page, '#prop-modifytime', '2020:01:01 00:00:00');
  assert.equal((await save(page)).final, 'Saved 3 of 3 files');
  const elsewhere = utc('2021:02:03 04:05:06');
  fs.utimesSync(paths['b.txt'], elsewhere, elsewhere);

  const listed = async () => {
    await page.locator('#undo-box:not(.hidden)').waitFor();
    return page.$$eval('#undo-changed .undo-path', (items) => items.map((item) => item.textContent));
  };
  let sent = commands.length;
  await page.click('#undo');
  assert.deepEqual(await listed(), [winPath(paths['b.txt'])]);
  assert.match(await page.textContent('#undo-changed'), /Modified 2021:02:03 04:05:06; the save left 2020:01:01 00:00:00/);
  // Esc leaves every file alone.
  await page.keyboard.press('Escape');
  await page.locator('#undo-box.hidden').waitFor({ state: 'attached' });
  assert.equal(await page.textContent('#status'), 'Undo cancelled');
  assert.deepEqual(writes(commands, sent), []);

  await page.click('#undo');
  assert.deepEqual(await listed(), [winPath(paths['b.txt'])]);
  assert.equal(await runJob(page, () => page.click('#undo-skip')), 'Save undone on 2 of 2 files');
  assert.deepEqual(writes(commands, sent).map(([file]) => file), [winPath(paths['a.txt']), winPath(paths['c.txt'])]);
  assertOnlyChanged(dir, before, { 'b.txt': { mtimeMs: elsewhere.getTime() } });
  // The skipped file can still be undone; the others can be redone.
  assert.deepEqual([await isDisabled(page, 'undo'), await isDisabled(page, 'redo')], [false, false]);
});

test('a retried save joins the save it retries, so that one undo takes back both', { skip }, async (t) => {
  const { paths } = makeFolder(t, { 'a.txt': { mtime: '2015:06:07 08:09:10' }, 'late.txt': { mtime: '2016:01:02 03:04:05' } });
  const files = Object.values(paths).sort();
  const { page } = await openPage(t);
  await addFiles(page, files);
  await selectAll(page, files);
  await expectField(page, '#prop-modifytime', { mixed: true });
  await editField(page, '#prop-modifytime', '2020:01:01 00:00:00');
  // The file is away during the save, and back for the retry.
  const content = fs.readFileSync(paths['late.txt']);
  fs.unlinkSync(paths['late.txt']);
  assert.equal((await save(page)).final, 'Saved 1 of 2 files, 1 failed');
  fs.writeFileSync(paths['late.txt'], content);
  fs.utimesSync(paths['late.txt'], utc('2017:03:04 05:06:07'), utc('2017:03:04 05:06:07'));
  await page.click('#failures-retry');
  await page.waitForFunction(() => document.getElementById('status').textContent === 'Saved 1 of 1 file', null, { timeout: SAVE_TIMEOUT });
  for (const file of files) assert.equal(fs.statSync(file).mtimeMs, utc('2020:01:01 00:00:00').getTime(), file);

  assert.equal(await runJob(page, () => page.click('#undo')), 'Save undone on 2 of 2 files');
  assert.deepEqual(files.map((file) => fs.statSync(file).mtimeMs), [utc('2015:06:07 08:09:10').getTime(), utc('2017:03:04 05:06:07').getTime()]);
});

// Steps of the test below; the setting is put back off whatever happens, since it is kept.
async function keepTimesSteps(t, page, commands, paths) {
  await addFiles(page, Object.values(paths));
  assert.equal(await page.isChecked('#opt-keeptimes'), false, 'off by default');

  const cases = [
    // The file system's own times are what a "datetime" write sets: it never carries the member.
    { keep: true, file: paths['kept.jpg'], time: '2019:05:06 07:08:09', cats: ['datetime', 'exif'] },
    { keep: false, file: paths['moved.jpg'], cats: ['exif'] },
  ];
  for (const c of cases) {
    await page.setChecked('#opt-keeptimes', c.keep);
    await select(page, [c.file], 'exif');
    await expectField(page, field('exif', '0x013B'), { value: 'Anna Example' });
    await editField(page, field('exif', '0x013B'), 'Someone Else');
    if (c.time) {
      await page.click('#tabs .tab[data-cat="file"]');
      await editField(page, '#prop-modifytime', c.time);
    }
    const sent = commands.length;
    const startedAt = Date.now();
    assert.equal((await save(page)).final, 'Saved 1 of 1 file');
    const requests = setpropsSince(commands, sent);
    assert.deepStrictEqual(requests.map((r) => [r.cat, r.keeptimes]),
      c.cats.map((cat) => [cat, c.keep && cat !== 'datetime' ? true : undefined]), `keep ${c.keep}`);
    assert.deepStrictEqual(exiftool(c.file, ['Artist']), { Artist: 'Someone Else' });
    if (c.keep) {
      assert.equal(seconds(c.file), utc(c.time).getTime() / 1000, 'the EXIF write kept the time the save had set');
    } else {
      assert.ok(fs.statSync(c.file).mtimeMs >= startedAt - 2000, 'the EXIF write moved the modified time');
    }
  }
  assert.deepStrictEqual(commands.filter((c) => c.cmd === 'setsetting').map((c) => [c.name, c.value]),
    [['save.keeptimes', 'true'], ['save.keeptimes', 'false']]);

  // When the engine writes but cannot keep the times, the save stands and the status says so.
  await page.setChecked('#opt-keeptimes', true);
  await page.evaluate(() => {
    const real = window.external.JsonCommand;
    window.external.JsonCommand = (text) => {
      const answer = real(text);
      const request = JSON.parse(text);
      if (request.cmd !== 'setprops' || !request.keeptimes) return answer;
      const parsed = JSON.parse(answer);
      parsed.timeskept = false;
      parsed.timeserror = 'They could not be set back after the write (error 5)';
      return JSON.stringify(parsed);
    };
  });
  await select(page, [paths['moved.jpg']], 'exif');
  await expectField(page, field('exif', '0x013B'), { value: 'Someone Else' });
  await editField(page, field('exif', '0x013B'), 'A Third Name');
  assert.equal((await save(page)).final, 'Saved 1 of 1 file; the times of 1 file could not be kept');
  assert.deepEqual(await failures(page), [], 'a write that stands is no failure');
  assert.deepStrictEqual(exiftool(paths['moved.jpg'], ['Artist']), { Artist: 'A Third Name' });

  // The setting is remembered: a page opened later starts with it.
  await page.setChecked('#opt-keeptimes', true);
  const later = await openPage(t);
  assert.equal(await later.page.isChecked('#opt-keeptimes'), true);
}

test('with "Keep file times" on, an EXIF write carries it and keeps the modified time, a time write never carries it; off, the time moves',
  { skip: skipWithoutReaders }, async (t) => {
    const paths = copyFixtures(t, { 'kept.jpg': 'exif/le.jpg', 'moved.jpg': 'exif/le.jpg' });
    const old = utc('2015:06:07 08:09:10');
    for (const file of Object.values(paths)) fs.utimesSync(file, old, old);
    const { page, commands } = await openPage(t);
    try {
      await keepTimesSteps(t, page, commands, paths);
    } finally {
      await page.evaluate(() => Varenko.native.setSetting('save.keeptimes', false));
    }
  });
