// The property panel: one tab and page per registered category, what the selected files share
// (read in small steps, with progress and Cancel for a large selection), the fields of catalogue
// categories with their "Add a property" list, and editing: which fields were changed, reverting
// one field or all, and whether their text is one the native side takes.
//
// A field is edited only when its text differs from the text it was given: the Windows browser
// control sends "input" events for focus and placeholders too, and those must never become edits.
(function (V) {
  'use strict';

  var $ = V.$;
  var setClass = V.setClass;
  var hasClass = V.hasClass;
  var element = V.element;
  var keysOf = V.keysOf;
  var fieldId = V.fieldId;

  var MIXED = '(different values)';

  var state = {
    common: null,     // category name -> { slots: key -> { value, mixed, entry, seen }, order: [key] }
    edits: {},        // field id -> new value (text, or true/false for a check box)
    added: {},        // field id -> true for a property added from "Add a property"
    shown: {},        // field id -> the text a field was last given
    slots: {},        // field id -> the shared value it was given
    loadToken: 0,
    reading: null,    // while a selection is read: { done, total, own (the progress is ours), status }
    unread: 0         // the number of selected files left unread when reading was cancelled
  };
  var tabs = {};      // category name -> its tab button
  var pages = {};     // category name -> its page
  var current = null; // the category shown

  function hasEdits() { return keysOf(state.edits).length > 0; }

  function clearEdits() {
    state.edits = {};
    state.added = {};
  }

  function confirmDiscard() {
    if (!hasEdits()) { return true; }
    if (!window.confirm('Discard the changes that are not saved?')) { return false; }
    clearEdits();
    return true;
  }

  // ---- tabs ----------------------------------------------------------------------------------

  function showTab(name, focus) {
    current = name;
    for (var i = 0; i < V.categories.length; i++) {
      var other = V.categories[i].name;
      var on = other === name;
      setClass(tabs[other], 'selected', on);
      tabs[other].setAttribute('aria-selected', on ? 'true' : 'false');
      // Only the shown tab is in the Tab order; the arrow keys move between the tabs.
      tabs[other].tabIndex = on ? 0 : -1;
      setClass(pages[other], 'selected', on);
    }
    if (focus) { tabs[name].focus(); }
  }

  function onTabKey(event) {
    var names = [];
    for (var i = 0; i < V.categories.length; i++) { names.push(V.categories[i].name); }
    var at = 0;
    for (var n = 0; n < names.length; n++) { if (names[n] === current) { at = n; } }
    var moves = { 37: at - 1, 39: at + 1, 36: 0, 35: names.length - 1 };
    if (moves[event.keyCode] === undefined) { return; }
    event.preventDefault();
    showTab(names[(moves[event.keyCode] + names.length) % names.length], true);
  }

  // Tabs that hold edits carry a mark, so that no change is forgotten on a tab out of sight.
  function markTabs() {
    var edited = {};
    var ids = keysOf(state.edits);
    for (var i = 0; i < ids.length; i++) { edited[V.splitFieldId(ids[i]).category] = true; }
    for (var c = 0; c < V.categories.length; c++) {
      var category = V.categories[c];
      var tab = tabs[category.name];
      var on = !!edited[category.name];
      setClass(tab, 'has-edits', on);
      tab.title = on ? 'Has changes that are not saved' : '';
      tab.setAttribute('aria-label', category.tab + (on ? ', changed' : ''));
    }
  }

  function buildTabs() {
    var bar = $('tabs');
    var body = $('props-body');
    for (var i = 0; i < V.categories.length; i++) {
      var category = V.categories[i];
      var tab = element('button', 'tab', category.tab);
      tab.setAttribute('type', 'button');
      tab.id = 'tab-' + category.name;
      tab.setAttribute('data-cat', category.name);
      tab.setAttribute('role', 'tab');
      tab.setAttribute('aria-controls', 'page-' + category.name);
      tab.onclick = function () { showTab(this.getAttribute('data-cat'), false); };
      tab.onkeydown = onTabKey;
      bar.appendChild(tab);
      var page = element('div', 'page');
      page.id = 'page-' + category.name;
      page.setAttribute('data-page', category.name);
      page.setAttribute('role', 'tabpanel');
      page.setAttribute('aria-labelledby', tab.id);
      if (category.build) { category.build(page); }
      body.appendChild(page);
      tabs[category.name] = tab;
      pages[category.name] = page;
    }
    showTab(V.categories[0].name, false);
  }

  // ---- reading what the selection shares -----------------------------------------------------

  // Stops a reading in progress, giving the status line back the text it had before.
  function stopReading() {
    var reading = state.reading;
    state.reading = null;
    if (reading && reading.own) { V.progress.end(reading.status); }
  }

  // Reads the selected files that were not read yet, a few a step; `onDone` (optional) runs once
  // the panel shows them. A selection that takes more than one step is read with progress and
  // Cancel, and until it is read the panel shows no values, since the last ones are not its own.
  function load(onDone) {
    var token = ++state.loadToken;
    stopReading();
    state.unread = 0;
    var files = V.list.selectedFiles();
    var pending = [];
    for (var i = 0; i < files.length; i++) { if (!files[i].props) { pending.push(files[i]); } }
    var done = 0;

    function readBatch() {
      var batch = pending.slice(done, done + V.READ_BATCH);
      for (var j = 0; j < batch.length; j++) { V.list.readProps(batch[j]); }
      done += batch.length;
    }

    function finish() {
      stopReading();
      if (pending.length > 0) { V.list.render(); }
      state.common = commonValues(files);
      render(files);
      if (onDone) { onDone(); }
    }

    function step() {
      if (token !== state.loadToken) { return; }
      readBatch();
      if (done >= pending.length) { finish(); return; }
      state.reading.done = done;
      if (state.reading.own) { V.progress.update(done, 'Reading ' + done + ' of ' + pending.length); }
      showReading(files);
      V.later(step);
    }

    // A small selection is shown at once.
    readBatch();
    if (done >= pending.length) { finish(); return; }
    var own = !V.progress.active();
    state.reading = { done: done, total: pending.length, own: own, status: $('status').textContent };
    if (own) {
      V.progress.begin('Reading ' + done + ' of ' + pending.length, pending.length, function () {
        if (token !== state.loadToken) { return; }
        state.loadToken++;
        var reading = state.reading;
        state.reading = null;
        state.unread = pending.length - reading.done;
        V.progress.end('Reading cancelled');
        state.common = null;
        render(files);
      });
      V.progress.update(done);
    }
    showReading(files);
    V.later(step);
  }

  // ---- what the selection shares -------------------------------------------------------------

  // A catalogue category's values: each entry's "data" as text.
  function readMembers(category, answer, note) {
    var items = category.members(answer) || {};
    var keys = keysOf(items);
    for (var k = 0; k < keys.length; k++) {
      var item = items[keys[k]];
      note(keys[k], item && item.data !== undefined ? String(item.data) : '', item);
    }
  }

  // What the selected files share: per category and key, { value, mixed, entry }.
  function commonValues(files) {
    function noter(group) {
      return function (key, value, entry) {
        var slot = group.slots[key];
        if (!slot) {
          slot = group.slots[key] = { value: value, mixed: false, entry: entry, seen: 0 };
          group.order.push(key);
        } else if (slot.value !== value) {
          slot.mixed = true;
        }
        if (!slot.entry && entry) { slot.entry = entry; }
        slot.seen++;
      };
    }
    var common = {};
    var groups = [];
    var notes = [];
    for (var c = 0; c < V.categories.length; c++) {
      groups.push(common[V.categories[c].name] = { slots: {}, order: [] });
      notes.push(noter(groups[c]));
    }
    var readable = 0;
    for (var i = 0; i < files.length; i++) {
      var props = files[i].props || {};
      if (props.failed) { continue; }
      readable++;
      for (var r = 0; r < V.categories.length; r++) {
        var category = V.categories[r];
        if (category.read) { category.read(props, notes[r]); } else { readMembers(category, props, notes[r]); }
      }
    }
    // A property some files lack differs from the files that have it, unless all values are empty.
    for (var g = 0; g < groups.length; g++) {
      var slots = groups[g].slots;
      var names = keysOf(slots);
      for (var n = 0; n < names.length; n++) {
        if (slots[names[n]].seen < readable && slots[names[n]].value !== '') { slots[names[n]].mixed = true; }
      }
    }
    return common;
  }

  // ---- fields --------------------------------------------------------------------------------

  // The element after `input` in its field that has the class `name`, made when `make` is set.
  function companion(input, name, make) {
    var field = input.parentNode;
    for (var node = input.nextSibling; node; node = node.nextSibling) {
      if (node.nodeType === 1 && hasClass(node, name)) { return node; }
    }
    if (!make) { return null; }
    var made = make();
    field.appendChild(made);
    return made;
  }

  // The screen reader hears the note of a field with different values and its error message.
  function describe(input) {
    var ids = [];
    var note = companion(input, 'mixed-note', null);
    if (note && !hasClass(note, 'hidden')) { ids.push(note.id); }
    var field = input.parentNode;
    var message = field.nextSibling && hasClass(field.nextSibling, 'message') ? field.nextSibling : null;
    if (message) { ids.push(message.id); }
    if (ids.length) { input.setAttribute('aria-describedby', ids.join(' ')); } else { input.removeAttribute('aria-describedby'); }
  }

  // Marks a field as edited or as holding different values, with its note and revert control.
  function markField(input) {
    var id = input.getAttribute('data-field');
    var edited = state.edits[id] !== undefined;
    var slot = state.slots[id];
    var mixed = !edited && !!slot && slot.mixed;
    setClass(input, 'edited', edited);
    setClass(input, 'mixed', mixed);
    var placeholder = mixed ? MIXED : '';
    // Setting the placeholder makes the Windows browser control send "input": only when it changes.
    if (input.placeholder !== placeholder) { input.placeholder = placeholder; }
    // The placeholder goes when the field takes the focus; this note stays.
    var note = companion(input, 'mixed-note', mixed ? function () {
      var made = element('span', 'mixed-note', MIXED);
      made.id = input.id + '-mixed';
      return made;
    } : null);
    if (note) { setClass(note, 'hidden', !mixed); }
    var revert = companion(input, 'field-revert', edited ? function () {
      var button = element('button', 'field-revert', '\u21B6');
      button.type = 'button';
      button.title = 'Undo the change of this field (Esc)';
      button.setAttribute('data-revert', id);
      return button;
    } : null);
    if (revert) {
      setClass(revert, 'hidden', !edited);
      var label = input.parentNode.querySelector('label');
      revert.setAttribute('aria-label', 'Undo the change of ' + (label ? label.textContent : 'this field'));
    }
    describe(input);
  }

  function showValue(input, slot) {
    var id = input.getAttribute('data-field');
    var edited = state.edits[id] !== undefined;
    var value = edited ? state.edits[id] : (slot && !slot.mixed ? slot.value : '');
    if (input.value !== value) { input.value = value; }
    state.shown[id] = value;
    state.slots[id] = slot || null;
    markField(input);
  }

  // Which selected files a category can hold anything for: a category's "kinds" are the file
  // name endings its handler takes; a file that reports members of it counts too.
  function coverage(category, files) {
    var result = { readable: 0, ofKind: 0, types: {} };
    for (var i = 0; i < files.length; i++) {
      var props = files[i].props;
      if (!props || props.failed) { continue; }
      result.readable++;
      var type = files[i].type ? files[i].type.toLowerCase() : '';
      var members = category.members ? category.members(props) : null;
      if (!category.kinds || V.keysOf(members || {}).length > 0 || category.kinds.indexOf(type) >= 0) {
        result.ofKind++;
      } else {
        result.types[type ? files[i].type : 'untyped'] = true;
      }
    }
    return result;
  }

  // Why a category's page has no fields.
  function emptyText(category, files) {
    var seen = coverage(category, files);
    if (seen.readable === 0) { return 'The properties of the selected files could not be read.'; }
    if (seen.ofKind === 0) {
      var types = keysOf(seen.types);
      var what = types.length === 1 ? (types[0] === 'untyped' ? 'Files without a type' : types[0] + ' files') :
        'These kinds of files';
      return what + ' have no ' + category.title + (category.kindsText ? ': they are kept in ' + category.kindsText + '.' : '.');
    }
    var text = 'The selected files have no ' + category.title + '.';
    if (seen.ofKind < seen.readable) {
      var others = seen.readable - seen.ofKind;
      text += ' ' + (others === 1 ? '1 of them is' : others + ' of them are') + ' of a kind that has none.';
    }
    return text;
  }

  function note(page, text) {
    var box = element('div', 'empty-note', text);
    page.appendChild(box);
    return box;
  }

  // The panel while the selection is read: no values, every field off.
  function showReading(files) {
    var reading = state.reading;
    V.setText($('selection-info'), files.length + ' files selected; reading their properties, ' +
      reading.done + ' of ' + reading.total + '\u2026');
    renderPages(files, null, 'Reading the properties\u2026');
  }

  // The panel after reading was cancelled: what is missing and a way to read it.
  function showUnread(files) {
    var info = $('selection-info');
    info.textContent = '';
    info.appendChild(document.createTextNode('The properties of ' + files.length +
      (files.length === 1 ? ' file were' : ' files were') + ' not read. '));
    var again = element('button', 'link-button', 'Read them');
    again.type = 'button';
    again.id = 'read-selection';
    again.onclick = function () { load(function () { tabs[current].focus(); }); };
    info.appendChild(again);
    renderPages(files, null, 'The selected files were not read.');
  }

  function renderPages(files, common, emptyNote) {
    for (var c = 0; c < V.categories.length; c++) {
      var category = V.categories[c];
      var group = common ? common[category.name] : null;
      var page = pages[category.name];
      if (category.render) {
        category.render(page, group, files);
      } else {
        renderMembers(category, page, group, files);
        if (!group && emptyNote) { note(page, emptyNote); }
      }
    }
    setClass($('props-panel'), 'reading', !common && files.length > 0);
    markTabs();
    V.save.updateButtons();
  }

  function render(files) {
    if (state.reading) { showReading(files); return; }
    if (state.unread > 0) { showUnread(files); return; }
    var count = files.length;
    var failed = 0;
    for (var f = 0; f < files.length; f++) { if (files[f].props && files[f].props.failed) { failed++; } }
    V.setText($('selection-info'), count === 0 ? 'Select files to see their properties.' :
      (count === 1 ? files[0].path : count + ' files selected') +
      (failed > 0 ? ' (' + failed + ' could not be read)' : ''));
    renderPages(files, count ? state.common : null, null);
  }

  function labelOf(category, key, entry) {
    return category.label ? category.label(key, entry) : (entry.name || key);
  }

  // Catalogue entries that can be added to the selection: writable ones the files lack, where at
  // least one file is of a kind that holds them (the others are reported when saved).
  function addableKeys(category, present, files) {
    var list = [];
    if (coverage(category, files).ofKind === 0) { return list; }
    var keys = keysOf(category.catalogue);
    for (var k = 0; k < keys.length; k++) {
      var entry = category.catalogue[keys[k]];
      if (entry.readonly || present[keys[k]]) { continue; }
      if (category.canAdd && !category.canAdd(entry, files)) { continue; }
      list.push(keys[k]);
    }
    return list;
  }

  function renderMembers(category, page, group, files) {
    var name = category.name;
    page.textContent = '';
    if (!group) { return; }
    var order = group.order.slice(0);
    // Fields added by the user but not yet in any file stay on the page until saved or reverted.
    var edits = keysOf(state.edits);
    for (var e = 0; e < edits.length; e++) {
      var edited = V.splitFieldId(edits[e]);
      if (edited.category === name && !group.slots[edited.key]) { order.push(edited.key); }
    }
    if (order.length === 0) { note(page, emptyText(category, files)); }
    for (var i = 0; i < order.length; i++) {
      var key = order[i];
      var slot = group.slots[key] || null;
      var entry = (slot && slot.entry) || category.catalogue[key] || {};
      var field = element('div', 'field');
      var input = element('input', 'prop');
      input.id = 'prop-' + name + '-' + i;
      input.setAttribute('data-field', fieldId(name, key));
      input.setAttribute('data-type', entry.type || '');
      input.spellcheck = false;
      input.readOnly = !!entry.readonly;
      var label = element('label', '', labelOf(category, key, entry));
      label.htmlFor = input.id;
      label.title = key;
      field.appendChild(label);
      field.appendChild(input);
      page.appendChild(field);
      showValue(input, slot);
      validateField(input);
    }
    var addable = addableKeys(category, group.slots, files);
    if (addable.length > 0) {
      var adder = element('div', 'field');
      var select = element('select', 'add-property');
      select.id = 'add-' + name;
      select.appendChild(element('option', '', 'Add a property\u2026'));
      for (var a = 0; a < addable.length; a++) {
        var option = element('option', '', labelOf(category, addable[a], category.catalogue[addable[a]]));
        option.value = addable[a];
        select.appendChild(option);
      }
      select.setAttribute('data-category', name);
      var caption = element('label', '', 'New');
      caption.htmlFor = select.id;
      caption.title = 'Add a property to the selected files';
      adder.appendChild(caption);
      adder.appendChild(select);
      page.appendChild(adder);
    }
  }

  // ---- checking what was typed ---------------------------------------------------------------

  var TYPE_CHECKS = {
    VT_I4: /^\s*-?\d+\s*$/, VT_UI4: /^\s*\d+\s*$/, VT_UI8: /^\s*\d+\s*$/,
    VT_R8: /^\s*-?\d+(\.\d+)?([eE][-+]?\d+)?\s*$/, VT_BOOL: /^\s*(true|false|0|1|-1)\s*$/i
  };

  // Only edited fields are checked; a field of class "time" may not be left empty.
  function fieldError(input) {
    var value = input.value;
    if (input.readOnly || state.edits[input.getAttribute('data-field')] === undefined) { return ''; }
    var type = input.getAttribute('data-type');
    if (hasClass(input, 'time') || type === 'VT_FILETIME') {
      if (value === '' && !hasClass(input, 'time')) { return ''; }
      // A date that does not exist is refused here, before anything is sent.
      return V.datetime.read(value).error || '';
    }
    if (TYPE_CHECKS[type] && value !== '' && !TYPE_CHECKS[type].test(value)) { return 'Not a valid value for ' + type + '.'; }
    return '';
  }

  function validateField(input) {
    var error = fieldError(input);
    setClass(input, 'invalid', error !== '');
    if (error) { input.setAttribute('aria-invalid', 'true'); } else { input.removeAttribute('aria-invalid'); }
    var field = input.parentNode;
    var message = field.nextSibling && hasClass(field.nextSibling, 'message') ? field.nextSibling : null;
    if (error && !message) {
      message = element('div', 'message');
      message.id = input.id + '-message';
      field.parentNode.insertBefore(message, field.nextSibling);
    }
    if (message) {
      if (error) { V.setText(message, error); } else { message.parentNode.removeChild(message); }
    }
    if (!hasClass(input, 'out-of-range')) { input.title = error; }
    describe(input);
    return error === '';
  }

  function allValid() {
    var inputs = document.querySelectorAll('#props-body input.prop');
    var valid = true;
    for (var i = 0; i < inputs.length; i++) { if (!validateField(inputs[i])) { valid = false; } }
    return valid;
  }

  // ---- editing -------------------------------------------------------------------------------

  function editsChanged() {
    markTabs();
    V.save.updateButtons();
  }

  function onFieldInput(event) {
    var input = event.target;
    if (!hasClass(input, 'prop') || input.readOnly || input.disabled || V.save.busy()) { return; }
    var id = input.getAttribute('data-field');
    // Only a new text is an edit; typing back the text the field was given is none, unless the
    // field was added and is kept until saved or reverted.
    var before = state.edits[id] !== undefined ? state.edits[id] : state.shown[id];
    if (input.value === before) { return; }
    if (input.value === state.shown[id] && !state.added[id]) {
      delete state.edits[id];
    } else {
      state.edits[id] = input.value;
    }
    markField(input);
    validateField(input);
    editsChanged();
  }

  function onFieldChange(event) {
    var target = event.target;
    if (V.save.busy()) { return; }
    if (target.type === 'checkbox' && target.getAttribute('data-field')) {
      var id = target.getAttribute('data-field');
      var slot = state.slots[id];
      target.indeterminate = false;
      // Clicking a box back to what all files have is no edit.
      if (slot && !slot.mixed && slot.value === target.checked) {
        delete state.edits[id];
      } else {
        state.edits[id] = target.checked;
      }
      render(V.list.selectedFiles());
      var again = document.querySelector('#props-body [data-field="' + id + '"]');
      if (again) { again.focus(); }
    } else if (hasClass(target, 'add-property') && target.value) {
      var added = fieldId(target.getAttribute('data-category'), target.value);
      state.edits[added] = '';
      state.added[added] = true;
      render(V.list.selectedFiles());
      var field = document.querySelector('#props-body input[data-field="' + added + '"]');
      if (field) { field.focus(); }
    } else if (hasClass(target, 'prop')) {
      onFieldInput(event);
    }
  }

  // Undoes the edit of one field; the focus stays on it, or on its page's list of properties to
  // add when the field was an added one and goes.
  function revertField(id) {
    if (state.edits[id] === undefined) { return; }
    var focused = document.activeElement;
    var hadFocus = focused && focused.getAttribute && (focused.getAttribute('data-field') === id ||
      focused.getAttribute('data-revert') === id);
    delete state.edits[id];
    delete state.added[id];
    render(V.list.selectedFiles());
    if (!hadFocus) { return; }
    var field = document.querySelector('#props-body [data-field="' + id + '"]');
    var page = pages[V.splitFieldId(id).category];
    var target = field || (page && page.querySelector('select.add-property')) || tabs[V.splitFieldId(id).category];
    if (target) { target.focus(); }
  }

  function onBodyClick(event) {
    var target = event.target;
    if (target.getAttribute && target.getAttribute('data-revert')) { revertField(target.getAttribute('data-revert')); }
  }

  function onBodyKey(event) {
    var target = event.target;
    var id = target.getAttribute ? target.getAttribute('data-field') : null;
    if (event.keyCode === 27 && id && state.edits[id] !== undefined) {
      event.preventDefault();
      event.stopPropagation();
      revertField(id);
    }
  }

  function revert() {
    clearEdits();
    render(V.list.selectedFiles());
    V.status('Changes discarded');
  }

  function start() {
    buildTabs();
    var body = $('props-body');
    body.addEventListener('input', onFieldInput);
    body.addEventListener('change', onFieldChange);
    body.addEventListener('click', onBodyClick);
    body.addEventListener('keydown', onBodyKey);
    $('revert').onclick = revert;
    // Leaving the page with edits that are not saved asks first.
    window.addEventListener('beforeunload', function (event) {
      if (!hasEdits()) { return undefined; }
      var text = 'Changes that are not saved will be lost.';
      event.returnValue = text;
      if (event.preventDefault) { event.preventDefault(); }
      return text;
    });
  }

  V.panel = {
    start: start,
    load: load,
    render: render,
    showValue: showValue,
    validateField: validateField,
    allValid: allValid,
    // The edit of one field, or undefined.
    edit: function (id) { return state.edits[id]; },
    edits: function () { return state.edits; },
    hasEdits: hasEdits,
    clearEdits: clearEdits,
    revertField: revertField,
    // The shared value a check box or another field of a category's own was given.
    track: function (id, slot) { state.slots[id] = slot || null; },
    // Whether the selection's values are missing: being read, or left unread.
    reading: function () { return state.reading !== null || state.unread > 0; },
    confirmDiscard: confirmDiscard
  };
}(Varenko));
