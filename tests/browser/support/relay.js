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

// A relay over a stand-in engine that answers each request with `answer(request)`: the answer
// text, or undefined for none. `answer` runs in the engine's own process, so it may use only what
// it is given: the request and `data`, a JSON value. Resolves to the page address.
function answeringRelay(t, answer, data) {
  const engine = engineScript(t, `const answer = ${answer.toString()};
const data = ${JSON.stringify(data === undefined ? null : data)};
let buffer = '';
process.stdin.on('data', (chunk) => {
  buffer += chunk;
  for (let end; (end = buffer.indexOf('\\n')) >= 0;) {
    const line = buffer.slice(0, end);
    buffer = buffer.slice(end + 1);
    let request = null;
    try { request = JSON.parse(line); } catch (error) { /* not JSON: no answer */ }
    const text = request ? answer(request, data) : undefined;
    process.stdout.write(JSON.stringify(text === undefined ? { hr: 0 } : { hr: 0, answer: text }) + '\\n');
  }
});
`);
  return spawnRelay(t, ['--native', '--exe', engine]);
}

module.exports = { RELAY, spawnRelay, engineScript, answeringRelay };
