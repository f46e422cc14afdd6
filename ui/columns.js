// The file list's columns: what each shows of a file and how it orders files, and the header row
// that sorts (click, or Enter and Space) and resizes them (drag an edge, or Ctrl+Left/Right). The
// widths are kept as one setting. Lazy columns come from a cheap "getprops" that the list makes
// for the rows in view only, so sorting by one of them has to read every file first.
(function (V) {
  'use strict';

  var element = V.element;

  var SETTING = 'list.columns';
  var MAX_WIDTH = 2000;
  var KEY_STEP = 16;

  // "12.3 KB": powers of 1024, one decimal below 100, and never four digits before the unit.
  function shortSize(bytes) {
    if (bytes < 1024) { return bytes + ' B'; }
    var units = ['KB', 'MB', 'GB', 'TB', 'PB'];
    var value = bytes / 1024;
    var unit = 0;
    while (value >= 999.5 && unit < units.length - 1) { value /= 1024; unit++; }
    return (value < 99.95 ? value.toFixed(1) : String(Math.round(value))) + ' ' + units[unit];
  }

  // "1,234,567 bytes": grouped by hand, as the browser control's toLocaleString adds decimals.
  function exactSize(bytes) {
    var digits = String(bytes);
    var grouped = '';
    while (digits.length > 3) {
      grouped = ',' + digits.substring(digits.length - 3) + grouped;
      digits = digits.substring(0, digits.length - 3);
    }
    return digits + grouped + (bytes === 1 ? ' byte' : ' bytes');
  }

  function field(name) { return function (file) { return file[name]; }; }

  // Each column: key (its data-sort and class col-<key>), title, width and min in pixels, and
  //   value(file)    what it sorts by: a lower-case text or a number
  //   missing(file)  optional: the file has no value, and goes last in either direction
  //   text(file)     what the cell shows (default: value); tip(file) optional: the cell's title
  //   lazy           read by the list's cheap "getprops", which may not have been made yet
  var COLUMNS = [
    { key: 'name', title: 'Name', width: 190, min: 80, value: field('lowerName'), text: field('name') },
    { key: 'type', title: 'Type', width: 56, min: 44, value: field('type') },
    { key: 'size', title: 'Size', width: 76, min: 56, lazy: true,
      value: field('size'),
      missing: function (file) { return typeof file.size !== 'number'; },
      text: function (file) { return typeof file.size === 'number' ? shortSize(file.size) : ''; },
      tip: function (file) { return typeof file.size === 'number' ? exactSize(file.size) : ''; } },
    { key: 'modified', title: 'Modified', width: 156, min: 90, lazy: true,
      value: field('modified'),
      missing: function (file) { return !file.modified; } },
    { key: 'created', title: 'Created', width: 156, min: 90, lazy: true,
      value: field('created'),
      missing: function (file) { return !file.created; } },
    { key: 'attributes', title: 'Attributes', width: 96, min: 60, lazy: true,
      value: field('attributes'),
      missing: function (file) { return !file.basic || !!file.unreadable; } },
    { key: 'folder', title: 'Folder', width: 170, min: 80, value: field('lowerFolder'), text: field('folder') }
  ];

  var byKey = {};
  for (var c = 0; c < COLUMNS.length; c++) { byKey[COLUMNS[c].key] = COLUMNS[c]; }

  var widths = {};

  function clampWidth(column, width) { return Math.max(column.min, Math.min(MAX_WIDTH, Math.round(width))); }

  function loadWidths() {
    var saved = null;
    try { saved = JSON.parse(V.native.getSetting(SETTING) || 'null'); } catch (e) { saved = null; }
    for (var i = 0; i < COLUMNS.length; i++) {
      var column = COLUMNS[i];
      var width = saved && typeof saved[column.key] === 'number' ? saved[column.key] : column.width;
      widths[column.key] = clampWidth(column, width);
    }
  }

  function saveWidths() { V.native.setSetting(SETTING, JSON.stringify(widths)); }

  function totalWidth() {
    var total = 0;
    for (var i = 0; i < COLUMNS.length; i++) { total += widths[COLUMNS[i].key]; }
    return total;
  }

  // The order of two files by a column, rising: those without a value last, ties by path.
  function comparer(column, ascending) {
    var sign = ascending ? 1 : -1;
    return function (a, b) {
      var gapA = column.missing ? column.missing(a) : false;
      var gapB = column.missing ? column.missing(b) : false;
      if (gapA !== gapB) { return gapA ? 1 : -1; }
      var x = gapA ? 0 : column.value(a);
      var y = gapA ? 0 : column.value(b);
      if (x === y) {
        x = a.lowerPath;
        y = b.lowerPath;
      }
      return sign * (x < y ? -1 : (x > y ? 1 : 0));
    };
  }

  function cellText(column, file) {
    var text = column.text ? column.text(file) : column.value(file);
    return text === undefined || text === null ? '' : String(text);
  }

  // ---- the header row --------------------------------------------------------------------------

  var header = null;
  var actions = null;     // { sort(key), resized(), leave() } from the list
  var dragEnded = false;  // the click that ends a drag is no sort

  function cells() { return header.children; }

  // The header's one Tab stop is the cell last focused, by key or by click.
  function makeTabStop(cell) {
    var list = cells();
    for (var i = 0; i < list.length; i++) { list[i].setAttribute('tabindex', list[i] === cell ? '0' : '-1'); }
  }

  function focusCell(index) {
    var list = cells();
    list[Math.max(0, Math.min(list.length - 1, index))].focus();
  }

  function indexOfCell(cell) {
    var list = cells();
    for (var i = 0; i < list.length; i++) { if (list[i] === cell) { return i; } }
    return -1;
  }

  function setWidth(key, width) {
    widths[key] = clampWidth(byKey[key], width);
    applyWidths();
    actions.resized();
  }

  function applyWidths() {
    var list = cells();
    for (var i = 0; i < list.length; i++) { list[i].style.width = widths[COLUMNS[i].key] + 'px'; }
    header.style.width = totalWidth() + 'px';
  }

  function startDrag(event) {
    event.preventDefault();
    event.stopPropagation();
    var key = this.parentNode.getAttribute('data-sort');
    var startX = event.clientX;
    var startWidth = widths[key];
    function move(e) { setWidth(key, startWidth + e.clientX - startX); }
    function up() {
      document.removeEventListener('mousemove', move);
      document.removeEventListener('mouseup', up);
      dragEnded = true;
      V.later(function () { dragEnded = false; });
      saveWidths();
    }
    document.addEventListener('mousemove', move);
    document.addEventListener('mouseup', up);
  }

  function onClick(event) {
    var cell = event.target;
    while (cell && cell.parentNode !== header) { cell = cell.parentNode; }
    if (!cell || dragEnded || V.hasClass(event.target, 'col-grip')) { return; }
    actions.sort(cell.getAttribute('data-sort'));
  }

  function onKeyDown(event) {
    var cell = event.target;
    var index = indexOfCell(cell);
    if (index < 0) { return; }
    var key = event.keyCode;
    if (key === 13 || key === 32) { // Enter, Space
      event.preventDefault();
      actions.sort(cell.getAttribute('data-sort'));
    } else if ((key === 37 || key === 39) && event.ctrlKey) { // Ctrl+Left/Right: narrower, wider
      event.preventDefault();
      var column = COLUMNS[index];
      setWidth(column.key, widths[column.key] + (key === 37 ? -KEY_STEP : KEY_STEP));
      saveWidths();
    } else if (key === 37 || key === 39) {
      event.preventDefault();
      focusCell(index + (key === 37 ? -1 : 1));
    } else if (key === 36 || key === 35) { // Home, End
      event.preventDefault();
      focusCell(key === 36 ? 0 : COLUMNS.length - 1);
    } else if (key === 40) { // Down: back to the rows
      event.preventDefault();
      actions.leave();
    }
  }

  // Builds the header's cells in `row`; one of them is a Tab stop, the arrow keys move among them.
  function start(row, handlers) {
    header = row;
    actions = handlers;
    loadWidths();
    for (var i = 0; i < COLUMNS.length; i++) {
      var column = COLUMNS[i];
      var cell = element('div', 'col col-' + column.key);
      cell.setAttribute('data-sort', column.key);
      cell.setAttribute('role', 'columnheader');
      cell.setAttribute('tabindex', i === 0 ? '0' : '-1');
      cell.title = 'Sort by ' + column.title + ' (Enter); Ctrl+Left or Right changes the width';
      cell.appendChild(element('span', 'col-title', column.title));
      var grip = element('span', 'col-grip');
      grip.setAttribute('aria-hidden', 'true');
      grip.title = 'Drag to change the width';
      grip.addEventListener('mousedown', startDrag);
      cell.appendChild(grip);
      header.appendChild(cell);
    }
    header.addEventListener('click', onClick);
    header.addEventListener('keydown', onKeyDown);
    header.addEventListener('focus', function (event) {
      if (indexOfCell(event.target) >= 0) { makeTabStop(event.target); }
    }, true);
    applyWidths();
  }

  V.columns = {
    all: COLUMNS,
    byKey: function (key) { return byKey[key] || null; },
    start: start,
    width: function (key) { return widths[key]; },
    totalWidth: totalWidth,
    comparer: comparer,
    cellText: cellText,
    shortSize: shortSize,
    exactSize: exactSize
  };
}(Varenko));
