// The Document tab: the summary and document summary properties of OLE documents. Each property is
// named by its key here, which the native side reports it under, and written by its property set,
// its number in that set and its type. A property the catalogue does not know comes back read-only
// under its set's "fmtname" and its number ("Summary-19").
(function (V) {
  'use strict';

  var SUMMARY = '{F29F85E0-4FF9-1068-AB91-08002B27B3D9}';
  var DOCSUMMARY = '{D5CDD502-2E9C-101B-9397-08002B2CF9AE}';

  function entry(id, fmtid, fmtname, type, readonly, label) {
    var item = { id: id, fmtid: fmtid, fmtname: fmtname, type: type };
    if (readonly) { item.readonly = true; }
    if (label) { item.label = label; }
    return item;
  }
  function summary(id, type, readonly, label) { return entry(id, SUMMARY, 'Summary', type, readonly, label); }
  function docSummary(id, type, readonly) { return entry(id, DOCSUMMARY, 'DocSummary', type, readonly); }

  var catalogue = {
    'Title': summary(2, 'VT_LPSTR'),
    'Subject': summary(3, 'VT_LPSTR'),
    'Author': summary(4, 'VT_LPSTR'),
    'Keywords': summary(5, 'VT_LPSTR'),
    'Comments': summary(6, 'VT_LPSTR'),
    'Template': summary(7, 'VT_LPSTR', true),
    'Last saved by': summary(8, 'VT_LPSTR'),
    'Revision number': summary(9, 'VT_LPSTR'),
    // The native side reads the editing time as hours, minutes and seconds, and takes that form
    // back only under this key.
    'EditTime': summary(10, 'VT_UI8', true, 'Total editing time'),
    'Last printed': summary(11, 'VT_FILETIME'),
    'Content created': summary(12, 'VT_FILETIME'),
    'Date last saved': summary(13, 'VT_FILETIME'),
    'Pages': summary(14, 'VT_I4', true),
    'Words': summary(15, 'VT_I4', true),
    'Characters': summary(16, 'VT_I4', true),
    'Program name': summary(18, 'VT_LPSTR'),
    'Category': docSummary(2, 'VT_LPSTR'),
    'Presentation format': docSummary(3, 'VT_LPSTR'),
    'Bytes': docSummary(4, 'VT_I4', true),
    'Lines': docSummary(5, 'VT_I4', true),
    'Paragraphs': docSummary(6, 'VT_I4', true),
    'Slides': docSummary(7, 'VT_I4', true),
    'Notes': docSummary(8, 'VT_I4', true),
    'Hidden slides': docSummary(9, 'VT_I4', true),
    'Multimedia clips': docSummary(10, 'VT_I4', true),
    'Titles of parts': docSummary(13, 'VT_VECTOR|VT_LPSTR', true),
    'Manager': docSummary(14, 'VT_LPSTR'),
    'Company': docSummary(15, 'VT_LPSTR'),
    'Characters with spaces': docSummary(17, 'VT_I4', true)
  };

  V.addCategory({
    name: 'doc',
    tab: 'Document',
    title: 'document properties',
    catalogue: catalogue,
    members: function (answer) { return answer.doc; },
    label: function (key, known) { return (known && known.label) || key; },
    item: function (value, known) {
      // A typed time goes in its 19-character form, the very time the page checked.
      var data = known.type === 'VT_FILETIME' ? V.datetime.normal(value) : value;
      return { data: data, fmtid: known.fmtid, id: String(known.id), type: known.type };
    }
  });
}(Varenko));
