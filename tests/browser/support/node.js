// Page files run in node, without a page: the parts that touch no document until they are
// started, loaded in one bare context in the order given.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');

const UI = path.join(__dirname, '..', '..', '..', 'ui');

// Runs the files (paths below ui/) in a fresh context; returns its Varenko.
function loadPageFiles(names) {
  const context = { Varenko: {}, window: {}, document: {} };
  vm.createContext(context);
  for (const name of names) {
    const file = path.join(UI, name);
    vm.runInContext(fs.readFileSync(file, 'utf8'), context, { filename: file });
  }
  return context.Varenko;
}

// Runs `body` with the process's local time set to `zone` (Date reads it anew), and puts the old
// one back.
function inZone(zone, body) {
  const before = process.env.TZ;
  process.env.TZ = zone;
  try {
    return body();
  } finally {
    if (before === undefined) delete process.env.TZ; else process.env.TZ = before;
  }
}

module.exports = { loadPageFiles, inZone };
