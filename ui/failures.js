// The pane of files a job could not write: each failure in words a user can act on, with the
// engine's own text kept below it; a click selects the file, and the failed files can be selected
// or tried again together. Some of the engine's texts are words already ("The file is
// read-only") and are shown as they are; the others report Windows error numbers and status codes
// ("file open failed, error: 2", "hr=0x80030005"), and the words are found from those numbers.
(function (V) {
  'use strict';

  var $ = V.$;
  var setClass = V.setClass;
  var element = V.element;

  var shown = []; // the failures in the pane: { file, error, errors }, one a file

  // Windows error numbers; the storage and AVI layers report the same numbers inside their codes.
  var SYSTEM = {
    1: 'The file system does not support this change',
    2: 'The file was not found: it may have been moved, renamed or deleted',
    3: 'The folder was not found: it may have been moved, renamed or deleted',
    5: 'Access was denied: the file may be read-only, or you may not have permission to change it',
    19: 'The disk is write-protected',
    21: 'The drive is not ready',
    32: 'The file is in use by another program: close it there and retry',
    33: 'Part of the file is locked by another program: close it there and retry',
    39: 'The disk is full',
    53: 'The network path was not found',
    67: 'The network name was not found',
    80: 'A file of that name exists already',
    87: 'The change is not valid for this file',
    112: 'The disk is full',
    123: 'The file name is not valid',
    206: 'The file name or its folder is too long',
    1224: 'The file is open in another program as a mapped section: close it there and retry',
    1392: 'The file is damaged and cannot be read'
  };

  // Status codes of the document and AVI layers that are not Windows error numbers.
  var CODES = {
    '800300FB': 'The file is not a document that holds document properties, or it is damaged',
    '80030109': 'The document is damaged',
    '80030050': 'A file of that name exists already',
    '80044065': 'There is no room for the INFO list without moving the movie data',
    '80044066': 'The file is not an AVI file, or it is damaged',
    '80044067': 'There was not enough memory',
    '8004406B': 'The INFO items are too large to store',
    '8004406D': 'The file could not be read to its end: it may be damaged',
    '8004406E': 'The file could not be written: the disk may be full'
  };

  function systemReason(number) {
    return SYSTEM[number] || null;
  }

  // Whether an engine's text is a sentence for the user: one that starts with a capital letter,
  // unlike the coded texts, but for the two coded ones that start so too.
  function isWords(text) {
    return /^[A-Z]/.test(text) && !/^(SetFileTime (error|exception)|Exif save props to file error)\b/.test(text);
  }

  // The words for an engine's failure text, or null when it has none better than the text itself.
  function reasonOf(error) {
    var text = String(error);
    if (isWords(text)) { return null; }
    var match = /hr=0x([0-9A-Fa-f]{8})/.exec(text);
    if (match) {
      var code = match[1].toUpperCase();
      if (CODES[code]) { return CODES[code]; }
      // Windows errors as status codes (0x8007xxxx), and the storage layer's own (0x8003xxxx)
      // whose low numbers are the Windows ones.
      if (/^8007/.test(code) || /^800300/.test(code)) {
        var fromCode = systemReason(parseInt(code.substring(4), 16));
        if (fromCode) { return fromCode; }
      }
      return 'The change could not be saved (status 0x' + code + ')';
    }
    if (/^Exif save props to file error: 1$/.test(text)) {
      return 'The file is not an image that can hold EXIF items, or it is damaged';
    }
    if (/^Exif save props to file error: /.test(text)) { return 'The image could not be written'; }
    if (/^invalid date-time text/.test(text)) {
      // The engine says why in brackets at the end.
      var why = /\(([^()]+)\)$/.exec(text);
      return 'A time is not valid: ' + (why ? why[1] : 'use YYYY:MM:DD hh:mm:ss with a date that exists, from 1970 to 3000');
    }
    if (/^invalid /.test(text)) { return 'A value is not valid for its property'; }
    match = /(?:error:?|exception,) (\d+)\s*$/.exec(text);
    if (match) {
      return systemReason(parseInt(match[1], 10)) || 'The change could not be saved (Windows error ' + match[1] + ')';
    }
    return null;
  }

  function selectFiles(files) {
    if (!V.list.selectPaths || files.length === 0) { return; }
    var paths = [];
    for (var i = 0; i < files.length; i++) { paths.push(files[i].path); }
    V.list.selectPaths(paths);
  }

  function failedFiles() {
    var files = [];
    for (var i = 0; i < shown.length; i++) { files.push(shown[i].file); }
    return files;
  }

  function updateButtons() {
    var none = shown.length === 0 || V.save.busy();
    $('failures-select').disabled = none || !V.list.selectPaths;
    $('failures-retry').disabled = none || !V.save.canRetry();
  }

  function item(failure) {
    var row = element('li', 'failure');
    var path = element('button', 'failure-path', failure.file.path);
    path.type = 'button';
    path.title = 'Select ' + failure.file.path;
    path.onclick = function () { selectFiles([failure.file]); };
    row.appendChild(path);
    var text = element('div', 'failure-text');
    var errors = failure.errors || [failure.error];
    for (var i = 0; i < errors.length; i++) {
      var reason = reasonOf(errors[i]);
      text.appendChild(element('div', 'failure-reason', reason || errors[i]));
      // The engine's own text stays, for a report or a search; it is the only line when it says
      // all there is.
      var details = element('div', 'failure-details');
      details.appendChild(element('span', 'failure-details-label', 'Details: '));
      details.appendChild(element('span', 'failure-error', errors[i]));
      if (!reason) { setClass(details, 'hidden', true); }
      text.appendChild(details);
    }
    row.appendChild(text);
    return row;
  }

  // Shows the failures of a job (none hides the pane) and marks the failed rows of the list;
  // `what` says what could not be done to them (default "saved").
  function show(failures, what) {
    shown = failures.slice(0);
    var list = $('failures');
    list.textContent = '';
    for (var i = 0; i < shown.length; i++) {
      list.appendChild(item(shown[i]));
      if (V.list.markFailed) { V.list.markFailed(shown[i].file.path, reasonOf(shown[i].error) || shown[i].error); }
    }
    var files = shown.length;
    what = what || 'saved';
    V.setText($('failures-count'), (files === 1 ? '1 file' : files + ' files') + ' could not be ' + what);
    setPane(shown.length > 0);
    updateButtons();
  }

  // The pane takes room from the list, which is told so by a class on the body; the rows in view
  // change with it.
  function setPane(on) {
    setClass($('failures-pane'), 'hidden', !on);
    setClass(document.body, 'with-failures', on);
    V.list.render();
  }

  function start() {
    $('failures-close').onclick = function () {
      setPane(false);
      $('file-list').focus();
    };
    $('failures-select').onclick = function () { selectFiles(failedFiles()); };
    $('failures-retry').onclick = function () { V.save.retry(failedFiles()); };
  }

  V.failures = {
    start: start,
    show: show,
    reasonOf: reasonOf,
    updateButtons: updateButtons,
    files: failedFiles
  };
}(Varenko));
