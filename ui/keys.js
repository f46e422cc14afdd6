// Keys that work anywhere in the page: Ctrl+S saves, and while the About box is open the Tab key
// stays inside it and Esc closes it, wherever the focus is. The keys of one part (the list, the
// tabs, a field) are handled by that part.
(function (V) {
  'use strict';

  var $ = V.$;

  function aboutOpen() { return !V.hasClass($('about-box'), 'hidden'); }

  function focusables(box) {
    var all = box.querySelectorAll('a[href], button, input, select, textarea, [tabindex]');
    var list = [];
    for (var i = 0; i < all.length; i++) {
      if (!all[i].disabled && all[i].tabIndex >= 0 && all[i].offsetParent !== null) { list.push(all[i]); }
    }
    return list;
  }

  function closeAbout() { $('about-close').click(); }

  function onKeyDown(event) {
    if (aboutOpen()) {
      if (event.keyCode === 27) {
        event.preventDefault();
        event.stopPropagation();
        closeAbout();
      } else if (event.keyCode === 9) {
        var items = focusables($('about-box'));
        if (items.length === 0) { event.preventDefault(); return; }
        var at = -1;
        for (var i = 0; i < items.length; i++) { if (items[i] === document.activeElement) { at = i; } }
        var next = event.shiftKey ? (at <= 0 ? items.length - 1 : at - 1) : (at < 0 || at === items.length - 1 ? 0 : at + 1);
        event.preventDefault();
        items[next].focus();
      } else if (event.ctrlKey && event.keyCode === 83) {
        event.preventDefault();
      }
      return;
    }
    if (event.ctrlKey && !event.altKey && event.keyCode === 83) { // Ctrl+S
      // The browser's own "save page" never applies here.
      event.preventDefault();
      V.save.save();
    }
  }

  // A click or a screen reader may still move the focus out of the box: it is brought back.
  function onFocusIn(event) {
    var box = $('about-box');
    if (!aboutOpen() || box.contains(event.target)) { return; }
    var items = focusables(box);
    if (items.length > 0) { items[0].focus(); }
  }

  function start() {
    document.addEventListener('keydown', onKeyDown, true);
    document.addEventListener('focusin', onFocusIn);
  }

  V.keys = { start: start };
}(Varenko));
