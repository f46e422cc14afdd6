// The File tab: the file system's times and attribute letters. A save writes them as two
// categories of the native side, "datetime" and "attributes".
(function (V) {
  'use strict';

  var element = V.element;
  var setClass = V.setClass;
  var fieldId = V.fieldId;

  var TIMES = [
    { key: 'createtime', label: 'Created' },
    { key: 'modifytime', label: 'Modified' },
    { key: 'accesstime', label: 'Accessed' }
  ];

  // The native side sends empty text for a time that no date-time text can hold (before 1970 or
  // after 3000). Such a time is noted as this value, which no time text can be: files whose time
  // is out of range share it, and differ from files with a time or none. It is shown as a note,
  // never as a value, so the field stays empty and a save leaves that time as it is unless the
  // user types a new one.
  var OUT_OF_RANGE = '\u0000out of range';
  var OUT_OF_RANGE_NOTE = '(out of range)';
  var OUT_OF_RANGE_TITLE = 'This time lies before 1970 or after 3000, which cannot be shown here. ' +
    'It is kept as it is unless you type a new one.';

  // The attribute letters in the order the native side reads and writes them; "place" is where
  // each is shown, the ones a save can change first.
  var ATTRIBUTES = [
    { letter: 'R', name: 'Read-only', place: 0 },
    { letter: 'D', name: 'Directory', place: 8, readonly: true },
    { letter: 'H', name: 'Hidden', place: 1 },
    { letter: 'S', name: 'System', place: 2 },
    { letter: 'A', name: 'Archive', place: 3 },
    { letter: 'O', name: 'Offline', place: 5 },
    { letter: 'T', name: 'Temporary', place: 4 },
    // The file system does not take these through the attribute word.
    { letter: 'C', name: 'Compressed', place: 9, readonly: true },
    { letter: 'E', name: 'Encrypted', place: 10, readonly: true },
    { letter: 'I', name: 'Not indexed', place: 6 },
    { letter: 'N', name: 'Normal', place: 7 }
  ];
  var SHOWN = ATTRIBUTES.slice(0).sort(function (a, b) { return a.place - b.place; });

  // Whether any of a table's keys (its members named by "member") was changed.
  function anyChanged(changed, table, member) {
    for (var i = 0; i < table.length; i++) { if (changed[table[i][member]] !== undefined) { return true; } }
    return false;
  }

  function build(page) {
    var times = element('div', 'group-title', 'Times ');
    times.appendChild(element('span', 'hint', 'YYYY:MM:DD hh:mm:ss, local time'));
    page.appendChild(times);
    for (var t = 0; t < TIMES.length; t++) {
      var field = element('div', 'field');
      var label = element('label', '', TIMES[t].label);
      var input = element('input', 'prop time');
      input.id = 'prop-' + TIMES[t].key;
      input.setAttribute('data-field', fieldId('file', TIMES[t].key));
      input.spellcheck = false;
      label.htmlFor = input.id;
      field.appendChild(label);
      field.appendChild(input);
      page.appendChild(field);
    }
    page.appendChild(element('div', 'group-title', 'Attributes'));
    var box = element('div');
    box.id = 'attributes';
    page.appendChild(box);
  }

  function read(answer, note) {
    for (var t = 0; t < TIMES.length; t++) {
      var text = answer[TIMES[t].key];
      note(TIMES[t].key, typeof text !== 'string' ? '' : (text === '' ? OUT_OF_RANGE : text));
    }
    var letters = typeof answer.attributes === 'string' ? answer.attributes : '';
    for (var a = 0; a < ATTRIBUTES.length; a++) {
      note(ATTRIBUTES[a].letter, letters.indexOf(ATTRIBUTES[a].letter) >= 0);
    }
  }

  function renderAttributes(slots) {
    var box = V.$('attributes');
    box.textContent = '';
    for (var i = 0; i < SHOWN.length; i++) {
      var attribute = SHOWN[i];
      var id = fieldId('file', attribute.letter);
      var item = element('div', 'attr-item');
      var check = element('input', 'attr');
      check.type = 'checkbox';
      check.id = 'attr-' + attribute.letter;
      check.setAttribute('data-letter', attribute.letter);
      check.setAttribute('data-field', id);
      var slot = slots ? slots[attribute.letter] : null;
      V.panel.track(id, slot);
      var edit = V.panel.edit(id);
      if (edit !== undefined) {
        check.checked = edit;
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
      if (edit !== undefined) {
        var undo = element('button', 'field-revert', '\u21B6');
        undo.type = 'button';
        undo.title = 'Undo the change of this attribute (Esc)';
        undo.setAttribute('aria-label', 'Undo the change of ' + attribute.name);
        undo.setAttribute('data-revert', id);
        item.appendChild(undo);
      }
      box.appendChild(item);
    }
  }

  function render(page, group) {
    for (var t = 0; t < TIMES.length; t++) {
      var input = V.$('prop-' + TIMES[t].key);
      var slot = group ? group.slots[TIMES[t].key] : null;
      var outOfRange = !!slot && !slot.mixed && slot.value === OUT_OF_RANGE &&
        V.panel.edit(fieldId('file', TIMES[t].key)) === undefined;
      input.disabled = !group;
      V.panel.showValue(input, outOfRange ? { value: '', mixed: false } : slot);
      V.panel.validateField(input);
      setClass(input, 'out-of-range', outOfRange);
      if (outOfRange) {
        input.placeholder = OUT_OF_RANGE_NOTE;
        input.title = OUT_OF_RANGE_TITLE;
      }
    }
    renderAttributes(group ? group.slots : null);
  }

  function requests(changed, answer) {
    var list = [];
    // A "datetime" request names all three times; an empty one is left as it is. A typed time
    // goes in its 19-character form, so the native side reads the very time the page checked.
    if (anyChanged(changed, TIMES, 'key')) {
      var times = {};
      for (var t = 0; t < TIMES.length; t++) {
        times[TIMES[t].key] = changed[TIMES[t].key] !== undefined ? V.datetime.normal(changed[TIMES[t].key]) : '';
      }
      list.push({ cat: 'datetime', props: times });
    }
    if (!anyChanged(changed, ATTRIBUTES, 'letter')) { return list; }
    // The new letters are built on what was read; without that, the file is left alone rather
    // than losing what could not be seen.
    var letters = answer.attributes;
    if (typeof letters !== 'string' || letters === '') {
      list.push({ cat: 'attributes', skipped: 'Its attributes could not be read, so they were not changed' });
      return list;
    }
    var result = '';
    for (var l = 0; l < ATTRIBUTES.length; l++) {
      var letter = ATTRIBUTES[l].letter;
      var on = changed[letter] !== undefined ? changed[letter] : letters.indexOf(letter) >= 0;
      if (on) { result += letter; }
    }
    list.push({ cat: 'attributes', props: { attributes: result } });
    return list;
  }

  V.addCategory({
    name: 'file',
    tab: 'File',
    build: build,
    read: read,
    render: render,
    requests: requests
  });
}(Varenko));
