// Modal boxes (About, Add paths, Time tools). One is open at a time; while it is, Tab and
// Shift+Tab go round inside it, Esc closes it, focus that a click or a screen reader moves out of
// it is brought back, and the page's own keys (Ctrl+S) do nothing. Closing gives the focus back
// to whatever had it before the box opened.
(function (V) {
  'use strict';

  var current = null; // { box, onClose, returnTo }

  // What Tab stops at, in order: of a group of radio buttons only the checked one.
  function focusables(box) {
    var all = box.querySelectorAll('a[href], button, input, select, textarea, [tabindex]');
    var list = [];
    for (var i = 0; i < all.length; i++) {
      var node = all[i];
      if (node.disabled || node.tabIndex < 0 || node.offsetParent === null) { continue; }
      if (node.type === 'radio' && !node.checked) { continue; }
      list.push(node);
    }
    return list;
  }

  // Opens `box`; options.focus is the element to focus first (else the first stop), and
  // options.onClose runs when the box closes by any way.
  function show(box, options) {
    if (current) { hide(); }
    options = options || {};
    current = { box: box, onClose: options.onClose || null, returnTo: document.activeElement };
    V.setClass(box, 'hidden', false);
    var first = options.focus || focusables(box)[0];
    if (first) { first.focus(); }
  }

  function hide() {
    if (!current) { return; }
    var closing = current;
    current = null;
    V.setClass(closing.box, 'hidden', true);
    if (closing.onClose) { closing.onClose(); }
    var back = closing.returnTo;
    if (back && back.focus && back !== document.body && !back.disabled) { back.focus(); }
  }

  function onKeyDown(event) {
    if (!current) { return; }
    if (event.keyCode === 27) { // Esc
      event.preventDefault();
      hide();
    } else if (event.keyCode === 9) { // Tab
      var items = focusables(current.box);
      event.preventDefault();
      if (items.length === 0) { return; }
      var at = -1;
      for (var i = 0; i < items.length; i++) { if (items[i] === document.activeElement) { at = i; } }
      var next = event.shiftKey ? (at <= 0 ? items.length - 1 : at - 1) : (at < 0 || at === items.length - 1 ? 0 : at + 1);
      items[next].focus();
    } else if (event.ctrlKey && event.keyCode === 83) { // Ctrl+S saves nothing behind a box
      event.preventDefault();
    }
  }

  function onFocusIn(event) {
    if (!current || current.box.contains(event.target)) { return; }
    var items = focusables(current.box);
    if (items.length > 0) { items[0].focus(); }
  }

  function start() {
    document.addEventListener('keydown', onKeyDown, true);
    document.addEventListener('focusin', onFocusIn);
  }

  V.dialog = {
    start: start,
    show: show,
    hide: hide,
    isOpen: function (box) { return current !== null && (!box || current.box === box); }
  };
}(Varenko));
