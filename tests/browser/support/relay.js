// A page relay of a test's own (tools/page-relay.py on a free port), stopped when the test ends,
// and stand-in engines for it: small Node scripts that answer the relay's lines as the real
// engine would, where a test needs an engine that misbehaves or shows what it was given.
'use strict';
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');

const RELAY = path.join(__dirname, '..', '..', '..', 'tools', 'page-relay.py');

// Starts the relay with `args` (its own options, then "--" and the engine's arguments if any) in
// the folder `cwd`; resolves to the page address it prints.
function spawnRelay(t, args, cwd) {
  const relay = spawn('python3', [RELAY, '0', ...args], { stdio: ['ignore', 'pipe', 'pipe'], cwd });
  t.after(() => relay.kill());
  return new Promise((resolve, reject) => {
    let out = '';
    relay.stdout.on('data', (chunk) => {
      out += chunk;
      const found = /^Varenko page at (\S+)/m.exec(out);
      if (found) resolve(found[1]);
    });
    relay.on('exit', (code) => reject(new Error(`the relay ended with ${code}`)));
  });
}

// Writes `source` as an executable Node script in a folder removed after the test; returns its path.
function engineScript(t, source) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varenko-engine-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  const file = path.join(dir, 'engine.js');
  fs.writeFileSync(file, `#!${process.execPath}\n${source}`, { mode: 0o755 });
  return file;
}

module.exports = { RELAY, spawnRelay, engineScript };
