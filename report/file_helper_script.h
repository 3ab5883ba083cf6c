// Script classes of the helpers a template script may use besides the report's objects:
// settings files and XML documents. Registration modules for the script interpreter
// (script/bindings.h), added to every report's script:
//
//   TIniFile       constructor Create(FileName); ReadString WriteString ReadInteger
//                  WriteInteger ReadBool WriteBool ReadFloat WriteFloat SectionExists
//                  ValueExists ReadSection ReadSections ReadSectionValues EraseSection
//                  DeleteKey UpdateFile; FileName (report/ini_file.h)
//   TMemIniFile    the same, written only by UpdateFile
//   TfrxXMLDocument  constructor Create; Root AutoIndent Clear LoadFromFile SaveToFile
//   TfrxXMLItem    Name Text Value Count Parent Items[i] (default) Prop[name] Add Clear
//                  Find FindItem IndexOf Delete (core/xml_document.h)
//
// XML items reach the script as objects that the document object keeps: an item taken
// out of the tree (Delete, Clear, LoadFromFile) leaves its object behind, and using that
// object raises "XML item was freed" instead of reaching freed memory.
#pragma once

namespace lgoty::report {

// Adds the module to the interpreter's process-wide list (once).
void RegisterFileHelperScriptClasses();

}  // namespace lgoty::report
