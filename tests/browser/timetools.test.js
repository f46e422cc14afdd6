// The time tools: the date arithmetic and each file's plan in node, from ui/timetools.js loaded in
// a bare context; then the dialog in the page, its preview and what a save changes on disk.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const {
  skip, useBrowser, winPath, utc, makeFolder, snapshot, assertOnlyChanged, openPage, rowSelector, addFiles,
  selectedPaths, selectAll, expectField, failures, setpropsSince,
} = require('./support/page');
const { loadPageFiles, inZone } = require('./support/node');

const exifFixtures = path.join(__dirname, '..', 'data', 'exif');

// The file's pure part needs no page: only the date-time text and its own namespace at load time.
const tools = loadPageFiles(['datetime.js', 'timetools.js']).timetools;

const DAY = 86400;
const HOUR = 3600;

// ---- date arithmetic --------------------------------------------------------------------------

test('a shift moves the date-time text as wall-clock time', () => {
  const cases = [
    ['an hour past midnight into the next month', '2020:01:31 23:30:00', HOUR, '2020:02:01 00:30:00'],
    ['a second into the next year', '2020:12:31 23:59:59', 1, '2021:01:01 00:00:00'],
    ['a day onto a leap day', '2020:02:28 12:00:00', DAY, '2020:02:29 12:00:00'],
    ['a day past the end of February in a common year', '2021:02:28 12:00:00', DAY, '2021:03:01 12:00:00'],
    ['a day onto the leap day of a year divisible by 400', '2000:02:28 06:00:00', DAY, '2000:02:29 06:00:00'],
    ['a day in a century year without a leap day', '2100:02:28 06:00:00', DAY, '2100:03:01 06:00:00'],
    ['back two hours over a leap day', '2020:03:01 01:00:00', -2 * HOUR, '2020:02:29 23:00:00'],
    ['back a day over a year', '2021:01:01 00:00:00', -DAY, '2020:12:31 00:00:00'],
    ['an hour on a day daylight saving begins elsewhere is one hour on the clock', '2021:03:28 01:30:00', HOUR, '2021:03:28 02:30:00'],
    ['one day less two hours', '2016:06:07 08:09:10', DAY - 2 * HOUR, '2016:06:08 06:09:10'],
    ['a thousand days back', '2020:01:01 00:00:00', -1000 * DAY, '2017:04:06 00:00:00'],
    ['down to the first time there is', '1970:01:01 00:00:01', -1, '1970:01:01 00:00:00'],
    ['up to the last time there is', '3000:12:31 23:59:58', 1, '3000:12:31 23:59:59'],
  ];
  for (const [what, from, seconds, expected] of cases) {
    assert.deepEqual({ ...tools.shift(from, seconds) }, { text: expected }, what);
  }
});

test('a shift past either end of the range is refused, never sent', () => {
  const cases = [
    ['one second before 1970', '1970:01:01 00:00:00', -1, /before 1970:01:01 00:00:00/],
    ['one second after the year 3000', '3000:12:31 23:59:59', 1, /after 3000:12:31 23:59:59/],
    ['far beyond the range', '2020:01:01 00:00:00', 999999999 * DAY, /after 3000:12:31 23:59:59/],
    ['far back before the range', '2020:01:01 00:00:00', -999999999 * DAY, /before 1970:01:01 00:00:00/],
    ['a text that is not a date-time', '2020-01-01T00:00:00', HOUR, /not a date and time/],
  ];
  for (const [what, from, seconds, error] of cases) {
    const result = tools.shift(from, seconds);
    assert.equal(result.text, undefined, what);
    assert.match(result.error, error, what);
  }
  // Where the clock skips an hour, a shift into it has no time to set.
  inZone('Europe/Berlin', () => {
    assert.deepEqual({ ...tools.shift('2021:03:28 01:30:00', HOUR) },
      { error: 'would fall in the hour the clock skips for daylight saving', skipped: true });
    const plan = tools.planFile({ createtime: '', modifytime: '2021:03:28 01:30:00', accesstime: '' },
      { mode: 'shift', targets: ['modifytime'], seconds: HOUR });
    assert.equal(plan.why, 'New time skipped by the clock');
    assert.deepEqual({ ...tools.shift('2021:03:28 01:30:00', 2 * HOUR) }, { text: '2021:03:28 03:30:00' });
  });
});

test('the shift fields add up, each with its own sign', () => {
  const cases = [
    [{ days: '1', hours: '-2' }, { seconds: DAY - 2 * HOUR }],
    [{ days: '', hours: '', minutes: '', seconds: '' }, { seconds: 0 }],
    [{ minutes: ' +5 ' }, { seconds: 300 }],
    [{ seconds: '\u221230' }, { seconds: -30 }],
    [{ days: '-1', hours: '24' }, { seconds: 0 }],
  ];
  for (const [fields, expected] of cases) assert.deepEqual({ ...tools.parseShift(fields) }, expected, JSON.stringify(fields));
  for (const fields of [{ days: '1.5' }, { hours: 'two' }, { minutes: '--1' }, { seconds: '1e3' }, { days: '1234567890' }]) {
    assert.match(tools.parseShift(fields).error, /whole numbers/, JSON.stringify(fields));
  }
});

// ---- one file's plan --------------------------------------------------------------------------

const times = (createtime, modifytime, accesstime) => ({ createtime, modifytime, accesstime });
const taken = (data) => ({ exif: { '0x9003': { name: 'Date taken', type: 'ASCII', data } } });

test('each file\'s plan names the times it changes and leaves the others empty', () => {
  const props = times('2019:05:05 05:05:05', '2020:01:31 23:00:00', '2020:06:01 00:00:00');
  const cases = [
    ['a shift of Modified', props, { mode: 'shift', targets: ['modifytime'], seconds: DAY - 2 * HOUR },
      times('', '2020:02:01 21:00:00', '')],
    ['a shift of all three', props, { mode: 'shift', targets: ['createtime', 'modifytime', 'accesstime'], seconds: -HOUR },
      times('2019:05:05 04:05:05', '2020:01:31 22:00:00', '2020:05:31 23:00:00')],
    ['Created from Modified', props, { mode: 'copy', source: 'modifytime', targets: ['createtime'] },
      times('2020:01:31 23:00:00', '', '')],
    ['Created and Modified from the date taken', { ...props, ...taken('2021:06:14 09:08:07') },
      { mode: 'exif', targets: ['createtime', 'modifytime'] }, times('2021:06:14 09:08:07', '2021:06:14 09:08:07', '')],
    ['from a date taken with blanks around it', { ...props, ...taken(' 2021:06:14 09:08:07 ') },
      { mode: 'exif', targets: ['accesstime'] }, times('', '', '2021:06:14 09:08:07')],
    ['a time that is already right is not sent', { ...props, ...taken('2020:01:31 23:00:00') },
      { mode: 'exif', targets: ['createtime', 'modifytime'] }, times('2020:01:31 23:00:00', '', '')],
  ];
  for (const [what, answer, options, expected] of cases) {
    const plan = tools.planFile(answer, options);
    assert.equal(plan.skip, null, what);
    assert.deepEqual({ ...plan.times }, expected, what);
    for (const change of plan.changes) {
      assert.equal(change.from, answer[change.key], `${what}: old ${change.key}`);
      assert.equal(change.to, expected[change.key], `${what}: new ${change.key}`);
    }
    assert.deepEqual(JSON.parse(JSON.stringify(tools.requestsOf(plan))), [{ cat: 'datetime', props: expected }], what);
  }

  const same = tools.planFile(props, { mode: 'copy', source: 'modifytime', targets: ['modifytime'] });
  assert.deepEqual([same.skip, same.times, same.changes.length], [null, null, 0], 'nothing to change');
  assert.deepEqual(JSON.parse(JSON.stringify(tools.requestsOf(same))), [], 'nothing is sent');
});

test('a file the tools cannot serve is skipped with its reason, and nothing of it is sent', () => {
  const props = times('2019:05:05 05:05:05', '1970:01:02 00:00:00', '2020:06:01 00:00:00');
  const both = ['createtime', 'modifytime'];
  const cases = [
    ['unreadable times', { failed: true }, { mode: 'shift', targets: ['modifytime'], seconds: HOUR },
      'Times could not be read', /could not be read/],
    ['a shift out of range, while the other time would fit', props, { mode: 'shift', targets: both, seconds: -2 * DAY },
      'New time out of range', /Modified time would lie before 1970:01:01 00:00:00/],
    ['a time the engine could not show', times('2019:05:05 05:05:05', '', ''), { mode: 'shift', targets: both, seconds: HOUR },
      'Modified time unknown or out of range', /cannot be shifted/],
    ['a copy from a time the engine could not show', times('', '2020:01:01 00:00:00', ''),
      { mode: 'copy', source: 'createtime', targets: ['modifytime'] }, 'Created time unknown or out of range', /cannot be copied/],
    ['no EXIF at all', props, { mode: 'exif', targets: both }, 'No EXIF date taken', /no EXIF date taken/],
    ['EXIF without a date taken', { ...props, exif: { '0x0132': { data: '2021:06:15 10:20:30' } } },
      { mode: 'exif', targets: both }, 'No EXIF date taken', /no EXIF date taken/],
    ['a date taken left blank by the camera', { ...props, ...taken('    :  :     :  :  ') },
      { mode: 'exif', targets: both }, 'No EXIF date taken', /no EXIF date taken/],
    ['a date taken of zeros', { ...props, ...taken('0000:00:00 00:00:00') },
      { mode: 'exif', targets: both }, 'No EXIF date taken', /no EXIF date taken/],
    ['a date taken that does not exist', { ...props, ...taken('2021:02:30 10:00:00') },
      { mode: 'exif', targets: both }, 'EXIF date taken is not a date', /"2021:02:30 10:00:00" is not a valid/],
    ['a date taken before 1970', { ...props, ...taken('1969:12:31 23:59:59') },
      { mode: 'exif', targets: both }, 'EXIF date taken out of range', /lies before 1970/],
  ];
  for (const [what, answer, options, why, reason] of cases) {
    const plan = tools.planFile(answer, options);
    assert.equal(plan.why, why, what);
    assert.match(plan.skip, reason, what);
    assert.equal(plan.times, null, what);
    assert.deepEqual(JSON.parse(JSON.stringify(tools.requestsOf(plan))), [{ cat: 'datetime', skipped: plan.skip }], what);
  }
});

test('the plans of a selection count the files that change, are skipped and why, and are already right', () => {
  const files = [
    { path: 'a', props: times('2019:01:01 00:00:00', '2020:01:01 00:00:00', '2020:01:01 00:00:00') },
    { path: 'b', props: { failed: true } },
    { path: 'c', props: times('2019:01:01 00:00:00', '1970:01:01 00:30:00', '2020:01:01 00:00:00') },
    { path: 'd', props: { failed: true } },
    { path: 'e', props: times('2019:01:01 00:00:00', '2021:01:01 00:00:00', '2020:01:01 00:00:00') },
  ];
  const result = tools.planFiles(files, { mode: 'shift', targets: ['modifytime'], seconds: -HOUR });
  assert.deepEqual(result.changing.map((item) => item.file.path), ['a', 'e']);
  assert.deepEqual(result.skipped.map((item) => item.file.path), ['b', 'c', 'd']);
  assert.deepEqual(JSON.parse(JSON.stringify(result.reasons)),
    [{ why: 'Times could not be read', count: 2 }, { why: 'New time out of range', count: 1 }]);
  assert.equal(result.same, 0);
  const copied = tools.planFiles(files, { mode: 'copy', source: 'modifytime', targets: ['accesstime'] });
  assert.deepEqual([copied.changing.length, copied.same], [2, 1], 'a file whose times match already');
});

// ---- the dialog in the page --------------------------------------------------------------------

useBrowser();

async function openTools(page) {
  await page.click('#time-tools');
  await page.locator('#time-box').waitFor({ state: 'visible' });
}

// Sets the dialog's check boxes of one tool to exactly `keys`.
async function chooseTimes(page, tool, keys) {
  for (const key of ['createtime', 'modifytime', 'accesstime']) {
    await page.locator(`#time-${tool}-${key}`).setChecked(keys.includes(key));
  }
}

async function preview(page) {
  return page.evaluate(() => ({
    summary: document.getElementById('time-summary').textContent,
    skips: Array.prototype.map.call(document.querySelectorAll('#time-skips li'), (li) => li.textContent),
    rows: Array.prototype.map.call(document.querySelectorAll('#time-rows tr'), (tr) => ({
      path: tr.getAttribute('data-path'),
      time: tr.getAttribute('data-time'),
      old: tr.querySelector('.time-old').textContent,
      new: tr.querySelector('.time-new').textContent,
    })),
  }));
}

// Every text the status line shows from now on, kept in the page: the reading steps follow each
// other faster than a poll would see them all.
async function watchStatus(page) {
  await page.evaluate(() => {
    window.timeStatusTexts = [];
    new MutationObserver(() => window.timeStatusTexts.push(document.getElementById('status').textContent))
      .observe(document.getElementById('status'), { childList: true, characterData: true, subtree: true });
  });
}

async function statusShowed(page, pattern) {
  try {
    await page.waitForFunction((source) => window.timeStatusTexts.some((text) => new RegExp(source).test(text)),
      pattern.source, { timeout: 60000 });
  } catch (error) {
    assert.fail(`the status never showed ${pattern}: ${JSON.stringify(await page.evaluate(() => window.timeStatusTexts))}`);
  }
}

// Clicks Cancel the moment the status shows `pattern`, as a user would, between two steps of the
// job; a click from the test would come whenever the page next lets it in.
async function cancelAt(page, pattern) {
  await page.evaluate((source) => {
    const status = document.getElementById('status');
    const observer = new MutationObserver(() => {
      if (!new RegExp(source).test(status.textContent)) return;
      observer.disconnect();
      window.timeCancelled = { progressShown: !document.getElementById('progress').classList.contains('hidden') };
      document.getElementById('cancel').click();
    });
    observer.observe(status, { childList: true, characterData: true, subtree: true });
  }, pattern.source);
}

// Clicks "Change times" and waits for the runner's summary in the status line.
async function apply(page) {
  await page.click('#time-apply');
  await page.waitForFunction(() => /^(Saved|Cancelled)/.test(document.getElementById('status').textContent), null,
    { timeout: 120000 });
  return page.textContent('#status');
}

test('shifting Modified by one day less two hours previews and saves exactly those times', { skip }, async (t) => {
  const mtimes = { 'a.txt': '2016:06:07 08:09:10', 'b.txt': '2020:02:28 23:30:00', 'c.txt': '2020:12:31 03:00:00' };
  const { dir, paths } = makeFolder(t, {
    'a.txt': { mtime: mtimes['a.txt'] },
    'b.txt': { mtime: mtimes['b.txt'] },
    'c.txt': { mtime: mtimes['c.txt'] },
    'sibling.txt': { mtime: '2013:01:01 00:00:00' },
  });
  const { page, commands } = await openPage(t);
  const chosen = [paths['a.txt'], paths['b.txt'], paths['c.txt']];
  await addFiles(page, [...chosen, paths['sibling.txt']]);
  await selectAll(page, [...chosen, paths['sibling.txt']]);
  await page.locator(rowSelector(winPath(paths['sibling.txt']))).click({ modifiers: ['Control'] });
  assert.deepEqual(await selectedPaths(page), chosen.map(winPath).sort(), 'the sibling is in the list, not selected');
  await expectField(page, '#prop-modifytime', { mixed: true });
  const before = snapshot(dir);

  await openTools(page);
  await chooseTimes(page, 'shift', ['modifytime']);
  await page.fill('#time-days', '1');
  await page.fill('#time-hours', '-2');
  const expected = { 'a.txt': '2016:06:08 06:09:10', 'b.txt': '2020:02:29 21:30:00', 'c.txt': '2021:01:01 01:00:00' };
  const shown = await preview(page);
  assert.match(shown.summary, /^3 files will change\./);
  assert.deepEqual(shown.skips, []);
  assert.deepEqual(shown.rows, Object.keys(expected).map((name) => ({
    path: winPath(paths[name]), time: 'modifytime', old: mtimes[name], new: expected[name],
  })));

  const sent = commands.length;
  assert.match(await apply(page), /^Saved 3 of 3 files$/);
  assert.deepEqual(await failures(page), []);
  assert.deepEqual(setpropsSince(commands, sent).map((c) => [c.filename, c.cat, c.props]).sort(),
    Object.keys(expected).map((name) => [winPath(paths[name]), 'datetime',
      { createtime: '', modifytime: expected[name], accesstime: '' }]).sort());
  const changed = {};
  for (const name of Object.keys(expected)) changed[name] = { mtimeMs: utc(expected[name]).getTime() };
  assertOnlyChanged(dir, before, changed);
  assert.ok(await page.locator('#time-box').isHidden(), 'the dialog closed for the save');
});

// Wine on Linux reports a file's creation time from its other times and keeps none that is set,
// so a copy the disk keeps (Modified from Accessed) is the one checked there.
test('setting one time from another copies each file\'s own time', { skip }, async (t) => {
  const { dir, paths } = makeFolder(t, {
    'a.txt': { mtime: '2011:03:04 05:06:07', atime: '2012:01:02 03:04:05' },
    'b.txt': { mtime: '2018:09:10 11:12:13', atime: '2019:12:31 23:59:59' },
  });
  const { page, commands } = await openPage(t);
  const chosen = Object.values(paths);
  await addFiles(page, chosen);
  await selectAll(page, chosen);
  await expectField(page, '#prop-modifytime', { mixed: true });
  const before = snapshot(dir);

  const cases = [
    ['createtime', 'modifytime', { 'a.txt': '2011:03:04 05:06:07', 'b.txt': '2018:09:10 11:12:13' }],
    ['modifytime', 'accesstime', { 'a.txt': '2012:01:02 03:04:05', 'b.txt': '2019:12:31 23:59:59' }],
  ];
  for (const [target, source, expected] of cases) {
    await openTools(page);
    await page.check('#time-mode-copy');
    await page.selectOption('#time-copy-target', target);
    await page.selectOption('#time-copy-source', source);
    const shown = await preview(page);
    const rows = shown.rows.map((row) => [row.path, row.time, row.new]);
    const setOf = (name) => ({ createtime: '', modifytime: '', accesstime: '', [target]: expected[name] });
    if (target === 'createtime') {
      // Wine's creation time is the modified time, so there is nothing to change: the preview says
      // so and the button is off. The plan's own cases hold what a real creation time gets.
      assert.match(shown.summary, /^No file will change\. 2 files have these times already\./);
      assert.ok(await page.isDisabled('#time-apply'));
      await page.keyboard.press('Escape');
      continue;
    }
    assert.match(shown.summary, /^2 files will change\./, `${target} from ${source}`);
    assert.deepEqual(rows, Object.keys(expected).map((name) => [winPath(paths[name]), target, expected[name]]));
    const sent = commands.length;
    assert.match(await apply(page), /^Saved 2 of 2 files$/);
    assert.deepEqual(await failures(page), []);
    assert.deepEqual(setpropsSince(commands, sent).map((c) => [c.filename, c.props]),
      Object.keys(expected).map((name) => [winPath(paths[name]), setOf(name)]));
  }
  assertOnlyChanged(dir, before, {
    'a.txt': { mtimeMs: utc('2012:01:02 03:04:05').getTime() },
    'b.txt': { mtimeMs: utc('2019:12:31 23:59:59').getTime() },
  });
});

test('times from the EXIF date taken: an image without one is skipped and reported', { skip }, async (t) => {
  const { dir, paths } = makeFolder(t, {});
  for (const name of ['le.jpg', 'plain.jpg']) {
    paths[name] = path.join(dir, name);
    fs.copyFileSync(path.join(exifFixtures, name), paths[name]);
    fs.utimesSync(paths[name], utc('2015:06:07 08:09:10'), utc('2015:06:07 08:09:10'));
  }
  const { page, commands } = await openPage(t);
  const chosen = [paths['le.jpg'], paths['plain.jpg']];
  await addFiles(page, chosen);
  await selectAll(page, chosen);
  const before = snapshot(dir);

  await openTools(page);
  await page.check('#time-mode-exif');
  await chooseTimes(page, 'exif', ['createtime', 'modifytime']);
  const shown = await preview(page);
  assert.match(shown.summary, /^1 file will change\. 1 file will be skipped:/);
  assert.deepEqual(shown.skips, ['No EXIF date taken: 1 file']);
  assert.deepEqual(shown.rows.map((row) => [row.path, row.time, row.new]), [
    [winPath(paths['le.jpg']), 'createtime', '2021:06:14 09:08:07'],
    [winPath(paths['le.jpg']), 'modifytime', '2021:06:14 09:08:07'],
  ]);

  const sent = commands.length;
  assert.match(await apply(page), /^Saved 1 of 2 files, 1 failed$/);
  const reported = await failures(page);
  assert.equal(reported.length, 1, JSON.stringify(reported));
  assert.equal(reported[0].path, winPath(paths['plain.jpg']));
  assert.match(reported[0].error, /no EXIF date taken/);
  assertOnlyChanged(dir, before, { 'le.jpg': { mtimeMs: utc('2021:06:14 09:08:07').getTime() } });
  assert.deepEqual(setpropsSince(commands, sent).map((c) => [c.filename, c.cat, c.props]), [[winPath(paths['le.jpg']), 'datetime',
    { createtime: '2021:06:14 09:08:07', modifytime: '2021:06:14 09:08:07', accesstime: '' }]]);
});

test('a shift that would leave the range is refused for that file alone', { skip }, async (t) => {
  const { dir, paths } = makeFolder(t, {
    'early.txt': { mtime: '1970:01:02 00:00:00' },
    'later.txt': { mtime: '2001:01:02 00:00:00' },
  });
  const { page, commands } = await openPage(t);
  const chosen = Object.values(paths);
  await addFiles(page, chosen);
  await selectAll(page, chosen);
  const before = snapshot(dir);

  await openTools(page);
  await chooseTimes(page, 'shift', ['modifytime']);
  await page.fill('#time-days', '-2');
  const shown = await preview(page);
  assert.match(shown.summary, /^1 file will change\. 1 file will be skipped:/);
  assert.deepEqual(shown.skips, ['New time out of range: 1 file']);

  const sent = commands.length;
  assert.match(await apply(page), /^Saved 1 of 2 files, 1 failed$/);
  const reported = await failures(page);
  assert.deepEqual(reported.map((item) => item.path), [winPath(paths['early.txt'])]);
  assert.match(reported[0].error, /would lie before 1970:01:01 00:00:00/);
  assert.deepEqual(setpropsSince(commands, sent).map((c) => c.filename), [winPath(paths['later.txt'])],
    'nothing was sent for the refused file');
  assertOnlyChanged(dir, before, { 'later.txt': { mtimeMs: utc('2000:12:31 00:00:00').getTime() } });
});

test('Cancel stops reading a large selection, and stops a long save early with each file changed or untouched', { skip }, async (t) => {
  const wanted = {};
  for (let i = 0; i < 40; i++) wanted[`f${String(i).padStart(2, '0')}.txt`] = { mtime: '2014:04:04 04:04:04' };
  const { dir, paths } = makeFolder(t, wanted);
  const { page, commands } = await openPage(t);
  const chosen = Object.values(paths);
  // The list draws only the rows in view, so the count tells when all are in.
  await page.evaluate((names) => onAddFiles(JSON.stringify(names)), chosen.map(winPath));
  await page.waitForFunction(() => /^40 files/.test(document.getElementById('count').textContent));
  await page.click('#file-list .file-row');
  await page.keyboard.press('Control+A');
  await page.waitForFunction(() => /40 selected/.test(document.getElementById('count').textContent));
  const before = snapshot(dir);

  // A large selection is read in steps with progress first, and Cancel there opens nothing. What
  // the panel read already is forgotten, so that the tools read it themselves.
  await page.waitForFunction(() => /^40 files selected$/.test(document.getElementById('selection-info').textContent) &&
    !Varenko.progress.active(), null, { timeout: 60000 });
  const forget = () => page.evaluate(() => { for (const file of Varenko.list.selectedFiles()) file.props = null; });
  await watchStatus(page);
  await cancelAt(page, /^Reading times, 8 of 40$/);
  await forget();
  await page.click('#time-tools');
  await statusShowed(page, /^Cancelled: no times were changed$/);
  assert.deepEqual(await page.evaluate(() => window.timeCancelled), { progressShown: true });
  assert.ok(await page.locator('#time-box').isHidden(), 'no dialog after a cancelled read');
  await forget();
  await openTools(page);
  assert.ok(await page.isHidden('#progress'), 'the progress bar is gone once the dialog opens');
  await chooseTimes(page, 'shift', ['modifytime']);
  await page.fill('#time-hours', '1');
  assert.match((await preview(page)).summary, /^40 files will change \(the first 5 are shown\)\./);
  const sent = commands.length;
  await cancelAt(page, /^Saving 3 of 40$/);
  await page.click('#time-apply');
  await statusShowed(page, /^Cancelled: saved/);

  const written = setpropsSince(commands, sent).map((c) => c.filename);
  assert.ok(written.length >= 2 && written.length < 40, `stopped early, after ${written.length} files`);
  assert.equal(new Set(written).size, written.length, 'no file written twice');
  assert.match(await page.textContent('#status'), new RegExp(`^Cancelled: saved ${written.length} of 40 files`));
  const changed = {};
  for (const file of chosen) {
    if (written.includes(winPath(file))) changed[path.basename(file)] = { mtimeMs: utc('2014:04:04 05:04:04').getTime() };
  }
  assertOnlyChanged(dir, before, changed);
});

test('the dialog takes the focus, keeps Tab inside and closes with Esc', { skip }, async (t) => {
  const { paths } = makeFolder(t, { 'a.txt': {} });
  const { page, commands } = await openPage(t);
  await addFiles(page, [paths['a.txt']]);
  await selectAll(page, [paths['a.txt']]);

  await openTools(page);
  const focused = () => page.evaluate(() => document.activeElement.id);
  const inside = () => page.evaluate(() => document.getElementById('time-box').contains(document.activeElement));
  assert.equal(await focused(), 'time-mode-shift');
  assert.equal(await page.getAttribute('#time-box', 'role'), 'dialog');
  assert.equal(await page.textContent(`#${await page.getAttribute('#time-box', 'aria-labelledby')}`), 'Time tools');
  // Nothing to change yet, and a text that is no number: the button that would save stays off.
  assert.equal(await page.textContent('#time-summary'), 'Enter how far to shift the times.');
  assert.ok(await page.isHidden('#time-error'));
  assert.ok(await page.isDisabled('#time-apply'));
  await page.fill('#time-hours', '2h');
  assert.equal(await page.textContent('#time-error'), 'Enter whole numbers of hours, with a minus sign to go back');
  assert.ok(await page.isDisabled('#time-apply'));
  await page.fill('#time-hours', '2');
  assert.ok(await page.isEnabled('#time-apply'));
  assert.ok(await page.isHidden('#time-error'));
  for (let i = 0; i < 12; i++) {
    await page.keyboard.press('Tab');
    assert.ok(await inside(), `Tab ${i + 1} stays in the dialog (at ${await focused()})`);
  }
  await page.focus('#time-mode-shift');
  await page.keyboard.press('Shift+Tab');
  assert.equal(await focused(), 'time-close', 'Shift+Tab from the first field goes round to the last');
  await page.keyboard.press('Tab');
  assert.equal(await focused(), 'time-mode-shift', 'and Tab from the last back to the first');

  // A click on the dialog's text or on the shade around it takes the focus from every field.
  for (const where of [{ selector: '#time-title' }, { selector: '#time-box', position: { x: 5, y: 5 } }]) {
    await page.click(where.selector, where.position ? { position: where.position } : {});
    await page.keyboard.press('Shift+Tab');
    assert.ok(await inside(), `Shift+Tab after a click on ${where.selector} stays in the dialog (at ${await focused()})`);
  }
  await page.click('#time-title');

  const sent = commands.length;
  await page.keyboard.press('Escape');
  assert.ok(await page.locator('#time-box').isHidden(), 'Esc closes the dialog');
  assert.equal(await focused(), 'time-tools', 'the focus goes back to the toolbar button');
  assert.deepEqual(setpropsSince(commands, sent), [], 'closing writes nothing');
});
