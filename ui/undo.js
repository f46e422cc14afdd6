// Undo of the last save, and Redo. While a save writes a file, the page has just read what the
// file held (file.props); from that, each request the save sends gets its reverse, and both are
// kept per file for the page's session. Undo and Redo send them through the save runner again,
// with its progress, Cancel and list of failures.
//
// A category written as a whole set (AVI items, media files other than ".mp3") is sent back its
// whole set as it was read, which also drops what the save added. The others are sent the old
// value of each property the save changed; none of their writes can remove a property, so one the
// save added is emptied where it is text and otherwise keeps the saved value, and the undo lists
// that file with the reason instead of passing it as undone.
//
// Each write leaves the file's modified time noted; a file whose time differs from that when an
// undo or a redo starts was changed by something else, and the user chooses whether to skip it.
(function (V) {
  'use strict';

  var $ = V.$;
  var keysOf = V.keysOf;

  var TIMES = [
    { key: 'createtime', label: 'Created' },
    { key: 'modifytime', label: 'Modified' },
    { key: 'accesstime', label: 'Accessed' }
  ];

  // What one property of each category is called in a reason.
  var KIND = { doc: 'document property', exif: 'EXIF item', media: 'media tag', avi: 'AVI item' };

  // Types whose empty text a category's write takes: the property stays, with no value.
  var TEXT_TYPES = { doc: { VT_LPSTR: true, VT_LPWSTR: true }, exif: { ASCII: true, Unicode: true } };

  var record = null;   // the last save: { job, entries: [entry], byPath: path -> entry }
  // entry: { path, file, undo: [request], redo: [request], notes: [reason], mtime (what the last
  // write left, or null), after (read after the running job wrote it), state: 'saved' | 'undone' }
  var building = null; // the entries of the save that runs: { job, entries: [entry] }
  var checking = false;

  function copy(value) { return JSON.parse(JSON.stringify(value)); }

  function categoryNamed(name) {
    for (var i = 0; i < V.categories.length; i++) { if (V.categories[i].name === name) { return V.categories[i]; } }
    return null;
  }

  // The file's modified time as the native side reads it now, or null when it cannot be read.
  function modifiedTime(path) {
    var answer = V.native.callJson({ cmd: 'getprops', name: path, allprops: false });
    return answer && typeof answer.modifytime === 'string' ? answer.modifytime : null;
  }

  // ---- what a save replaces -------------------------------------------------------------------

  // Whether a category's write replaces the file's whole set, so that a key it lacks is removed.
  // The media route comes from the file's name: only ".mp3" files are written frame by frame.
  function writesWhole(category, file) {
    return !!category.writtenWhole || (category.name === 'media' && !/\.mp3$/i.test(file.path));
  }

  function textOf(entry) { return entry && entry.data !== undefined ? String(entry.data) : ''; }

  function propertyName(category, key) {
    var known = category.catalogue ? category.catalogue[key] : null;
    var name = known && known.name ? known.name : key;
    return 'The ' + (KIND[category.name] || category.name) + ' "' + name + '"' + (name !== key ? ' (' + key + ')' : '');
  }

  // A property the save added, where the category's write cannot remove one: { item, reason }.
  function takeBack(category, key, sent) {
    var types = TEXT_TYPES[category.name];
    var text = category.name === 'media' || (types && sent && types[sent.type] === true);
    var what = propertyName(category, key) + ' was added by the save and cannot be removed: ';
    if (!text) { return { item: null, reason: what + 'it keeps the value the save gave it' }; }
    var item = copy(sent);
    item.data = '';
    return { item: item, reason: what + 'it is left empty' };
  }

  // The requests that write back what one request of a save replaced, and the reasons for what
  // they cannot: { requests, reasons }.
  function reverseOf(request, answer, file) {
    var requests = [];
    var reasons = [];
    var props = request.props || {};
    if (request.cat === 'datetime') {
      // Empty text leaves a time as it is: only the times the save set are set back.
      var times = {};
      var any = false;
      for (var t = 0; t < TIMES.length; t++) {
        var key = TIMES[t].key;
        times[key] = '';
        if (typeof props[key] !== 'string' || props[key] === '') { continue; }
        if (typeof answer[key] === 'string' && answer[key] !== '') {
          times[key] = answer[key];
          any = true;
        } else {
          reasons.push('The ' + TIMES[t].label + ' time ' + (answer[key] === '' ? 'was out of range' : 'could not be read') +
            ' before the save, so it cannot be set back');
        }
      }
      if (any) { requests.push({ cat: 'datetime', props: times }); }
    } else if (request.cat === 'attributes') {
      // A save of attributes is built on the letters it read, so they are there.
      requests.push({ cat: 'attributes', props: { attributes: answer.attributes } });
    } else {
      var category = categoryNamed(request.cat);
      var sent = props[request.cat] || {};
      var current = (category && category.members ? category.members(answer) : null) || {};
      var whole = !!category && writesWhole(category, file);
      var items = {};
      var keys = whole ? keysOf(current) : keysOf(sent);
      for (var k = 0; category && k < keys.length; k++) {
        if (current[keys[k]]) {
          items[keys[k]] = category.item(textOf(current[keys[k]]), current[keys[k]]);
        } else {
          var back = takeBack(category, keys[k], sent[keys[k]]);
          if (back.item) { items[keys[k]] = back.item; }
          reasons.push(back.reason);
        }
      }
      // A whole set goes back even when it was empty: that removes what the save added. Any other
      // write with no members fails, so then there is only the reason.
      if (whole || keysOf(items).length > 0) {
        var wrapped = {};
        wrapped[request.cat] = items;
        requests.push({ cat: request.cat, props: wrapped });
      }
    }
    return { requests: requests, reasons: reasons };
  }

  // The requests that undo what `sent` wrote to a file whose properties were `answer` before:
  // the reverses in the opposite order, so that attributes a save set (read-only) are taken off
  // before anything else is written back, then one { skipped } per reason, with which the runner
  // lists the file. Returns { requests, reasons }.
  function undoRequests(file, answer, sent) {
    var requests = [];
    var reasons = [];
    for (var r = sent.length - 1; r >= 0; r--) {
      var reverse = reverseOf(sent[r], answer, file);
      requests = requests.concat(reverse.requests);
      reasons = reasons.concat(reverse.reasons);
    }
    for (var n = 0; n < reasons.length; n++) { requests.push({ cat: 'undo', skipped: reasons[n] }); }
    return { requests: requests, reasons: reasons };
  }

  // The entry of a file a save wrote.
  function entryOf(file, sent) {
    var undo = undoRequests(file, file.props || {}, sent);
    return {
      path: file.path,
      file: file,
      undo: undo.requests,
      redo: copy(sent),
      notes: undo.reasons,
      mtime: modifiedTime(file.path),
      after: null,
      state: 'saved'
    };
  }

  // ---- the save runner's watcher --------------------------------------------------------------

  function fileWritten(job, file, sent, errors) {
    if (job.record === false) {
      // An undo or a redo: the time this write left is what the next one checks against.
      var entry = record ? record.byPath[file.path] : null;
      if (entry) { entry.after = modifiedTime(file.path); }
      return;
    }
    if (!building || building.job !== job) { building = { job: job, entries: [] }; }
    if (errors.length === 0) { building.entries.push(entryOf(file, sent)); }
  }

  // A save that wrote files becomes the one to undo; a retry of it adds the files it wrote.
  function jobDone(job, summary) {
    if (job.record === false) { return; }
    var made = building && building.job === job ? building.entries : [];
    building = null;
    var written = {};
    for (var w = 0; w < summary.written.length; w++) { written[summary.written[w].path] = true; }
    var entries = [];
    for (var e = 0; e < made.length; e++) { if (written[made[e].path]) { entries.push(made[e]); } }
    if (entries.length === 0) { return; }
    if (!record || !job.retryOf || record.job !== job.retryOf) { record = { job: job, entries: [], byPath: {} }; }
    record.job = job;
    for (var i = 0; i < entries.length; i++) {
      var old = record.byPath[entries[i].path];
      if (old) {
        record.entries[record.entries.indexOf(old)] = entries[i];
      } else {
        record.entries.push(entries[i]);
      }
      record.byPath[entries[i].path] = entries[i];
    }
  }

  // ---- undo and redo --------------------------------------------------------------------------

  function entriesIn(state) {
    var list = [];
    if (!record) { return list; }
    for (var i = 0; i < record.entries.length; i++) { if (record.entries[i].state === state) { list.push(record.entries[i]); } }
    return list;
  }

  function filesText(count) { return count === 1 ? '1 file' : count + ' files'; }

  // The entries whose modified time is still what the last write left, and those changed since:
  // then(unchanged, changed), changed as [{ entry, now }]. Many files are read with progress.
  function check(entries, then) {
    var unchanged = [];
    var changed = [];
    var done = 0;
    var stepped = entries.length > V.READ_BATCH;
    checking = true;
    if (stepped) { V.progress.begin('Checking 0 of ' + filesText(entries.length), entries.length); }
    function step() {
      if (stepped && V.progress.cancelled()) {
        checking = false;
        V.progress.end('Cancelled');
        return;
      }
      var batch = entries.slice(done, done + V.READ_BATCH);
      for (var i = 0; i < batch.length; i++) {
        var now = modifiedTime(batch[i].path);
        if (now !== null && now === batch[i].mtime) {
          unchanged.push(batch[i]);
        } else {
          changed.push({ entry: batch[i], now: now });
        }
      }
      done += batch.length;
      if (done < entries.length) {
        V.progress.update(done, 'Checking ' + done + ' of ' + filesText(entries.length));
        V.later(step);
        return;
      }
      checking = false;
      if (stepped) { V.progress.end(''); }
      then(unchanged, changed);
    }
    step();
  }

  function finished(rec, kind, summary) {
    if (rec !== record) { return; }
    var done = 0;
    var partly = 0;
    function mark(file) {
      var entry = rec.byPath[file.path];
      if (!entry) { return; }
      entry.state = kind === 'undo' ? 'undone' : 'saved';
      entry.mtime = entry.after;
      done++;
    }
    for (var w = 0; w < summary.written.length; w++) { mark(summary.written[w]); }
    // A file whose only failures are what an undo cannot remove was undone as far as it can be.
    for (var f = 0; f < summary.failed.length; f++) {
      var failure = summary.failed[f];
      var entry = rec.byPath[failure.file.path];
      if (kind !== 'undo' || !entry) { continue; }
      var onlyNotes = true;
      for (var e = 0; e < failure.errors.length; e++) {
        if (entry.notes.indexOf(failure.errors[e]) < 0) { onlyNotes = false; }
      }
      if (onlyNotes) {
        mark(failure.file);
        partly++;
      }
    }
    var failed = summary.failed.length - partly;
    var total = summary.written.length + summary.failed.length;
    var text = (kind === 'undo' ? 'Save undone on ' : 'Save redone on ') + done + ' of ' + filesText(total);
    if (summary.cancelled) { text = 'Cancelled: ' + text.charAt(0).toLowerCase() + text.substring(1); }
    if (partly > 0) { text += ', ' + partly + ' not wholly'; }
    if (failed > 0) { text += ', ' + failed + ' failed'; }
    V.status(text);
  }

  function go(kind, entries) {
    if (entries.length === 0) {
      V.status(kind === 'undo' ? 'Nothing undone' : 'Nothing redone');
      return;
    }
    // The list's own file objects, so that the list and the panel read the files again after.
    var listed = {};
    var all = V.list.files();
    for (var i = 0; i < all.length; i++) { listed[all[i].path] = all[i]; }
    var files = [];
    for (var j = 0; j < entries.length; j++) { files.push(listed[entries[j].path] || entries[j].file); }
    var rec = record;
    V.save.run({
      files: files,
      verb: kind === 'undo' ? 'Undoing' : 'Redoing',
      failedAs: kind === 'undo' ? 'undone' : 'redone',
      record: false,
      requestsFor: function (file) {
        var entry = rec.byPath[file.path];
        return entry ? copy(kind === 'undo' ? entry.undo : entry.redo) : [];
      },
      done: function (summary) { finished(rec, kind, summary); }
    });
  }

  // Lists the changed files and lets the user skip them, include them, or stop.
  function ask(kind, entries, changed) {
    var box = $('undo-box');
    var undo = kind === 'undo';
    var since = undo ? 'the save' : 'the undo';
    V.setText($('undo-title'), 'Files changed since ' + since);
    V.setText($('undo-text'), (changed.length === 1 ? '1 of ' + filesText(entries.length) + ' was' :
      changed.length + ' of ' + filesText(entries.length) + ' were') + ' changed after ' + since +
      ' by something else. ' + (undo ? 'Undoing' : 'Redoing') + ' the save there writes over those changes.');
    var list = $('undo-changed');
    list.textContent = '';
    var skip = {};
    for (var i = 0; i < changed.length; i++) {
      var item = V.element('li', 'undo-file');
      item.appendChild(V.element('div', 'undo-path', changed[i].entry.path));
      item.appendChild(V.element('div', 'undo-when', changed[i].now === null ? 'It cannot be read now.' :
        'Modified ' + changed[i].now + '; ' + since + ' left ' + (changed[i].entry.mtime || 'a time that could not be read') + '.'));
      list.appendChild(item);
      skip[changed[i].entry.path] = true;
    }
    V.setText($('undo-skip'), 'Skip them');
    V.setText($('undo-all'), undo ? 'Undo them too' : 'Redo them too');
    var choice = null;
    $('undo-skip').onclick = function () { choice = 'skip'; V.dialog.hide(); };
    $('undo-all').onclick = function () { choice = 'all'; V.dialog.hide(); };
    $('undo-cancel').onclick = function () { V.dialog.hide(); };
    V.dialog.show(box, {
      focus: $('undo-skip'),
      onClose: function () {
        if (choice === null) {
          V.status(undo ? 'Undo cancelled' : 'Redo cancelled');
          return;
        }
        var chosen = [];
        for (var e = 0; e < entries.length; e++) {
          if (choice === 'all' || !skip[entries[e].path]) { chosen.push(entries[e]); }
        }
        // The box gives the focus back first; the job starts once it has.
        V.later(function () { go(kind, chosen); });
      }
    });
  }

  // Starts an undo ('undo') or a redo ('redo') of the last save; false when there is none to do
  // or another job runs.
  function begin(kind) {
    if (checking || V.save.busy() || V.progress.active() || V.dialog.isOpen()) { return false; }
    var entries = entriesIn(kind === 'undo' ? 'saved' : 'undone');
    if (entries.length === 0) {
      V.status(kind === 'undo' ? 'There is no save to undo' : 'There is no undone save to redo');
      return false;
    }
    if (!V.panel.confirmDiscard()) { return false; }
    check(entries, function (unchanged, changed) {
      if (changed.length === 0) {
        go(kind, entries);
      } else {
        ask(kind, entries, changed);
      }
    });
    return true;
  }

  function updateButtons() {
    var busy = V.save.busy();
    var undoable = entriesIn('saved').length;
    var redoable = entriesIn('undone').length;
    $('undo').disabled = busy || undoable === 0;
    $('redo').disabled = busy || redoable === 0;
    $('undo').title = undoable > 0 ? 'Undo the last save on ' + filesText(undoable) + ' (Ctrl+Z)' : 'Undo the last save (Ctrl+Z)';
    $('redo').title = redoable > 0 ? 'Redo the undone save on ' + filesText(redoable) + ' (Ctrl+Y)' :
      'Redo the save that was undone (Ctrl+Y)';
  }

  // Ctrl+Z and Ctrl+Y (or Ctrl+Shift+Z) act on the last save, except in a text field, where they
  // are the field's own.
  function isTextField(node) {
    if (!node || !node.tagName) { return false; }
    var tag = node.tagName.toLowerCase();
    if (tag === 'textarea' || node.isContentEditable) { return true; }
    if (tag !== 'input') { return false; }
    return /^(text|search|url|email|tel|password|number)$/.test((node.getAttribute('type') || 'text').toLowerCase());
  }

  function onKeyDown(event) {
    if (!event.ctrlKey || event.altKey || V.dialog.isOpen() || isTextField(event.target)) { return; }
    if (event.keyCode === 90 && !event.shiftKey) { // Ctrl+Z
      event.preventDefault();
      begin('undo');
    } else if (event.keyCode === 89 || (event.keyCode === 90 && event.shiftKey)) { // Ctrl+Y, Ctrl+Shift+Z
      event.preventDefault();
      begin('redo');
    }
  }

  function start() {
    V.save.watch({ fileWritten: fileWritten, jobDone: jobDone, updateButtons: updateButtons });
    $('undo').onclick = function () { begin('undo'); };
    $('redo').onclick = function () { begin('redo'); };
    document.addEventListener('keydown', onKeyDown);
    updateButtons();
  }

  V.undo = {
    start: start,
    undo: function () { return begin('undo'); },
    redo: function () { return begin('redo'); },
    undoRequests: undoRequests,
    updateButtons: updateButtons
  };
}(Varenko));
