// The Media tab: tags of audio and video files, as text.
(function (V) {
  'use strict';

  // Frame identifiers name the tags of MP3 files; property-map names those of every other kind.
  function frame(name) { return { name: name, type: 'String', route: 'id3' }; }
  function named(name) { return { name: name, type: 'String', route: 'map' }; }

  var catalogue = {
    'TIT2': frame('Title'), 'TPE1': frame('Artist'), 'TALB': frame('Album'), 'TPE2': frame('Album artist'),
    'TCOM': frame('Composer'), 'TCON': frame('Genre'), 'TRCK': frame('Track'), 'TPOS': frame('Disc'),
    'TYER': frame('Year'), 'TDRC': frame('Recording date'), 'COMM': frame('Comment'),
    'TITLE': named('Title'), 'ARTIST': named('Artist'), 'ALBUM': named('Album'),
    'ALBUMARTIST': named('Album artist'), 'COMPOSER': named('Composer'), 'GENRE': named('Genre'),
    'TRACKNUMBER': named('Track'), 'DISCNUMBER': named('Disc'), 'DATE': named('Date'),
    'COMMENT': named('Comment')
  };

  function allMp3(files) {
    if (files.length === 0) { return false; }
    for (var i = 0; i < files.length; i++) { if (!/\.mp3$/i.test(files[i].path)) { return false; } }
    return true;
  }

  V.addCategory({
    name: 'media',
    tab: 'Media',
    title: 'media tags',
    catalogue: catalogue,
    members: function (answer) { return answer.media; },
    // A new tag is offered in the form every selected file takes.
    canAdd: function (known, files) { return known.route === (allMp3(files) ? 'id3' : 'map'); },
    item: function (value) { return { data: value }; }
  });
}(Varenko));
