// Saving: the edits go to every selected file, one file per step with the progress in the status
// line, until done or cancelled; the files that could not take them are listed below. Also which
// buttons can be used while that runs.
(function (V) {
  'use strict';

  var $ = V.$;
  var setClass = V.setClass;
  var element = V.element;
  var keysOf = V.keysOf;

  var state = { busy: false, cancel: false };

  function updateButtons() {
    var edits = V.panel.hasEdits();
    var valid = edits && V.panel.allValid();
    $('save').disabled = state.busy || !edits || !valid || V.list.selectedCount() === 0;
    $('revert').disabled = state.busy || !edits;
    var buttons = ['add-files', 'add-folder', 'remove', 'clear'];
    for (var i = 0; i < buttons.length; i++) { $(buttons[i]).disabled = state.busy; }
    setClass($('cancel'), 'hidden', !state.busy);
  }

  function showFailures(failures) {
    var list = $('failures');
    list.textContent = '';
    for (var i = 0; i < failures.length; i++) {
      var item = element('li', 'failure');
      var path = element('span', 'failure-path', failures[i].path);
      path.title = failures[i].path;
      item.appendChild(path);
      item.appendChild(element('span', 'failure-error', failures[i].error));
      list.appendChild(item);
    }
    V.setText($('failures-count'), failures.length === 1 ? '1 file could not be saved' :
      failures.length + ' files could not be saved');
    setClass($('failures-pane'), 'hidden', failures.length === 0);
    // The pane takes room from the list, so the rows in view change.
    V.list.render();
  }

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

  // The requests that write the edits to one file, category by category.
  function requestsFor(file, edits) {
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
      requests = requests.concat(category.requests ? category.requests(changed, props) :
        memberRequests(category, changed, props));
    }
    return requests;
  }

  function save() {
    if (state.busy || !V.panel.hasEdits() || !V.panel.allValid()) { return; }
    var files = V.list.selectedFiles();
    if (files.length === 0) { return; }
    var edits = V.panel.edits();
    var failures = [];
    var index = 0;
    var written = 0;
    state.busy = true;
    state.cancel = false;
    updateButtons();
    showFailures([]);

    function fail(file, error) { failures.push({ path: file.path, error: error }); }

    function step() {
      if (state.cancel || index >= files.length) { finish(); return; }
      var file = files[index];
      V.status('Saving ' + (index + 1) + ' of ' + files.length);
      if (!file.props) { V.list.readProps(file); }
      var requests = requestsFor(file, edits);
      var ok = true;
      for (var r = 0; r < requests.length; r++) {
        if (requests[r].skipped) {
          ok = false;
          fail(file, requests[r].skipped);
          continue;
        }
        var request = { cmd: 'setprops', filename: file.path, cat: requests[r].cat, props: requests[r].props };
        var answer = V.native.callJson(request);
        if (!answer) {
          ok = false;
          fail(file, 'The ' + requests[r].cat + ' change was refused: no answer (a value out of range?)');
        } else if (answer.result !== true) {
          ok = false;
          fail(file, answer.error ? answer.error : 'The ' + requests[r].cat + ' change could not be saved');
        }
      }
      if (ok) { written++; }
      // What was read of the file is stale now: the list and the panel read it again.
      file.props = null;
      file.basic = false;
      index++;
      V.later(step);
    }

    function finish() {
      var cancelled = state.cancel && index < files.length;
      state.busy = false;
      state.cancel = false;
      V.panel.clearEdits();
      var text = cancelled ? 'Cancelled: saved ' + written + ' of ' + files.length + ' files' :
        'Saved ' + written + ' of ' + files.length + (files.length === 1 ? ' file' : ' files');
      if (failures.length > 0) { text += ', ' + failures.length + ' failed'; }
      V.status(text);
      showFailures(failures);
      updateButtons();
      V.panel.load();
    }

    V.later(step);
  }

  function start() {
    $('save').onclick = save;
    $('cancel').onclick = function () { state.cancel = true; V.status('Cancelling\u2026'); };
    $('failures-close').onclick = function () { setClass($('failures-pane'), 'hidden', true); V.list.render(); };
  }

  V.save = {
    start: start,
    busy: function () { return state.busy; },
    updateButtons: updateButtons,
    showFailures: showFailures
  };
}(Varenko));
