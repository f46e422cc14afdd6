// The native side: everything it does goes through window.external.JsonCommand, one synchronous
// call per request, and it keeps the page's settings.
(function (V) {
  'use strict';

  // Returns the answer text, or undefined when the call gave none (not JSON, or a deep failure).
  function call(request) {
    try {
      var answer = window.external.JsonCommand(JSON.stringify(request));
      return typeof answer === 'string' ? answer : undefined;
    } catch (e) {
      return undefined;
    }
  }

  function callJson(request) {
    var answer = call(request);
    if (!answer) { return null; }
    try { return JSON.parse(answer); } catch (e) { return null; }
  }

  function getSetting(name) { return call({ cmd: 'getsetting', name: name }) || ''; }
  function setSetting(name, value) { call({ cmd: 'setsetting', name: name, value: String(value) }); }

  V.native = { call: call, callJson: callJson, getSetting: getSetting, setSetting: setSetting };
}(Varenko));
