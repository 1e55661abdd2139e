/* The grammar of criteria texts. Every expression ends with a newline;
   "and" and "or" bind equally and group to the right; a comparison names
   exactly one column and one value, in either order. */

%code requires {
#include "store/criteria_parse.h"
}

%code {
/* The parser's stack starts with room for 200 entries and doubles when
   full, up to 10000; a text that needs more fails as "memory exhausted". */
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000

int kvcriterialex(KVCRITERIASTYPE* value, void* scanner);

namespace {
/* A syntax error ends the parse quietly: the callers only see no result. */
void kvcriteriaerror(void*, kv::CriteriaParse&, const char*) {}
}  // namespace
}

%define api.pure full
%define api.prefix {kvcriteria}
%define parse.error simple
%lex-param {void* scanner}
%parse-param {void* scanner} {kv::CriteriaParse& parse}
%expect 0

%union {
  kv::CriteriaToken token;
  kv::CriteriaNode* node;
  std::uint8_t op;
}

/* The codes the scanner hands over. */
%token <token> VALUE 257 IDENTIFIER 258
%token LT 259 GT 260 GE 261 LE 262 EQ 263 NE 264 AND 265 OR 266
/* A byte that no lexical rule accepts; no rule accepts the token. */
%token INVALID 267

%type <node> expr
%type <op> op

%destructor { kv::FreeCriteria($$); } <node>

%right AND OR

%%

criteria
  : %empty
  | criteria expr '\n'  { parse.TakeLine($2); }
  ;

expr
  : IDENTIFIER op VALUE  { $$ = kv::MakeCriteriaLeaf($1, $3, $2); if (!$$) YYNOMEM; }
  | VALUE op IDENTIFIER  { $$ = kv::MakeCriteriaLeaf($3, $1, kv::MirrorCriteriaOperator($2)); if (!$$) YYNOMEM; }
  | expr AND expr        { $$ = kv::MakeCriteriaInner(kv::CRITERIA_AND, $1, $3); if (!$$) YYNOMEM; }
  | expr OR expr         { $$ = kv::MakeCriteriaInner(kv::CRITERIA_OR, $1, $3); if (!$$) YYNOMEM; }
  | '(' expr ')'         { $$ = $2; }
  ;

op
  : LT  { $$ = kv::CRITERIA_LT; }
  | GT  { $$ = kv::CRITERIA_GT; }
  | LE  { $$ = kv::CRITERIA_LE; }
  | GE  { $$ = kv::CRITERIA_GE; }
  | EQ  { $$ = kv::CRITERIA_EQ; }
  | NE  { $$ = kv::CRITERIA_NE; }
  ;

%%

namespace kv {

int RunCriteriaParser(void* scanner, CriteriaParse& parse) { return kvcriteriaparse(scanner, parse); }

}  // namespace kv
