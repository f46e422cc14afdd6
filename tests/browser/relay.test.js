// The page relay serves the page under the addresses the program's own page handler answers, and
// hands commands to the command engine one line each: only commands that carry the token of its
// run, each within a time limit, with limits on what a request and a connection may hold.
//
// The first tests run against the relay of scripts/browser-tests.sh and the real engine; the
// others start relays of their own over a stand-in engine (a Node script), so that an engine that
// hangs, the relay's limits, and what reaches the engine's command line can be shown in a second
// or two.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const http = require('node:http');
const net = require('node:net');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { spawnRelay, engineScript } = require('./support/relay');

const pageUrl = process.env.VARENKO_PAGE_URL;
const skip = pageUrl ? false : 'needs the page relay: run scripts/browser-tests.sh';
const FRAMING = { 'x-frame-options': 'DENY', 'content-security-policy': "frame-ancestors 'none'" };

// The token of a relay's run, from the fragment of the page address it printed.
function tokenOf(url) {
  return new URLSearchParams(new URL(url).hash.slice(1)).get('token');
}

// Raw requests: Node's http keeps the path exactly as given, dot segments included. Commands
// carry the token the page's stand-in sends, unless other headers are given.
function request(url, method, target, body, headers) {
  const base = new URL(url);
  if (!headers) headers = method === 'POST' ? { 'X-Varenko-Command': tokenOf(url) } : {};
  return new Promise((resolve, reject) => {
    const req = http.request({ host: base.hostname, port: base.port, method, path: target, headers, agent: false }, (res) => {
      const chunks = [];
      res.on('data', (chunk) => chunks.push(chunk));
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks).toString('utf8') }));
    });
    req.on('error', reject);
    req.end(body);
  });
}

// Bytes exactly as given, over a connection of their own. Resolves when the relay closes the
// connection, or after `waitMs` with what it sent by then: { status, headers, closed, ms }.
function rawExchange(url, bytes, waitMs = 5000) {
  const started = Date.now();
  return new Promise((resolve, reject) => {
    const socket = net.connect(Number(new URL(url).port), '127.0.0.1');
    const chunks = [];
    let timer;
    const finish = (closed) => {
      clearTimeout(timer);
      socket.destroy();
      const text = Buffer.concat(chunks).toString('latin1');
      const [head] = text.split('\r\n\r\n');
      const [statusLine, ...lines] = head.split('\r\n');
      const headers = {};
      for (const line of lines) {
        const colon = line.indexOf(':');
        if (colon > 0) headers[line.slice(0, colon).trim().toLowerCase()] = line.slice(colon + 1).trim();
      }
      const status = /^HTTP\/1\.[01] (\d{3})/.exec(statusLine || '');
      resolve({ status: status ? Number(status[1]) : null, headers, closed, ms: Date.now() - started });
    };
    socket.on('data', (chunk) => chunks.push(chunk));
    socket.on('end', () => finish(true));
    socket.on('error', (error) => (chunks.length ? finish(true) : reject(error)));
    timer = setTimeout(() => finish(false), waitMs);
    if (bytes) socket.write(bytes);
  });
}

function assertFramingHeaders(headers, what) {
  for (const [name, value] of Object.entries(FRAMING)) assert.equal(headers[name], value, `${name} of ${what}`);
}

// A relay of the test's own over a stand-in engine that answers each line with its process id
// ("getcmdline" with the JSON text of its arguments), never answers again once asked to "hang",
// and ends when asked to "die". `engineArgs` go after "--"; `cwd` is the relay's folder.
async function startRelay(t, options = [], engineArgs = null, cwd = undefined) {
  const engine = engineScript(t, `let buffer = '';
let hung = false;
process.stdin.on('data', (chunk) => {
  buffer += chunk;
  for (let end; (end = buffer.indexOf('\\n')) >= 0;) {
    const line = buffer.slice(0, end);
    buffer = buffer.slice(end + 1);
    let cmd = '';
    try { cmd = JSON.parse(line).cmd; } catch (error) { /* not JSON */ }
    if (cmd === 'die') process.exit(3);
    if (cmd === 'hang') hung = true;
    const answer = cmd === 'getcmdline' ? JSON.stringify(process.argv.slice(2)) : String(process.pid);
    if (!hung) process.stdout.write(JSON.stringify({ hr: 0, answer }) + '\\n');
  }
});
`);
  return spawnRelay(t, ['--native', '--exe', engine, ...options, ...(engineArgs ? ['--', ...engineArgs] : [])], cwd);
}

async function command(url, cmd, headers) {
  return request(url, 'POST', '/varenko/command', JSON.stringify({ cmd }), headers);
}

test('the relay maps addresses to page files as the program does', { skip }, async () => {
  const cases = [
    ['/varenko/UI', 200, 'text/html'],
    ['/varenko/UI/', 200, 'text/html'],
    ['/VARENKO/UI', 200, 'text/html'],
    ['/varenko/UI?view=1#top', 200, 'text/html'],
    ['/varenko/standin.js', 200, 'application/javascript'],
    ['/varenko/UI/standin.js', 200, 'application/javascript'],
    ['/varenko/index.html', 200, 'text/html'],
    ['/varenko/ui', 200, 'text/html'],
    ['/varenko/', 404],
    ['/varenko/UI//standin.js', 404],
    ['/varenko/../tools/page-relay.py', 404],
    ['/varenko/UI/../index.html', 404],
    ['/varenko/UI/..%2Findex.html', 404],
    ['/varenko/no-such-file.js', 404],
    ['/ui/index.html', 404],
    ['/', 404],
  ];
  for (const [target, status, type] of cases) {
    const answer = await request(pageUrl, 'GET', target);
    assert.equal(answer.status, status, target);
    assertFramingHeaders(answer.headers, target);
    if (type) {
      assert.equal(answer.headers['content-type'], type, target);
      assert.equal(answer.headers['cache-control'], 'no-store', target);
    }
  }
  // The page files are anyone's to read: the token is in none of them.
  const token = tokenOf(pageUrl);
  assert.ok(token && token.length >= 32, 'the page address carries a token');
  for (const target of ['/varenko/UI', '/varenko/standin.js']) {
    assert.ok(!(await request(pageUrl, 'GET', target)).body.includes(token), target);
  }
});

test('the relay answers a command with the engine\'s line and refuses what is not one line', { skip }, async () => {
  const version = await command(pageUrl, 'getappver');
  assert.equal(version.status, 200);
  assert.match(version.headers['content-type'], /^application\/json/);
  assertFramingHeaders(version.headers, 'a command');
  const line = JSON.parse(version.body);
  assert.equal(line.hr, 0);
  assert.match(line.answer, /^\d+\.\d+\.\d+\.\d+$/);

  assert.deepEqual(JSON.parse((await request(pageUrl, 'POST', '/varenko/command', 'not json')).body), { hr: 0 });

  // Text beyond ASCII crosses as UTF-8 both ways.
  const name = 'Z:\\no-such-folder\\\u00e9t\u00e9 \u6587\u4ef6.txt';
  const set = await request(pageUrl, 'POST', '/varenko/command',
    JSON.stringify({ cmd: 'setprops', filename: name, cat: 'datetime', props: { modifytime: '2020:01:31 13:45:00' } }));
  assert.deepEqual(JSON.parse(JSON.parse(set.body).answer), { result: false, error: 'file open failed, error: 3' });

  assert.equal((await request(pageUrl, 'POST', '/varenko/command', '{"cmd":\n"getappver"}')).status, 400);
  assert.equal((await request(pageUrl, 'POST', '/varenko/other', '{"cmd":"getappver"}')).status, 404);
});

test('the relay takes commands only with the token of its run, from its own page', { skip }, async () => {
  const token = tokenOf(pageUrl);
  const own = new URL(pageUrl).host;
  const cases = [
    ['no token', {}],
    ['the header without a token', { 'X-Varenko-Command': '1' }],
    ['another token', { 'X-Varenko-Command': token.slice(1) + 'x' }],
    ['the token in another letter case', { 'X-Varenko-Command': token.toUpperCase() === token ? token.toLowerCase() : token.toUpperCase() }],
    ['another site', { 'X-Varenko-Command': token, Origin: 'http://example.com' }],
    ['another host name', { 'X-Varenko-Command': token, Host: 'attacker.example:' + new URL(pageUrl).port }],
  ];
  for (const [what, headers] of cases) {
    const answer = await command(pageUrl, 'getappver', headers);
    assert.equal(answer.status, 403, what);
    assertFramingHeaders(answer.headers, what);
  }
  const allowed = await command(pageUrl, 'getappver', { 'X-Varenko-Command': token, Origin: 'http://' + own });
  assert.equal(allowed.status, 200);

  // Refused before the body is read: the answer comes at once, though the body never does.
  const refused = await rawExchange(pageUrl, 'POST /varenko/command HTTP/1.1\r\nHost: ' + own +
    '\r\nX-Varenko-Command: 1\r\nContent-Length: 1000000\r\n\r\n{"cmd":');
  assert.equal(refused.status, 403);
  assert.ok(refused.closed, 'the connection ends with the refusal');
});

test('a command that does not answer in time gets 504, and a fresh engine serves the next', async (t) => {
  const url = await startRelay(t, ['--timeout', '1']);
  const first = await command(url, 'getappver');
  assert.equal(first.status, 200);
  const before = JSON.parse(first.body).answer;

  const started = Date.now();
  const [hung, waiting] = await Promise.all([
    command(url, 'hang'),
    // Sent while the engine hangs: it waits for the engine, not for ever.
    new Promise((resolve) => setTimeout(resolve, 200)).then(() => command(url, 'getappver')),
  ]);
  assert.equal(hung.status, 504);
  assertFramingHeaders(hung.headers, 'a command out of time');
  assert.equal(waiting.status, 200);
  const after = JSON.parse(waiting.body).answer;
  assert.notEqual(after, before, 'the engine was started again');
  assert.ok(Date.now() - started < 10000, `both answered in ${Date.now() - started} ms`);

  // An engine that ends is started again too.
  assert.equal((await command(url, 'die')).status, 502);
  assert.equal((await command(url, 'getappver')).status, 200);
});

test('the relay refuses lengths that are not plain numbers and bodies too large, reading none', async (t) => {
  const url = await startRelay(t);
  const host = new URL(url).host;
  const start = `POST /varenko/command HTTP/1.1\r\nHost: ${host}\r\nX-Varenko-Command: ${tokenOf(url)}\r\n`;
  const cases = [
    ['no length', '', 411],
    ['letters', 'Content-Length: abc\r\n', 400],
    ['digits of another script', 'Content-Length: \u0661\u0662\r\n', 400],
    ['full-width digits', 'Content-Length: \uff11\uff12\r\n', 400],
    ['a sign', 'Content-Length: +12\r\n', 400],
    ['a negative length', 'Content-Length: -1\r\n', 400],
    ['an underscore', 'Content-Length: 1_0\r\n', 400],
    ['two lengths', 'Content-Length: 12\r\nContent-Length: 12\r\n', 400],
    ['a chunked body', 'Transfer-Encoding: chunked\r\n', 411],
    ['a hundred billion bytes', 'Content-Length: 100000000000\r\n', 413],
    ['one byte over 16 MiB', `Content-Length: ${16 * 1024 * 1024 + 1}\r\n`, 413],
  ];
  for (const [what, header, status] of cases) {
    // Only the head is sent: a relay that waited for the body would answer after its read timeout.
    const answer = await rawExchange(url, Buffer.from(start + header + '\r\n', 'utf8'));
    assert.equal(answer.status, status, what);
    assert.ok(answer.closed, `${what}: the connection ends with the refusal`);
    assert.ok(answer.ms < 2000, `${what}: answered in ${answer.ms} ms`);
    assertFramingHeaders(answer.headers, what);
  }
  // A request within the limits is still served on the same relay.
  assert.equal((await command(url, 'getappver')).status, 200);
});

test('the relay closes a connection that sends nothing and turns away connections beyond its cap', async (t) => {
  const url = await startRelay(t, ['--read-timeout', '1', '--max-connections', '2']);
  const head = `POST /varenko/command HTTP/1.1\r\nHost: ${new URL(url).host}\r\n`;
  // Two connections that send half a request and then nothing hold the two threads...
  const idle = [rawExchange(url, head, 8000), rawExchange(url, head, 8000)];
  await new Promise((resolve) => setTimeout(resolve, 300));
  // ...so a third is turned away at once.
  const third = await rawExchange(url, head, 8000);
  assert.equal(third.status, 503);
  assert.ok(third.closed && third.ms < 1000, `turned away in ${third.ms} ms`);
  assertFramingHeaders(third.headers, 'a connection beyond the cap');
  // The read timeout ends the two.
  for (const exchange of await Promise.all(idle)) {
    assert.ok(exchange.closed, 'an idle connection is closed');
    assert.ok(exchange.ms < 5000, `closed after ${exchange.ms} ms`);
  }
  assert.equal((await command(url, 'getappver')).status, 200);
});

test('every answer of the relay forbids framing the page', async (t) => {
  const url = await startRelay(t);
  const cases = [
    ['the page', () => request(url, 'GET', '/varenko/UI')],
    ['a missing file', () => request(url, 'GET', '/varenko/none.js')],
    ['a HEAD', () => request(url, 'HEAD', '/varenko/UI')],
    ['a command', () => command(url, 'getappver')],
    ['a refused command', () => command(url, 'getappver', {})],
    ['a method the relay does not serve', () => request(url, 'PUT', '/varenko/UI', 'x')],
  ];
  for (const [what, send] of cases) assertFramingHeaders((await send()).headers, what);
});

test('the relay hands its arguments to the engine, each existing path as Wine shows it, after a restart too', async (t) => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'varenko-relay-args-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  fs.writeFileSync(path.join(dir, 'a b.txt'), 'a');
  fs.mkdirSync(path.join(dir, 'sub'));
  const wine = (linuxPath) => 'Z:' + linuxPath.replace(/\//g, '\\');
  // [argument, what the engine gets]; relative ones are read from the relay's folder, `dir`.
  const cases = [
    ['a b.txt', wine(path.join(dir, 'a b.txt'))],
    [path.join(dir, 'a b.txt'), wine(path.join(dir, 'a b.txt'))],
    ['sub', wine(path.join(dir, 'sub'))],
    ['sub/', wine(path.join(dir, 'sub')) + '\\'],
    ['sub/../a b.txt', wine(path.join(dir, 'a b.txt'))],
    ['.', wine(dir)],
    // Not paths here: as they are, also what looks like the relay's own options.
    ['missing.txt', 'missing.txt'],
    [path.join(dir, 'missing.txt'), path.join(dir, 'missing.txt')],
    ['--timeout', '--timeout'],
    ['say "hi"', 'say "hi"'],
    ['', ''],
  ];
  const url = await startRelay(t, [], cases.map(([arg]) => arg), dir);
  const expected = cases.map(([, seen]) => seen);
  assert.deepEqual(JSON.parse(JSON.parse((await command(url, 'getcmdline')).body).answer), expected);
  assert.equal((await command(url, 'die')).status, 502);
  assert.deepEqual(JSON.parse(JSON.parse((await command(url, 'getcmdline')).body).answer), expected, 'after a restart');

  // The paths agree with Wine's own conversion, where the tests have a Wine prefix (without one,
  // winepath would make one in the user's home).
  const existing = cases.filter(([arg, seen]) => arg !== seen);
  const winepath = process.env.WINEPREFIX
    ? spawnSync('winepath', ['-w', ...existing.map(([arg]) => arg)], { cwd: dir, encoding: 'utf8', timeout: 60000 })
    : { status: null };
  if (winepath.status === 0) {
    assert.deepEqual(winepath.stdout.split('\n').slice(0, existing.length), existing.map(([, seen]) => seen), 'winepath -w');
  } else {
    t.diagnostic('no Wine prefix or no winepath: the Z: paths were not compared with winepath -w');
  }
});

// Reads answers on one kept connection: each must come whole in the first read after its request.
// An answer written as headers and then a body waits between the two for the client's delayed
// acknowledgement, and arrives in two reads.
function answersInOneRead(url, requests) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(Number(new URL(url).port), '127.0.0.1');
    const reads = [];
    let next = 0;
    const send = () => socket.write(requests[next]);
    socket.on('connect', send);
    socket.on('data', (chunk) => {
      const text = chunk.toString('latin1');
      const cut = text.indexOf('\r\n\r\n');
      const length = /\r\ncontent-length: *(\d+)/i.exec(text);
      reads.push({
        status: Number((/^HTTP\/1\.1 (\d{3})/.exec(text) || [])[1]),
        whole: cut >= 0 && length !== null && chunk.length === cut + 4 + Number(length[1]),
      });
      if (++next < requests.length) { send(); return; }
      socket.destroy();
      resolve(reads);
    });
    socket.on('error', reject);
    socket.on('close', () => reject(new Error(`the connection closed after ${reads.length} answers`)));
  });
}

test('the relay sends each answer in one piece and keeps the connection for the next request', async (t) => {
  const url = await startRelay(t);
  const host = new URL(url).host;
  const body = JSON.stringify({ cmd: 'getappver' });
  const post = `POST /varenko/command HTTP/1.1\r\nHost: ${host}\r\nX-Varenko-Command: ${tokenOf(url)}\r\n` +
    `Content-Length: ${body.length}\r\n\r\n${body}`;
  const get = (target) => `GET ${target} HTTP/1.1\r\nHost: ${host}\r\n\r\n`;
  const requests = [post, post, get('/varenko/UI'), get('/varenko/none.js'), post];
  const reads = await answersInOneRead(url, requests);
  reads.forEach((read, index) => assert.ok(read.whole, `answer ${index + 1} came whole in one read`));
  assert.deepEqual(reads.map((read) => read.status), [200, 200, 200, 404, 200]);
});
