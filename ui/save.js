// Writing to files: one runner that sends each file its "setprops" requests, one file per timer
// step with the shared progress and Cancel, lists the files that failed and has the files read
// again afterwards. Saving the panel's edits is one use of it; other tools hand it their own
// requests. Every request it sends takes the "Keep file times" setting here, in one place. Also
// which buttons can be used while a job runs, and the watchers (undo) told of what each job wrote.
(function (V) {
  'use strict';

  var $ = V.$;
  var keysOf = V.keysOf;

  var state = {
    job: null,       // the running job's options, or null
    last: null,      // the options of the last job that had failures: "Retry failed" runs it again
    watchers: []     // told of each file a job writes and of each job's end (see watch)
  };

  // The categories whose writes can leave the file's times as they were; the file system's own
  // times and attributes are what the other two categories write.
  var KEEPS_TIMES = { doc: true, exif: true, media: true, avi: true };

  function tell(event, args) {
    for (var i = 0; i < state.watchers.length; i++) {
      if (state.watchers[i][event]) { state.watchers[i][event].apply(null, args); }
    }
  }

  function busy() { return state.job !== null; }

  // The number of fields and files a save would change: { fields, files }.
  function pendingChanges() {
    return { fields: keysOf(V.panel.edits()).length, files: V.list.selectedCount() };
  }

  function updateButtons() {
    var edits = V.panel.hasEdits();
    var reading = V.panel.reading ? V.panel.reading() : false;
    var valid = edits && V.panel.allValid();
    var save = $('save');
    save.disabled = busy() || reading || !edits || !valid || V.list.selectedCount() === 0;
    $('revert').disabled = busy() || !edits;
    var buttons = ['add-files', 'add-folder', 'add-paths', 'remove', 'clear', 'time-tools'];
    for (var i = 0; i < buttons.length; i++) { if ($(buttons[i])) { $(buttons[i]).disabled = busy(); } }
    var summary = $('save-summary');
    var text = '';
    if (edits && !busy()) {
      var pending = pendingChanges();
      text = (pending.fields === 1 ? '1 change' : pending.fields + ' changes') + ' on ' +
        (pending.files === 1 ? '1 file' : pending.files + ' files');
    }
    if (summary) { V.setText(summary, text); }
    save.title = text ? 'Save ' + text + ' (Ctrl+S)' : 'Save the changes (Ctrl+S)';
    if (V.failures) { V.failures.updateButtons(); }
    for (var w = 0; w < state.watchers.length; w++) {
      if (state.watchers[w].updateButtons) { state.watchers[w].updateButtons(); }
    }
  }

  // ---- the requests of the panel's edits ------------------------------------------------------

  // A catalogue category's request: the changed properties, as its catalogue says they are sent.
  function memberRequests(category, changed, props) {
    var name = category.name;
    if (props.failed) {
      return [{ cat: name, skipped: 'Its properties could not be read, so they were not changed' }];
    }
    var current = category.members(props) || {};
    var items = {};
    if (category.writtenWhole) {
      var existing = keysOf(current);
      for (var x = 0; x < existing.length; x++) {
        items[existing[x]] = category.item(current[existing[x]].data, current[existing[x]]);
      }
    }
    var keys = keysOf(changed);
    for (var k = 0; k < keys.length; k++) {
      var entry = current[keys[k]] || category.catalogue[keys[k]] || {};
      items[keys[k]] = category.item(changed[keys[k]], entry);
    }
    var request = { cat: name, props: {} };
    request.props[name] = items;
    return [request];
  }

  // The requests that write `edits` (field id -> value) to one file, category by category.
  function editRequests(file, edits) {
    var props = file.props || {};
    var byCategory = {};
    var ids = keysOf(edits);
    for (var i = 0; i < ids.length; i++) {
      var field = V.splitFieldId(ids[i]);
      (byCategory[field.category] = byCategory[field.category] || {})[field.key] = edits[ids[i]];
    }
    var requests = [];
    for (var c = 0; c < V.categories.length; c++) {
      var category = V.categories[c];
      var changed = byCategory[category.name];
      if (!changed) { continue; }
      requests = requests.concat(category.requests ? category.requests(changed, props, file) :
        memberRequests(category, changed, props));
    }
    return requests;
  }

  // ---- the runner -----------------------------------------------------------------------------

  // Runs one job: options.files (file objects of the list), options.requestsFor(file) -> the
  // file's requests ({ cat, props } or { cat, skipped: reason }), called just before the file is
  // written and after its properties were read, options.verb for the status ("Saving 3 of 9"),
  // options.failedAs for the failures pane ("could not be undone"; default "saved"), and
  // options.done(summary) (optional) with { written: [file], failed: [{ file, error, errors }],
  // cancelled }: one entry per failed file, `error` its first failure text and `errors` all of them.
  // options.record === false marks a job that is no new save (an undo or a redo), and
  // options.retryOf the job a retry repeats; watchers are told of every job. Returns false when a
  // job is running already.
  function run(options) {
    if (busy() || V.progress.active() || !options || !options.files || options.files.length === 0) { return false; }
    var files = options.files.slice(0);
    var verb = options.verb || 'Saving';
    var written = [];
    var failed = [];
    var timesMoved = {}; // path -> why: written, but its times could not be kept
    var index = 0;
    state.job = options;
    V.progress.begin(verb + ' 1 of ' + files.length, files.length);
    if (V.failures) { V.failures.show([]); }
    updateButtons();

    function step() {
      if (V.progress.cancelled() || index >= files.length) { finish(); return; }
      var file = files[index];
      V.progress.update(index, verb + ' ' + (index + 1) + ' of ' + files.length);
      // A file that could not be read before (gone, or locked away) may be back for a retry: what
      // is written, and what an undo sets back, is built on what it holds now.
      if (!file.props || file.props.failed) { V.list.readProps(file); }
      var requests = options.requestsFor(file) || [];
      var errors = [];
      var sent = [];
      for (var r = 0; r < requests.length; r++) {
        if (requests[r].skipped) {
          errors.push(requests[r].skipped);
          continue;
        }
        var request = { cmd: 'setprops', filename: file.path, cat: requests[r].cat, props: requests[r].props };
        if (KEEPS_TIMES[request.cat] && V.keeptimes && V.keeptimes.on()) { request.keeptimes = true; }
        sent.push(requests[r]);
        var answer = V.native.callJson(request);
        if (!answer) {
          errors.push('The ' + requests[r].cat + ' change was refused: no answer (a value out of range?)');
        } else if (answer.result !== true) {
          errors.push(answer.error ? answer.error : 'The ' + requests[r].cat + ' change could not be saved');
        } else if (request.keeptimes && answer.timeskept === false) {
          // Written, but the engine could not keep the file's times: the save stands, and is told.
          // Any "error" text beside a result of true is no failure and says nothing of the times.
          timesMoved[file.path] = typeof answer.timeserror === 'string' && answer.timeserror !== '' ?
            answer.timeserror : 'no reason given';
        }
      }
      if (errors.length === 0) {
        written.push(file);
      } else {
        failed.push({ file: file, error: errors[0], errors: errors });
      }
      // Told while file.props still holds what the file was before this job.
      tell('fileWritten', [options, file, sent, errors]);
      // What was read of the file is stale now: the list and the panel read it again.
      file.props = null;
      file.basic = false;
      index++;
      V.progress.update(index);
      V.later(step);
    }

    function finish() {
      var cancelled = index < files.length;
      var text = cancelled ? 'Cancelled: saved ' + written.length + ' of ' + files.length + ' files' :
        'Saved ' + written.length + ' of ' + files.length + (files.length === 1 ? ' file' : ' files');
      if (failed.length > 0) { text += ', ' + failed.length + ' failed'; }
      var moved = V.keysOf(timesMoved);
      var details = [];
      if (moved.length > 0) {
        text += '; the times of ' + (moved.length === 1 ? '1 file' : moved.length + ' files') + ' could not be kept';
        for (var m = 0; m < moved.length; m++) { details.push(moved[m] + ': ' + timesMoved[moved[m]]); }
      }
      state.job = null;
      state.last = failed.length > 0 ? options : null;
      V.progress.end();
      V.status(text, details.join('\n'));
      if (V.list.markFailed) {
        for (var w = 0; w < written.length; w++) { V.list.markFailed(written[w].path, null); }
      }
      if (V.failures) { V.failures.show(failed, options.failedAs); }
      var summary = { written: written, failed: failed, cancelled: cancelled };
      tell('jobDone', [options, summary]);
      if (options.done) { options.done(summary); }
      updateButtons();
      V.list.render();
      V.panel.load(options.afterLoad);
    }

    V.later(step);
    return true;
  }

  // ---- saving the panel's edits ---------------------------------------------------------------

  // Where the focus goes back to once a save is done and the panel shows the files again.
  function focusAfter(element) {
    // A category's fields are made anew when the panel shows the files again: found by their key.
    var field = element && element.getAttribute ? element.getAttribute('data-field') : null;
    return function () {
      var target = element;
      if (field && (!target || !document.body.contains(target))) {
        target = document.querySelector('#props-body [data-field="' + field.replace(/["\\]/g, '\\$&') + '"]');
      }
      if (!target || target === document.body || target.disabled || !document.body.contains(target) ||
          target.id === 'save' || target.offsetParent === null) {
        target = $('file-list');
      }
      target.focus();
    };
  }

  function save() {
    if (busy() || V.progress.active() || !V.panel.hasEdits() || !V.panel.allValid()) { return false; }
    if (V.panel.reading && V.panel.reading()) { return false; }
    var files = V.list.selectedFiles();
    if (files.length === 0) { return false; }
    // The edits of this save, kept apart from the panel's, so that "Retry failed" sends the same.
    var edits = {};
    var ids = keysOf(V.panel.edits());
    for (var i = 0; i < ids.length; i++) { edits[ids[i]] = V.panel.edits()[ids[i]]; }
    return run({
      files: files,
      verb: 'Saving',
      requestsFor: function (file) { return editRequests(file, edits); },
      done: function () { V.panel.clearEdits(); },
      panelEdits: true,
      afterLoad: focusAfter(document.activeElement)
    });
  }

  // Runs the last job again on the files that failed in it.
  function retry(files) {
    if (!state.last || !files || files.length === 0) { return false; }
    var last = state.last;
    // A retried save leaves alone the edits made in the panel since.
    return run({ files: files, verb: last.verb, requestsFor: last.requestsFor, done: last.panelEdits ? null : last.done,
      afterLoad: last.panelEdits ? focusAfter(document.activeElement) : null, record: last.record, retryOf: last });
  }

  function start() {
    $('save').onclick = save;
    V.failures.start();
  }

  V.save = {
    start: start,
    run: run,
    save: save,
    retry: retry,
    canRetry: function () { return state.last !== null && !busy(); },
    busy: busy,
    requestsFor: editRequests,
    updateButtons: updateButtons,
    // watcher: { fileWritten(job, file, sent, errors), jobDone(job, summary), updateButtons() },
    // each optional. fileWritten comes after each file of a job, with the requests that were sent
    // and the errors (none: written), while file.props is still what was read before the writes.
    watch: function (watcher) { state.watchers.push(watcher); },
    showFailures: function (failed) { if (V.failures) { V.failures.show(failed || []); } }
  };
}(Varenko));
