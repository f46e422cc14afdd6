// The list of files and its selection: adding and removing files, sorting, the rows in view (the
// list holds thousands, so only those are in the document), the mouse and keys that select, and
// reading a file's properties for the panel and for saving.
(function (V) {
  'use strict';

  var $ = V.$;
  var setClass = V.setClass;
  var element = V.element;
  var keysOf = V.keysOf;

  var ROW_HEIGHT = 26;

  var state = {
    files: [],        // { path, name, folder, type, modified, attributes, basic, props }
    byPath: {},
    view: [],         // the files in display order
    selected: {},     // path -> true
    anchor: -1,       // view index where a Shift range starts
    focus: -1,        // view index of the keyboard focus
    sortKey: null,
    sortAsc: true,
    basicQueue: [],
    basicTimer: null
  };

  function busy() { return V.save.busy(); }

  function makeFile(path) {
    var cut = Math.max(path.lastIndexOf('\\'), path.lastIndexOf('/'));
    var name = cut >= 0 ? path.substring(cut + 1) : path;
    var dot = name.lastIndexOf('.');
    return {
      path: path,
      name: name || path,
      folder: cut >= 0 ? path.substring(0, cut) : '',
      type: dot > 0 ? name.substring(dot + 1).toUpperCase() : '',
      modified: '',
      attributes: '',
      basic: false,
      props: null
    };
  }

  function selectedFiles() {
    var list = [];
    for (var i = 0; i < state.view.length; i++) {
      if (state.selected[state.view[i].path]) { list.push(state.view[i]); }
    }
    return list;
  }

  function selectedCount() { return keysOf(state.selected).length; }

  // ---- rows ----------------------------------------------------------------------------------

  function compareBy(key) {
    return function (a, b) {
      var x = String(a[key]).toLowerCase();
      var y = String(b[key]).toLowerCase();
      if (x === y) {
        x = a.path.toLowerCase();
        y = b.path.toLowerCase();
      }
      return x < y ? -1 : (x > y ? 1 : 0);
    };
  }

  function rebuildView() {
    var view = state.files.slice(0);
    if (state.sortKey) {
      var compare = compareBy(state.sortKey);
      var sign = state.sortAsc ? 1 : -1;
      view.sort(function (a, b) { return sign * compare(a, b); });
    }
    state.view = view;
    var headers = $('list-header').children;
    for (var i = 0; i < headers.length; i++) {
      var sorted = headers[i].getAttribute('data-sort') === state.sortKey;
      setClass(headers[i], 'sorted-asc', sorted && state.sortAsc);
      setClass(headers[i], 'sorted-desc', sorted && !state.sortAsc);
    }
  }

  function makeRow(file, index) {
    var row = element('div', 'file-row');
    row.setAttribute('data-path', file.path);
    row.setAttribute('data-index', String(index));
    row.setAttribute('role', 'row');
    row.title = file.path;
    if (state.selected[file.path]) { setClass(row, 'selected', true); row.setAttribute('aria-selected', 'true'); }
    if (index === state.focus) { setClass(row, 'focused', true); }
    row.appendChild(element('div', 'col col-name', file.name));
    row.appendChild(element('div', 'col col-type', file.type));
    row.appendChild(element('div', 'col col-modified', file.modified));
    row.appendChild(element('div', 'col col-attributes', file.attributes));
    row.appendChild(element('div', 'col col-folder', file.folder));
    return row;
  }

  function render() {
    var list = $('file-list');
    var rows = $('file-list-rows');
    $('file-list-spacer').style.height = (state.view.length * ROW_HEIGHT) + 'px';
    var first = Math.max(0, Math.floor(list.scrollTop / ROW_HEIGHT) - 4);
    var last = Math.min(state.view.length, first + Math.ceil(list.clientHeight / ROW_HEIGHT) + 8);
    rows.style.top = (first * ROW_HEIGHT) + 'px';
    rows.textContent = '';
    var fragment = document.createDocumentFragment();
    var missing = [];
    for (var i = first; i < last; i++) {
      fragment.appendChild(makeRow(state.view[i], i));
      if (!state.view[i].basic) { missing.push(state.view[i]); }
    }
    rows.appendChild(fragment);
    setClass($('list-empty'), 'hidden', state.files.length > 0);
    var count = state.files.length;
    var chosen = selectedCount();
    V.setText($('count'), count === 0 ? '' : (count === 1 ? '1 file' : count + ' files') +
      (chosen > 0 ? ', ' + chosen + ' selected' : ''));
    queueBasicReads(missing);
  }

  // ---- reading files -------------------------------------------------------------------------

  // The list's Modified and Attributes columns are read lazily, for the rows in view.
  function queueBasicReads(files) {
    for (var i = 0; i < files.length; i++) {
      if (!files[i].queued) {
        files[i].queued = true;
        state.basicQueue.push(files[i]);
      }
    }
    if (state.basicQueue.length > 0 && !state.basicTimer) {
      state.basicTimer = window.setTimeout(readBasicBatch, 30);
    }
  }

  function readBasicBatch() {
    state.basicTimer = null;
    if (busy()) { state.basicTimer = window.setTimeout(readBasicBatch, 200); return; }
    var batch = state.basicQueue.splice(0, V.READ_BATCH);
    for (var i = 0; i < batch.length; i++) {
      var file = batch[i];
      file.queued = false;
      if (!state.byPath[file.path] || file.basic) { continue; }
      applyBasic(file, V.native.callJson({ cmd: 'getprops', name: file.path, allprops: false }));
    }
    render();
  }

  function applyBasic(file, answer) {
    file.basic = true;
    file.modified = answer && answer.modifytime ? answer.modifytime : '';
    file.attributes = answer && typeof answer.attributes === 'string' ? answer.attributes : '';
  }

  // Everything the panel shows of a file, and the list's columns with it.
  function readProps(file) {
    var answer = V.native.callJson({ cmd: 'getprops', name: file.path, allprops: true });
    // A file whose times cannot be read (gone, or locked away) has nothing to show or share; what
    // was read of it is kept, so that a save never builds on values it did not see.
    file.props = answer || {};
    if (typeof file.props.modifytime !== 'string') { file.props.failed = true; }
    applyBasic(file, answer);
  }

  // ---- adding and removing -------------------------------------------------------------------

  function addPaths(paths) {
    var added = 0;
    for (var i = 0; i < paths.length; i++) {
      var path = paths[i];
      if (typeof path !== 'string' || path === '' || state.byPath[path]) { continue; }
      var file = makeFile(path);
      state.byPath[path] = file;
      state.files.push(file);
      added++;
    }
    rebuildView();
    render();
    if (added > 0) {
      V.status(added === 1 ? 'Added 1 file' : 'Added ' + added + ' files');
    } else if (paths.length > 0) {
      V.status('Those files are in the list already');
    }
  }

  function removeFiles(paths) {
    if (!V.panel.confirmDiscard()) { return; }
    for (var i = 0; i < paths.length; i++) { delete state.byPath[paths[i]]; delete state.selected[paths[i]]; }
    var kept = [];
    for (var j = 0; j < state.files.length; j++) {
      if (state.byPath[state.files[j].path]) { kept.push(state.files[j]); }
    }
    state.files = kept;
    state.anchor = -1;
    state.focus = Math.min(state.focus, kept.length - 1);
    rebuildView();
    selectionChanged();
  }

  function removeAll() {
    var all = [];
    for (var k = 0; k < state.files.length; k++) { all.push(state.files[k].path); }
    removeFiles(all);
  }

  // ---- selection -----------------------------------------------------------------------------

  function selectOnly(index) {
    state.selected = {};
    if (index >= 0 && index < state.view.length) { state.selected[state.view[index].path] = true; }
    state.anchor = index;
    state.focus = index;
  }

  function selectRange(from, to, keep) {
    if (!keep) { state.selected = {}; }
    var low = Math.max(0, Math.min(from, to));
    var high = Math.min(state.view.length - 1, Math.max(from, to));
    for (var i = low; i <= high; i++) { state.selected[state.view[i].path] = true; }
    state.focus = to;
  }

  function selectAll() {
    state.selected = {};
    for (var i = 0; i < state.view.length; i++) { state.selected[state.view[i].path] = true; }
  }

  function toggle(index) {
    var path = state.view[index].path;
    if (state.selected[path]) { delete state.selected[path]; } else { state.selected[path] = true; }
  }

  function scrollIntoView(index) {
    var list = $('file-list');
    var top = index * ROW_HEIGHT;
    if (top < list.scrollTop) { list.scrollTop = top; }
    if (top + ROW_HEIGHT > list.scrollTop + list.clientHeight) { list.scrollTop = top + ROW_HEIGHT - list.clientHeight; }
  }

  // The panel follows the selection a moment later, so that a run of keys reads files once.
  var selectionTimer = null;
  function selectionChanged() {
    render();
    if (selectionTimer) { window.clearTimeout(selectionTimer); }
    selectionTimer = window.setTimeout(function () { selectionTimer = null; V.panel.load(); }, 60);
  }

  function onMouseDown(event) {
    var target = event.target;
    while (target && target !== this && !V.hasClass(target, 'file-row')) { target = target.parentNode; }
    if (!target || target === this || busy()) { return; }
    if (!V.panel.confirmDiscard()) { event.preventDefault(); return; }
    var index = parseInt(target.getAttribute('data-index'), 10);
    if (event.shiftKey && state.anchor >= 0) {
      selectRange(state.anchor, index, event.ctrlKey);
    } else if (event.ctrlKey) {
      toggle(index);
      state.anchor = index;
      state.focus = index;
    } else {
      selectOnly(index);
    }
    selectionChanged();
  }

  function onKeyDown(event) {
    if (busy()) { return; }
    var key = event.keyCode;
    var count = state.view.length;
    if (count === 0) { return; }
    if (event.ctrlKey && key === 65) { // Ctrl+A
      event.preventDefault();
      if (!V.panel.confirmDiscard()) { return; }
      selectAll();
      selectionChanged();
      return;
    }
    if (key === 46) { // Delete
      event.preventDefault();
      removeFiles(keysOf(state.selected));
      return;
    }
    var page = Math.max(1, Math.floor($('file-list').clientHeight / ROW_HEIGHT) - 1);
    var moves = { 38: -1, 40: 1, 33: -page, 34: page };
    var next;
    if (moves[key] !== undefined) { next = Math.max(0, Math.min(count - 1, (state.focus < 0 ? 0 : state.focus) + moves[key])); }
    else if (key === 36) { next = 0; }
    else if (key === 35) { next = count - 1; }
    else if (key === 32 && event.ctrlKey && state.focus >= 0) { // Ctrl+Space toggles the focused row
      event.preventDefault();
      if (!V.panel.confirmDiscard()) { return; }
      toggle(state.focus);
      selectionChanged();
      return;
    } else { return; }
    event.preventDefault();
    if (!V.panel.confirmDiscard()) { return; }
    if (event.shiftKey) {
      if (state.anchor < 0) { state.anchor = state.focus < 0 ? 0 : state.focus; }
      selectRange(state.anchor, next, false);
    } else if (event.ctrlKey) {
      state.focus = next;
    } else {
      selectOnly(next);
    }
    scrollIntoView(next);
    selectionChanged();
  }

  function sortBy(key) {
    if (state.sortKey === key) { state.sortAsc = !state.sortAsc; } else { state.sortKey = key; state.sortAsc = true; }
    var focused = state.focus >= 0 && state.view[state.focus] ? state.view[state.focus].path : null;
    rebuildView();
    state.anchor = -1;
    state.focus = -1;
    for (var i = 0; focused && i < state.view.length; i++) { if (state.view[i].path === focused) { state.focus = i; } }
    render();
  }

  function start() {
    var list = $('file-list');
    list.addEventListener('mousedown', onMouseDown);
    list.addEventListener('keydown', onKeyDown);
    list.addEventListener('scroll', render);
    var headers = $('list-header').children;
    for (var h = 0; h < headers.length; h++) {
      headers[h].onclick = function () { sortBy(this.getAttribute('data-sort')); };
    }
    rebuildView();
  }

  V.list = {
    start: start,
    render: render,
    add: addPaths,
    removeSelected: function () { removeFiles(keysOf(state.selected)); },
    removeAll: removeAll,
    selectedFiles: selectedFiles,
    selectedCount: selectedCount,
    readProps: readProps
  };
}(Varenko));
