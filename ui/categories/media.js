// The Media tab: tags of audio and video files, as text.
//
// How a save reaches a file depends on its route, which the native side takes from the last four
// characters of the name. An ".mp3" file is written frame by frame: a member sets every frame of
// its identifier, so only the changed values are sent. Every other file is written as a whole set:
// a key the request lacks is removed, so everything the file showed goes back with the changes.
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

  function isMp3(path) { return /\.mp3$/i.test(path); }
  // MP4 and ASF files take their whole set on a write: a key left out is removed. Every other
  // format changes only the keys sent, and an empty text removes one.
  function isWholeSet(path) { return /(\.mp4|\.m4a|\.m4p|\.m4b|\.3g2|\.mov|\.wma|\.wmv|\.asf)$/i.test(path); }

  function allMp3(files) {
    if (files.length === 0) { return false; }
    for (var i = 0; i < files.length; i++) { if (!isMp3(files[i].path)) { return false; } }
    return true;
  }

  // `file` is the file the answer was read from: its name decides the route.
  function requests(changed, answer, file) {
    if (answer.failed) {
      return [{ cat: 'media', skipped: 'Its properties could not be read, so they were not changed' }];
    }
    var whole = !isMp3(file.path);
    var current = answer.media || {};
    var items = {};
    var k;
    if (whole) {
      var read = V.keysOf(current);
      for (k = 0; k < read.length; k++) {
        var entry = current[read[k]];
        items[read[k]] = { data: entry && entry.data !== undefined ? String(entry.data) : '' };
      }
    }
    var keys = V.keysOf(changed);
    for (k = 0; k < keys.length; k++) {
      // Emptying a field removes the tag rather than storing an empty text.
      if (whole && changed[keys[k]] === '' && isWholeSet(file.path)) {
        delete items[keys[k]];
      } else {
        items[keys[k]] = { data: changed[keys[k]] };
      }
    }
    return [{ cat: 'media', props: { media: items } }];
  }

  V.addCategory({
    name: 'media',
    tab: 'Media',
    title: 'media tags',
    // The audio and video files the tag library reads: the routes above, and the formats whose
    // property maps it offers.
    kinds: ['mp3', 'mp4', 'm4a', 'm4p', 'm4b', 'm4r', 'm4v', '3g2', '3gp', 'mov', 'wma', 'wmv', 'asf',
      'mp2', 'aac', 'ogg', 'oga', 'opus', 'spx', 'flac', 'mpc', 'wv', 'tta', 'wav', 'aif', 'aiff',
      'aifc', 'ape', 'dsf', 'dff', 'mod', 's3m', 'it', 'xm', 'shn'],
    kindsText: 'audio and video files',
    catalogue: catalogue,
    members: function (answer) { return answer.media; },
    // A new tag is offered in the form every selected file takes.
    canAdd: function (known, files) { return known.route === (allMp3(files) ? 'id3' : 'map'); },
    item: function (value) { return { data: value }; },
    requests: requests
  });
}(Varenko));
