// The list of files and its selection: adding and removing files, the filter, sorting, the rows
// in view, the mouse and keys that select, marks on files that failed, and reading a file's
// properties for the panel and for saving.
//
// The list holds thousands of files, so only the rows in view are in the document, as rows of
// an ARIA grid (#file-list) that points at the focused row with aria-activedescendant. The header
// row sits inside the grid, yet must not scroll away: it is positioned against #list-pane, which
// #file-list (left unpositioned on purpose) neither clips nor scrolls, and only follows the
// horizontal scroll. The rows scroll inside #file-list-body.
(function (V) {
  'use strict';

  var $ = V.$;
  var setClass = V.setClass;
  var element = V.element;
  var keysOf = V.keysOf;

  var ROW_HEIGHT = 26;
  var UNREADABLE = 'Its times could not be read: the file is gone, or cannot be opened';

  var state = {
    files: [],        // in the order they were added: { path, name, folder, type, size, modified,
                      // created, attributes, lower-case name, folder and path, basic (read),
                      // props, unreadable and failed (reasons, or '') }
    byPath: {},
    sorted: [],       // every file in display order
    view: [],         // those of sorted that the filter lets through
    position: {},     // path -> index in view
    filter: '',       // lower case
    filterText: '',   // as typed
    selected: {},     // path -> true; only files in view
    anchor: -1,       // view index where a Shift range starts
    focus: -1,        // view index of the keyboard focus
    sortKey: null,
    sortAsc: true,
    resort: false,    // a value the list is sorted by has changed since it was sorted
    sorting: false,   // a lazy column is being read for a sort
    basicQueue: [],
    basicTimer: null,
    renderTimer: null
  };

  function busy() { return V.save.busy(); }

  function makeFile(path) {
    var cut = Math.max(path.lastIndexOf('\\'), path.lastIndexOf('/'));
    var name = cut >= 0 ? path.substring(cut + 1) : path;
    var dot = name.lastIndexOf('.');
    var file = {
      path: path,
      name: name || path,
      folder: cut >= 0 ? path.substring(0, cut) : '',
      type: dot > 0 ? name.substring(dot + 1).toUpperCase() : '',
      size: null,
      modified: '',
      created: '',
      attributes: '',
      basic: false,
      props: null,
      unreadable: '',
      failed: ''
    };
    file.lowerName = file.name.toLowerCase();
    file.lowerFolder = file.folder.toLowerCase();
    file.lowerPath = path.toLowerCase();
    return file;
  }

  function selectedFiles() {
    var list = [];
    for (var i = 0; i < state.view.length; i++) {
      if (state.selected[state.view[i].path]) { list.push(state.view[i]); }
    }
    return list;
  }

  function selectedCount() { return keysOf(state.selected).length; }

  // ---- order and filter ----------------------------------------------------------------------

  function sortColumn() { return state.sortKey ? V.columns.byKey(state.sortKey) : null; }

  function sortFiles() {
    var column = sortColumn();
    state.sorted = state.files.slice(0);
    if (column) { state.sorted.sort(V.columns.comparer(column, state.sortAsc)); }
    state.resort = false;
  }

  function matches(file) {
    return file.lowerName.indexOf(state.filter) >= 0 || file.lowerFolder.indexOf(state.filter) >= 0;
  }

  // The view from the sorted files; files the filter hides leave the selection.
  function filterFiles() {
    var view = state.sorted;
    if (state.filter) {
      view = [];
      for (var i = 0; i < state.sorted.length; i++) { if (matches(state.sorted[i])) { view.push(state.sorted[i]); } }
    }
    state.view = view;
    state.position = {};
    for (var j = 0; j < view.length; j++) { state.position[view[j].path] = j; }
    var chosen = keysOf(state.selected);
    for (var k = 0; k < chosen.length; k++) {
      if (state.position[chosen[k]] === undefined) { delete state.selected[chosen[k]]; }
    }
  }

  function indexOfPath(path) {
    var index = path === null ? undefined : state.position[path];
    return index === undefined ? -1 : index;
  }

  // Runs change() on the view, keeping the focus and the anchor on their files.
  function changeView(change) {
    var focused = state.view[state.focus] ? state.view[state.focus].path : null;
    var anchored = state.view[state.anchor] ? state.view[state.anchor].path : null;
    change();
    state.focus = indexOfPath(focused);
    state.anchor = indexOfPath(anchored);
  }

  function updateHeader() {
    var cells = $('list-header').children;
    for (var i = 0; i < cells.length; i++) {
      var sorted = cells[i].getAttribute('data-sort') === state.sortKey;
      setClass(cells[i], 'sorted-asc', sorted && state.sortAsc);
      setClass(cells[i], 'sorted-desc', sorted && !state.sortAsc);
      if (sorted) {
        cells[i].setAttribute('aria-sort', state.sortAsc ? 'ascending' : 'descending');
      } else {
        cells[i].removeAttribute('aria-sort');
      }
    }
  }

  // ---- rows ----------------------------------------------------------------------------------

  function rowId(index) { return 'file-row-' + index; }

  function makeRow(file, index) {
    var row = element('div', 'file-row');
    var chosen = !!state.selected[file.path];
    var trouble = file.failed || file.unreadable;
    row.id = rowId(index);
    row.setAttribute('data-path', file.path);
    row.setAttribute('data-index', String(index));
    row.setAttribute('role', 'row');
    row.setAttribute('aria-rowindex', String(index + 2)); // the header is row 1
    row.setAttribute('aria-selected', chosen ? 'true' : 'false');
    row.title = trouble ? file.path + '\n' + trouble : file.path;
    if (chosen) { setClass(row, 'selected', true); }
    if (index === state.focus) { setClass(row, 'focused', true); }
    if (trouble) { setClass(row, 'failed', true); }
    var columns = V.columns.all;
    for (var c = 0; c < columns.length; c++) {
      var column = columns[c];
      var cell = element('div', 'col col-' + column.key);
      cell.setAttribute('role', 'gridcell');
      cell.style.width = V.columns.width(column.key) + 'px';
      if (column.key === 'name' && trouble) {
        var mark = element('span', 'fail-mark', '!');
        mark.setAttribute('aria-hidden', 'true');
        cell.appendChild(mark);
        cell.appendChild(document.createTextNode(V.columns.cellText(column, file)));
        cell.appendChild(element('span', 'visually-hidden', ' (' + trouble + ')'));
      } else {
        cell.textContent = V.columns.cellText(column, file);
      }
      if (column.tip) { cell.title = column.tip(file); }
      row.appendChild(cell);
    }
    return row;
  }

  function countText() {
    var total = state.files.length;
    if (total === 0) { return ''; }
    var shown = state.filter ? state.view.length + ' of ' + total : String(total);
    var chosen = selectedCount();
    return shown + (total === 1 ? ' file' : ' files') + (chosen > 0 ? ', ' + chosen + ' selected' : '');
  }

  function render() {
    if (state.renderTimer) { window.clearTimeout(state.renderTimer); state.renderTimer = null; }
    if (state.resort && !state.sorting) { changeView(function () { sortFiles(); filterFiles(); }); }
    var list = $('file-list');
    var body = $('file-list-body');
    var rows = $('file-list-rows');
    var count = state.view.length;
    body.style.height = (count * ROW_HEIGHT) + 'px';
    body.style.width = V.columns.totalWidth() + 'px';
    $('list-header').style.left = (-list.scrollLeft) + 'px';
    list.setAttribute('aria-rowcount', String(count + 1));
    var first = Math.max(0, Math.floor(list.scrollTop / ROW_HEIGHT) - 4);
    var last = Math.min(count, first + Math.ceil(list.clientHeight / ROW_HEIGHT) + 8);
    rows.style.top = (first * ROW_HEIGHT) + 'px';
    rows.textContent = '';
    var fragment = document.createDocumentFragment();
    var missing = [];
    for (var i = first; i < last; i++) {
      fragment.appendChild(makeRow(state.view[i], i));
      if (!state.view[i].basic) { missing.push(state.view[i]); }
    }
    rows.appendChild(fragment);
    if (state.focus >= first && state.focus < last) {
      list.setAttribute('aria-activedescendant', rowId(state.focus));
    } else {
      list.removeAttribute('aria-activedescendant');
    }
    setClass($('list-empty'), 'hidden', count > 0);
    setClass($('list-empty-none'), 'hidden', state.files.length > 0);
    setClass($('list-empty-filter'), 'hidden', state.files.length === 0);
    V.setText($('count'), countText());
    queueBasicReads(missing);
  }

  // Marks and reads that come in runs are shown once.
  function renderSoon() {
    if (!state.renderTimer) { state.renderTimer = V.later(render); }
  }

  // ---- reading files -------------------------------------------------------------------------

  // The lazy columns are read for the rows in view, a few files a step.
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
      if (state.byPath[file.path] === file && !file.basic) { readBasic(file); }
    }
    render();
  }

  function readBasic(file) {
    applyBasic(file, V.native.callJson({ cmd: 'getprops', name: file.path, allprops: false, size: true }));
  }

  function applyBasic(file, answer) {
    var column = sortColumn();
    var before = column && column.lazy ? sortValue(column, file) : null;
    answer = answer || {};
    file.basic = true;
    file.modified = typeof answer.modifytime === 'string' ? answer.modifytime : '';
    file.created = typeof answer.createtime === 'string' ? answer.createtime : '';
    file.attributes = typeof answer.attributes === 'string' ? answer.attributes : '';
    file.size = typeof answer.size === 'number' ? answer.size : null;
    file.unreadable = typeof answer.modifytime === 'string' ? '' : UNREADABLE;
    if (before !== null && sortValue(column, file) !== before) { state.resort = true; }
  }

  function sortValue(column, file) {
    return column.missing && column.missing(file) ? '\u0000missing' : String(column.value(file));
  }

  // Everything the panel shows of a file, and the list's columns with it.
  function readProps(file) {
    var answer = V.native.callJson({ cmd: 'getprops', name: file.path, allprops: true, size: true });
    // A file whose times cannot be read (gone, or locked away) has nothing to show or share; what
    // was read of it is kept, so that a save never builds on values it did not see.
    file.props = answer || {};
    if (typeof file.props.modifytime !== 'string') { file.props.failed = true; }
    applyBasic(file, answer);
  }

  // ---- sorting -------------------------------------------------------------------------------

  function unreadFiles() {
    var list = [];
    for (var i = 0; i < state.files.length; i++) { if (!state.files[i].basic) { list.push(state.files[i]); } }
    return list;
  }

  function applySort(key, ascending) {
    state.sortKey = key;
    state.sortAsc = ascending;
    changeView(function () { sortFiles(); filterFiles(); });
    updateHeader();
    if (state.focus >= 0) { scrollIntoView(state.focus); }
    render();
  }

  // A lazy column is read for every file not read yet, as a job with progress and Cancel, and
  // the files are sorted once all are read; a cancelled job leaves the order as it was.
  function readThenSort(column, pending, ascending) {
    var done = 0;
    var stopped = false;
    var total = pending.length;
    function text() { return 'Reading ' + column.title + ' for sorting: ' + done + ' of ' + total + ' files'; }
    state.sorting = true;
    V.progress.begin(text(), total, function () { stopped = true; });
    function step() {
      if (stopped || V.progress.cancelled()) {
        state.sorting = false;
        V.progress.end('Not sorted by ' + column.title + ': cancelled');
        render();
        return;
      }
      var batch = pending.slice(done, done + V.READ_BATCH);
      for (var i = 0; i < batch.length; i++) {
        if (state.byPath[batch[i].path] === batch[i] && !batch[i].basic) { readBasic(batch[i]); }
      }
      done += batch.length;
      V.progress.update(done, text());
      if (done < total) { V.later(step); return; }
      state.sorting = false;
      V.progress.end('Sorted by ' + column.title);
      applySort(column.key, ascending);
    }
    V.later(step);
  }

  // Sorts by a column, or the other way round when sorted by it already.
  function sortBy(key) {
    var column = V.columns.byKey(key);
    if (!column || busy() || state.sorting) { return; }
    var ascending = state.sortKey === key ? !state.sortAsc : true;
    var pending = column.lazy ? unreadFiles() : [];
    if (pending.length === 0) { applySort(key, ascending); return; }
    if (V.progress.active()) { V.status('Another job is running: sort when it is done'); return; }
    readThenSort(column, pending, ascending);
  }

  // Files added to a list sorted by a lazy column are read before they take their places.
  function keepSorted() {
    var column = sortColumn();
    if (!column || !column.lazy || state.sorting || busy() || V.progress.active()) { return; }
    var pending = unreadFiles();
    if (pending.length > 0) { readThenSort(column, pending, state.sortAsc); }
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
    if (added > 0) { changeView(function () { sortFiles(); filterFiles(); }); }
    render();
    if (added > 0) {
      V.status(added === 1 ? 'Added 1 file' : 'Added ' + added + ' files');
      keepSorted();
    } else if (paths.length > 0) {
      V.status('Those files are in the list already');
    }
  }

  function removeFiles(paths) {
    if (!V.panel.confirmDiscard()) { return; }
    var focusAt = state.focus;
    for (var i = 0; i < paths.length; i++) { delete state.byPath[paths[i]]; delete state.selected[paths[i]]; }
    function kept(list) {
      var out = [];
      for (var j = 0; j < list.length; j++) { if (state.byPath[list[j].path] === list[j]) { out.push(list[j]); } }
      return out;
    }
    changeView(function () {
      state.files = kept(state.files);
      state.sorted = kept(state.sorted);
      filterFiles();
    });
    // With the focused file gone, the focus stays where it was: on the file that took its place.
    if (state.focus < 0 && focusAt >= 0) { state.focus = Math.min(focusAt, state.view.length - 1); }
    state.anchor = -1;
    selectionChanged();
  }

  function removeAll() {
    var all = [];
    for (var k = 0; k < state.files.length; k++) { all.push(state.files[k].path); }
    removeFiles(all);
  }

  // ---- marks ---------------------------------------------------------------------------------

  // Marks a file whose save failed, with the reason in its row's title; no reason clears the mark.
  function markFailed(path, reason) {
    var file = state.byPath[path];
    if (!file) { return false; }
    file.failed = reason ? String(reason) : '';
    renderSoon();
    return true;
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
  function selectionChanged(now) {
    render();
    if (selectionTimer) { window.clearTimeout(selectionTimer); selectionTimer = null; }
    if (now) { V.panel.load(); return; }
    selectionTimer = window.setTimeout(function () { selectionTimer = null; V.panel.load(); }, 60);
  }

  // Selects exactly these files (those in the list), shows the first of them with the keyboard
  // focus on it, and has the panel load them. Returns how many were selected.
  function selectPaths(paths) {
    if (busy() || !V.panel.confirmDiscard()) { return 0; }
    var wanted = [];
    var hidden = false;
    for (var i = 0; paths && i < paths.length; i++) {
      if (!state.byPath[paths[i]]) { continue; }
      wanted.push(paths[i]);
      if (state.position[paths[i]] === undefined) { hidden = true; }
    }
    if (hidden) { setFilterText(''); }
    state.selected = {};
    for (var j = 0; j < wanted.length; j++) { state.selected[wanted[j]] = true; }
    state.focus = wanted.length > 0 ? indexOfPath(wanted[0]) : -1;
    state.anchor = state.focus;
    $('file-list').focus();
    if (state.focus >= 0) { scrollIntoView(state.focus); }
    selectionChanged(true);
    return wanted.length;
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
    // Keys on the header's cells, which sit inside the grid, are the header's own.
    if (event.target !== this || busy()) { return; }
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
    if (key === 32 && event.ctrlKey) { // Ctrl+Space toggles the focused row
      event.preventDefault();
      if (state.focus < 0 || !V.panel.confirmDiscard()) { return; }
      toggle(state.focus);
      selectionChanged();
      return;
    }
    var page = Math.max(1, Math.floor($('file-list').clientHeight / ROW_HEIGHT) - 1);
    var moves = { 38: -1, 40: 1, 33: -page, 34: page };
    var next;
    if (moves[key] !== undefined) {
      // With no row focused yet, the first move lands on the first row.
      next = state.focus < 0 ? 0 : Math.max(0, Math.min(count - 1, state.focus + moves[key]));
    } else if (key === 36) { next = 0; }
    else if (key === 35) { next = count - 1; }
    else if (key === 32) { next = state.focus < 0 ? 0 : state.focus; } // Space selects the focused row
    else { return; }
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

  // ---- the filter ----------------------------------------------------------------------------

  // Applies a filter text; false when it was refused (edits the user keeps, or a save running).
  function setFilterText(text) {
    var lower = text.toLowerCase();
    if (lower === state.filter) { state.filterText = text; return true; }
    var chosen = keysOf(state.selected);
    var drops = false;
    for (var i = 0; i < chosen.length; i++) {
      var file = state.byPath[chosen[i]];
      if (lower && file.lowerName.indexOf(lower) < 0 && file.lowerFolder.indexOf(lower) < 0) { drops = true; }
    }
    if (drops && (busy() || !V.panel.confirmDiscard())) { return false; }
    state.filter = lower;
    state.filterText = text;
    $('list-filter').value = text;
    changeView(filterFiles);
    if (drops) { selectionChanged(); } else { render(); }
    return true;
  }

  function onFilterInput() {
    var box = $('list-filter');
    if (box.value === state.filterText) { return; }
    if (!setFilterText(box.value)) { box.value = state.filterText; }
  }

  function onFilterKey(event) {
    if (event.keyCode === 27 && this.value !== '') { // Escape empties it
      event.preventDefault();
      if (!setFilterText('')) { return; }
    } else if (event.keyCode === 40 || event.keyCode === 13) { // Down, Enter: on to the rows
      event.preventDefault();
      $('file-list').focus();
    }
  }

  function start() {
    var list = $('file-list');
    list.addEventListener('mousedown', onMouseDown);
    list.addEventListener('keydown', onKeyDown);
    list.addEventListener('scroll', render);
    V.columns.start($('list-header'), {
      sort: sortBy,
      resized: render,
      leave: function () { list.focus(); }
    });
    var box = $('list-filter');
    // Keyup, change and a moment after a click catch what may come without an "input" event, such
    // as the browser control's clear button emptying the box.
    box.addEventListener('input', onFilterInput);
    box.addEventListener('keyup', onFilterInput);
    box.addEventListener('change', onFilterInput);
    box.addEventListener('mouseup', function () { V.later(onFilterInput); });
    box.addEventListener('keydown', onFilterKey);
    changeView(function () { sortFiles(); filterFiles(); });
    updateHeader();
  }

  V.list = {
    start: start,
    render: render,
    add: addPaths,
    removeSelected: function () { removeFiles(keysOf(state.selected)); },
    removeAll: removeAll,
    selectedFiles: selectedFiles,
    selectedCount: selectedCount,
    readProps: readProps,
    markFailed: markFailed,
    selectPaths: selectPaths,
    // Every file, those the filter hides too, in display order.
    files: function () { return state.sorted.slice(0); }
  };
}(Varenko));
