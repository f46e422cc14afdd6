// The whole user interface: a list of files and the properties of the selected ones, by category.
// Everything the native side does goes through window.external.JsonCommand, one synchronous call
// per request; long jobs (reading many files, saving) run in small steps between timers so that
// the page stays responsive and can be cancelled. Values read from files are only ever shown as
// text (textContent, input values), never as markup.
(function () {
  'use strict';

  var CATEGORIES = ['doc', 'exif', 'media', 'avi'];
  var TIME_KEYS = ['createtime', 'modifytime', 'accesstime'];
  var ROW_HEIGHT = 26;
  var READ_BATCH = 8;
  var ATTRIBUTES = [
    { letter: 'R', name: 'Read-only' }, { letter: 'H', name: 'Hidden' },
    { letter: 'S', name: 'System' }, { letter: 'A', name: 'Archive' },
    { letter: 'T', name: 'Temporary' }, { letter: 'O', name: 'Offline' },
    { letter: 'I', name: 'Not indexed' }, { letter: 'N', name: 'Normal' },
    // The file system does not take these through the attribute word.
    { letter: 'D', name: 'Directory', readonly: true }, { letter: 'C', name: 'Compressed', readonly: true },
    { letter: 'E', name: 'Encrypted', readonly: true }
  ];
  var LETTER_ORDER = 'RDHSAOTCEIN';
  var MIXED = '(different values)';

  // ---- small helpers -------------------------------------------------------------------------

  function $(id) { return document.getElementById(id); }

  function setClass(element, name, on) {
    var names = element.className ? element.className.split(/\s+/) : [];
    var at = -1;
    for (var i = 0; i < names.length; i++) { if (names[i] === name) { at = i; } }
    if (on && at < 0) { names.push(name); }
    if (!on && at >= 0) { names.splice(at, 1); }
    element.className = names.join(' ');
  }

  function hasClass(element, name) {
    return (' ' + element.className + ' ').indexOf(' ' + name + ' ') >= 0;
  }

  function setText(element, text) { element.textContent = text; }

  function element(tag, className, text) {
    var node = document.createElement(tag);
    if (className) { node.className = className; }
    if (text !== undefined) { node.textContent = text; }
    return node;
  }

  function keysOf(object) {
    var keys = [];
    for (var key in object) {
      if (Object.prototype.hasOwnProperty.call(object, key)) { keys.push(key); }
    }
    return keys;
  }

  function later(fn) { return window.setTimeout(fn, 0); }

  // ---- the native side -----------------------------------------------------------------------

  // Returns the answer text, or undefined when the call gave none (not JSON, or a deep failure).
  function call(request) {
    try {
      var answer = window.external.JsonCommand(JSON.stringify(request));
      return typeof answer === 'string' ? answer : undefined;
    } catch (e) {
      return undefined;
    }
  }

  function callJson(request) {
    var answer = call(request);
    if (!answer) { return null; }
    try { return JSON.parse(answer); } catch (e) { return null; }
  }

  function getSetting(name) { return call({ cmd: 'getsetting', name: name }) || ''; }
  function setSetting(name, value) { call({ cmd: 'setsetting', name: name, value: String(value) }); }

  // ---- state ---------------------------------------------------------------------------------

  var state = {
    files: [],        // { path, name, folder, type, modified, attributes, basic, props }
    byPath: {},
    view: [],         // the files in display order
    selected: {},     // path -> true
    anchor: -1,       // view index where a Shift range starts
    focus: -1,        // view index of the keyboard focus
    sortKey: null,
    sortAsc: true,
    common: null,     // what the selected files share, per field
    edits: {},        // field id -> new value (text, or true/false for attribute letters)
    tab: 'file',
    loadToken: 0,
    busy: false,
    cancel: false,
    basicQueue: [],
    basicTimer: null
  };

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

  function hasEdits() { return keysOf(state.edits).length > 0; }

  // ---- status and failures -------------------------------------------------------------------

  function status(text) { setText($('status'), text); }

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
    setText($('failures-count'), failures.length === 1 ? '1 file could not be saved' :
      failures.length + ' files could not be saved');
    setClass($('failures-pane'), 'hidden', failures.length === 0);
    renderList();
  }

  // ---- the file list -------------------------------------------------------------------------

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

  function renderList() {
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
    setText($('count'), count === 0 ? '' : (count === 1 ? '1 file' : count + ' files') +
      (chosen > 0 ? ', ' + chosen + ' selected' : ''));
    queueBasicReads(missing);
  }

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
    if (state.busy) { state.basicTimer = window.setTimeout(readBasicBatch, 200); return; }
    var batch = state.basicQueue.splice(0, READ_BATCH);
    for (var i = 0; i < batch.length; i++) {
      var file = batch[i];
      file.queued = false;
      if (!state.byPath[file.path] || file.basic) { continue; }
      applyBasic(file, callJson({ cmd: 'getprops', name: file.path, allprops: false }));
    }
    renderList();
  }

  function applyBasic(file, answer) {
    file.basic = true;
    file.modified = answer && answer.modifytime ? answer.modifytime : '';
    file.attributes = answer && typeof answer.attributes === 'string' ? answer.attributes : '';
  }

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
    renderList();
    if (added > 0) {
      status(added === 1 ? 'Added 1 file' : 'Added ' + added + ' files');
    } else if (paths.length > 0) {
      status('Those files are in the list already');
    }
  }

  function removeFiles(paths) {
    if (!confirmDiscard()) { return; }
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

  // ---- selection -----------------------------------------------------------------------------

  function confirmDiscard() {
    if (!hasEdits()) { return true; }
    if (!window.confirm('Discard the changes that are not saved?')) { return false; }
    state.edits = {};
    return true;
  }

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

  function scrollIntoView(index) {
    var list = $('file-list');
    var top = index * ROW_HEIGHT;
    if (top < list.scrollTop) { list.scrollTop = top; }
    if (top + ROW_HEIGHT > list.scrollTop + list.clientHeight) { list.scrollTop = top + ROW_HEIGHT - list.clientHeight; }
  }

  var selectionTimer = null;
  function selectionChanged() {
    renderList();
    if (selectionTimer) { window.clearTimeout(selectionTimer); }
    selectionTimer = window.setTimeout(function () { selectionTimer = null; loadSelection(); }, 60);
  }

  function onListMouseDown(event) {
    var target = event.target;
    while (target && target !== this && !hasClass(target, 'file-row')) { target = target.parentNode; }
    if (!target || target === this || state.busy) { return; }
    if (!confirmDiscard()) { event.preventDefault(); return; }
    var index = parseInt(target.getAttribute('data-index'), 10);
    if (event.shiftKey && state.anchor >= 0) {
      selectRange(state.anchor, index, event.ctrlKey);
    } else if (event.ctrlKey) {
      var path = state.view[index].path;
      if (state.selected[path]) { delete state.selected[path]; } else { state.selected[path] = true; }
      state.anchor = index;
      state.focus = index;
    } else {
      selectOnly(index);
    }
    selectionChanged();
  }

  function onListKeyDown(event) {
    if (state.busy) { return; }
    var key = event.keyCode;
    var count = state.view.length;
    if (count === 0) { return; }
    if (event.ctrlKey && key === 65) { // Ctrl+A
      event.preventDefault();
      if (!confirmDiscard()) { return; }
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
      if (!confirmDiscard()) { return; }
      var path = state.view[state.focus].path;
      if (state.selected[path]) { delete state.selected[path]; } else { state.selected[path] = true; }
      selectionChanged();
      return;
    } else { return; }
    event.preventDefault();
    if (!confirmDiscard()) { return; }
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

  // ---- reading the selection's properties -------------------------------------------------------

  function readProps(file) {
    var answer = callJson({ cmd: 'getprops', name: file.path, allprops: true });
    // A file whose times cannot be read (gone, or locked away) has nothing to show or share; what
    // was read of it is kept, so that a save never builds on values it did not see.
    file.props = answer || {};
    if (typeof file.props.modifytime !== 'string') { file.props.failed = true; }
    applyBasic(file, answer);
  }

  function loadSelection() {
    var token = ++state.loadToken;
    var files = selectedFiles();
    var pending = [];
    for (var i = 0; i < files.length; i++) { if (!files[i].props) { pending.push(files[i]); } }
    var done = 0;
    function step() {
      if (token !== state.loadToken) { return; }
      var batch = pending.slice(done, done + READ_BATCH);
      for (var j = 0; j < batch.length; j++) { readProps(batch[j]); }
      done += batch.length;
      if (done < pending.length) {
        setText($('selection-info'), 'Reading properties, ' + done + ' of ' + pending.length + '\u2026');
        later(step);
        return;
      }
      if (pending.length > 0) { renderList(); }
      state.common = commonValues(files);
      renderProps(files);
    }
    step();
  }

  // What the selected files share: per field, { value, mixed, entry } (entry: a catalogue item).
  function commonValues(files) {
    var common = { file: {}, attributes: {}, doc: {}, exif: {}, media: {}, avi: {}, order: {} };
    function note(group, key, value, entry) {
      var slot = common[group][key];
      if (!slot) {
        slot = common[group][key] = { value: value, mixed: false, entry: entry, seen: 0 };
        if (common.order[group]) { common.order[group].push(key); } else { common.order[group] = [key]; }
      } else if (slot.value !== value) {
        slot.mixed = true;
      }
      if (!slot.entry && entry) { slot.entry = entry; }
      slot.seen++;
    }
    var readable = 0;
    for (var i = 0; i < files.length; i++) {
      var props = files[i].props || {};
      if (props.failed) { continue; }
      readable++;
      for (var t = 0; t < TIME_KEYS.length; t++) {
        note('file', TIME_KEYS[t], typeof props[TIME_KEYS[t]] === 'string' ? props[TIME_KEYS[t]] : '');
      }
      var letters = typeof props.attributes === 'string' ? props.attributes : '';
      for (var a = 0; a < ATTRIBUTES.length; a++) {
        note('attributes', ATTRIBUTES[a].letter, letters.indexOf(ATTRIBUTES[a].letter) >= 0);
      }
      for (var c = 0; c < CATEGORIES.length; c++) {
        var items = props[CATEGORIES[c]] || {};
        var keys = keysOf(items);
        for (var k = 0; k < keys.length; k++) {
          var item = items[keys[k]];
          note(CATEGORIES[c], keys[k], item && item.data !== undefined ? String(item.data) : '', item);
        }
      }
    }
    // A property some files lack differs from the files that have it, unless all values are empty.
    for (var g = 0; g < CATEGORIES.length; g++) {
      var group = common[CATEGORIES[g]];
      var names = keysOf(group);
      for (var n = 0; n < names.length; n++) {
        if (group[names[n]].seen < readable && group[names[n]].value !== '') { group[names[n]].mixed = true; }
      }
    }
    return common;
  }

  function fieldId(category, key) { return category + '\u0001' + key; }

  function showValue(input, slot) {
    var id = input.getAttribute('data-field');
    var edited = state.edits[id] !== undefined;
    input.value = edited ? state.edits[id] : (slot && !slot.mixed ? slot.value : '');
    var mixed = !edited && slot && slot.mixed;
    input.placeholder = mixed ? MIXED : '';
    setClass(input, 'mixed', !!mixed);
    setClass(input, 'edited', edited);
  }

  function renderProps(files) {
    var common = state.common;
    var count = files.length;
    var failed = 0;
    for (var f = 0; f < files.length; f++) { if (files[f].props && files[f].props.failed) { failed++; } }
    setText($('selection-info'), count === 0 ? 'Select files to see their properties.' :
      (count === 1 ? files[0].path : count + ' files selected') +
      (failed > 0 ? ' (' + failed + ' could not be read)' : ''));

    for (var t = 0; t < TIME_KEYS.length; t++) {
      var input = $('prop-' + TIME_KEYS[t]);
      input.setAttribute('data-field', fieldId('file', TIME_KEYS[t]));
      input.disabled = count === 0;
      showValue(input, count ? common.file[TIME_KEYS[t]] : null);
      validateField(input);
    }
    renderAttributes(count ? common.attributes : null);
    for (var c = 0; c < CATEGORIES.length; c++) { renderCategory(CATEGORIES[c], count ? common : null, files); }
    updateButtons();
  }

  function renderAttributes(slots) {
    var box = $('attributes');
    box.textContent = '';
    for (var i = 0; i < ATTRIBUTES.length; i++) {
      var attribute = ATTRIBUTES[i];
      var id = fieldId('attr', attribute.letter);
      var item = element('div', 'attr-item');
      var check = element('input', 'attr');
      check.type = 'checkbox';
      check.id = 'attr-' + attribute.letter;
      check.setAttribute('data-letter', attribute.letter);
      check.setAttribute('data-field', id);
      var slot = slots ? slots[attribute.letter] : null;
      if (state.edits[id] !== undefined) {
        check.checked = state.edits[id];
        setClass(item, 'edited', true);
      } else if (slot) {
        check.checked = !slot.mixed && slot.value;
        check.indeterminate = slot.mixed;
      }
      check.disabled = !slots || !!attribute.readonly;
      setClass(item, 'readonly', !!attribute.readonly);
      var label = element('label');
      label.htmlFor = check.id;
      label.appendChild(element('span', 'letter', attribute.letter));
      label.appendChild(document.createTextNode(attribute.name));
      item.appendChild(check);
      item.appendChild(label);
      box.appendChild(item);
    }
  }

  function categoryTitle(category) {
    return { doc: 'document properties', exif: 'EXIF items', media: 'media tags', avi: 'AVI INFO items' }[category];
  }

  // Catalogue entries that can be added to the selection: writable ones, of the route that fits.
  function addableEntries(category, present, files) {
    var catalogue = window.VarenkoCatalogues[category];
    var allMp3 = files.length > 0;
    for (var i = 0; i < files.length; i++) { if (!/\.mp3$/i.test(files[i].path)) { allMp3 = false; } }
    var list = [];
    var keys = keysOf(catalogue);
    for (var k = 0; k < keys.length; k++) {
      var entry = catalogue[keys[k]];
      if (entry.readonly || present[keys[k]]) { continue; }
      if (category === 'media' && entry.route !== (allMp3 ? 'id3' : 'map')) { continue; }
      list.push(keys[k]);
    }
    return list;
  }

  function renderCategory(category, common, files) {
    var page = document.querySelector('.page[data-page="' + category + '"]');
    page.textContent = '';
    if (!common) { return; }
    var group = common[category];
    var order = (common.order[category] || []).slice(0);
    // Fields added by the user but not yet in any file stay on the page until saved or reverted.
    var edits = keysOf(state.edits);
    for (var e = 0; e < edits.length; e++) {
      var parts = edits[e].split('\u0001');
      if (parts[0] === category && !group[parts[1]]) { order.push(parts[1]); }
    }
    if (order.length === 0) {
      page.appendChild(element('div', 'empty-note', 'The selected files have no ' + categoryTitle(category) + '.'));
    }
    for (var i = 0; i < order.length; i++) {
      var key = order[i];
      var slot = group[key] || null;
      var entry = (slot && slot.entry) || window.VarenkoCatalogues[category][key] || {};
      var field = element('div', 'field');
      var input = element('input', 'prop');
      input.id = 'prop-' + category + '-' + i;
      input.setAttribute('data-field', fieldId(category, key));
      input.setAttribute('data-type', entry.type || '');
      input.spellcheck = false;
      input.readOnly = !!entry.readonly;
      var label = element('label', '', category === 'doc' ? key : (entry.name || key));
      label.htmlFor = input.id;
      label.title = key;
      field.appendChild(label);
      field.appendChild(input);
      page.appendChild(field);
      showValue(input, slot);
      validateField(input);
    }
    var addable = addableEntries(category, group, files);
    if (addable.length > 0) {
      var adder = element('div', 'field');
      var select = element('select', 'add-property');
      select.appendChild(element('option', '', 'Add a property\u2026'));
      for (var a = 0; a < addable.length; a++) {
        var option = element('option', '', category === 'doc' ? addable[a] :
          (window.VarenkoCatalogues[category][addable[a]].name || addable[a]));
        option.value = addable[a];
        select.appendChild(option);
      }
      select.setAttribute('data-category', category);
      adder.appendChild(element('label', '', ''));
      adder.appendChild(select);
      page.appendChild(adder);
    }
  }

  // ---- editing -------------------------------------------------------------------------------

  // The date-time forms the native side reads: six numbers with ':', '-', '/' or one space between
  // them. Fields it cannot keep (before 1970 or after 3000, or out of range) are refused here.
  function parseDateTime(text) {
    var parts = text.replace(/^\s+|\s+$/g, '').replace(/[ \-\/]/g, ':').split(':');
    if (parts.length !== 6) { return null; }
    var numbers = [];
    for (var i = 0; i < 6; i++) {
      if (!/^\d{1,4}$/.test(parts[i])) { return null; }
      numbers.push(parseInt(parts[i], 10));
    }
    var limits = [[1970, 3000], [1, 12], [1, 31], [0, 23], [0, 59], [0, 59]];
    for (var j = 0; j < 6; j++) {
      if (numbers[j] < limits[j][0] || numbers[j] > limits[j][1]) { return null; }
    }
    return numbers;
  }

  var TYPE_CHECKS = {
    VT_I4: /^\s*-?\d+\s*$/, VT_UI4: /^\s*\d+\s*$/, VT_UI8: /^\s*\d+\s*$/,
    VT_R8: /^\s*-?\d+(\.\d+)?([eE][-+]?\d+)?\s*$/, VT_BOOL: /^\s*(true|false|0|1|-1)\s*$/i
  };

  function fieldError(input) {
    var value = input.value;
    if (input.readOnly || state.edits[input.getAttribute('data-field')] === undefined) { return ''; }
    var type = input.getAttribute('data-type');
    if (hasClass(input, 'time') || type === 'VT_FILETIME') {
      if (value === '' && !hasClass(input, 'time')) { return ''; }
      return parseDateTime(value) ? '' : 'Use YYYY:MM:DD hh:mm:ss, from 1970 to 3000.';
    }
    if (TYPE_CHECKS[type] && value !== '' && !TYPE_CHECKS[type].test(value)) { return 'Not a valid value for ' + type + '.'; }
    return '';
  }

  function validateField(input) {
    var error = fieldError(input);
    setClass(input, 'invalid', error !== '');
    var field = input.parentNode;
    var message = field.nextSibling && hasClass(field.nextSibling, 'message') ? field.nextSibling : null;
    if (error && !message) {
      message = element('div', 'message');
      field.parentNode.insertBefore(message, field.nextSibling);
    }
    if (message) {
      if (error) { setText(message, error); } else { message.parentNode.removeChild(message); }
    }
    input.title = error;
    return error === '';
  }

  function allValid() {
    var inputs = document.querySelectorAll('#props-body input.prop');
    var valid = true;
    for (var i = 0; i < inputs.length; i++) { if (!validateField(inputs[i])) { valid = false; } }
    return valid;
  }

  function onFieldInput(event) {
    var input = event.target;
    if (!hasClass(input, 'prop') || input.readOnly || state.busy) { return; }
    state.edits[input.getAttribute('data-field')] = input.value;
    setClass(input, 'edited', true);
    setClass(input, 'mixed', false);
    input.placeholder = '';
    validateField(input);
    updateButtons();
  }

  function onFieldChange(event) {
    var target = event.target;
    if (state.busy) { return; }
    if (hasClass(target, 'attr')) {
      target.indeterminate = false;
      state.edits[target.getAttribute('data-field')] = target.checked;
      setClass(target.parentNode, 'edited', true);
      updateButtons();
    } else if (hasClass(target, 'add-property') && target.value) {
      state.edits[fieldId(target.getAttribute('data-category'), target.value)] = '';
      renderProps(selectedFiles());
    } else if (hasClass(target, 'prop')) {
      onFieldInput(event);
    }
  }

  function updateButtons() {
    var edits = hasEdits();
    var valid = edits && allValid();
    $('save').disabled = state.busy || !edits || !valid || selectedCount() === 0;
    $('revert').disabled = state.busy || !edits;
    var disabled = state.busy;
    var buttons = ['add-files', 'add-folder', 'remove', 'clear'];
    for (var i = 0; i < buttons.length; i++) { $(buttons[i]).disabled = disabled; }
    setClass($('cancel'), 'hidden', !state.busy);
  }

  function revert() {
    state.edits = {};
    renderProps(selectedFiles());
    status('Changes discarded');
  }

  // ---- saving --------------------------------------------------------------------------------

  // The requests that write the edits to one file: one "setprops" per category.
  function requestsFor(file, edits) {
    var requests = [];
    var props = file.props || {};
    var byCategory = {};
    var ids = keysOf(edits);
    for (var i = 0; i < ids.length; i++) {
      var parts = ids[i].split('\u0001');
      (byCategory[parts[0]] = byCategory[parts[0]] || {})[parts[1]] = edits[ids[i]];
    }
    if (byCategory.file) {
      var times = { createtime: '', modifytime: '', accesstime: '' };
      for (var t = 0; t < TIME_KEYS.length; t++) {
        if (byCategory.file[TIME_KEYS[t]] !== undefined) { times[TIME_KEYS[t]] = byCategory.file[TIME_KEYS[t]]; }
      }
      requests.push({ cat: 'datetime', props: times });
    }
    // New attribute letters and a new INFO list are built on what was read; without that, the file
    // is left alone rather than losing what could not be seen.
    if (byCategory.attr && (typeof props.attributes !== 'string' || props.attributes === '')) {
      requests.push({ cat: 'attributes', skipped: 'Its attributes could not be read, so they were not changed' });
    } else if (byCategory.attr) {
      var letters = props.attributes;
      var result = '';
      for (var l = 0; l < LETTER_ORDER.length; l++) {
        var letter = LETTER_ORDER.charAt(l);
        var on = byCategory.attr[letter] !== undefined ? byCategory.attr[letter] : letters.indexOf(letter) >= 0;
        if (on) { result += letter; }
      }
      requests.push({ cat: 'attributes', props: { attributes: result } });
    }
    for (var c = 0; c < CATEGORIES.length; c++) {
      var category = CATEGORIES[c];
      var changed = byCategory[category];
      if (!changed) { continue; }
      if (props.failed) {
        requests.push({ cat: category, skipped: 'Its properties could not be read, so they were not changed' });
        continue;
      }
      var current = props[category] || {};
      var items = {};
      // The INFO list is written whole, so the file's other items go with the changed ones.
      if (category === 'avi') {
        var existing = keysOf(current);
        for (var x = 0; x < existing.length; x++) { items[existing[x]] = { data: current[existing[x]].data }; }
      }
      var keys = keysOf(changed);
      for (var k = 0; k < keys.length; k++) {
        var entry = current[keys[k]] || window.VarenkoCatalogues[category][keys[k]] || {};
        var item = { data: changed[keys[k]] };
        if (category === 'doc') {
          item.fmtid = entry.fmtid;
          item.id = String(entry.id);
          item.type = entry.type;
        } else if (category === 'exif') {
          item.type = entry.type;
        }
        items[keys[k]] = item;
      }
      var request = { cat: category, props: {} };
      request.props[category] = items;
      requests.push(request);
    }
    return requests;
  }

  function save() {
    if (state.busy || !hasEdits() || !allValid()) { return; }
    var files = selectedFiles();
    if (files.length === 0) { return; }
    var edits = state.edits;
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
      status('Saving ' + (index + 1) + ' of ' + files.length);
      if (!file.props) { readProps(file); }
      var requests = requestsFor(file, edits);
      var ok = true;
      for (var r = 0; r < requests.length; r++) {
        if (requests[r].skipped) {
          ok = false;
          fail(file, requests[r].skipped);
          continue;
        }
        var request = { cmd: 'setprops', filename: file.path, cat: requests[r].cat, props: requests[r].props };
        var answer = callJson(request);
        if (!answer) {
          ok = false;
          fail(file, 'The ' + requests[r].cat + ' change was refused: no answer (a value out of range?)');
        } else if (answer.result !== true) {
          ok = false;
          fail(file, answer.error ? answer.error : 'The ' + requests[r].cat + ' change could not be saved');
        }
      }
      if (ok) { written++; }
      file.props = null;
      file.basic = false;
      index++;
      later(step);
    }

    function finish() {
      var cancelled = state.cancel && index < files.length;
      state.busy = false;
      state.cancel = false;
      state.edits = {};
      var text = cancelled ? 'Cancelled: saved ' + written + ' of ' + files.length + ' files' :
        'Saved ' + written + ' of ' + files.length + (files.length === 1 ? ' file' : ' files');
      if (failures.length > 0) { text += ', ' + failures.length + ' failed'; }
      status(text);
      showFailures(failures);
      updateButtons();
      loadSelection();
    }

    later(step);
  }

  // ---- commands of the toolbar ---------------------------------------------------------------

  function addFromDialog(forFolder) {
    if (state.busy) { return; }
    var request = {
      cmd: 'addfiles',
      forfolder: forFolder,
      subdir: forFolder && $('opt-subdir').checked,
      includedir: forFolder && $('opt-includedir').checked,
      dironly: false
    };
    var answer = call(request);
    if (!answer) { return; } // cancelled, or no dialog could be shown
    var list;
    try { list = JSON.parse(answer); } catch (e) { list = null; }
    if (list && list.length !== undefined) { addPaths(list); }
  }

  function sortBy(key) {
    if (state.sortKey === key) { state.sortAsc = !state.sortAsc; } else { state.sortKey = key; state.sortAsc = true; }
    var focused = state.focus >= 0 && state.view[state.focus] ? state.view[state.focus].path : null;
    rebuildView();
    state.anchor = -1;
    state.focus = -1;
    for (var i = 0; focused && i < state.view.length; i++) { if (state.view[i].path === focused) { state.focus = i; } }
    renderList();
  }

  function showTab(category) {
    state.tab = category;
    var tabs = document.querySelectorAll('.tab');
    for (var i = 0; i < tabs.length; i++) {
      var on = tabs[i].getAttribute('data-cat') === category;
      setClass(tabs[i], 'selected', on);
      tabs[i].setAttribute('aria-selected', on ? 'true' : 'false');
    }
    var pages = document.querySelectorAll('.page');
    for (var j = 0; j < pages.length; j++) { setClass(pages[j], 'selected', pages[j].getAttribute('data-page') === category); }
  }

  function openAbout() {
    setText($('about-version'), call({ cmd: 'getappver' }) || 'unknown');
    setClass($('about-box'), 'hidden', false);
    $('about-close').focus();
  }

  // ---- layout and settings -------------------------------------------------------------------

  function setPropsWidth(width) {
    var total = document.documentElement.clientWidth;
    width = Math.max(300, Math.min(width, total - 320));
    $('props-panel').style.width = width + 'px';
    $('list-pane').style.right = width + 'px';
    $('splitter').style.right = (width - 3) + 'px';
    return width;
  }

  function startSplitter(event) {
    event.preventDefault();
    var startX = event.clientX;
    var startWidth = $('props-panel').offsetWidth;
    var width = startWidth;
    function move(e) { width = setPropsWidth(startWidth + startX - e.clientX); renderList(); }
    function up() {
      document.removeEventListener('mousemove', move);
      document.removeEventListener('mouseup', up);
      setSetting('layout.propsWidth', width);
    }
    document.addEventListener('mousemove', move);
    document.addEventListener('mouseup', up);
  }

  var sizeTimer = null;
  function onResize() {
    renderList();
    if (sizeTimer) { window.clearTimeout(sizeTimer); }
    sizeTimer = window.setTimeout(function () {
      var size = callJson({ cmd: 'getwinsize' });
      if (size && size.width > 0 && size.height > 0) { setSetting('window.size', JSON.stringify(size)); }
    }, 500);
  }

  function restoreSettings() {
    $('opt-subdir').checked = getSetting('addfolder.subdir') === 'true';
    $('opt-includedir').checked = getSetting('addfolder.includedir') === 'true';
    var width = parseInt(getSetting('layout.propsWidth'), 10);
    if (width > 0) { setPropsWidth(width); }
    var size = getSetting('window.size');
    if (size) { call({ cmd: 'setwinsize', size: size }); }
  }

  // ---- start ---------------------------------------------------------------------------------

  // Dropped files arrive here from the native side, as the JSON text of an array of paths.
  window.onAddFiles = function (listText) {
    var list;
    try { list = JSON.parse(listText); } catch (e) { return; }
    if (list && list.length !== undefined) { addPaths(list); }
  };

  function start() {
    var catalogues = window.VarenkoCatalogues;
    for (var i = 0; i < CATEGORIES.length; i++) {
      call({ cmd: 'initproplist', cat: CATEGORIES[i], props: JSON.stringify(catalogues[CATEGORIES[i]]) });
    }
    restoreSettings();

    $('add-files').onclick = function () { addFromDialog(false); };
    $('add-folder').onclick = function () { addFromDialog(true); };
    $('opt-subdir').onchange = function () { setSetting('addfolder.subdir', this.checked); };
    $('opt-includedir').onchange = function () { setSetting('addfolder.includedir', this.checked); };
    $('remove').onclick = function () { removeFiles(keysOf(state.selected)); };
    $('clear').onclick = function () {
      var all = [];
      for (var k = 0; k < state.files.length; k++) { all.push(state.files[k].path); }
      removeFiles(all);
      showFailures([]);
    };
    $('about').onclick = openAbout;
    $('about-close').onclick = function () { setClass($('about-box'), 'hidden', true); $('about').focus(); };
    $('about-box').onkeydown = function (e) { if (e.keyCode === 27) { $('about-close').onclick(); } };
    var links = document.querySelectorAll('#about-box a[data-url]');
    for (var l = 0; l < links.length; l++) {
      links[l].onclick = function (e) { e.preventDefault(); call({ cmd: 'openurl', url: this.getAttribute('data-url') }); };
    }
    $('save').onclick = save;
    $('revert').onclick = revert;
    $('cancel').onclick = function () { state.cancel = true; status('Cancelling\u2026'); };
    $('failures-close').onclick = function () { setClass($('failures-pane'), 'hidden', true); renderList(); };

    var list = $('file-list');
    list.addEventListener('mousedown', onListMouseDown);
    list.addEventListener('keydown', onListKeyDown);
    list.addEventListener('scroll', renderList);
    var headers = $('list-header').children;
    for (var h = 0; h < headers.length; h++) {
      headers[h].onclick = function () { sortBy(this.getAttribute('data-sort')); };
    }
    var tabs = document.querySelectorAll('.tab');
    for (var t = 0; t < tabs.length; t++) {
      tabs[t].onclick = function () { showTab(this.getAttribute('data-cat')); };
    }
    var body = $('props-body');
    body.addEventListener('input', onFieldInput);
    body.addEventListener('change', onFieldChange);
    $('splitter').addEventListener('mousedown', startSplitter);
    window.addEventListener('resize', onResize);
    // Files dropped on the page area go to the window; the page never opens them itself.
    document.addEventListener('dragover', function (e) { e.preventDefault(); });
    document.addEventListener('drop', function (e) { e.preventDefault(); });

    rebuildView();
    renderList();
    renderProps([]);
    status('Ready');
  }

  start();
}());
// page complete
