// The page runs in the Windows web-browser control, whose engine is older than the Chromium the
// other tests use: its script knows ES5 and no more, and it lacks a number of later DOM and
// library calls and CSS features that Chromium would render without complaint. Every page file
// (everything under ui/, subfolders too) is checked here for those.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const acorn = require('acorn');

const uiDir = path.join(__dirname, '..', '..', 'ui');

// ---- scripts -----------------------------------------------------------------------------------

function parseAsEs5(text) {
  return acorn.parse(text, { ecmaVersion: 5, sourceType: 'script', allowReserved: false, locations: true });
}

// Methods the engine lacks, called on any object.
const MISSING_METHODS = {
  closest: 'Element.closest',
  includes: 'includes',
  startsWith: 'String.startsWith',
  endsWith: 'String.endsWith',
  find: 'Array.find',
  findIndex: 'Array.findIndex',
};
// Globals the engine lacks, and members it lacks of the globals it has.
const MISSING_GLOBALS = ['Promise', 'fetch', 'Symbol'];
const MISSING_STATICS = { Object: ['assign'], Array: ['from', 'of'] };

function memberName(node) {
  if (node.type !== 'MemberExpression') return null;
  if (!node.computed && node.property.type === 'Identifier') return node.property.name;
  if (node.computed && node.property.type === 'Literal' && typeof node.property.value === 'string') return node.property.value;
  return null;
}

// Calls visit(node, parent) for every node below and including node.
function walk(node, visit, parent) {
  visit(node, parent);
  for (const key of Object.keys(node)) {
    const child = node[key];
    const children = Array.isArray(child) ? child : [child];
    for (const item of children) {
      if (item && typeof item.type === 'string') walk(item, visit, node);
    }
  }
}

// Everything in a script the engine cannot run, as "line N: what" texts.
function scriptProblems(text) {
  let tree;
  try {
    tree = parseAsEs5(text);
  } catch (error) {
    return [`not ES5: ${error.message}`];
  }
  const problems = [];
  const say = (node, what) => problems.push(`line ${node.loc.start.line}: ${what}`);
  walk(tree, (node, parent) => {
    if (node.type === 'CallExpression') {
      const name = memberName(node.callee);
      if (name && Object.prototype.hasOwnProperty.call(MISSING_METHODS, name)) say(node, `${MISSING_METHODS[name]} is missing`);
      // classList takes one name a call, and toggle no second argument.
      if (name && memberName(node.callee.object) === 'classList') {
        const args = node.arguments.length;
        if ((name === 'add' || name === 'remove') && args > 1) say(node, `classList.${name} with more than one name`);
        if (name === 'toggle' && args > 1) say(node, 'classList.toggle with a second argument');
        if (name === 'replace') say(node, 'classList.replace is missing');
      }
    } else if (node.type === 'Identifier' && MISSING_GLOBALS.includes(node.name)) {
      const isMemberName = parent && parent.type === 'MemberExpression' && parent.property === node && !parent.computed;
      const isKey = parent && parent.type === 'Property' && parent.key === node;
      if (!isMemberName && !isKey) say(node, `${node.name} is missing`);
    } else if (node.type === 'MemberExpression' && node.object.type === 'Identifier') {
      const name = memberName(node);
      const owner = node.object.name;
      if ((owner === 'window' || owner === 'self') && MISSING_GLOBALS.includes(name)) say(node, `${name} is missing`);
      if (MISSING_STATICS[owner] && MISSING_STATICS[owner].includes(name)) say(node, `${owner}.${name} is missing`);
    }
  });
  return problems;
}

// ---- style sheets ------------------------------------------------------------------------------

function stripComments(text) {
  let out = '';
  let quote = null;
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (quote) {
      out += c;
      if (c === '\\') out += text[++i] || '';
      else if (c === quote) quote = null;
    } else if (c === '/' && text[i + 1] === '*') {
      const end = text.indexOf('*/', i + 2);
      i = end < 0 ? text.length : end + 1;
      out += ' ';
    } else {
      if (c === '"' || c === '\'') quote = c;
      out += c;
    }
  }
  return out;
}

// Splits on a character outside strings and brackets.
function splitOutside(text, separator) {
  const parts = [];
  let part = '';
  let quote = null;
  let depth = 0;
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (quote) {
      part += c;
      if (c === '\\') part += text[++i] || '';
      else if (c === quote) quote = null;
      continue;
    }
    if (c === '"' || c === '\'') quote = c;
    else if (c === '(') depth++;
    else if (c === ')') depth--;
    else if (c === separator && depth === 0) {
      parts.push(part);
      part = '';
      continue;
    }
    part += c;
  }
  parts.push(part);
  return parts;
}

function declarations(block) {
  const list = [];
  for (const text of splitOutside(block, ';')) {
    const colon = text.indexOf(':');
    if (colon < 0) continue;
    list.push({
      property: text.slice(0, colon).trim().toLowerCase(),
      value: text.slice(colon + 1).replace(/!\s*important\s*$/i, '').trim(),
    });
  }
  return list;
}

// The style rules of a sheet, { selector, declarations }, those inside @media and the like too.
function styleRules(text) {
  const rules = [];
  const source = stripComments(text);
  let prelude = '';
  let quote = null;
  for (let i = 0; i < source.length; i++) {
    const c = source[i];
    if (quote) {
      prelude += c;
      if (c === '\\') prelude += source[++i] || '';
      else if (c === quote) quote = null;
    } else if (c === '"' || c === '\'') {
      quote = c;
      prelude += c;
    } else if (c === '{') {
      const head = prelude.trim();
      prelude = '';
      // Group rules hold rules; every other block holds declarations.
      if (/^@(media|supports|document)\b/i.test(head)) continue;
      let depth = 1;
      let body = '';
      let inner = null;
      for (i++; i < source.length && depth > 0; i++) {
        const d = source[i];
        if (inner) {
          if (d === '\\') { body += d + (source[i + 1] || ''); i++; continue; }
          if (d === inner) inner = null;
        } else if (d === '"' || d === '\'') inner = d;
        else if (d === '{') depth++;
        else if (d === '}' && --depth === 0) break;
        body += d;
      }
      rules.push({ selector: head, declarations: declarations(body) });
    } else if (c === '}' || c === ';') {
      prelude = '';
    } else {
      prelude += c;
    }
  }
  return rules;
}

const GAPS = ['gap', 'row-gap', 'column-gap', 'grid-gap', 'grid-row-gap', 'grid-column-gap'];

function declarationProblems(rule) {
  const problems = [];
  const say = (what) => problems.push(`${rule.selector || 'style attribute'}: ${what}`);
  const properties = rule.declarations.map((d) => d.property);
  for (const { property, value } of rule.declarations) {
    if (GAPS.includes(property)) say(`${property} is not rendered`);
    else if (/^grid(-|$)/.test(property)) say(`${property}: there is no unprefixed grid`);
    if (property === 'display' && /^(inline-)?grid$/i.test(value)) say(`display: ${value}: there is no unprefixed grid`);
    if (property.startsWith('--')) say(`${property}: there are no custom properties`);
    if (/var\(\s*--/i.test(value)) say(`${property}: ${value}: there are no custom properties`);
    if (property === 'position' && /sticky/i.test(value)) say('position: sticky is not rendered');
    if ((property === 'flex' || property === '-ms-flex') && value.split(/\s+/)[2] === '0') {
      say(`${property}: ${value}: a basis of a bare 0 drops the declaration; write 0%`);
    }
  }
  if (properties.includes('user-select') && !properties.includes('-ms-user-select')) say('user-select needs -ms-user-select beside it');
  return problems;
}

function styleProblems(text) {
  return [].concat(...styleRules(text).map(declarationProblems));
}

// ---- HTML --------------------------------------------------------------------------------------

function htmlProblems(text) {
  const problems = [];
  for (const match of text.matchAll(/<style\b[^>]*>([\s\S]*?)<\/style\s*>/gi)) {
    problems.push(...styleProblems(match[1]).map((p) => `<style>: ${p}`));
  }
  for (const match of text.matchAll(/\sstyle\s*=\s*(?:"([^"]*)"|'([^']*)')/gi)) {
    const block = match[1] !== undefined ? match[1] : match[2];
    problems.push(...declarationProblems({ selector: '', declarations: declarations(block) }).map((p) => `style="…": ${p}`));
  }
  for (const match of text.matchAll(/<script\b([^>]*)>([\s\S]*?)<\/script\s*>/gi)) {
    if (/\ssrc\s*=/i.test(match[1])) continue;
    problems.push(...scriptProblems(match[2]).map((p) => `<script>: ${p}`));
  }
  return problems;
}

// ---- the page files ----------------------------------------------------------------------------

// Every file under ui/, as a path relative to it with '/' between parts.
function pageFiles(dir = uiDir, prefix = '') {
  const files = [];
  for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
    const name = prefix + entry.name;
    if (entry.isDirectory()) files.push(...pageFiles(path.join(dir, entry.name), name + '/'));
    else files.push(name);
  }
  return files.sort();
}

const CHECKERS = [
  [/\.js$/i, scriptProblems],
  [/\.css$/i, styleProblems],
  [/\.html?$/i, htmlProblems],
];

function checkerFor(name) {
  const found = CHECKERS.find(([pattern]) => pattern.test(name));
  return found ? found[1] : null;
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

test('the script check refuses calls and globals the engine lacks', () => {
  const refused = [
    'row = event.target.closest(".file-row");',
    'if (names.includes(name)) {}',
    'if (path.startsWith("Z:")) {}',
    'if (name.endsWith(".mp3")) {}',
    'row = event.target["closest"](".file-row");',
    'var done = new Promise(function (resolve) { resolve(); });',
    'Promise.resolve(1).then(function () {});',
    'fetch("/varenko/command");',
    'window.fetch("/varenko/command");',
    'var p = window.Promise;',
    'element.classList.add("edited", "mixed");',
    'element.classList.remove("edited", "mixed");',
    'element.classList.toggle("edited", on);',
    'element.classList.replace("edited", "mixed");',
    'var copy = Object.assign({}, entry);',
    'var list = Array.from(nodes);',
    'var key = Symbol("key");',
    'var first = files.find(function (f) { return f.basic; });',
    'function f() { return function () { return name.startsWith("a"); }; }',
  ];
  for (const source of refused) {
    assert.notDeepEqual(scriptProblems(source), [], source);
  }
  const accepted = [
    'element.classList.add("a"); element.classList.remove("a"); element.classList.toggle("a"); element.classList.contains("a");',
    'var o = { fetch: 1, includes: 2, Promise: 3 }; o.fetch = o.includes + o.Promise;',
    'if (name.indexOf("a") === 0 && list.indexOf(x) >= 0) {}',
    'var keys = Object.keys(o); var ok = Array.isArray(keys);',
    'var request = new XMLHttpRequest(); request.open("POST", "/x", false);',
  ];
  for (const source of accepted) {
    assert.deepEqual(scriptProblems(source), [], source);
  }
});

test('the style check refuses what the engine does not render', () => {
  const refused = [
    '#toolbar { display: flex; gap: 6px; }',
    '.a { row-gap: 4px }',
    '.a { column-gap: 4px }',
    '.a { grid-gap: 4px 12px }',
    '#attributes { display: grid; }',
    '.a { display: inline-grid }',
    '.a { DISPLAY: GRID }',
    '.a { grid-template-columns: 1fr 1fr; }',
    '.a { grid-template: auto / 1fr 1fr }',
    '.a { grid-area: main }',
    '.a { color: var(--accent); }',
    '.a { margin: calc(var( --gap) * 2) }',
    ':root { --accent: #2563eb; }',
    '.a { position: sticky; top: 0 }',
    '.a { position: -webkit-sticky }',
    '.col-name { flex: 3 1 0; }',
    '.a{flex:1 1 0}',
    '.a { -ms-flex: 1 1 0 }',
    '.a { flex: 1 1 0 !important }',
    '.file-row { user-select: none; }',
    '.a { -ms-user-select: none } .b { user-select: none }',
    '@media screen and (min-width: 10px) { .a { gap: 2px } }',
    '.a:after { content: "}"; gap: 2px }',
  ];
  for (const source of refused) {
    assert.notDeepEqual(styleProblems(source), [], source);
  }
  const accepted = [
    '.a { -ms-user-select: none; user-select: none; }',
    '.a { flex: 1 1 0%; } .b { flex: 0 0 56px } .c { flex: 1 1 auto } .d { flex: 1 } .e { flex: 2 0 }',
    '.grid, .gap, #sticky { display: flex; margin-left: 6px; }',
    '/* gap: 4px; display: grid; position: sticky */ .a { color: red }',
    '.a:after { content: "gap: 1px; display: grid"; }',
    '@media print { .a { display: none } }',
    '.a { position: relative; background: url("a;b.png") }',
  ];
  for (const source of accepted) {
    assert.deepEqual(styleProblems(source), [], source);
  }
});

test('the HTML check looks into inline styles and scripts', () => {
  const refused = [
    '<div style="gap: 4px"></div>',
    '<div style=\'display:grid\'></div>',
    '<span style="user-select: none">x</span>',
    '<style>.a { display: grid }</style>',
    '<style type="text/css">\n.a { flex: 1 1 0 }\n</style>',
    '<script>fetch("/x");</script>',
    '<script type="text/javascript">let a = 1;</script>',
  ];
  for (const source of refused) {
    assert.notDeepEqual(htmlProblems(source), [], source);
  }
  assert.deepEqual(htmlProblems('<div style="-ms-user-select: none; user-select: none"></div>' +
    '<style>.a { margin-left: 6px }</style><script src="a.js"></script><script>var a = 1;</script>'), []);
});

test('every script of the page parses as ES5', () => {
  const scripts = pageFiles().filter((name) => name.endsWith('.js'));
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

test('every page file passes the checks of its kind', () => {
  const files = pageFiles();
  for (const kind of ['.html', '.css', '.js']) {
    assert.ok(files.some((name) => name.endsWith(kind)), `no ${kind} file in ${uiDir}`);
  }
  for (const name of files) {
    const check = checkerFor(name);
    if (!check) continue; // images and other files that are not code
    assert.deepEqual(check(fs.readFileSync(path.join(uiDir, name), 'utf8')), [], `ui/${name}`);
  }
});

test('index.html loads every script of the page, and only scripts that are there', () => {
  const html = fs.readFileSync(path.join(uiDir, 'index.html'), 'utf8');
  const loaded = [...html.matchAll(/<script\b[^>]*\ssrc\s*=\s*["']([^"']+)["']/gi)].map((m) => m[1]);
  const scripts = pageFiles().filter((name) => /\.js$/i.test(name));
  assert.deepEqual([...loaded].sort(), scripts);
  assert.equal(new Set(loaded).size, loaded.length, 'a script loaded twice');
});

test('every page file has a name the program can embed and serve', () => {
  // The program embeds each file as PAGE_ and its path in upper case, other characters as '_'.
  const seen = new Map();
  for (const name of pageFiles()) {
    assert.match(name, /^[A-Za-z0-9._-]+(\/[A-Za-z0-9._-]+)*$/, `ui/${name}`);
    const resource = 'PAGE_' + name.toUpperCase().replace(/[^A-Z0-9]/g, '_');
    assert.ok(!seen.has(resource), `ui/${name} and ui/${seen.get(resource)} are both ${resource}`);
    seen.set(resource, name);
  }
});
