// The AVI tab: the items of an AVI file's INFO list, keyed by their four-letter identifiers. The
// catalogue holds the standard identifiers, the most used first, as the list of properties to add.
(function (V) {
  'use strict';

  var catalogue = {
    'INAM': { name: 'Title' }, 'IART': { name: 'Artist' }, 'ISBJ': { name: 'Subject' },
    'ICMT': { name: 'Comments' }, 'IKEY': { name: 'Keywords' }, 'IGNR': { name: 'Genre' },
    'ICRD': { name: 'Creation date' }, 'ICOP': { name: 'Copyright' }, 'IPRD': { name: 'Product' },
    'ISFT': { name: 'Software' }, 'ISRC': { name: 'Source' }, 'IENG': { name: 'Engineer' },
    'ITCH': { name: 'Technician' }, 'ILNG': { name: 'Language' },
    'IARL': { name: 'Archival location' }, 'ICMS': { name: 'Commissioned by' },
    'ICRP': { name: 'Cropped' }, 'IDIM': { name: 'Dimensions' }, 'IDPI': { name: 'Dots per inch' },
    'ILGT': { name: 'Lightness' }, 'IMED': { name: 'Medium' }, 'IPLT': { name: 'Palette setting' },
    'ISHP': { name: 'Sharpness' }, 'ISRF': { name: 'Source form' }
  };

  V.addCategory({
    name: 'avi',
    tab: 'AVI',
    title: 'AVI INFO items',
    kinds: ['avi'],
    kindsText: 'AVI files',
    catalogue: catalogue,
    members: function (answer) { return answer.avi; },
    item: function (value) { return { data: value }; },
    // The INFO list is written whole, so the file's other items go with the changed ones; items
    // the catalogue does not know are never shown, and the native side keeps them as they are.
    writtenWhole: true
  });
}(Varenko));
