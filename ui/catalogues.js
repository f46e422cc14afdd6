// The property catalogues the page sends to the native side with "initproplist", one per
// category. The native side reports values as copies of these entries with "data" added, so every
// member here ("name", "readonly") comes back with the value.
var VarenkoCatalogues = (function () {
  'use strict';

  var SUMMARY = '{F29F85E0-4FF9-1068-AB91-08002B27B3D9}';
  var DOCSUMMARY = '{D5CDD502-2E9C-101B-9397-08002B2CF9AE}';

  function docEntry(id, fmtid, fmtname, type, readonly) {
    var entry = { id: id, fmtid: fmtid, fmtname: fmtname, type: type };
    if (readonly) { entry.readonly = true; }
    return entry;
  }

  var doc = {
    'Title': docEntry(2, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Subject': docEntry(3, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Author': docEntry(4, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Keywords': docEntry(5, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Comments': docEntry(6, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Template': docEntry(7, SUMMARY, 'Summary', 'VT_LPSTR', true),
    'Last saved by': docEntry(8, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Revision number': docEntry(9, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Total editing time': docEntry(10, SUMMARY, 'Summary', 'VT_FILETIME', true),
    'Last printed': docEntry(11, SUMMARY, 'Summary', 'VT_FILETIME'),
    'Content created': docEntry(12, SUMMARY, 'Summary', 'VT_FILETIME'),
    'Date last saved': docEntry(13, SUMMARY, 'Summary', 'VT_FILETIME'),
    'Pages': docEntry(14, SUMMARY, 'Summary', 'VT_I4', true),
    'Words': docEntry(15, SUMMARY, 'Summary', 'VT_I4', true),
    'Characters': docEntry(16, SUMMARY, 'Summary', 'VT_I4', true),
    'Program name': docEntry(18, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Category': docEntry(2, DOCSUMMARY, 'DocSummary', 'VT_LPSTR'),
    'Manager': docEntry(14, DOCSUMMARY, 'DocSummary', 'VT_LPSTR'),
    'Company': docEntry(15, DOCSUMMARY, 'DocSummary', 'VT_LPSTR')
  };

  function exifEntry(name, type, readonly) {
    var entry = { name: name, type: type };
    if (readonly) { entry.readonly = true; }
    return entry;
  }

  var exif = {
    '0x010E': exifEntry('Image description', 'ASCII'),
    '0x010F': exifEntry('Camera maker', 'ASCII'),
    '0x0110': exifEntry('Camera model', 'ASCII'),
    '0x0112': exifEntry('Orientation', 'Short'),
    '0x0131': exifEntry('Software', 'ASCII'),
    '0x0132': exifEntry('Date and time', 'ASCII'),
    '0x013B': exifEntry('Artist', 'ASCII'),
    '0x8298': exifEntry('Copyright', 'ASCII'),
    '0x829A': exifEntry('Exposure time', 'Rational', true),
    '0x829D': exifEntry('F-number', 'Rational', true),
    '0x8827': exifEntry('ISO speed', 'Short', true),
    '0x9003': exifEntry('Date taken', 'ASCII'),
    '0x9004': exifEntry('Date digitized', 'ASCII'),
    '0x920A': exifEntry('Focal length', 'Rational', true),
    '0xA002': exifEntry('Pixel width', 'Long', true),
    '0xA003': exifEntry('Pixel height', 'Long', true)
  };

  // Frame identifiers name the tags of MP3 files; property-map names those of every other kind.
  function frame(name) { return { name: name, type: 'String', route: 'id3' }; }
  function named(name) { return { name: name, type: 'String', route: 'map' }; }

  var media = {
    'TIT2': frame('Title'), 'TPE1': frame('Artist'), 'TALB': frame('Album'), 'TPE2': frame('Album artist'),
    'TCOM': frame('Composer'), 'TCON': frame('Genre'), 'TRCK': frame('Track'), 'TPOS': frame('Disc'),
    'TYER': frame('Year'), 'TDRC': frame('Recording date'), 'COMM': frame('Comment'),
    'TITLE': named('Title'), 'ARTIST': named('Artist'), 'ALBUM': named('Album'),
    'ALBUMARTIST': named('Album artist'), 'COMPOSER': named('Composer'), 'GENRE': named('Genre'),
    'TRACKNUMBER': named('Track'), 'DISCNUMBER': named('Disc'), 'DATE': named('Date'),
    'COMMENT': named('Comment')
  };

  var avi = {
    'INAM': { name: 'Title' }, 'IART': { name: 'Artist' }, 'ISBJ': { name: 'Subject' },
    'ICMT': { name: 'Comments' }, 'IKEY': { name: 'Keywords' }, 'IGNR': { name: 'Genre' },
    'ICRD': { name: 'Creation date' }, 'ICOP': { name: 'Copyright' }, 'IPRD': { name: 'Product' },
    'ISFT': { name: 'Software' }, 'ISRC': { name: 'Source' }, 'IENG': { name: 'Engineer' },
    'ITCH': { name: 'Technician' }
  };

  return { doc: doc, exif: exif, media: media, avi: avi };
}());
