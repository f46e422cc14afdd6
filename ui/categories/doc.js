// The Document tab: the summary properties of OLE documents. Each property is named by its key
// here and written by its property set, its number in that set and its type.
(function (V) {
  'use strict';

  var SUMMARY = '{F29F85E0-4FF9-1068-AB91-08002B27B3D9}';
  var DOCSUMMARY = '{D5CDD502-2E9C-101B-9397-08002B2CF9AE}';

  function entry(id, fmtid, fmtname, type, readonly) {
    var item = { id: id, fmtid: fmtid, fmtname: fmtname, type: type };
    if (readonly) { item.readonly = true; }
    return item;
  }

  var catalogue = {
    'Title': entry(2, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Subject': entry(3, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Author': entry(4, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Keywords': entry(5, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Comments': entry(6, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Template': entry(7, SUMMARY, 'Summary', 'VT_LPSTR', true),
    'Last saved by': entry(8, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Revision number': entry(9, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Total editing time': entry(10, SUMMARY, 'Summary', 'VT_FILETIME', true),
    'Last printed': entry(11, SUMMARY, 'Summary', 'VT_FILETIME'),
    'Content created': entry(12, SUMMARY, 'Summary', 'VT_FILETIME'),
    'Date last saved': entry(13, SUMMARY, 'Summary', 'VT_FILETIME'),
    'Pages': entry(14, SUMMARY, 'Summary', 'VT_I4', true),
    'Words': entry(15, SUMMARY, 'Summary', 'VT_I4', true),
    'Characters': entry(16, SUMMARY, 'Summary', 'VT_I4', true),
    'Program name': entry(18, SUMMARY, 'Summary', 'VT_LPSTR'),
    'Category': entry(2, DOCSUMMARY, 'DocSummary', 'VT_LPSTR'),
    'Manager': entry(14, DOCSUMMARY, 'DocSummary', 'VT_LPSTR'),
    'Company': entry(15, DOCSUMMARY, 'DocSummary', 'VT_LPSTR')
  };

  V.addCategory({
    name: 'doc',
    tab: 'Document',
    title: 'document properties',
    catalogue: catalogue,
    members: function (answer) { return answer.doc; },
    label: function (key) { return key; },
    item: function (value, known) {
      return { data: value, fmtid: known.fmtid, id: String(known.id), type: known.type };
    }
  });
}(Varenko));
