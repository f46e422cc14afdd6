// The start of the page: the property catalogues go to the native side, every part is set up,
// and the toolbar, the About box and dropped files are wired. index.html loads this file last.
(function (V) {
  'use strict';

  var $ = V.$;
  var call = V.native.call;

  function addFromDialog(forFolder) {
    if (V.save.busy()) { return; }
    var request = {
      cmd: 'addfiles',
      forfolder: forFolder,
      subdir: forFolder && $('opt-subdir').checked,
      includedir: forFolder && $('opt-includedir').checked,
      dironly: false
    };
    var answer = V.intake.callDialog(request);
    if (!answer) { return; } // cancelled, or no dialog could be shown (the status then says so)
    var list;
    try { list = JSON.parse(answer); } catch (e) { list = null; }
    if (list && list.length !== undefined) { V.list.add(list); }
  }

  function openAbout() {
    V.setText($('about-version'), call({ cmd: 'getappver' }) || 'unknown');
    V.dialog.show($('about-box'), { focus: $('about-close') });
  }

  function startToolbar() {
    $('opt-subdir').checked = V.native.getSetting('addfolder.subdir') === 'true';
    $('opt-includedir').checked = V.native.getSetting('addfolder.includedir') === 'true';
    $('add-files').onclick = function () { addFromDialog(false); };
    $('add-folder').onclick = function () { addFromDialog(true); };
    $('opt-subdir').onchange = function () { V.native.setSetting('addfolder.subdir', this.checked); };
    $('opt-includedir').onchange = function () { V.native.setSetting('addfolder.includedir', this.checked); };
    $('remove').onclick = function () { V.list.removeSelected(); };
    $('clear').onclick = function () {
      V.list.removeAll();
      V.save.showFailures([]);
    };
  }

  function startAbout() {
    $('about').onclick = openAbout;
    $('about-close').onclick = function () { V.dialog.hide(); };
    var links = document.querySelectorAll('#about-box a[data-url]');
    for (var l = 0; l < links.length; l++) {
      links[l].onclick = function (e) { e.preventDefault(); call({ cmd: 'openurl', url: this.getAttribute('data-url') }); };
    }
  }

  // Dropped files arrive here from the native side, as the JSON text of an array of paths.
  window.onAddFiles = function (listText) {
    var list;
    try { list = JSON.parse(listText); } catch (e) { return; }
    if (list && list.length !== undefined) { V.list.add(list); }
  };

  function start() {
    for (var i = 0; i < V.categories.length; i++) {
      var category = V.categories[i];
      if (category.catalogue) {
        call({ cmd: 'initproplist', cat: category.name, props: JSON.stringify(category.catalogue) });
      }
    }
    startToolbar();
    V.layout.start();
    startAbout();
    V.progress.start();
    V.dialog.start();
    V.list.start();
    V.panel.start();
    V.save.start();
    V.keeptimes.start();
    V.undo.start();
    V.keys.start();
    V.timetools.start();
    // Files dropped on the page area go to the window; the page never opens them itself.
    document.addEventListener('dragover', function (e) { e.preventDefault(); });
    document.addEventListener('drop', function (e) { e.preventDefault(); });

    V.list.render();
    V.panel.render([]);
    V.status('Ready');
    // The files the program was started with, and the "Add paths" box.
    V.intake.start();
  }

  start();
}(Varenko));
