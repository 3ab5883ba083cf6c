// The PascalScript grammar in the grammar notation (see grammar.h). The IL element names it
// produces are the program builder's vocabulary: uses/file, const/ident, var/ident/type,
// array/dim, init, expr, op, number, string, set, range, dsgn/node/addr, compoundstmt,
// assignstmt, callstmt, break, continue, exit, ifstmt/thenstmt/elsestmt, casestmt/
// caseselector, repeatstmt, whilestmt, forstmt/ident/downto, trystmt/finallystmt/
// exceptstmt, with, procedure/function/name/type, parameters/varparams.
//
// In a designator, the expressions after a name node are its call arguments, and a node
// with the text "[" starts an index whose expressions follow it.
#include "script/language_registry.h"

namespace lgoty::script {

std::string_view PascalScriptGrammar() {
  static constexpr std::string_view kGrammar = R"XML(<?xml version="1.0"?>
<language text="PascalScript">
<parser>
<identchars text="_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"/>
<commentline1 text="//"/>
<commentblock1 text="{,}"/>
<commentblock2 text="(*,*)"/>
<stringquotes text="'"/>
<hexsequence text="$"/>
<declarevars text="1"/>
<casesensitive text="0"/>
</parser>
<keywords>
<and/><array/><begin/><break/><case/><const/><continue/><div/><do/><downto/><else/><end/>
<except/><exit/><finally/><for/><function/><goto/><if/><in/><is/><label/><mod/><not/><of/>
<or/><procedure/><program/><repeat/><shl/><shr/><then/><to/><try/><until/><uses/><var/>
<while/><with/><xor/>
</keywords>
<errors>
<err1 text="Identifier expected"/>
<err2 text="Expression expected"/>
<err3 text="Statement expected"/>
<err4 text="':' expected"/>
<err5 text="';' expected"/>
<err6 text="'.' expected"/>
<err7 text="')' expected"/>
<err8 text="']' expected"/>
<err9 text="'=' expected"/>
<err10 text="'BEGIN' expected"/>
<err11 text="'END' expected"/>
<err12 text="'OF' expected"/>
<err13 text="'THEN' expected"/>
<err14 text="'UNTIL' expected"/>
<err15 text="'TO' or 'DOWNTO' expected"/>
<err16 text="'DO' expected"/>
<err17 text="'FINALLY' or 'EXCEPT' expected"/>
<err18 text="'[' expected"/>
<err19 text="'..' expected"/>
<err20 text="'&gt;' expected"/>
</errors>
<types>
</types>
<program>
<optional><keyword text="PROGRAM"/><ident err="err1"/><char text=";" err="err5"/></optional>
<optional><usesclause/></optional>
<block/>
<char text="." err="err6"/>
</program>
<usesclause node="uses">
<keyword text="USES"/>
<loop text=","><string add="file" err="err1"/></loop>
<char text=";" err="err5"/>
</usesclause>
<block>
<optionalloop><declsection/></optionalloop>
<compoundstmt err="err10"/>
</block>
<declsection>
<switch><constsection/><varsection/><proceduredeclsection/></switch>
</declsection>
<constsection>
<keyword text="CONST"/>
<loop skip="1"><constantdecl/></loop>
</constsection>
<constantdecl node="const">
<ident add="ident" err="err1"/>
<char text="=" err="err9"/>
<expression err="err2"/>
<char text=";" err="err5"/>
</constantdecl>
<varsection>
<keyword text="VAR"/>
<loop skip="1"><varlist/><char text=";" err="err5"/></loop>
</varsection>
<varlist node="var">
<loop text=","><ident add="ident" err="err1"/></loop>
<char text=":" err="err4"/>
<typeident/>
<optional><initvalue/></optional>
</varlist>
<typeident>
<optional><array/></optional>
<ident add="type" err="err1"/>
</typeident>
<array node="array">
<keyword text="ARRAY"/>
<optional>
<char text="["/>
<loop text=","><arraydim/></loop>
<char text="]" err="err8"/>
</optional>
<keyword text="OF" err="err12"/>
</array>
<arraydim node="dim">
<expression err="err2"/>
<optional><char text="."/><char text="." skip="0"/><expression err="err2"/></optional>
</arraydim>
<initvalue node="init">
<char text="="/>
<expression err="err2"/>
</initvalue>
<expression node="expr">
<simpleexpression/>
<optionalloop><relop/><simpleexpression err="err2"/></optionalloop>
</expression>
<simpleexpression>
<switch>
<sequence><char text="-" add="op" addtext="unminus"/><term err="err2"/></sequence>
<term/>
</switch>
<optionalloop><addop/><term err="err2"/></optionalloop>
</simpleexpression>
<term>
<factor/>
<optionalloop><mulop/><factor err="err2"/></optionalloop>
</term>
<factor>
<switch>
<designator/>
<number add="number"/>
<string add="string"/>
<sequence><char text="("/><expression err="err2"/><char text=")" err="err7"/></sequence>
<sequence><keyword text="NOT" add="op" addtext="not"/><factor err="err2"/></sequence>
<sequence node="set"><char text="["/><char text="]"/></sequence>
<sequence><char text="["/><setconstructor/><char text="]" err="err8"/></sequence>
<sequence><char text="&lt;"/><frstring/><char text="&gt;" skip="0" err="err20"/></sequence>
</switch>
</factor>
<setconstructor node="set">
<loop text=","><setnode/></loop>
</setconstructor>
<setnode>
<expression/>
<optional><char text="."/><char text="." skip="0" add="range" addtext=".."/><expression err="err2"/></optional>
</setnode>
<relop>
<switch>
<sequence add="op" addtext="&gt;="><char text="&gt;"/><char text="=" skip="0"/></sequence>
<sequence add="op" addtext="&lt;&gt;"><char text="&lt;"/><char text="&gt;" skip="0"/></sequence>
<sequence add="op" addtext="&lt;="><char text="&lt;"/><char text="=" skip="0"/></sequence>
<char text="&gt;" add="op"/>
<char text="&lt;" add="op"/>
<char text="=" add="op"/>
<keyword text="IN" add="op"/>
<keyword text="IS" add="op"/>
</switch>
</relop>
<addop>
<switch>
<char text="+" add="op"/>
<char text="-" add="op"/>
<keyword text="OR" add="op"/>
<keyword text="XOR" add="op"/>
</switch>
</addop>
<mulop>
<switch>
<char text="*" add="op"/>
<char text="/" add="op"/>
<keyword text="DIV" add="op"/>
<keyword text="MOD" add="op"/>
<keyword text="AND" add="op"/>
<keyword text="SHL" add="op"/>
<keyword text="SHR" add="op"/>
</switch>
</mulop>
<designator node="dsgn">
<optional><char text="@" add="addr"/></optional>
<ident add="node"/>
<optionalloop>
<switch>
<sequence term="1"><char text="."/><keyword add="node" err="err1"/></sequence>
<sequence><char text="[" add="node"/><exprlist/><char text="]" err="err8"/></sequence>
<sequence><char text="("/><exprlist/><char text=")" err="err7"/></sequence>
</switch>
</optionalloop>
</designator>
<exprlist>
<optional>
<expression/>
<optionalloop><char text=","/><expression err="err2"/></optionalloop>
</optional>
</exprlist>
<statement>
<optionalswitch>
<assignstmt/>
<callstmt/>
<keyword text="BREAK" add="break"/>
<keyword text="CONTINUE" add="continue"/>
<keyword text="EXIT" add="exit"/>
<compoundstmt/>
<ifstmt/>
<casestmt/>
<repeatstmt/>
<whilestmt/>
<forstmt/>
<trystmt/>
<withstmt/>
</optionalswitch>
</statement>
<stmtlist>
<loop text=";"><statement/></loop>
</stmtlist>
<assignstmt node="assignstmt">
<designator/>
<char text=":"/>
<char text="=" skip="0" err="err9"/>
<expression err="err2"/>
</assignstmt>
<callstmt node="callstmt">
<designator/>
</callstmt>
<compoundstmt node="compoundstmt">
<keyword text="BEGIN"/>
<stmtlist/>
<keyword text="END" err="err5"/>
</compoundstmt>
<ifstmt node="ifstmt">
<keyword text="IF"/>
<expression err="err2"/>
<keyword text="THEN" err="err13"/>
<sequence node="thenstmt"><statement/></sequence>
<optional><keyword text="ELSE"/><sequence node="elsestmt"><statement/></sequence></optional>
</ifstmt>
<casestmt node="casestmt">
<keyword text="CASE"/>
<expression err="err2"/>
<keyword text="OF" err="err12"/>
<loop text=";" skip="1"><caseselector/></loop>
<optional><keyword text="ELSE"/><sequence node="elsestmt"><statement/></sequence></optional>
<optional><char text=";"/></optional>
<keyword text="END" err="err11"/>
</casestmt>
<caseselector node="caseselector">
<setconstructor/>
<char text=":" err="err4"/>
<statement/>
</caseselector>
<repeatstmt node="repeatstmt">
<keyword text="REPEAT"/>
<stmtlist/>
<keyword text="UNTIL" err="err14"/>
<expression err="err2"/>
</repeatstmt>
<whilestmt node="whilestmt">
<keyword text="WHILE"/>
<expression err="err2"/>
<keyword text="DO" err="err16"/>
<statement/>
</whilestmt>
<forstmt node="forstmt">
<keyword text="FOR"/>
<ident add="ident" err="err1"/>
<char text=":" err="err4"/>
<char text="=" skip="0" err="err9"/>
<expression err="err2"/>
<switch err="err15"><keyword text="TO"/><keyword text="DOWNTO" add="downto"/></switch>
<expression err="err2"/>
<keyword text="DO" err="err16"/>
<statement/>
</forstmt>
<trystmt node="trystmt">
<keyword text="TRY"/>
<stmtlist/>
<switch err="err17">
<sequence node="finallystmt"><keyword text="FINALLY"/><stmtlist/></sequence>
<sequence node="exceptstmt"><keyword text="EXCEPT"/><stmtlist/></sequence>
</switch>
<keyword text="END" err="err11"/>
</trystmt>
<withstmt node="with">
<keyword text="WITH"/>
<loop text="," err="err1"><designator/></loop>
<keyword text="DO" err="err16"/>
<statement/>
</withstmt>
<proceduredeclsection>
<switch><proceduredecl/><functiondecl/></switch>
</proceduredeclsection>
<proceduredecl node="procedure">
<keyword text="PROCEDURE"/>
<ident add="name" err="err1"/>
<optional><formalparameters/></optional>
<char text=";" err="err5"/>
<block/>
<char text=";" err="err5"/>
</proceduredecl>
<functiondecl node="function">
<keyword text="FUNCTION"/>
<ident add="name" err="err1"/>
<optional><formalparameters/></optional>
<char text=":" err="err4"/>
<ident add="type" err="err1"/>
<char text=";" err="err5"/>
<block/>
<char text=";" err="err5"/>
</functiondecl>
<formalparameters node="parameters">
<char text="("/>
<optional><loop text=";"><formalparam/></loop></optional>
<char text=")" err="err7"/>
</formalparameters>
<formalparam>
<optionalswitch><keyword text="VAR" add="varparams"/><keyword text="CONST"/></optionalswitch>
<varlist/>
</formalparam>
</language>
)XML";
  return kGrammar;
}

}  // namespace lgoty::script
