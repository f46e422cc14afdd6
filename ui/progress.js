// Progress of the one long job that may run at a time (reading a selection, reading a column for
// sorting, saving): a bar and a count in the status bar, and the Cancel button. The job itself
// runs in small timer steps and asks cancelled() between them; Cancel only sets the flag, so a
// step that has started always finishes and no file is left half written.
(function (V) {
  'use strict';

  var $ = V.$;
  var setClass = V.setClass;

  var job = null; // { total, done, cancelled, onCancel }

  function show(on) {
    setClass($('progress'), 'hidden', !on);
    setClass($('cancel'), 'hidden', !on);
  }

  // Starts a job of `total` steps; `text` is the first status text, onCancel (optional) is called
  // once when the user asks to stop.
  function start(text, total, onCancel) {
    job = { total: Math.max(0, total), done: 0, cancelled: false, onCancel: onCancel || null };
    var bar = $('progress');
    bar.setAttribute('aria-valuemin', '0');
    bar.setAttribute('aria-valuemax', String(job.total));
    show(true);
    update(0, text);
  }

  // `done` of the job's steps are done; `text` (optional) replaces the status text.
  function update(done, text) {
    if (!job) { return; }
    job.done = Math.max(0, Math.min(done, job.total));
    var bar = $('progress');
    bar.setAttribute('aria-valuenow', String(job.done));
    $('progress-fill').style.width = (job.total > 0 ? Math.round(100 * job.done / job.total) : 0) + '%';
    if (text !== undefined) { V.status(text); }
  }

  // Ends the job; `text` (optional) is the status text that stays.
  function end(text) {
    job = null;
    show(false);
    if (text !== undefined) { V.status(text); }
  }

  function cancel() {
    if (!job || job.cancelled) { return; }
    job.cancelled = true;
    V.status('Cancelling\u2026');
    if (job.onCancel) { job.onCancel(); }
  }

  function wireCancel() {
    $('cancel').onclick = cancel;
  }

  V.progress = {
    start: wireCancel,
    begin: start,
    update: update,
    end: end,
    cancel: cancel,
    active: function () { return job !== null; },
    cancelled: function () { return job !== null && job.cancelled; }
  };
}(Varenko));
