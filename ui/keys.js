// Keys that work anywhere in the page: Ctrl+S saves. The keys of one part (the list, the tabs, a
// field, an open box) are handled by that part.
(function (V) {
  'use strict';

  function onKeyDown(event) {
    if (V.dialog.isOpen()) { return; }
    if (event.ctrlKey && !event.altKey && event.keyCode === 83) { // Ctrl+S
      // The browser's own "save page" never applies here.
      event.preventDefault();
      V.save.save();
    }
  }

  function start() {
    document.addEventListener('keydown', onKeyDown, true);
  }

  V.keys = { start: start };
}(Varenko));
