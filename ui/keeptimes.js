// The "Keep file times" setting: when it is on, the writes of document properties, EXIF items,
// media tags and AVI items leave each file's times as they were. The save runner asks on() for
// every request it sends; the setting is remembered between sessions.
(function (V) {
  'use strict';

  var SETTING = 'save.keeptimes';
  var on = false;

  function start() {
    var box = V.$('opt-keeptimes');
    on = V.native.getSetting(SETTING) === 'true';
    box.checked = on;
    box.onchange = function () {
      on = this.checked;
      V.native.setSetting(SETTING, on);
    };
  }

  V.keeptimes = {
    start: start,
    on: function () { return on; }
  };
}(Varenko));
