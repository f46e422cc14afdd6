// The layout: the width of the property panel (dragged with the splitter) and the window's size,
// both kept as settings by the native side.
(function (V) {
  'use strict';

  var $ = V.$;

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
    V.list.render();
    if (sizeTimer) { window.clearTimeout(sizeTimer); }
    sizeTimer = window.setTimeout(function () {
      var size = V.native.callJson({ cmd: 'getwinsize' });
      if (size && size.width > 0 && size.height > 0) { V.native.setSetting('window.size', JSON.stringify(size)); }
    }, 500);
  }

  function start() {
    var width = parseInt(V.native.getSetting('layout.propsWidth'), 10);
    if (width > 0) { setPropsWidth(width); }
    var size = V.native.getSetting('window.size');
    if (size) { V.native.call({ cmd: 'setwinsize', size: size }); }
    $('splitter').addEventListener('mousedown', startSplitter);
    window.addEventListener('resize', onResize);
  }

  V.layout = { start: start };
}(Varenko));
