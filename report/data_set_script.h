// Script classes of the report's data sets, the ADO components, the platform datasets and
// fields they hand out, and the dialog controls: registration modules for the script
// interpreter (script/bindings.h). Published properties (UserName, RangeEnd, SQL,
// CheckBox1.Checked, OnClick ...) come from the classes' property tables; these modules add
// the methods and run-time properties:
//
//   TfrxDataSet        Open Close First Next Prior Eof FieldsCount HasField IsBlobField
//                      RecordCount GetFieldList RecNo, Value[name] (default), DisplayText[name],
//                      DisplayWidth[name], FieldType[name]
//   TfrxCustomDBDataSet  Locate IsEmpty
//   TfrxDBDataset      Last FieldByName DataSet
//   TfrxCustomQuery    ParamByName Params (SQL is published: ADOQuery1.SQL.Add(s) reaches the
//                      platform query)
//   TfrxParams         Count IndexOf Items[i] (default);  TfrxParamItem  Value (published)
//   TfrxADOQuery       ExecSQL Query;  TfrxADOTable  Table;  TfrxADODatabase  Database
//   TDataSet, TADOQuery, TField, TADOConnection: the platform objects those return
//   TfrxDialogControl and every control class (published properties and events)
#pragma once

namespace lgoty::report {

// Adds the modules to the interpreter's process-wide list (once); every script that runs
// TfsScript::AddRTTI afterwards gets these classes.
void RegisterDataSetScriptClasses();

}  // namespace lgoty::report
