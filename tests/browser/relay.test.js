// The page relay serves the page under the addresses the program's own page handler answers, and
// hands commands to the command engine one line each.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const http = require('node:http');

const pageUrl = process.env.VARENKO_PAGE_URL;
const skip = pageUrl ? false : 'needs the page relay: run scripts/browser-tests.sh';

// Raw requests: Node's http keeps the path exactly as given, dot segments included.
// Commands carry the header the page's stand-in sends.
function request(method, path, body, headers = method === 'POST' ? { 'X-Varenko-Command': '1' } : {}) {
  const base = new URL(pageUrl);
  return new Promise((resolve, reject) => {
    const req = http.request({ host: base.hostname, port: base.port, method, path, headers }, (res) => {
      const chunks = [];
      res.on('data', (chunk) => chunks.push(chunk));
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks).toString('utf8') }));
    });
    req.on('error', reject);
    req.end(body);
  });
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
  for (const [path, status, type] of cases) {
    const answer = await request('GET', path);
    assert.equal(answer.status, status, path);
    if (type) {
      assert.equal(answer.headers['content-type'], type, path);
      assert.equal(answer.headers['cache-control'], 'no-store', path);
    }
  }
});

test('the relay answers a command with the engine\'s line and refuses what is not one line', { skip }, async () => {
  const version = await request('POST', '/varenko/command', '{"cmd":"getappver"}');
  assert.equal(version.status, 200);
  assert.match(version.headers['content-type'], /^application\/json/);
  const line = JSON.parse(version.body);
  assert.equal(line.hr, 0);
  assert.match(line.answer, /^\d+\.\d+\.\d+\.\d+$/);

  assert.deepEqual(JSON.parse((await request('POST', '/varenko/command', 'not json')).body), { hr: 0 });

  // Text beyond ASCII crosses as UTF-8 both ways.
  const name = 'Z:\\no-such-folder\\\u00e9t\u00e9 \u6587\u4ef6.txt';
  const set = await request('POST', '/varenko/command',
    JSON.stringify({ cmd: 'setprops', filename: name, cat: 'datetime', props: { modifytime: '2020:01:31 13:45:00' } }));
  assert.deepEqual(JSON.parse(JSON.parse(set.body).answer), { result: false, error: 'file open failed, error: 3' });

  assert.equal((await request('POST', '/varenko/command', '{"cmd":\n"getappver"}')).status, 400);
  assert.equal((await request('POST', '/varenko/other', '{"cmd":"getappver"}')).status, 404);
});

test('the relay refuses commands that do not come from its own page', { skip }, async () => {
  const own = new URL(pageUrl).host;
  const cases = [
    ['no header of the page', {}],
    ['another site', { 'X-Varenko-Command': '1', Origin: 'http://example.com' }],
    ['another host name', { 'X-Varenko-Command': '1', Host: 'attacker.example:' + new URL(pageUrl).port }],
  ];
  for (const [what, headers] of cases) {
    const answer = await request('POST', '/varenko/command', '{"cmd":"getappver"}', headers);
    assert.equal(answer.status, 403, what);
  }
  const allowed = await request('POST', '/varenko/command', '{"cmd":"getappver"}',
    { 'X-Varenko-Command': '1', Origin: 'http://' + own });
  assert.equal(allowed.status, 200);
});
