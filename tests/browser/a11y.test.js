// The page checked by axe-core in the states a user passes through: names, roles, landmarks and
// contrast. Any violation fails, listed by rule, element and what axe says is wrong.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const {
  skip, SAVE_TIMEOUT, useBrowser, utc, openPage, addFiles, selectOnly, selectAll, expectField, tempFolder,
} = require('./support/page');

useBrowser();

const axeSource = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');

// axe's violations on the page as it is now, one readable line per element.
async function violations(page) {
  const loaded = await page.evaluate(() => typeof window.axe !== 'undefined');
  if (!loaded) await page.addScriptTag({ content: axeSource });
  const found = await page.evaluate(async () => {
    const result = await window.axe.run(document, { resultTypes: ['violations'] });
    return result.violations.map((rule) => ({
      id: rule.id, impact: rule.impact, help: rule.help,
      nodes: rule.nodes.map((node) => ({ target: node.target.join(' '), summary: node.failureSummary })),
    }));
  });
  const lines = [];
  for (const rule of found) {
    for (const node of rule.nodes) {
      lines.push(`${rule.id} (${rule.impact}) at ${node.target}: ${rule.help}\n    ${String(node.summary).replace(/\n/g, '\n    ')}`);
    }
  }
  return lines;
}

async function expectNone(page, state) {
  const lines = await violations(page);
  assert.deepEqual(lines, [], `${state}:\n  ${lines.join('\n  ')}`);
}

test('the page has no accessibility violations in the states a user passes through', { skip }, async (t) => {
  const dir = tempFolder(t, 'a11y');
  const data = path.join(__dirname, '..', 'data', 'doc');
  const files = ['props.doc', 'sets.doc'].map((name, i) => {
    const file = path.join(dir, name);
    fs.copyFileSync(path.join(data, name), file);
    fs.utimesSync(file, utc('2011:01:01 00:00:00'), utc(`201${i}:01:01 00:00:00`));
    return file;
  });
  const gone = path.join(dir, 'gone.txt');
  fs.writeFileSync(gone, 'gone\n');
  const { page } = await openPage(t);

  // Each state is reached from the one before it, and checked as it stands.
  const states = [
    ['the empty page', async () => {}],
    ['files listed', async () => addFiles(page, [...files, gone])],
    ['one file selected', async () => {
      await selectOnly(page, files[0]);
      await expectField(page, '#prop-modifytime', { value: '2010:01:01 00:00:00' });
    }],
    ['several files with different values', async () => {
      await selectAll(page, [...files, gone]);
      await page.click('#tab-doc');
      await page.locator('#props-body .page[data-page="doc"] input.mixed').first().waitFor();
    }],
    ['an edited field that is not valid', async () => {
      await page.click('#tab-file');
      await page.fill('#prop-modifytime', '2020:13:45 99:00:00');
      await page.locator('#props-body .message').waitFor();
    }],
    ['the failures pane', async () => {
      await page.fill('#prop-modifytime', '2020:01:02 03:04:05');
      fs.unlinkSync(gone);
      await page.click('#save');
      await page.waitForFunction(() => /^Saved/.test(document.getElementById('status').textContent), null, { timeout: SAVE_TIMEOUT });
      await page.locator('#failures-pane:not(.hidden)').waitFor();
    }],
    ['the About box', async () => {
      await page.click('#about');
      await page.locator('#about-box:not(.hidden)').waitFor();
    }],
    ['the Add paths box', async () => {
      await page.keyboard.press('Escape');
      await page.click('#add-paths');
      await page.fill('#paths-text', '"C:\\nowhere\\a.txt"');
      await page.click('#paths-add');
      await page.locator('#paths-error:not(.hidden)').waitFor();
    }],
    ['the Time tools box with its preview', async () => {
      await page.keyboard.press('Escape');
      await selectAll(page, [...files, gone]);
      await page.click('#time-tools');
      await page.locator('#time-box:not(.hidden)').waitFor();
      await page.fill('#time-hours', '2');
      await page.locator('#time-table:not(.hidden)').waitFor();
    }],
  ];
  for (const [state, reach] of states) {
    await t.test(state, async () => {
      await reach();
      await expectNone(page, state);
    });
  }
});
