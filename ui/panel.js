// The property panel: one tab and page per registered category, what the selected files share
// (read in small steps), the fields of catalogue categories with their "Add a property" list, and
// editing: which fields were changed, and whether their text is one the native side takes.
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
    shown: {},        // field id -> the text a field was last given
    loadToken: 0
  };
  var tabs = {};      // category name -> its tab button
  var pages = {};     // category name -> its page

  function hasEdits() { return keysOf(state.edits).length > 0; }

  function confirmDiscard() {
    if (!hasEdits()) { return true; }
    if (!window.confirm('Discard the changes that are not saved?')) { return false; }
    state.edits = {};
    return true;
  }

  // ---- tabs ----------------------------------------------------------------------------------

  function showTab(name) {
    for (var i = 0; i < V.categories.length; i++) {
      var other = V.categories[i].name;
      var on = other === name;
      setClass(tabs[other], 'selected', on);
      tabs[other].setAttribute('aria-selected', on ? 'true' : 'false');
      setClass(pages[other], 'selected', on);
    }
  }

  function buildTabs() {
    var bar = $('tabs');
    var body = $('props-body');
    for (var i = 0; i < V.categories.length; i++) {
      var category = V.categories[i];
      var tab = element('button', 'tab', category.tab);
      tab.setAttribute('type', 'button');
      tab.setAttribute('data-cat', category.name);
      tab.setAttribute('role', 'tab');
      tab.onclick = function () { showTab(this.getAttribute('data-cat')); };
      bar.appendChild(tab);
      var page = element('div', 'page');
      page.setAttribute('data-page', category.name);
      if (category.build) { category.build(page); }
      body.appendChild(page);
      tabs[category.name] = tab;
      pages[category.name] = page;
    }
    showTab(V.categories[0].name);
  }

  // ---- what the selection shares -------------------------------------------------------------

  function load() {
    var token = ++state.loadToken;
    var files = V.list.selectedFiles();
    var pending = [];
    for (var i = 0; i < files.length; i++) { if (!files[i].props) { pending.push(files[i]); } }
    var done = 0;
    function step() {
      if (token !== state.loadToken) { return; }
      var batch = pending.slice(done, done + V.READ_BATCH);
      for (var j = 0; j < batch.length; j++) { V.list.readProps(batch[j]); }
      done += batch.length;
      if (done < pending.length) {
        V.setText($('selection-info'), 'Reading properties, ' + done + ' of ' + pending.length + '\u2026');
        V.later(step);
        return;
      }
      if (pending.length > 0) { V.list.render(); }
      state.common = commonValues(files);
      render(files);
    }
    step();
  }

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

  function showValue(input, slot) {
    var id = input.getAttribute('data-field');
    var edited = state.edits[id] !== undefined;
    input.value = edited ? state.edits[id] : (slot && !slot.mixed ? slot.value : '');
    state.shown[id] = input.value;
    var mixed = !edited && slot && slot.mixed;
    input.placeholder = mixed ? MIXED : '';
    setClass(input, 'mixed', !!mixed);
    setClass(input, 'edited', edited);
  }

  function render(files) {
    var count = files.length;
    var failed = 0;
    for (var f = 0; f < files.length; f++) { if (files[f].props && files[f].props.failed) { failed++; } }
    V.setText($('selection-info'), count === 0 ? 'Select files to see their properties.' :
      (count === 1 ? files[0].path : count + ' files selected') +
      (failed > 0 ? ' (' + failed + ' could not be read)' : ''));
    for (var c = 0; c < V.categories.length; c++) {
      var category = V.categories[c];
      var group = count && state.common ? state.common[category.name] : null;
      if (category.render) {
        category.render(pages[category.name], group, files);
      } else {
        renderMembers(category, pages[category.name], group, files);
      }
    }
    V.save.updateButtons();
  }

  function labelOf(category, key, entry) {
    return category.label ? category.label(key, entry) : (entry.name || key);
  }

  // Catalogue entries that can be added to the selection: writable ones the files lack.
  function addableKeys(category, present, files) {
    var list = [];
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
    if (order.length === 0) {
      page.appendChild(element('div', 'empty-note', 'The selected files have no ' + category.title + '.'));
    }
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
      select.appendChild(element('option', '', 'Add a property\u2026'));
      for (var a = 0; a < addable.length; a++) {
        var option = element('option', '', labelOf(category, addable[a], category.catalogue[addable[a]]));
        option.value = addable[a];
        select.appendChild(option);
      }
      select.setAttribute('data-category', name);
      adder.appendChild(element('label', '', ''));
      adder.appendChild(select);
      page.appendChild(adder);
    }
  }

  // ---- checking what was typed ---------------------------------------------------------------

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

  // Only edited fields are checked; a field of class "time" may not be left empty.
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
      if (error) { V.setText(message, error); } else { message.parentNode.removeChild(message); }
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

  // ---- editing -------------------------------------------------------------------------------

  function onFieldInput(event) {
    var input = event.target;
    if (!hasClass(input, 'prop') || input.readOnly || V.save.busy()) { return; }
    var id = input.getAttribute('data-field');
    // The Windows browser control also sends "input" when a placeholder is set and when a field
    // with one gains or loses the focus; only a new text is an edit.
    var before = state.edits[id] !== undefined ? state.edits[id] : state.shown[id];
    if (input.value === before) { return; }
    state.edits[id] = input.value;
    setClass(input, 'edited', true);
    setClass(input, 'mixed', false);
    input.placeholder = '';
    validateField(input);
    V.save.updateButtons();
  }

  function onFieldChange(event) {
    var target = event.target;
    if (V.save.busy()) { return; }
    if (target.type === 'checkbox' && target.getAttribute('data-field')) {
      target.indeterminate = false;
      state.edits[target.getAttribute('data-field')] = target.checked;
      setClass(target.parentNode, 'edited', true);
      V.save.updateButtons();
    } else if (hasClass(target, 'add-property') && target.value) {
      state.edits[fieldId(target.getAttribute('data-category'), target.value)] = '';
      render(V.list.selectedFiles());
    } else if (hasClass(target, 'prop')) {
      onFieldInput(event);
    }
  }

  function revert() {
    state.edits = {};
    render(V.list.selectedFiles());
    V.status('Changes discarded');
  }

  function start() {
    buildTabs();
    var body = $('props-body');
    body.addEventListener('input', onFieldInput);
    body.addEventListener('change', onFieldChange);
    $('revert').onclick = revert;
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
    clearEdits: function () { state.edits = {}; },
    confirmDiscard: confirmDiscard
  };
}(Varenko));
