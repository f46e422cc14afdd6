// Outside the program's window there is no native window.external.JsonCommand. There, this
// stand-in takes its place and sends each request to the page relay (tools/page-relay.py), which
// hands it to the same command engine. The call stays synchronous, as the page expects.
(function () {
  // Inside the program's window the host's own object answers; a host object may even refuse to
  // be looked at, which also means it is the real one.
  try {
    var external = window.external;
    if (external && typeof external.JsonCommand !== 'undefined') return;
  } catch (e) {
    return;
  }

  // The relay takes commands only with the token of its run, which comes in the fragment of the
  // page address it printed (#token=...). It is read once: the page may change the fragment later.
  var tokenMatch = /(?:^#|&)token=([^&]*)/.exec(window.location.hash || '');
  var token = tokenMatch ? decodeURIComponent(tokenMatch[1]) : '';

  function jsonCommand(text) {
    var request = new XMLHttpRequest();
    request.open('POST', '/varenko/command', false);
    request.setRequestHeader('Content-Type', 'application/json; charset=utf-8');
    // Other sites cannot send this header at all, and other users cannot know the token.
    request.setRequestHeader('X-Varenko-Command', token);
    // The engine reads one request per line. Outside strings a line break is only white space,
    // and inside them JSON allows none, so a space keeps the meaning.
    request.send(String(text).replace(/[\r\n]/g, ' '));
    if (request.status !== 200) {
      // The engine died or refused the text: the page sees what a failed native call gives.
      if (window.console) window.console.error('command relay: ' + request.status + ' ' + request.responseText);
      return undefined;
    }
    var line = JSON.parse(request.responseText);
    // No "answer" is what the native call does for a request that is not JSON or failed inside.
    return typeof line.answer === 'string' ? line.answer : undefined;
  }

  window.external = { JsonCommand: jsonCommand };
})();
