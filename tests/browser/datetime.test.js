// The page's one reader of date-time texts (ui/datetime.js), in node: the forms it takes, the
// dates it refuses and why, and the ends of the range in local time, as the native side has them.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const { loadPageFiles, inZone } = require('./support/node');

const { datetime } = loadPageFiles(['datetime.js']);

// [text, the 19-character text it reads as, or a pattern of the reason it is refused]
const CASES = {
  'the form the native side shows': [
    ['2020:01:31 13:45:00', '2020:01:31 13:45:00'],
    ['1999:12:31 23:59:59', '1999:12:31 23:59:59'],
  ],
  'loose separators and blanks': [
    ['2020-01-31 13:45:00', '2020:01:31 13:45:00'],
    ['2020/1/31 13:45:0', '2020:01:31 13:45:00'],
    ['2020:01:31:13:45:00', '2020:01:31 13:45:00'],
    ['2020 01 31 13 45 00', '2020:01:31 13:45:00'],
    ['  2020:01:31 13:45:00\t', '2020:01:31 13:45:00'],
    ['2020:01:31  13:45:00', '2020:01:31 13:45:00'],
    ['2020--01//31 - 13::45:00', '2020:01:31 13:45:00'],
    ['0002020:001:031 013:045:000', '2020:01:31 13:45:00'],
  ],
  'texts without the shape': [
    ['2020-01-31T13:45:00', /^Use YYYY:MM:DD hh:mm:ss/],
    ['2020:01:31 13:45', /^Use YYYY/],
    ['2020:01:31 13:45:00:01', /^Use YYYY/],
    [':2020:01:31 13:45:00', /^Use YYYY/],
    ['2020:01:31 13:45:00/', /^Use YYYY/],
    ['2020:01:31 13:45:0x', /^Use YYYY/],
    ['+2020:01:31 13:45:00', /^Use YYYY/],
    ['2020:01:31 13:45:00.5', /^Use YYYY/],
    ['    :  :     :  :  ', /^Use YYYY/],
    ['', /^Use YYYY/],
    [undefined, /^Use YYYY/],
  ],
  'dates and times that do not exist': [
    ['2020:02:30 00:00:00', /^There is no day 30 in February 2020: it has 29 days\.$/],
    ['2021:02:29 10:00:00', /^There is no day 29 in February 2021: it has 28 days\.$/],
    ['2021:04:31 00:00:00', /no day 31 in April 2021: it has 30 days/],
    ['2021:12:32 00:00:00', /no day 32 in December 2021/],
    ['2021:01:00 00:00:00', /no day 0 in January 2021/],
    ['2020:13:01 00:00:00', /^There is no month 13: months go from 1 to 12\.$/],
    ['2020:00:10 00:00:00', /no month 0/],
    ['2020:01:01 24:00:00', /^There is no hour 24: hours go from 0 to 23\.$/],
    ['2020:01:01 25:00:00', /no hour 25/],
    ['2020:01:01 23:60:00', /no minute 60/],
    ['2020:01:01 23:59:60', /no second 60/],
  ],
  'leap years': [
    ['2024:02:29 12:00:00', '2024:02:29 12:00:00'],
    ['2000:02:29 12:00:00', '2000:02:29 12:00:00'],
    ['2100:02:29 12:00:00', /no day 29 in February 2100/],
    ['2023:02:29 12:00:00', /no day 29 in February 2023/],
    ['2100:02:28 12:00:00', '2100:02:28 12:00:00'],
  ],
  'the ends of the range in UTC': [
    ['1970:01:01 00:00:00', '1970:01:01 00:00:00'],
    ['1969:12:31 23:59:59', /^The time lies before 1970:01:01 00:00:00, the earliest that can be saved\.$/],
    ['1900:01:01 00:00:00', /before 1970:01:01 00:00:00/],
    ['1899:13:45 99:99:99', /before 1970:01:01 00:00:00/],
    ['3000:12:31 23:59:59', '3000:12:31 23:59:59'],
    ['3001:01:01 00:00:00', /^The time lies after 3000:12:31 23:59:59, the latest that can be saved\.$/],
    ['9999:12:31 23:59:59', /after 3000:12:31 23:59:59/],
    ['99999999999:01:01 00:00:00', /after 3000:12:31 23:59:59/],
  ],
};

test('a date-time text reads as its 19-character form, or is refused with the reason in words', () => {
  inZone('UTC0', () => {
    for (const [group, cases] of Object.entries(CASES)) {
      for (const [text, expected] of cases) {
        const what = `${group}: ${JSON.stringify(text)}`;
        const read = datetime.read(text);
        if (typeof expected === 'string') {
          assert.deepEqual([read.error, read.text], [undefined, expected], what);
          assert.equal(datetime.normal(text), expected, `${what}, as sent`);
        } else {
          assert.equal(read.fields, undefined, what);
          assert.match(read.error, expected, what);
          assert.equal(datetime.parse(text), null, what);
          assert.equal(datetime.normal(text), text, `${what} is sent as typed, if at all`);
        }
      }
    }
  });
});

// The range is of instants, so its ends in local time move with the zone.
test('the ends of the range are instants: in local time they move with the zone', () => {
  const cases = [
    ['Etc/GMT-2', '1970:01:01 02:00:00', '1970:01:01 01:59:59', '3001:01:01 01:59:59', '3001:01:01 02:00:00'],
    ['Etc/GMT+5', '1969:12:31 19:00:00', '1969:12:31 18:59:59', '3000:12:31 18:59:59', '3000:12:31 19:00:00'],
  ];
  for (const [zone, first, before, last, after] of cases) {
    inZone(zone, () => {
      assert.equal(datetime.read(first).text, first, `${zone}: the first instant`);
      assert.equal(datetime.read(last).text, last, `${zone}: the last instant`);
      assert.equal(datetime.read(before).error, `The time lies before ${first}, the earliest that can be saved.`, zone);
      assert.equal(datetime.read(after).error, `The time lies after ${last}, the latest that can be saved.`, zone);
    });
  }
});

test('a local time the clock skips for daylight saving is refused; one it shows twice is taken', () => {
  inZone('Europe/Berlin', () => {
    assert.equal(datetime.read('2021:03:28 02:30:00').error,
      'There is no 02:30:00 on 2021:03:28 here: the clock skips that time for daylight saving.');
    assert.equal(datetime.read('2021:03:28 03:00:00').text, '2021:03:28 03:00:00');
    assert.equal(datetime.read('2021:03:28 01:59:59').text, '2021:03:28 01:59:59');
    assert.equal(datetime.read('2021:10:31 02:30:00').text, '2021:10:31 02:30:00');
  });
});
