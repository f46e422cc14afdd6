// Files that reach the list without the file dialog: those the program was started with (its
// command line, as "Send to" and a shell give them), paths typed or pasted into the "Add paths"
// box, and a plain word when "Add files" finds no dialog to show. Folders are expanded by the
// native side ("collectpaths") as "Add folder" expands them, with the toolbar's options.
(function (V) {
  'use strict';

  var $ = V.$;

  // "addfiles" answers empty text both when the user cancels the dialog and when no dialog could be
  // shown (outside the program's window the engine has none). A dialog the user closed took human
  // time; an empty answer sooner than this came without one.
  var NO_DIALOG_MS = 400;
  var NO_DIALOG = 'No file dialog is available here: drop files on the window, or use Add paths\u2026';
  // How many names that named nothing the status line spells out.
  var MISSING_SHOWN = 3;

  // ---- the command line ------------------------------------------------------------------------

  function isBlank(c) { return c === ' ' || c === '\t'; }

  // The arguments of a command line, split as the system's CommandLineToArgvW splits it. The first,
  // the program's path, ends at the next quote when it starts with one, else at the first blank,
  // and knows no escapes. In the others, blanks outside quotes separate; backslashes are literal
  // unless a quote follows them: 2n of them and a quote give n and open or close quoting, 2n+1 give
  // n and a literal quote. Inside quotes a run of quotes counts together with the one that opened
  // (or reopened) quoting: each third gives a literal quote, and quoting stays open only when the
  // count is a multiple of three ("a""b" is a"b with quoting closed). An empty line gives none.
  function splitCommandLine(line) {
    var text = String(line);
    var args = [];
    if (text === '') { return args; }
    var at = 0;
    var first = '';
    if (text.charAt(0) === '"') {
      var close = text.indexOf('"', 1);
      first = text.substring(1, close < 0 ? text.length : close);
      at = close < 0 ? text.length : close + 1;
    } else {
      while (at < text.length && !isBlank(text.charAt(at))) { at++; }
      first = text.substring(0, at);
    }
    args.push(first);
    while (at < text.length && isBlank(text.charAt(at))) { at++; }
    if (at >= text.length) { return args; }

    var current = '';
    var quotes = 0;      // 0 outside quoting, 1 inside, 2 while a run of quotes is counted
    var backslashes = 0; // the run of backslashes just copied
    while (at < text.length) {
      var c = text.charAt(at);
      if (isBlank(c) && quotes === 0) {
        args.push(current);
        current = '';
        backslashes = 0;
        while (at < text.length && isBlank(text.charAt(at))) { at++; }
        if (at >= text.length) { return args; }
      } else if (c === '\\') {
        current += c;
        backslashes++;
        at++;
      } else if (c === '"') {
        // Half the backslashes stay; an odd one out makes this quote a literal one.
        current = current.substring(0, current.length - Math.ceil(backslashes / 2));
        if (backslashes % 2 === 0) {
          quotes++;
        } else {
          current += '"';
        }
        backslashes = 0;
        at++;
        while (at < text.length && text.charAt(at) === '"') {
          if (++quotes === 3) {
            current += '"';
            quotes = 0;
          }
          at++;
        }
        if (quotes === 2) { quotes = 0; }
      } else {
        current += c;
        backslashes = 0;
        at++;
      }
    }
    args.push(current);
    return args;
  }

  // ---- typed and pasted paths ------------------------------------------------------------------

  // The paths of a pasted text: one a line, blanks around them and blank lines ignored, and the
  // double quotes that "Copy as path" puts around each taken off.
  function parsePaths(text) {
    var lines = String(text).split(/\r\n|\r|\n/);
    var paths = [];
    for (var i = 0; i < lines.length; i++) {
      var path = lines[i].replace(/^\s+|\s+$/g, '');
      if (path.length >= 2 && path.charAt(0) === '"' && path.charAt(path.length - 1) === '"') {
        path = path.substring(1, path.length - 1).replace(/^\s+|\s+$/g, '');
      }
      if (path !== '') { paths.push(path); }
    }
    return paths;
  }

  // ---- collecting ------------------------------------------------------------------------------

  function exists(path) {
    // No attribute letters: the system knows no such file or folder.
    var answer = V.native.callJson({ cmd: 'getprops', name: path, allprops: false });
    return !!(answer && typeof answer.attributes === 'string' && answer.attributes !== '');
  }

  // The files and folders the paths name, expanded as "Add folder" expands a folder, and the paths
  // that name nothing. Each path is asked about alone, so that a path that lists nothing (a
  // missing one, or an empty folder) is known.
  function collect(paths) {
    var found = [];
    var missing = [];
    for (var i = 0; i < paths.length; i++) {
      var list = V.native.callJson({
        cmd: 'collectpaths',
        paths: [paths[i]],
        subdir: $('opt-subdir').checked,
        includedir: $('opt-includedir').checked,
        dironly: false
      });
      if (list && list.length > 0) {
        for (var j = 0; j < list.length; j++) { found.push(list[j]); }
      } else if (!exists(paths[i])) {
        missing.push(paths[i]);
      }
    }
    return { found: found, missing: missing };
  }

  function missingText(missing) {
    var shown = missing.slice(0, MISSING_SHOWN).join(', ');
    var more = missing.length - MISSING_SHOWN;
    return 'Not found: ' + shown + (more > 0 ? ' and ' + more + ' more' : '');
  }

  // Adds what the paths name to the list and says in the status what was added and what was not
  // found; returns the paths that named nothing.
  function addPaths(paths) {
    var result = collect(paths);
    var parts = [];
    if (result.found.length > 0) {
      // The list says how many were new.
      V.list.add(result.found);
      parts.push($('status').textContent);
    } else if (result.missing.length < paths.length) {
      parts.push('No files in ' + (paths.length - result.missing.length === 1 ? 'that folder' : 'those folders'));
    }
    if (result.missing.length > 0) { parts.push(missingText(result.missing)); }
    V.status(parts.join('. '));
    return result.missing;
  }

  // ---- the "Add paths" box ---------------------------------------------------------------------

  function showError(text) {
    V.setText($('paths-error'), text);
    V.setClass($('paths-error'), 'hidden', !text);
  }

  function openBox() {
    if (V.save.busy()) { return; }
    showError('');
    V.dialog.show($('paths-box'), { focus: $('paths-text') });
  }

  function closeBox() { V.dialog.hide(); }

  // Adds what the box names. The box closes when every line named something; otherwise it keeps
  // the lines that named nothing, to be corrected.
  function addFromBox() {
    if (V.save.busy()) { showError('Wait until the save has finished.'); return; }
    var paths = parsePaths($('paths-text').value);
    if (paths.length === 0) {
      showError('Type or paste at least one path.');
      $('paths-text').focus();
      return;
    }
    var missing = addPaths(paths);
    if (missing.length === 0) {
      $('paths-text').value = '';
      closeBox();
      return;
    }
    $('paths-text').value = missing.join('\n');
    showError(missing.length === 1 ? 'This path names no file or folder.' :
      'These paths name no file or folder.');
    $('paths-text').focus();
  }

  // ---- the dialog of "Add files" and "Add folder" ----------------------------------------------

  function now() { return new Date().getTime(); }

  // Runs "addfiles" and returns its answer; when the empty answer came too soon for a dialog the
  // user closed, the status says that there is none and what to do instead.
  function callDialog(request) {
    var started = now();
    var answer = V.native.call(request);
    if (!answer && now() - started < NO_DIALOG_MS) { V.status(NO_DIALOG); }
    return answer;
  }

  // ---- start -----------------------------------------------------------------------------------

  // The toolbar's button and the box; then the files and folders of the command line.
  function start() {
    $('add-paths').onclick = openBox;
    $('paths-add').onclick = addFromBox;
    $('paths-cancel').onclick = closeBox;

    var args = splitCommandLine(V.native.call({ cmd: 'getcmdline' }) || '').slice(1);
    var paths = [];
    for (var i = 0; i < args.length; i++) { if (args[i] !== '') { paths.push(args[i]); } }
    if (paths.length > 0) { addPaths(paths); }
  }

  V.intake = {
    start: start,
    callDialog: callDialog,
    addPaths: addPaths,
    splitCommandLine: splitCommandLine,
    parsePaths: parsePaths
  };
}(Varenko));
