#pragma once

#include <map>
#include <memory>
#include <set>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNUString.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class AttributeInterface;

// Parses a short expression over named attributes, checks that every name it
// uses is offered, and evaluates it again and again against changing values.
//
// Grammar, from the lowest precedence up; chains associate to the left:
//   or-expression   and-expression { ("OR" | "or") and-expression }
//   and-expression  equality { ("AND" | "and") equality }
//   equality        relation { ("=" | "!=") relation }
//   relation        sum { ("<" | ">") sum }
//   sum             product { ("+" | "-") product }
//   product         power { ("*" | "/") power }
//   power           factor { "^" factor }
//   factor          number | '"' quoted name '"' | identifier
//                   | "(" inner ")" | "-" factor
// The start rule and the inner rule of parentheses are the sum for
// kEvalNumeric and the or-expression otherwise. Blanks (space, \t, \n, \v,
// \f, \r) are skipped before tokens, never after the last one; the whole text
// must be consumed. Letters, digits and blanks are those of the "C" locale.
//
// A number is an optional "-" and one or more reals written together (a real:
// optional sign, digits, optional "." and fraction digits, no exponent); its
// value is its leading real, so 1+2 is the number 1. An identifier is letters,
// digits and "_"; a quoted name starts with a letter and may hold blanks.
//
// Failures are reported on standard output ("Failed to parse input
// expression", or "Unable to validate the input.  Unknown variable: " and the
// name) and as kErrInvalidExpression.
//
// Time and memory of set and getRequiredAttributes grow in proportion to the
// length of the text, beside the look-ups of its names in sets and maps;
// those of evaluate grow with the size of the parse and the number of
// variables.
//
// Stack: every call, the destructor included, runs on a host thread of
// 64 KiB for any text, besides what the host's own AttributeInterface calls
// take. Chains of operators of any length are read, walked and released in
// loops; only parentheses and unary minus signs, at most kMaxNesting open at
// once, add frames. Measured in an optimised x86-64 build: under 5 KiB for
// a text without them, about 0.1 KiB more per minus sign and 0.3 KiB per
// parenthesis, about 13 KiB for the deepest accepted text.
//
// One thread at a time: evaluate writes the variables.
class ZORV_EXPORT ExpressionEvaluator {
public:
    enum EvalType : int { kEvalBoolean = 0, kEvalNumeric = 1 };

    // The longest text accepted, 64 KiB, in characters (UTF-16 units, as
    // many as the narrow text has bytes). Longer texts fail to parse, with
    // the first message, before any of them is read.
    static constexpr unsigned kMaxExpressionLength = 65536;
    // Parentheses and unary minus signs open at once; deeper texts fail to
    // parse (with the first message). Chains of operators do not count.
    static constexpr unsigned kMaxNesting = 32;

    // Every value other than kEvalNumeric behaves as kEvalBoolean.
    explicit ExpressionEvaluator(EvalType type);
    ExpressionEvaluator(ExpressionEvaluator const&) = delete;
    ExpressionEvaluator& operator=(ExpressionEvaluator const&) = delete;
    ~ExpressionEvaluator();

    // Stores the expression, parses and validates it against the offered
    // names; names it uses are entered into the variables. 0, or
    // kErrInvalidExpression for an empty text (silently), a text that does
    // not parse and one that does not validate (each with its message). An
    // empty text keeps the previous parse. Memory running out lets
    // std::bad_alloc through and leaves no parse: evaluate then returns false
    // until a later set or getRequiredAttributes parses a text.
    long set(ZELUNUString const& expression, AttributeInterface& attributes);

    // Refreshes every variable through getValue (in name order), then
    // evaluates the last parse. When the last parse did not match the whole
    // text (or there was none), `out` becomes 0.0 or false and the result is
    // false; otherwise true. A NodeIteratorAttrI (exactly that class) is
    // read without looking its names up at every call.
    bool evaluate(AttributeInterface& attributes, double& out);
    bool evaluate(AttributeInterface& attributes, bool& out);

    // The names of the variables: every name accepted so far.
    std::set<ZELUNUString> getNeededVars() const;
    // The names the expression uses, in the order validation meets them, up
    // to where validation would fail for another reason than a missing name;
    // empty for an empty or unparsable text. Replaces the last parse (except
    // for an empty text) and enters the names into the variables.
    std::set<ZELUNUString> getRequiredAttributes(ZELUNUString const& expression);

protected:
    // A node of the parse tree (defined where the grammar is).
    struct Node;

    // What set does once the text is stored: parses it and validates it
    // against the offered names; false with the failure's message.
    bool validate(AttributeInterface& attributes);
    // The walks of validation: a numeric operand, and a condition. Each
    // returns false at the first failure; a missing name is reported.
    bool validateExpression(Node const& node, std::set<ZELUNUString> const& available, ZELUNUString& reportedName);
    bool validateBoolExpression(Node const& node, std::set<ZELUNUString> const& available,
                                ZELUNUString& reportedName);
    // The meaning of a tree, walked directly: the value of a numeric operand
    // and of a condition over the given variables. evaluate runs a compiled
    // form of the same rules.
    double evaluateExpression(Node const& node, std::map<ZELUNUString, double> const& variables) const;
    bool evaluateBoolExpression(Node const& node, std::map<ZELUNUString, double> const& variables) const;

private:
    struct Impl;

    bool validateWalk(Node const& node, bool condition, std::set<ZELUNUString> const& available,
                      ZELUNUString& reportedName);
    // Reads the variables; false when there is no parse to evaluate.
    bool refresh(AttributeInterface& attributes);

    ZELUNUString m_text;
    std::map<ZELUNUString, double> m_variables;
    EvalType m_evalType;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
