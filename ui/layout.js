// The layout: the width of the property panel (dragged with the splitter, or moved with its arrow
// keys) and the window's size, both kept as settings by the native side.
(function (V) {
  'use strict';

  var $ = V.$;

  var MIN_WIDTH = 300;
  var KEY_STEP = 20;

  function maxWidth() { return Math.max(MIN_WIDTH, document.documentElement.clientWidth - 320); }

  function setPropsWidth(width) {
    width = Math.max(MIN_WIDTH, Math.min(width, maxWidth()));
    $('props-panel').style.width = width + 'px';
    $('list-pane').style.right = width + 'px';
    var splitter = $('splitter');
    splitter.style.right = (width - 3) + 'px';
    splitter.setAttribute('aria-valuemin', String(MIN_WIDTH));
    splitter.setAttribute('aria-valuemax', String(maxWidth()));
    splitter.setAttribute('aria-valuenow', String(width));
    return width;
  }

  // The width is kept once the keys have stopped for a moment.
  var keepTimer = null;
  function keepWidth(width) {
    if (keepTimer) { window.clearTimeout(keepTimer); }
    keepTimer = window.setTimeout(function () {
      keepTimer = null;
      V.native.setSetting('layout.propsWidth', width);
    }, 400);
  }

  // Left widens the panel and Right narrows it, as the splitter moves; Home and End go to the ends.
  function onSplitterKey(event) {
    var width = $('props-panel').offsetWidth;
    var wanted = { 37: width + KEY_STEP, 39: width - KEY_STEP, 36: maxWidth(), 35: MIN_WIDTH }[event.keyCode];
    if (wanted === undefined) { return; }
    event.preventDefault();
    keepWidth(setPropsWidth(wanted));
    V.list.render();
  }

  function startSplitter(event) {
    event.preventDefault();
    var startX = event.clientX;
    var startWidth = $('props-panel').offsetWidth;
    var width = startWidth;
    function move(e) { width = setPropsWidth(startWidth + startX - e.clientX); V.list.render(); }
    function up() {
      document.removeEventListener('mousemove', move);
      document.removeEventListener('mouseup', up);
      V.native.setSetting('layout.propsWidth', width);
    }
    document.addEventListener('mousemove', move);
    document.addEventListener('mouseup', up);
  }

  // The window's size is kept once resizing has stopped for a moment.
  var sizeTimer = null;
  function onResize() {
    $('splitter').setAttribute('aria-valuemax', String(maxWidth()));
    V.list.render();
    if (sizeTimer) { window.clearTimeout(sizeTimer); }
    sizeTimer = window.setTimeout(function () {
      var size = V.native.callJson({ cmd: 'getwinsize' });
      if (size && size.width > 0 && size.height > 0) { V.native.setSetting('window.size', JSON.stringify(size)); }
    }, 500);
  }

  function start() {
    var width = parseInt(V.native.getSetting('layout.propsWidth'), 10);
    setPropsWidth(width > 0 ? width : $('props-panel').offsetWidth);
    var size = V.native.getSetting('window.size');
    if (size) { V.native.call({ cmd: 'setwinsize', size: size }); }
    $('splitter').addEventListener('mousedown', startSplitter);
    $('splitter').addEventListener('keydown', onSplitterKey);
    window.addEventListener('resize', onResize);
  }

  V.layout = { start: start };
}(Varenko));
