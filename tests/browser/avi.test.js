// The AVI tab in headless Chromium against the real command engine: AVI files made by ffmpeg are
// shown with their INFO items, edited and saved, and the saved files checked with ffprobe, which is
// not ours: every frame still decodes and the items are the ones the page showed and changed.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { skip, SAVE_TIMEOUT, useBrowser, winPath, openPage, tempFolder, hasTool } = require('./support/page');

const fixtures = path.join(__dirname, '..', 'data', 'avi');

const skipWithoutFfprobe = skip || (hasTool('ffprobe', ['-version']) ? false : 'needs ffprobe');

useBrowser();

// Copies of fixtures (name -> fixture file, or text for a file that is no AVI) in a folder that is
// removed after the test.
function makeFolder(t, files) {
  const dir = tempFolder(t, 'avi');
  const paths = {};
  for (const [name, source] of Object.entries(files)) {
    paths[name] = path.join(dir, name);
    if (source.fixture) fs.copyFileSync(path.join(fixtures, source.fixture), paths[name]);
    else fs.writeFileSync(paths[name], source.text);
  }
  return paths;
}

// What ffprobe reads: the format's tags and the frames it decodes, with whatever it reports.
function probe(file) {
  const out = execFileSync('ffprobe', ['-v', 'error', '-count_frames', '-show_entries',
    'format_tags:stream=nb_read_frames', '-of', 'json', file], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
  const json = JSON.parse(out);
  return { tags: json.format.tags || {}, frames: json.streams.map((s) => s.nb_read_frames) };
}

const rowSelector = (linuxPath) => `#file-list .file-row[data-path=${JSON.stringify(winPath(linuxPath))}]`;

async function addAndSelect(page, linuxPaths) {
  await page.evaluate((names) => onAddFiles(JSON.stringify(names)), linuxPaths.map(winPath));
  for (const file of linuxPaths) await page.locator(rowSelector(file)).waitFor();
  await page.locator(rowSelector(linuxPaths[0])).click();
  if (linuxPaths.length > 1) await page.keyboard.press('Control+A');
  const want = linuxPaths.length === 1 ? winPath(linuxPaths[0]) : `${linuxPaths.length} files selected`;
  await page.waitForFunction((text) => document.getElementById('selection-info').textContent === text, want);
  await page.click('#tabs .tab[data-cat="avi"]');
}

const aviPage = '#props-body .page[data-page="avi"]';
const field = (key) => `${aviPage} .field:has(> label[title=${JSON.stringify(key)}]) > input.prop`;

// The AVI page's fields: label -> value, or '(mixed)' where the files differ.
async function aviFields(page) {
  return page.$$eval(`${aviPage} .field`, (fields) => {
    const shown = {};
    for (const box of fields) {
      const input = box.querySelector('input.prop');
      if (input) shown[box.querySelector('label').textContent] = input.classList.contains('mixed') ? '(mixed)' : input.value;
    }
    return shown;
  });
}

async function waitForFields(page, expected) {
  try {
    await page.waitForFunction(([sel, count]) => document.querySelectorAll(sel).length === count,
      [`${aviPage} .field input.prop`, Object.keys(expected).length], { timeout: 10000 });
  } catch (error) {
    // The comparison below says what is shown instead.
  }
  assert.deepStrictEqual(await aviFields(page), expected);
}

async function edit(page, selector, text) {
  await page.fill(selector, text);
  await page.press(selector, 'Tab');
}

async function addProperty(page, key, text) {
  await page.selectOption(`${aviPage} select.add-property`, key);
  await page.locator(field(key)).waitFor();
  await edit(page, field(key), text);
}

async function save(page) {
  await page.click('#save');
  try {
    await page.waitForFunction(() => /^Saved/.test(document.getElementById('status').textContent), null,
      { timeout: SAVE_TIMEOUT });
  } catch (error) {
    assert.fail(`no "Saved" summary; the status shows "${await page.textContent('#status')}"`);
  }
  return page.$$eval('#failures .failure', (items) => items.map((item) => ({
    path: item.querySelector('.failure-path').textContent,
    error: item.querySelector('.failure-error').textContent,
  })));
}

const ffmpegItems = {
  Artist: 'Anna', Comments: 'Made for tests', Copyright: 'Example Studio', 'Creation date': '2021',
  Genre: 'Documentary', Title: 'Movie',
};

test('the AVI tab shows the INFO items ffmpeg wrote and offers every other standard identifier', { skip }, async (t) => {
  const paths = makeFolder(t, { 'movie.avi': { fixture: 'info.avi' } });
  const { page } = await openPage(t);
  await addAndSelect(page, [paths['movie.avi']]);
  await waitForFields(page, ffmpegItems);

  const offered = await page.$$eval(`${aviPage} select.add-property option`, (options) =>
    options.filter((option) => option.value.length === 4).map((option) => option.value).sort());
  assert.deepStrictEqual(offered, ['IARL', 'ICMS', 'ICRP', 'IDIM', 'IDPI', 'IENG', 'IKEY', 'ILGT', 'ILNG', 'IMED',
    'IPLT', 'IPRD', 'ISBJ', 'ISFT', 'ISHP', 'ISRC', 'ISRF', 'ITCH']);
});

test('an edited and an added item are saved to every selected AVI file with the others kept', { skip: skipWithoutFfprobe }, async (t) => {
  const paths = makeFolder(t, { 'one.avi': { fixture: 'info.avi' }, 'two.avi': { fixture: 'info-junk.avi' } });
  const files = Object.values(paths);
  const frames = files.map((file) => probe(file).frames);
  const { page } = await openPage(t);
  await addAndSelect(page, files);
  await waitForFields(page, ffmpegItems);

  await edit(page, field('INAM'), 'A new title');
  await addProperty(page, 'ILNG', 'English');
  assert.deepStrictEqual(await save(page), []);

  files.forEach((file, i) => {
    const { tags, frames: decoded } = probe(file);
    assert.deepStrictEqual(tags, {
      title: 'A new title', artist: 'Anna', comment: 'Made for tests', copyright: 'Example Studio', date: '2021',
      genre: 'Documentary', language: 'English',
    }, path.basename(file));
    assert.deepStrictEqual(decoded, frames[i], `${path.basename(file)}: every frame still decodes`);
  });
  // The page reads the files again and shows what is on disk.
  await waitForFields(page, Object.assign({}, ffmpegItems, { Title: 'A new title', Language: 'English' }));
});

test('an AVI item saved to a file that is no AVI file is reported, and the AVI file is written', { skip: skipWithoutFfprobe }, async (t) => {
  const paths = makeFolder(t, { 'clip.avi': { fixture: 'plain.avi' }, 'notes.txt': { text: 'not a movie\n' } });
  const { page } = await openPage(t);
  await addAndSelect(page, [paths['clip.avi'], paths['notes.txt']]);
  await waitForFields(page, {});
  await addProperty(page, 'INAM', 'First title');

  assert.deepStrictEqual(await save(page), [
    { path: winPath(paths['notes.txt']), error: 'set avi property failed, hr=0x80044066' },
  ]);
  assert.equal(fs.readFileSync(paths['notes.txt'], 'utf8'), 'not a movie\n');
  assert.deepStrictEqual(probe(paths['clip.avi']).tags, { title: 'First title' });
});
