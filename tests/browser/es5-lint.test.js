// The page runs in the Windows web-browser control, whose script engine knows ES5 and no more:
// every script of the page must parse as ES5.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const acorn = require('acorn');

const uiDir = path.join(__dirname, '..', '..', 'ui');

function parseAsEs5(text) {
  acorn.parse(text, { ecmaVersion: 5, sourceType: 'script', allowReserved: false });
}

test('the ES5 check refuses syntax beyond ES5', () => {
  const later = [
    'var f = x => x;',
    'let a = 1;',
    'const a = 1;',
    'class A {}',
    'var s = `text`;',
    'var o = { a };',
    'function f(a = 1) {}',
    'var [a] = [1];',
    'for (var x of y) {}',
    'async function f() {}',
    'var x = a ?? b;',
    'var x = a?.b;',
    'var x = 2 ** 3;',
    'var x = { ...y };',
  ];
  for (const source of later) {
    assert.throws(() => parseAsEs5(source), SyntaxError, source);
  }
  parseAsEs5('var o = { get a() { return 1; } }; "use strict"; [1, 2].forEach(function (x) {});');
});

test('every script of the page parses as ES5', () => {
  const scripts = fs.readdirSync(uiDir).filter((name) => name.endsWith('.js'));
  assert.ok(scripts.length > 0, 'no scripts in ' + uiDir);
  for (const name of scripts) {
    const text = fs.readFileSync(path.join(uiDir, name), 'utf8');
    try {
      parseAsEs5(text);
    } catch (error) {
      assert.fail(`ui/${name}: ${error.message}`);
    }
  }
});
