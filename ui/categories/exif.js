// The EXIF tab: items of an image's EXIF block, keyed by tag number and written with their type.
(function (V) {
  'use strict';

  function entry(name, type, readonly) {
    var item = { name: name, type: type };
    if (readonly) { item.readonly = true; }
    return item;
  }

  var catalogue = {
    '0x010E': entry('Image description', 'ASCII'),
    '0x010F': entry('Camera maker', 'ASCII'),
    '0x0110': entry('Camera model', 'ASCII'),
    '0x0112': entry('Orientation', 'Short'),
    '0x0131': entry('Software', 'ASCII'),
    '0x0132': entry('Date and time', 'ASCII'),
    '0x013B': entry('Artist', 'ASCII'),
    '0x8298': entry('Copyright', 'ASCII'),
    '0x829A': entry('Exposure time', 'Rational', true),
    '0x829D': entry('F-number', 'Rational', true),
    '0x8827': entry('ISO speed', 'Short', true),
    '0x9003': entry('Date taken', 'ASCII'),
    '0x9004': entry('Date digitized', 'ASCII'),
    '0x920A': entry('Focal length', 'Rational', true),
    '0xA002': entry('Pixel width', 'Long', true),
    '0xA003': entry('Pixel height', 'Long', true)
  };

  V.addCategory({
    name: 'exif',
    tab: 'EXIF',
    title: 'EXIF items',
    catalogue: catalogue,
    members: function (answer) { return answer.exif; },
    item: function (value, known) { return { data: value, type: known.type }; }
  });
}(Varenko));
