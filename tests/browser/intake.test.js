// Files that reach the list without the file dialog: the splitting of a command line and of pasted
// text in node, from ui/intake.js loaded in a bare context; then, in the page, the files of the
// command line (through a relay of the test's own that puts paths on the engine's command line),
// the "Add paths" box, and what "Add files" says when there is no dialog to show.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const vm = require('node:vm');
const { spawnRelay, engineScript } = require('./support/relay');
const { pageUrl, skip, useBrowser, winPath, makeFolder, openPage, rowSelector } = require('./support/page');

const ROOT = path.join(__dirname, '..', '..');
const uiFile = path.join(ROOT, 'ui', 'intake.js');
const NO_DIALOG = /^No file dialog is available here: drop files on the window, or use Add paths/;

// The file's pure part needs no page: only its own namespace at load time.
function loadIntake() {
  const context = { Varenko: {} };
  vm.runInNewContext(fs.readFileSync(uiFile, 'utf8'), context, { filename: uiFile });
  return context.Varenko.intake;
}
const intake = loadIntake();

// ---- splitting, in node ------------------------------------------------------------------------

test('a command line splits as the system splits it', () => {
  // Each agrees with what CommandLineToArgvW gives for the same line.
  const cases = [
    ['a quoted program path with spaces', '"C:\\Program Files\\Varenko\\Varenko.exe" "C:\\My Photos\\a.jpg" b.jpg',
      ['C:\\Program Files\\Varenko\\Varenko.exe', 'C:\\My Photos\\a.jpg', 'b.jpg']],
    ['a program path ends at its closing quote, backslash or not', '"C:\\dir\\"x y', ['C:\\dir\\', 'x', 'y']],
    ['an unquoted program path', 'C:\\V\\v.exe a', ['C:\\V\\v.exe', 'a']],
    ['a line starting with a blank has an empty program path', ' a b', ['', 'a', 'b']],
    ['tabs separate, except inside quotes', 'p\ta\t\t"b\tc"', ['p', 'a', 'b\tc']],
    ['two backslashes and a quote: one backslash, and the quote opens quoting', 'p a\\\\"b c"', ['p', 'a\\b c']],
    ['three backslashes and a quote: one backslash and a literal quote', 'p a\\\\\\"b', ['p', 'a\\"b']],
    ['a quoted folder path ending in a doubled backslash', 'p "C:\\dir\\\\" next', ['p', 'C:\\dir\\', 'next']],
    ['a quoted folder path ending in one backslash runs on', 'p "C:\\dir\\" next', ['p', 'C:\\dir" next']],
    ['backslashes before anything but a quote stay as they are', 'p a\\\\b', ['p', 'a\\\\b']],
    ['"" inside quotes is a quote and closes quoting', 'p "a""b c"', ['p', 'a"b', 'c']],
    ['""" inside quotes is a quote and quoting goes on', 'p "a"""b c"', ['p', 'a"b c']],
    ['three quotes around a word', 'p """a"""', ['p', '"a"']],
    ['an empty quoted argument', 'p "" x', ['p', '', 'x']],
    ['quotes inside a word join its parts', 'p a"b c"d e', ['p', 'ab cd', 'e']],
    ['trailing blanks end nothing', 'p a  ', ['p', 'a']],
    ['letters beyond ASCII', 'p "M\u00fasica\\\u00e9.mp3"', ['p', 'M\u00fasica\\\u00e9.mp3']],
    ['an unclosed quote runs to the end', 'p "a b', ['p', 'a b']],
    ['an empty line', '', []],
  ];
  for (const [what, line, expected] of cases) {
    assert.deepEqual(Array.from(intake.splitCommandLine(line)), expected, what);
  }
});

test('pasted text gives one path a line, without the quotes of "Copy as path"', () => {
  const cases = [
    ['quoted and unquoted lines', '"C:\\a b\\one.jpg"\r\nC:\\two.jpg', ['C:\\a b\\one.jpg', 'C:\\two.jpg']],
    ['blank lines and blanks around paths', '\n  C:\\one.jpg \t\n\n\t\r\n  "C:\\two.jpg"  \n', ['C:\\one.jpg', 'C:\\two.jpg']],
    ['blanks inside the quotes', '"  C:\\one.jpg  "', ['C:\\one.jpg']],
    ['old Mac line ends', 'C:\\a\rC:\\b', ['C:\\a', 'C:\\b']],
    ['empty quotes are a blank line', '""\n"C:\\a"', ['C:\\a']],
    ['a lone quote is kept', '"C:\\a', ['"C:\\a']],
    ['spaces inside a path stay', 'C:\\My Photos\\a b.jpg', ['C:\\My Photos\\a b.jpg']],
    ['nothing', '  \n\n', []],
  ];
  for (const [what, text, expected] of cases) {
    assert.deepEqual(Array.from(intake.parsePaths(text)), expected, what);
  }
});

// ---- in the page -------------------------------------------------------------------------------

useBrowser();

// A relay of the test's own: over the real engine (`engine` unset) or over a stand-in Node script,
// with `args` on the engine's command line and `cwd` as its folder. Resolves to its page address.
async function startRelay(t, { engine, args = [], cwd } = {}) {
  const options = engine ? ['--exe', engineScript(t, engine), '--native']
    : ['--exe', process.env.VARENKO_CMD || path.join(ROOT, 'build', 'bin', 'varenko-cmd.exe')];
  return spawnRelay(t, [...options, '--', ...args], cwd);
}

// One command through a relay, from the test itself; resolves to the answer text.
async function command(url, request) {
  const token = new URLSearchParams(new URL(url).hash.slice(1)).get('token');
  const response = await fetch(new URL('/varenko/command', url), {
    method: 'POST', headers: { 'X-Varenko-Command': token }, body: JSON.stringify(request),
  });
  assert.equal(response.status, 200);
  return JSON.parse(await response.text()).answer;
}

// The toolbar's folder options as settings, for the pages opened after; the old ones come back.
// Every engine of the test run reads them from the same Wine prefix: the shared relay's sets them.
async function useFolderSettings(t, settings) {
  for (const [name, value] of Object.entries(settings)) {
    const before = await command(pageUrl, { cmd: 'getsetting', name });
    t.after(() => command(pageUrl, { cmd: 'setsetting', name, value: before }));
    await command(pageUrl, { cmd: 'setsetting', name, value: String(value) });
  }
}

// The folder options on the page, without keeping them as settings.
async function setFolderOptions(page, subdir, includedir) {
  await page.evaluate(([sub, dirs]) => {
    document.getElementById('opt-subdir').checked = sub;
    document.getElementById('opt-includedir').checked = dirs;
  }, [subdir, includedir]);
}

async function listedPaths(page) {
  return page.$$eval('#file-list .file-row', (rows) => rows.map((row) => row.getAttribute('data-path')).sort());
}

async function waitForStatus(page, pattern) {
  try {
    await page.waitForFunction((source) => new RegExp(source).test(document.getElementById('status').textContent),
      pattern.source, { timeout: 30000 });
  } catch (error) {
    assert.fail(`the status shows "${await page.textContent('#status')}", not ${pattern}`);
  }
}

// root: one.txt, with space.txt, album/a.txt, album/inner/deep.txt.
function makeTree(t) {
  const { dir, paths } = makeFolder(t, { 'one.txt': {}, 'with space.txt': {} });
  fs.mkdirSync(path.join(dir, 'album', 'inner'), { recursive: true });
  for (const name of ['album/a.txt', 'album/inner/deep.txt']) {
    fs.writeFileSync(path.join(dir, name), name);
    paths[name] = path.join(dir, name);
  }
  paths.album = path.join(dir, 'album');
  paths['album/inner'] = path.join(dir, 'album', 'inner');
  // makeFolder's clean-up walks only the top level.
  t.after(() => fs.rmSync(paths.album, { recursive: true, force: true }));
  return { dir, paths };
}

test('the page adds the files and folders of its command line, and says which named nothing', { skip }, async (t) => {
  const { dir, paths } = makeTree(t);
  const gone = path.join(dir, 'gone.txt');
  // A file by its full path, one by a relative path with a space, a folder, and one that is not there.
  const url = await startRelay(t, { args: [paths['one.txt'], 'with space.txt', 'album', gone], cwd: dir });
  await useFolderSettings(t, { 'addfolder.subdir': true, 'addfolder.includedir': false });

  const { page, commands } = await openPage(t);
  await page.goto(url, { waitUntil: 'load' });
  const expected = [paths['one.txt'], paths['with space.txt'], paths['album/a.txt'], paths['album/inner/deep.txt']];
  for (const file of expected) await page.locator(rowSelector(winPath(file))).waitFor();
  await waitForStatus(page, /Not found/);
  assert.deepEqual(await listedPaths(page), expected.map(winPath).sort());
  assert.equal(await page.textContent('#status'), `Added 4 files. Not found: ${gone}`);
  // Wine put the paths on the command line as it shows them; the one that is not there stayed as given.
  const asked = commands.filter((c) => c.cmd === 'collectpaths').map((c) => c.paths);
  assert.deepEqual(asked, [[winPath(paths['one.txt'])], [winPath(paths['with space.txt'])], [winPath(paths.album)], [gone]]);
});

test('pasted paths are added, quoted or not, and those that name nothing stay in the box', { skip }, async (t) => {
  const { dir, paths } = makeTree(t);
  const missing = winPath(path.join(dir, 'missing.txt'));
  const { page, commands } = await openPage(t);
  // Folders as "Add folder" adds them: itself and what is directly inside, subfolders listed, not entered.
  await setFolderOptions(page, false, true);

  await page.click('#add-paths');
  const text = `"${winPath(paths['one.txt'])}"\r\n   ${winPath(paths['with space.txt'])}  \r\n\r\n\t\r\n` +
    `"${missing}"\r\n${winPath(paths.album)}\\\r\n`;
  await page.fill('#paths-text', text);
  await page.click('#paths-add');

  const expected = [paths['one.txt'], paths['with space.txt'], paths.album, paths['album/a.txt'], paths['album/inner']];
  for (const file of expected) await page.locator(rowSelector(winPath(file))).waitFor();
  assert.deepEqual(await listedPaths(page), expected.map(winPath).sort());
  assert.equal(await page.textContent('#status'), `Added 5 files. Not found: ${missing}`);
  const asked = commands.filter((c) => c.cmd === 'collectpaths').map((c) => c.paths[0]);
  assert.deepEqual(asked, [winPath(paths['one.txt']), winPath(paths['with space.txt']), missing, winPath(paths.album) + '\\']);

  // The box keeps the line that named nothing, to be corrected, and says why.
  assert.ok(await page.isVisible('#paths-box'), 'the box stays open');
  assert.equal(await page.inputValue('#paths-text'), missing);
  assert.equal(await page.textContent('#paths-error'), 'This path names no file or folder.');

  // Corrected, it is added and the box closes.
  fs.writeFileSync(path.join(dir, 'missing.txt'), 'here now');
  await page.click('#paths-add');
  await page.locator(rowSelector(missing)).waitFor();
  assert.ok(!(await page.isVisible('#paths-box')), 'the box closed');
  assert.equal(await page.textContent('#status'), 'Added 1 file');
});

test('the Add paths box is a modal dialog: labelled, focus inside, Tab goes round, Esc closes', { skip }, async (t) => {
  const { page } = await openPage(t);
  const box = page.locator('#paths-box');
  assert.equal(await box.getAttribute('role'), 'dialog');
  assert.equal(await box.getAttribute('aria-modal'), 'true');
  assert.equal(await page.textContent('#' + await box.getAttribute('aria-labelledby')), 'Add paths');
  assert.ok(!(await box.isVisible()), 'hidden until asked for');
  const focused = () => page.evaluate(() => document.activeElement.id);

  await page.click('#add-paths');
  assert.equal(await focused(), 'paths-text', 'the focus moves into the box');
  const order = [];
  for (let i = 0; i < 3; i++) {
    await page.keyboard.press('Tab');
    order.push(await focused());
  }
  assert.deepEqual(order, ['paths-add', 'paths-cancel', 'paths-text'], 'Tab goes round inside the box');
  await page.keyboard.press('Shift+Tab');
  assert.equal(await focused(), 'paths-cancel', 'Shift+Tab goes round the other way');

  // Nothing typed: the box says what it needs and stays.
  await page.click('#paths-add');
  assert.equal(await page.textContent('#paths-error'), 'Type or paste at least one path.');
  assert.ok(await box.isVisible());

  await page.keyboard.press('Escape');
  assert.ok(!(await box.isVisible()), 'Esc closes the box');
  assert.equal(await focused(), 'add-paths', 'the focus goes back to the button');

  await page.click('#add-paths');
  await page.click('#paths-cancel');
  assert.ok(!(await box.isVisible()), 'Cancel closes the box');
});

test('Add files and Add folder say so when the engine has no dialog to show', { skip }, async (t) => {
  const { page } = await openPage(t);
  // The first dialog call loads the system's libraries, which takes long on a busy machine.
  await page.evaluate(() => window.external.JsonCommand('{"cmd":"addfiles"}'));
  for (const button of ['#add-files', '#add-folder']) {
    await page.evaluate(() => Varenko.status('Ready'));
    await page.click(button);
    await waitForStatus(page, NO_DIALOG);
  }
  assert.deepEqual(await listedPaths(page), []);
});

test('an empty answer after a dialog the user looked at is a cancel, not a missing dialog', { skip }, async (t) => {
  // Every command answers empty text; "addfiles" for a folder only after a while, as when the user
  // looked at the dialog and cancelled it.
  const url = await startRelay(t, { engine: `
let buffer = '';
process.stdin.on('data', (chunk) => {
  buffer += chunk;
  for (let end; (end = buffer.indexOf('\\n')) >= 0;) {
    const request = JSON.parse(buffer.slice(0, end));
    buffer = buffer.slice(end + 1);
    const answer = () => process.stdout.write(JSON.stringify({ hr: 0, answer: '' }) + '\\n');
    if (request.cmd === 'addfiles' && request.forfolder) setTimeout(answer, 1500); else answer();
  }
});
` });
  const { page } = await openPage(t);
  await page.goto(url, { waitUntil: 'load' });
  await waitForStatus(page, /^Ready$/);
  await page.click('#add-folder');
  // The click returns once its handler ran; the status is read after it.
  assert.equal(await page.evaluate(() => document.getElementById('status').textContent), 'Ready');
  await page.click('#add-files');
  await waitForStatus(page, NO_DIALOG);
});
