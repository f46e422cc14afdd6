// The AVI tab: the items of an AVI file's INFO list, keyed by their four-letter identifiers.
(function (V) {
  'use strict';

  var catalogue = {
    'INAM': { name: 'Title' }, 'IART': { name: 'Artist' }, 'ISBJ': { name: 'Subject' },
    'ICMT': { name: 'Comments' }, 'IKEY': { name: 'Keywords' }, 'IGNR': { name: 'Genre' },
    'ICRD': { name: 'Creation date' }, 'ICOP': { name: 'Copyright' }, 'IPRD': { name: 'Product' },
    'ISFT': { name: 'Software' }, 'ISRC': { name: 'Source' }, 'IENG': { name: 'Engineer' },
    'ITCH': { name: 'Technician' }
  };

  V.addCategory({
    name: 'avi',
    tab: 'AVI',
    title: 'AVI INFO items',
    catalogue: catalogue,
    members: function (answer) { return answer.avi; },
    item: function (value) { return { data: value }; },
    // The INFO list is written whole, so the file's other items go with the changed ones.
    writtenWhole: true
  });
}(Varenko));
