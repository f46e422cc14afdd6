// The EXIF tab in headless Chromium against the real command engine: images made by exiftool are
// shown with their items, edited and saved, and the saved files checked with exiftool, which is
// not ours: the items are the ones the page showed and changed, the maker note still reads, no
// warnings, and the bytes of the image data are the same.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { skip, SAVE_TIMEOUT, useBrowser, winPath, openPage, tempFolder, hasTool } = require('./support/page');

const fixtures = path.join(__dirname, '..', 'data', 'exif');

const skipWithoutExiftool = skip || (hasTool('exiftool', ['-ver']) ? false : 'needs exiftool');

useBrowser();

// Copies of fixtures (name -> fixture file) in a folder that is removed after the test.
function makeFolder(t, files) {
  const dir = tempFolder(t, 'exif');
  const paths = {};
  for (const [name, fixture] of Object.entries(files)) {
    paths[name] = path.join(dir, name);
    fs.copyFileSync(path.join(fixtures, fixture), paths[name]);
  }
  return { dir, paths };
}

// exiftool's reading of some tags, with any warning it has about the file.
function exiftool(file, tags) {
  const out = execFileSync('exiftool', ['-j', '-warning', ...tags.map((tag) => `-${tag}`), file], { encoding: 'utf8' });
  const read = JSON.parse(out)[0];
  delete read.SourceFile;
  return read;
}

// A JPEG's bytes after its EXIF segment: the image data and every segment after it.
function afterExif(file) {
  const bytes = fs.readFileSync(file);
  let at = 2;
  while (at + 4 <= bytes.length && bytes[at] === 0xFF && bytes[at + 1] !== 0xDA) {
    const length = bytes.readUInt16BE(at + 2);
    const exif = bytes[at + 1] === 0xE1 && bytes.toString('latin1', at + 4, at + 10) === 'Exif\0\0';
    at += 2 + length;
    if (exif) return bytes.subarray(at);
  }
  return null;
}

const rowSelector = (linuxPath) => `#file-list .file-row[data-path=${JSON.stringify(winPath(linuxPath))}]`;

async function addAndSelect(page, linuxPaths) {
  await page.evaluate((names) => onAddFiles(JSON.stringify(names)), linuxPaths.map(winPath));
  for (const file of linuxPaths) await page.locator(rowSelector(file)).waitFor();
  await page.locator(rowSelector(linuxPaths[0])).click();
  if (linuxPaths.length > 1) await page.keyboard.press('Control+A');
  const want = linuxPaths.length === 1 ? winPath(linuxPaths[0]) : `${linuxPaths.length} files selected`;
  await page.waitForFunction((text) => document.getElementById('selection-info').textContent === text, want);
  await page.click('#tabs .tab[data-cat="exif"]');
}

const exifPage = '#props-body .page[data-page="exif"]';
const field = (key) => `${exifPage} .field:has(> label[title=${JSON.stringify(key)}]) > input.prop`;

// The EXIF page's fields: key -> { label, value, readOnly }, '(mixed)' where the files differ.
async function exifFields(page) {
  return page.$$eval(`${exifPage} .field`, (fields) => {
    const shown = {};
    for (const box of fields) {
      const input = box.querySelector('input.prop');
      const label = box.querySelector('label');
      if (input) {
        shown[label.title] = { label: label.textContent, value: input.classList.contains('mixed') ? '(mixed)' : input.value, readOnly: input.readOnly };
      }
    }
    return shown;
  });
}

async function waitForField(page, key, value) {
  try {
    await page.waitForFunction(([sel, want]) => {
      const input = document.querySelector(sel);
      return input !== null && input.value === want;
    }, [field(key), value], { timeout: 10000 });
  } catch (error) {
    // The comparison below says what is shown instead.
  }
  assert.equal((await exifFields(page))[key] && (await exifFields(page))[key].value, value, key);
}

async function edit(page, selector, text) {
  await page.fill(selector, text);
  await page.press(selector, 'Tab');
}

async function addProperty(page, key, text) {
  await page.selectOption(`${exifPage} select.add-property`, key);
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

test('the EXIF tab shows what exiftool wrote, offsets read-only, and offers to add what a camera does not record', { skip }, async (t) => {
  const { paths } = makeFolder(t, { 'photo.jpg': 'maker-le.jpg' });
  const { page } = await openPage(t);
  await addAndSelect(page, [paths['photo.jpg']]);
  await waitForField(page, '0x013B', 'Anna Example');

  const fields = await exifFields(page);
  const expected = {
    '0x010F': { label: 'Camera maker', value: 'Canon', readOnly: false },
    '0x013B': { label: 'Artist', value: 'Anna Example', readOnly: false },
    '0x829A': { label: 'Exposure time', value: '1/125', readOnly: false },
    '0x9003': { label: 'Date taken', value: '2021:06:14 09:08:07', readOnly: false },
    '0x0002': { label: 'GPS latitude', value: '48, 51, 756/25', readOnly: false },
    '0x5041': { label: 'Interoperability index', value: 'R98', readOnly: false },
    '0x9000': { label: 'EXIF version', value: '30 32 33 32', readOnly: false },
    '0x0202': { label: 'Thumbnail length', value: '205', readOnly: true },
    '0x9101': { label: 'Components configuration', value: '01 02 03 00', readOnly: true },
  };
  for (const [key, want] of Object.entries(expected)) assert.deepStrictEqual(fields[key], want, key);
  assert.equal(fields['0x8769'].readOnly, true, 'the EXIF directory offset');
  assert.equal(fields['0xA005'].readOnly, true, 'the interoperability directory offset');

  const offered = await page.$$eval(`${exifPage} select.add-property option`, (options) => options.map((option) => option.value));
  for (const key of ['0x8298', '0x9004', '0xA434', '0x0006', '0x001D']) assert.ok(offered.includes(key), `${key} offered`);
  // Present already, read-only, or a capture setting.
  for (const key of ['0x013B', '0xA002', '0x0111', '0x9201', '0x9209']) assert.ok(!offered.includes(key), `${key} not offered`);
});

test('an edited and an added item are saved to every selected image, its image data and maker note kept', { skip: skipWithoutExiftool }, async (t) => {
  const { paths } = makeFolder(t, { 'a.jpg': 'le.jpg', 'b.jpg': 'maker-be.jpg', 'c.tif': 'maker-be.tif' });
  const files = Object.values(paths);
  const jpegData = [paths['a.jpg'], paths['b.jpg']].map(afterExif);
  const strip = fs.readFileSync(paths['c.tif']).subarray(534, 534 + 192);
  const { page } = await openPage(t);
  await addAndSelect(page, files);
  await waitForField(page, '0x0110', 'FX-8');

  await edit(page, field('0x013B'), 'Someone Else, with a longer name');
  await addProperty(page, '0x8298', 'Example Studio');
  assert.deepStrictEqual(await save(page), []);

  for (const file of files) {
    const read = exiftool(file, ['Artist', 'Copyright', 'Model', 'OwnerName']);
    const expected = { Artist: 'Someone Else, with a longer name', Copyright: 'Example Studio', Model: 'FX-8' };
    if (file !== paths['a.jpg']) expected.OwnerName = 'Anna Example';
    assert.deepStrictEqual(read, expected, path.basename(file));
  }
  assert.deepStrictEqual([paths['a.jpg'], paths['b.jpg']].map(afterExif), jpegData, 'the JPEG image data');
  assert.deepStrictEqual(fs.readFileSync(paths['c.tif']).subarray(534, 534 + 192), strip, 'the TIFF strip');
  // The page reads the files again and shows what is on disk.
  await waitForField(page, '0x8298', 'Example Studio');
});

test('an EXIF item saved to an image that cannot take it is reported, and the others are written', { skip: skipWithoutExiftool }, async (t) => {
  const { dir, paths } = makeFolder(t, { 'photo.jpg': 'plain.jpg', 'picture.bmp': 'plain.bmp' });
  const bitmap = fs.readFileSync(paths['picture.bmp']);
  const { page } = await openPage(t);
  await addAndSelect(page, [paths['photo.jpg'], paths['picture.bmp']]);
  await addProperty(page, '0x013B', 'Anna Example');

  assert.deepStrictEqual(await save(page), [
    { path: winPath(paths['picture.bmp']), error: 'Exif save props to file error: 1' },
  ]);
  assert.deepStrictEqual(fs.readFileSync(paths['picture.bmp']), bitmap);
  assert.deepStrictEqual(exiftool(paths['photo.jpg'], ['Artist']), { Artist: 'Anna Example' });
  assert.deepStrictEqual(fs.readdirSync(dir).sort(), ['photo.jpg', 'picture.bmp']);
});

test('Windows\' own items are offered, written as plain text and numbers, and read back by exiftool', { skip: skipWithoutExiftool }, async (t) => {
  const { paths } = makeFolder(t, { 'photo.jpg': 'le.jpg' });
  const { page } = await openPage(t);
  await addAndSelect(page, [paths['photo.jpg']]);
  await waitForField(page, '0x013B', 'Anna Example');

  const labels = await page.$$eval(`${exifPage} select.add-property option`, (options) => {
    const byKey = {};
    for (const option of options) byKey[option.value] = option.textContent;
    return byKey;
  });
  const names = { '0x9C9B': 'Title', '0x9C9C': 'Comments', '0x9C9D': 'Authors', '0x9C9E': 'Tags', '0x9C9F': 'Subject', '0x4746': 'Rating', '0x4749': 'Rating percent' };
  for (const [key, name] of Object.entries(names)) assert.ok(labels[key] && labels[key].indexOf(name) === 0, `${key} offered as ${name}: ${labels[key]}`);

  // Text that the ANSI code page (Windows-1252 under Wine) cannot hold, in both kinds of text item.
  const text = 'Pr\u00fcfung \u2615 \u65e5\u672c';
  await addProperty(page, '0x9C9B', text);
  await addProperty(page, '0x9C9E', 'sea;sky');
  await addProperty(page, '0x4746', '4');
  await edit(page, field('0x010E'), text);
  assert.deepStrictEqual(await save(page), []);

  assert.deepStrictEqual(exiftool(paths['photo.jpg'], ['IFD0:XPTitle', 'IFD0:XPKeywords', 'IFD0:Rating', 'IFD0:ImageDescription']),
    { XPTitle: text, XPKeywords: 'sea;sky', Rating: 4, ImageDescription: text });
  // The page reads the file again and shows the texts, not their bytes.
  await waitForField(page, '0x9C9B', text);
  await waitForField(page, '0x010E', text);
  await waitForField(page, '0x4746', '4');
});
