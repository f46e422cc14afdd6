// The page's one global, Varenko: the small DOM helpers every part uses, the status line, and the
// register of property categories. Each part of the page adds itself to Varenko in its own file;
// index.html loads this file first.
var Varenko = Varenko || {};

(function (V) {
  'use strict';

  V.$ = function (id) { return document.getElementById(id); };

  // className by hand: the Windows browser control's classList takes one name a call, no more.
  V.setClass = function (element, name, on) {
    var names = element.className ? element.className.split(/\s+/) : [];
    var at = -1;
    for (var i = 0; i < names.length; i++) { if (names[i] === name) { at = i; } }
    if (on && at < 0) { names.push(name); }
    if (!on && at >= 0) { names.splice(at, 1); }
    element.className = names.join(' ');
  };

  V.hasClass = function (element, name) {
    return (' ' + element.className + ' ').indexOf(' ' + name + ' ') >= 0;
  };

  // Values read from files are only ever shown as text, never as markup.
  V.setText = function (element, text) { element.textContent = text; };

  V.element = function (tag, className, text) {
    var node = document.createElement(tag);
    if (className) { node.className = className; }
    if (text !== undefined) { node.textContent = text; }
    return node;
  };

  V.keysOf = function (object) {
    var keys = [];
    for (var key in object) {
      if (Object.prototype.hasOwnProperty.call(object, key)) { keys.push(key); }
    }
    return keys;
  };

  // Long jobs run in small steps between timers, so that the page stays responsive; a step that
  // reads files reads this many.
  V.later = function (fn) { return window.setTimeout(fn, 0); };
  V.READ_BATCH = 8;

  // The status line; `details` (optional) is more than the line holds, shown when it is pointed at.
  V.status = function (text, details) {
    var status = V.$('status');
    V.setText(status, text);
    status.title = details || '';
  };

  // ---- property categories ---------------------------------------------------------------------

  // One entry per tab of the property panel, in the order the files under categories/ are loaded.
  // A category has:
  //   name        its tab, and the group its edits are kept under
  //   tab         the tab's caption
  // and then either the members of a catalogue kind:
  //   title       what its properties are called ("The selected files have no <title>.")
  //   catalogue   sent once with "initproplist"; the native side reports each value as a copy of
  //               an entry with "data" added, and new properties are picked from it
  //   members(answer)        the file's properties in a "getprops" answer: key -> entry with data
  //   label(key, entry)      optional: a field's caption (default: the entry's name, else its key)
  //   canAdd(entry, files)   optional: whether an entry may be added to these files
  //   item(value, entry)     what a "setprops" request sends for one property
  //   writtenWhole           optional: a save sends the file's other properties along too
  //   kinds, kindsText       optional: the file types (lower-case extensions) that can hold the
  //                          category, and how to name them ("JPEG, TIFF and PNG images"); without
  //                          them every file can
  // or its own ways of doing each:
  //   build(page)                      once at start: the page's fixed fields
  //   read(answer, note)               calls note(key, value, entry) for each value of one file
  //   render(page, group, files)       shows what the selection shares; group is null without one
  //   requests(changed, answer, file)  the requests that write changed (key -> value) to one file:
  //                                    { cat, props } each, or { cat, skipped: reason }
  V.categories = [];

  V.addCategory = function (category) { V.categories.push(category); };

  // Edits are kept by field: the category and the property key.
  V.fieldId = function (category, key) { return category + '\u0001' + key; };
  V.splitFieldId = function (id) {
    var cut = id.indexOf('\u0001');
    return { category: id.substring(0, cut), key: id.substring(cut + 1) };
  };
}(Varenko));
