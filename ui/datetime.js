// The date-time text the native side shows and takes: local time as "YYYY:MM:DD hh:mm:ss". Every
// part of the page reads and writes it here, with the native side's rules, so that a text the
// page lets through is one the native side takes as the same instant, and one it would refuse is
// refused here first, with the reason in words. On input a space, '-' or '/' may stand for any
// colon and runs of them count as one; the page sends the text it read in the 19-character form,
// so the native side never has to guess.
(function (V) {
  'use strict';

  // The instants a file time can be set to, in seconds since 1970-01-01 00:00:00 UTC: from that
  // instant to 3000-12-31 23:59:59 UTC.
  var FIRST_VALUE = 0;
  var LAST_VALUE = 32535215999;

  var MONTHS = ['January', 'February', 'March', 'April', 'May', 'June', 'July', 'August', 'September',
    'October', 'November', 'December'];

  // Date.UTC reads the years 0 to 99 as 1900 to 1999. 400 Gregorian years are always 146097 days,
  // so wall-clock dates are computed 400 years later and moved back by that many seconds.
  var ERA = 400;
  var ERA_SECONDS = 146097 * 86400;

  function isLeap(year) { return (year % 4 === 0 && year % 100 !== 0) || year % 400 === 0; }

  function daysInMonth(year, month) {
    if (month === 2) { return isLeap(year) ? 29 : 28; }
    return month === 4 || month === 6 || month === 9 || month === 11 ? 30 : 31;
  }

  function two(n) { return (n < 10 ? '0' : '') + n; }

  // The text of { year, month, day, hour, minute, second }.
  function format(f) {
    var year = String(f.year);
    while (year.length < 4) { year = '0' + year; }
    return year + ':' + two(f.month) + ':' + two(f.day) + ' ' + two(f.hour) + ':' + two(f.minute) + ':' + two(f.second);
  }

  // The six numbers of a text of date-time shape, or null: blanks at either end are ignored, a
  // space, '-' or '/' counts as a colon, a run of them as one, and each of the six pieces between
  // them is decimal digits.
  function split(text) {
    if (typeof text !== 'string') { return null; }
    var pieces = text.replace(/^\s+|\s+$/g, '').split(/[: \-\/]+/);
    // A separator at either end leaves an empty piece, and the text is refused.
    if (pieces.length !== 6) { return null; }
    var numbers = [];
    for (var i = 0; i < 6; i++) {
      if (!/^\d+$/.test(pieces[i])) { return null; }
      numbers.push(parseInt(pieces[i], 10));
    }
    return { year: numbers[0], month: numbers[1], day: numbers[2], hour: numbers[3], minute: numbers[4],
      second: numbers[5] };
  }

  // The instant of local calendar fields, in seconds since 1970 (the browser's local time is the
  // system's, as the native side's is).
  function instant(f) {
    return new Date(f.year, f.month - 1, f.day, f.hour, f.minute, f.second).getTime() / 1000;
  }

  // The local calendar fields of an instant.
  function localFields(seconds) {
    var d = new Date(seconds * 1000);
    return { year: d.getFullYear(), month: d.getMonth() + 1, day: d.getDate(), hour: d.getHours(),
      minute: d.getMinutes(), second: d.getSeconds() };
  }

  // The first and last texts that can be saved, in this system's local time.
  function firstText() { return format(localFields(FIRST_VALUE)); }
  function lastText() { return format(localFields(LAST_VALUE)); }

  // Why fields of a real date cannot be saved ("before …", "after …"), or null when they can.
  function rangeProblem(f) {
    // Years far outside are out without asking Date, which would need them in its own range.
    if (f.year < 1900) { return 'before ' + firstText(); }
    if (f.year > 3001) { return 'after ' + lastText(); }
    var value = instant(f);
    if (value < FIRST_VALUE) { return 'before ' + firstText(); }
    if (value > LAST_VALUE) { return 'after ' + lastText(); }
    return null;
  }

  // Whether the local clock skips the fields' time (daylight saving begins): no instant has it.
  function skipped(f) {
    var back = localFields(instant(f));
    return back.year !== f.year || back.month !== f.month || back.day !== f.day || back.hour !== f.hour ||
      back.minute !== f.minute || back.second !== f.second;
  }

  // Reads a text: { fields, text } with the fields and the 19-character text, or { error } with
  // the reason it cannot be saved, in words, and for a real date out of range also { problem },
  // as rangeProblem says it.
  function read(text) {
    var f = split(text);
    if (!f) { return { error: 'Use YYYY:MM:DD hh:mm:ss, for instance 2020:01:31 13:45:00.' }; }
    if (f.year >= 1900) {
      if (f.month < 1 || f.month > 12) { return { error: 'There is no month ' + f.month + ': months go from 1 to 12.' }; }
      var days = daysInMonth(f.year, f.month);
      if (f.day < 1 || f.day > days) {
        return { error: 'There is no day ' + f.day + ' in ' + MONTHS[f.month - 1] + ' ' + f.year + ': it has ' + days + ' days.' };
      }
      if (f.hour > 23) { return { error: 'There is no hour ' + f.hour + ': hours go from 0 to 23.' }; }
      if (f.minute > 59) { return { error: 'There is no minute ' + f.minute + ': minutes go from 0 to 59.' }; }
      if (f.second > 59) { return { error: 'There is no second ' + f.second + ': seconds go from 0 to 59.' }; }
    }
    var problem = rangeProblem(f);
    if (problem) {
      return { error: 'The time lies ' + problem + (problem.charAt(0) === 'b' ? ', the earliest' : ', the latest') +
        ' that can be saved.', problem: problem };
    }
    if (skipped(f)) {
      return { error: 'There is no ' + two(f.hour) + ':' + two(f.minute) + ':' + two(f.second) + ' on ' +
        format(f).substring(0, 10) + ' here: the clock skips that time for daylight saving.' };
    }
    return { fields: f, text: format(f) };
  }

  // The fields of a text that can be saved, or null.
  function parse(text) {
    var result = read(text);
    return result.fields || null;
  }

  // The 19-character form of a text that can be saved; any other text as it is.
  function normal(text) {
    var result = read(text);
    return result.fields ? result.text : text;
  }

  // Wall-clock seconds: the fields counted as if they were UTC, for arithmetic that moves a text
  // as the clock reads, whatever daylight saving does.
  function wallSeconds(f) {
    return Date.UTC(f.year + ERA, f.month - 1, f.day, f.hour, f.minute, f.second) / 1000 - ERA_SECONDS;
  }

  function fromWallSeconds(seconds) {
    var d = new Date((seconds + ERA_SECONDS) * 1000);
    return { year: d.getUTCFullYear() - ERA, month: d.getUTCMonth() + 1, day: d.getUTCDate(), hour: d.getUTCHours(),
      minute: d.getUTCMinutes(), second: d.getUTCSeconds() };
  }

  V.datetime = {
    read: read,
    parse: parse,
    normal: normal,
    format: format,
    daysInMonth: daysInMonth,
    rangeProblem: rangeProblem,
    skipped: skipped,
    firstText: firstText,
    lastText: lastText,
    wallSeconds: wallSeconds,
    fromWallSeconds: fromWallSeconds
  };
}(Varenko));
