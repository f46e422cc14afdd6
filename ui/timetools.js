// Time tools for the selected files: shift the file times, set one time from another, or set them
// from each image's EXIF date taken. The arithmetic works on the date-time text as wall-clock time
// (ui/datetime.js), so +1 hour moves the text by one hour whatever daylight saving does, and a
// result the native side cannot take (before 1970, after the year 3000) refuses that file instead
// of being sent. The dialog shows what would change before the shared save runner writes it.
(function (V) {
  'use strict';

  var TIMES = [
    { key: 'createtime', label: 'Created' },
    { key: 'modifytime', label: 'Modified' },
    { key: 'accesstime', label: 'Accessed' }
  ];
  var EXIF_DATE_TAKEN = '0x9003';
  var PREVIEW_FILES = 5;

  function labelOf(key) {
    for (var i = 0; i < TIMES.length; i++) { if (TIMES[i].key === key) { return TIMES[i].label; } }
    return key;
  }

  // ---- date-time text ------------------------------------------------------------------------

  var datetime = V.datetime;

  // A text moved by `seconds` as the clock reads: { text } or { error } when the result cannot be
  // saved.
  function shift(text, seconds) {
    var fields = datetime.parse(text);
    if (!fields) { return { error: 'not a date and time' }; }
    var moved = datetime.fromWallSeconds(datetime.wallSeconds(fields) + seconds);
    // A shift far past the range leaves even Date's range, and its fields are no numbers.
    var problem = isNaN(moved.year) ? (seconds < 0 ? 'before ' + datetime.firstText() : 'after ' + datetime.lastText()) :
      datetime.rangeProblem(moved);
    if (problem) { return { error: 'would lie ' + problem }; }
    if (datetime.skipped(moved)) {
      return { error: 'would fall in the hour the clock skips for daylight saving', skipped: true };
    }
    return { text: datetime.format(moved) };
  }

  // The shift the dialog's fields add up to: { seconds } or { error }. An empty field is 0; each
  // may carry its own sign, so "+1 day -2 hours" is one day less two hours.
  var UNITS = [
    { key: 'days', seconds: 86400 },
    { key: 'hours', seconds: 3600 },
    { key: 'minutes', seconds: 60 },
    { key: 'seconds', seconds: 1 }
  ];

  function parseShift(values) {
    var total = 0;
    for (var i = 0; i < UNITS.length; i++) {
      var text = values[UNITS[i].key] === undefined ? '' : String(values[UNITS[i].key]).replace(/^\s+|\s+$/g, '');
      if (text === '') { continue; }
      // Up to nine digits: far beyond the whole range in seconds, and still exact in a double.
      if (!/^[+\-\u2212]?\d{1,9}$/.test(text)) {
        return { error: 'Enter whole numbers of ' + UNITS[i].key + ', with a minus sign to go back' };
      }
      var negative = text.charAt(0) === '-' || text.charAt(0) === '\u2212';
      var number = parseInt(text.replace(/^[+\-\u2212]/, ''), 10);
      total += (negative ? -number : number) * UNITS[i].seconds;
    }
    return { seconds: total };
  }

  // ---- one file's plan -----------------------------------------------------------------------

  // The date taken of a "getprops" answer, or null without one.
  function exifDateTaken(props) {
    var items = props.exif;
    if (!items || typeof items !== 'object') { return null; }
    var item = items[EXIF_DATE_TAKEN];
    return item && typeof item.data === 'string' ? item.data : null;
  }

  function skip(why, reason) {
    return { times: null, changes: [], skip: reason, why: why };
  }

  // What one file's "getprops" answer becomes under `options`:
  //   { mode: 'shift', targets: [keys], seconds }
  //   { mode: 'copy', source: key, targets: [keys] }
  //   { mode: 'exif', targets: [keys] }
  // Gives { times, changes: [{ key, label, from, to }], skip, why }: times is the "datetime"
  // request's members, an empty text for each time left as it is; skip is the reason the file is
  // left alone (why its short form for counting), null when it is not.
  function planFile(props, options) {
    if (!props || props.failed) {
      return skip('Times could not be read', 'Its times could not be read, so they were not changed');
    }
    var from = null;
    if (options.mode === 'copy') {
      var source = datetime.parse(props[options.source]);
      if (!source) {
        return skip(labelOf(options.source) + ' time unknown or out of range', 'Its ' + labelOf(options.source) +
          ' time lies before 1970 or after 3000, or could not be read, so it cannot be copied');
      }
      from = datetime.format(source);
    } else if (options.mode === 'exif') {
      var taken = exifDateTaken(props);
      if (taken === null || /^[\s:0]*$/.test(taken)) {
        return skip('No EXIF date taken', 'It has no EXIF date taken');
      }
      var read = datetime.read(taken);
      if (read.problem) {
        return skip('EXIF date taken out of range', 'Its EXIF date taken, ' + taken + ', lies ' + read.problem +
          ', which a file time cannot hold');
      }
      if (!read.fields) {
        return skip('EXIF date taken is not a date', 'Its EXIF date taken "' + taken + '" is not a valid date and time');
      }
      from = read.text;
    }

    var times = {};
    var changes = [];
    for (var t = 0; t < TIMES.length; t++) { times[TIMES[t].key] = ''; }
    for (var i = 0; i < options.targets.length; i++) {
      var key = options.targets[i];
      var old = props[key];
      var next = from;
      if (options.mode === 'shift') {
        if (!datetime.parse(old)) {
          return skip(labelOf(key) + ' time unknown or out of range', 'Its ' + labelOf(key) +
            ' time lies before 1970 or after 3000, or could not be read, so it cannot be shifted');
        }
        var moved = shift(old, options.seconds);
        if (moved.error) {
          return skip(moved.skipped ? 'New time skipped by the clock' : 'New time out of range', 'The shifted ' +
            labelOf(key) + ' time ' + moved.error + ', which a file time cannot hold');
        }
        next = moved.text;
      }
      if (next !== old) {
        times[key] = next;
        changes.push({ key: key, label: labelOf(key), from: typeof old === 'string' ? old : '', to: next });
      }
    }
    return { times: changes.length > 0 ? times : null, changes: changes, skip: null, why: null };
  }

  // The "setprops" requests that carry a plan out, in the form the save runner takes.
  function requestsOf(plan) {
    if (plan.skip) { return [{ cat: 'datetime', skipped: plan.skip }]; }
    if (!plan.times) { return []; }
    return [{ cat: 'datetime', props: plan.times }];
  }

  // The plans of many files: { changing: [{ file, plan }], skipped: [{ file, plan }], same: count,
  // reasons: [{ why, count }] } in the files' order.
  function planFiles(files, options) {
    var result = { changing: [], skipped: [], same: 0, reasons: [] };
    var counts = {};
    for (var i = 0; i < files.length; i++) {
      var plan = planFile(files[i].props, options);
      if (plan.skip) {
        result.skipped.push({ file: files[i], plan: plan });
        if (!counts[plan.why]) {
          counts[plan.why] = { why: plan.why, count: 0 };
          result.reasons.push(counts[plan.why]);
        }
        counts[plan.why].count++;
      } else if (plan.changes.length > 0) {
        result.changing.push({ file: files[i], plan: plan });
      } else {
        result.same++;
      }
    }
    return result;
  }

  // ---- the dialog ----------------------------------------------------------------------------

  var $ = V.$;
  var element = V.element;
  var setClass = V.setClass;

  var dialog = { files: [], open: false, summary: null, options: null };

  function plural(count, one, many) { return count + ' ' + (count === 1 ? one : many); }

  function mode() {
    var radios = document.getElementsByName('time-mode');
    for (var i = 0; i < radios.length; i++) { if (radios[i].checked) { return radios[i].value; } }
    return 'shift';
  }

  function checkedTimes(prefix) {
    var keys = [];
    for (var i = 0; i < TIMES.length; i++) { if ($(prefix + TIMES[i].key).checked) { keys.push(TIMES[i].key); } }
    return keys;
  }

  // The options the dialog's fields describe: { options }, { error } for fields that are wrong, or
  // { note } while there is nothing to do yet.
  function readOptions() {
    var chosen = mode();
    if (chosen === 'shift') {
      var targets = checkedTimes('time-shift-');
      if (targets.length === 0) { return { error: 'Choose at least one time to shift' }; }
      var amount = parseShift({
        days: $('time-days').value, hours: $('time-hours').value,
        minutes: $('time-minutes').value, seconds: $('time-seconds').value
      });
      if (amount.error) { return amount; }
      if (amount.seconds === 0) { return { note: 'Enter how far to shift the times.' }; }
      return { options: { mode: 'shift', targets: targets, seconds: amount.seconds } };
    }
    if (chosen === 'copy') {
      var source = $('time-copy-source').value;
      var target = $('time-copy-target').value;
      if (source === target) { return { error: 'Choose two different times' }; }
      return { options: { mode: 'copy', source: source, targets: [target] } };
    }
    var exifTargets = checkedTimes('time-exif-');
    if (exifTargets.length === 0) { return { error: 'Choose at least one time to set' }; }
    return { options: { mode: 'exif', targets: exifTargets } };
  }

  // Only the chosen tool's fields take input, so Tab passes over the others.
  function enableModeFields() {
    var chosen = mode();
    var groups = ['shift', 'copy', 'exif'];
    for (var g = 0; g < groups.length; g++) {
      var box = $('time-' + groups[g]);
      var on = groups[g] === chosen;
      setClass(box, 'inactive', !on);
      var fields = box.querySelectorAll('input, select');
      for (var f = 0; f < fields.length; f++) { fields[f].disabled = !on; }
    }
  }

  function cell(row, text, className) {
    var td = element('td', className, text);
    row.appendChild(td);
    return td;
  }

  function renderPreview() {
    enableModeFields();
    var read = readOptions();
    var rows = $('time-rows');
    var skips = $('time-skips');
    rows.textContent = '';
    skips.textContent = '';
    V.setText($('time-error'), read.error || '');
    setClass($('time-error'), 'hidden', !read.error);
    dialog.summary = null;
    dialog.options = null;
    if (!read.options) {
      V.setText($('time-summary'), read.note || '');
      setClass($('time-table'), 'hidden', true);
      $('time-apply').disabled = true;
      return;
    }
    var summary = planFiles(dialog.files, read.options);
    dialog.summary = summary;
    dialog.options = read.options;

    for (var i = 0; i < summary.changing.length && i < PREVIEW_FILES; i++) {
      var item = summary.changing[i];
      var changes = item.plan.changes;
      for (var c = 0; c < changes.length; c++) {
        var row = element('tr', 'time-change');
        row.setAttribute('data-path', item.file.path);
        row.setAttribute('data-time', changes[c].key);
        if (c === 0) {
          var name = cell(row, item.file.name, 'time-file');
          name.title = item.file.path;
          name.rowSpan = changes.length;
        }
        cell(row, changes[c].label, 'time-which');
        cell(row, changes[c].from, 'time-old');
        cell(row, changes[c].to, 'time-new');
        rows.appendChild(row);
      }
    }
    setClass($('time-table'), 'hidden', summary.changing.length === 0);

    var text = summary.changing.length === 0 ? 'No file will change.' :
      plural(summary.changing.length, 'file', 'files') + ' will change' +
      (summary.changing.length > PREVIEW_FILES ? ' (the first ' + PREVIEW_FILES + ' are shown).' : '.');
    if (summary.same > 0) {
      text += ' ' + plural(summary.same, 'file has', 'files have') + ' these times already.';
    }
    if (summary.skipped.length > 0) {
      text += ' ' + plural(summary.skipped.length, 'file', 'files') + ' will be skipped:';
    }
    V.setText($('time-summary'), text);
    for (var r = 0; r < summary.reasons.length; r++) {
      skips.appendChild(element('li', 'time-skip', summary.reasons[r].why + ': ' +
        plural(summary.reasons[r].count, 'file', 'files')));
    }
    $('time-apply').disabled = summary.changing.length === 0;
  }

  function open(files) {
    dialog.files = files;
    dialog.open = true;
    V.setText($('time-scope'), 'For ' + plural(files.length, 'selected file', 'selected files') +
      '. Times are local time; a shift moves them as the clock reads.');
    var checked = null;
    var radios = document.getElementsByName('time-mode');
    for (var i = 0; i < radios.length; i++) { if (radios[i].checked) { checked = radios[i]; } }
    V.dialog.show($('time-box'), { focus: checked, onClose: forget });
    renderPreview();
  }

  function forget() {
    dialog.open = false;
    dialog.files = [];
    dialog.summary = null;
  }

  function close() { V.dialog.hide(); }

  // Reads the times of the files not read yet, a few a step with progress and Cancel when there
  // are many, then calls then().
  function readTimes(files, then) {
    var pending = [];
    for (var i = 0; i < files.length; i++) { if (!files[i].props) { pending.push(files[i]); } }
    if (pending.length <= V.READ_BATCH) {
      for (var j = 0; j < pending.length; j++) { V.list.readProps(pending[j]); }
      then();
      return;
    }
    var done = 0;
    V.progress.begin('Reading times, 0 of ' + pending.length, pending.length);
    function step() {
      if (V.progress.cancelled()) {
        V.progress.end('Cancelled: no times were changed');
        V.list.render();
        return;
      }
      var batch = pending.slice(done, done + V.READ_BATCH);
      for (var k = 0; k < batch.length; k++) { V.list.readProps(batch[k]); }
      done += batch.length;
      V.progress.update(done, 'Reading times, ' + done + ' of ' + pending.length);
      if (done < pending.length) {
        V.later(step);
        return;
      }
      V.progress.end('Ready');
      V.list.render();
      then();
    }
    V.later(step);
  }

  // While the panel reads the selection, the tools wait for it and then use what it read.
  var waiting = null;

  function begin() {
    if (dialog.open || waiting || V.save.busy()) { return; }
    if (V.progress.active()) {
      waiting = window.setInterval(function () {
        if (V.progress.active()) { return; }
        window.clearInterval(waiting);
        waiting = null;
        begin();
      }, 100);
      return;
    }
    var files = V.list.selectedFiles();
    if (files.length === 0) {
      V.status('Select the files whose times to change first');
      return;
    }
    if (!V.panel.confirmDiscard()) { return; }
    readTimes(files, function () { open(files); });
  }

  // The runner calls requestsFor just before it writes each file, after reading any file it has
  // no answer of. The plan is made again there from that answer rather than taken from the
  // preview: it is the same answer the preview used unless the file was read again since, and then
  // the newer one is the truth, and a retry of the failed files plans afresh too. A shift thus
  // always moves the time the page last saw, never one it has not.
  function apply() {
    var summary = dialog.summary;
    var options = dialog.options;
    if (!summary || !options || summary.changing.length === 0) { return; }
    // The skipped files go along so that the runner lists each with its reason.
    var chosen = {};
    var k;
    for (k = 0; k < summary.changing.length; k++) { chosen[summary.changing[k].file.path] = true; }
    for (k = 0; k < summary.skipped.length; k++) { chosen[summary.skipped[k].file.path] = true; }
    var files = [];
    for (k = 0; k < dialog.files.length; k++) { if (chosen[dialog.files[k].path]) { files.push(dialog.files[k]); } }
    var started = V.save.run({
      files: files,
      verb: 'Saving',
      requestsFor: function (file) { return requestsOf(planFile(file.props, options)); },
      afterLoad: function () { $('time-tools').focus(); }
    });
    if (started !== false) { close(); }
  }

  function start() {
    $('time-tools').onclick = begin;
    $('time-close').onclick = close;
    $('time-apply').onclick = apply;
    var inputs = $('time-box').querySelectorAll('input, select');
    for (var i = 0; i < inputs.length; i++) {
      inputs[i].onchange = renderPreview;
      if (inputs[i].type === 'text') { inputs[i].oninput = renderPreview; }
    }
  }

  V.timetools = {
    start: start,
    shift: shift,
    parseShift: parseShift,
    planFile: planFile,
    planFiles: planFiles,
    requestsOf: requestsOf
  };
}(Varenko));
