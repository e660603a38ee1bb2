#include "zorvsupport/surface/ExpressionEvaluator.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

// GCC's maybe-uninitialized analysis flags the empty Boost.Optional values of
// Spirit's failed matches once inlined (optimised and sanitised builds); they
// are never read. The pragma precedes the headers it must cover.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <boost/spirit/include/classic_ast.hpp>
#include <boost/spirit/include/classic_chset.hpp>
#include <boost/spirit/include/classic_core.hpp>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/surface/AttributeInterface.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace sp = boost::spirit::classic;

namespace {

// The grammar levels and token kinds, as the ids of the tree's nodes (0 is
// Spirit's "unset").
enum Level : long {
    kOrLevel = 1,
    kAndLevel,
    kEqualityLevel,
    kRelationLevel,
    kSumLevel,
    kProductLevel,
    kPowerLevel,
    kFactorLevel,
    kNumberToken,
    kIdentifierToken,
    kQuotedToken
};

using Iter = char const*;
using Factory = sp::node_iter_data_factory<>;
using CharClass = sp::chset<char>;
using Scanner = sp::scanner<Iter, sp::scanner_policies<sp::skip_parser_iteration_policy<CharClass>,
                                                       sp::ast_match_policy<Iter, Factory>>>;
template <long L>
using Rule = sp::rule<Scanner, sp::parser_context<>, sp::parser_tag<L>>;
using TreeNode = sp::tree_match<Iter, Factory>::node_t;
using Trees = sp::tree_match<Iter, Factory>::container_t;

// Matches its subject only while fewer than kMaxNesting + 1 of its matches
// are open: wrapped around the factor, it bounds the nesting of parentheses
// and unary minus signs.
template <class Subject>
class NestingGuard : public sp::unary<Subject, sp::parser<NestingGuard<Subject>>> {
public:
    using self_t = NestingGuard;
    template <class ScannerT>
    struct result {
        using type = typename sp::parser_result<Subject, ScannerT>::type;
    };

    NestingGuard(Subject const& subject, unsigned& depth)
        : sp::unary<Subject, sp::parser<NestingGuard>>(subject), m_depth(&depth)
    {
    }

    template <class ScannerT>
    typename sp::parser_result<self_t, ScannerT>::type parse(ScannerT const& scan) const
    {
        if (*m_depth > ExpressionEvaluator::kMaxNesting) return scan.no_match();
        ++*m_depth;
        typename sp::parser_result<self_t, ScannerT>::type hit = this->subject().parse(scan);
        --*m_depth;
        return hit;
    }

private:
    unsigned* m_depth;
};

template <class Subject>
NestingGuard<Subject> nestingGuard(Subject const& subject, unsigned& depth)
{
    return NestingGuard<Subject>(subject, depth);
}

// What a tree node means.
enum class Op : std::uint8_t {
    kNumber,
    kName,
    kNegate,
    kPower,
    kTimes,
    kDivide,
    kPlus,
    kMinus,
    kAnd,
    kOr,
    kLess,
    kGreater,
    kEqual,
    kNotEqual,
    kOther
};

Op classify(TreeNode const& node)
{
    long const level = node.value.id().to_long();
    std::size_t const children = node.children.size();
    char const c = node.value.begin() == node.value.end() ? '\0' : *node.value.begin();
    switch (level) {
    case kNumberToken:
        return Op::kNumber;
    case kIdentifierToken:
    case kQuotedToken:
        return Op::kName;
    case kFactorLevel:
        return children == 1 && c == '-' ? Op::kNegate : Op::kOther;
    default:
        break;
    }
    if (children != 2) return Op::kOther;
    switch (level) {
    case kPowerLevel:
        return c == '^' ? Op::kPower : Op::kOther;
    case kProductLevel:
        return c == '*' ? Op::kTimes : c == '/' ? Op::kDivide : Op::kOther;
    case kSumLevel:
        return c == '+' ? Op::kPlus : c == '-' ? Op::kMinus : Op::kOther;
    case kRelationLevel:
        return c == '<' ? Op::kLess : c == '>' ? Op::kGreater : Op::kOther;
    case kEqualityLevel:
        return c == '=' ? Op::kEqual : c == '!' ? Op::kNotEqual : Op::kOther;
    case kAndLevel:
        return Op::kAnd;
    case kOrLevel:
        return Op::kOr;
    default:
        return Op::kOther;
    }
}

bool isArithmetic(Op op)
{
    return op >= Op::kPower && op <= Op::kMinus;
}

bool isComparison(Op op)
{
    return op >= Op::kLess && op <= Op::kNotEqual;
}

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A name leaf's name: the token, without the blanks a quoted name may end in.
ZELUNUString nameOf(TreeNode const& node)
{
    Iter const begin = node.value.begin();
    Iter end = node.value.end();
    while (end != begin && isBlank(end[-1])) --end;
    return ZELUNUString(std::string(begin, end));
}

// A number token's value: its leading real as atof reads it in the "C"
// locale, whatever the process locale.
double numberOf(TreeNode const& node)
{
    static locale_t const cLocale = newlocale(LC_NUMERIC_MASK, "C", locale_t(nullptr));
    std::string const token(node.value.begin(), node.value.end());
    return cLocale ? strtod_l(token.c_str(), nullptr, cLocale) : strtod(token.c_str(), nullptr);
}

double apply(Op op, double left, double right)
{
    switch (op) {
    case Op::kPower:
        return std::pow(left, right);
    case Op::kTimes:
        return left * right;
    case Op::kDivide:
        return left / right;
    case Op::kPlus:
        return left + right;
    default:
        return left - right;
    }
}

bool compare(Op op, double left, double right)
{
    switch (op) {
    case Op::kLess:
        return left < right;
    case Op::kGreater:
        return left > right;
    case Op::kEqual:
        return left == right;
    default:
        return left != right;
    }
}

// Names a validation with the names collected so far would report, in the
// order it reports them: each is collected (and entered into the variables)
// where validation would stop for it. False where validation would fail for
// another reason.
bool collectNames(TreeNode const& node, bool condition, std::set<ZELUNUString>& collected,
                  std::map<ZELUNUString, double>& variables)
{
    Op const op = classify(node);
    if (condition) {
        if (op == Op::kAnd || op == Op::kOr)
            return collectNames(node.children[0], true, collected, variables) &&
                   collectNames(node.children[1], true, collected, variables);
        if (!isComparison(op)) return false;
        return collectNames(node.children[0], false, collected, variables) &&
               collectNames(node.children[1], false, collected, variables);
    }
    if (op == Op::kName) {
        ZELUNUString name = nameOf(node);
        variables[name] = 0.0;
        collected.insert(std::move(name));
        return true;
    }
    if (op == Op::kNumber) return true;
    if (op == Op::kNegate) return collectNames(node.children[0], false, collected, variables);
    if (!isArithmetic(op)) return false;
    return collectNames(node.children[0], false, collected, variables) &&
           collectNames(node.children[1], false, collected, variables);
}

}  // namespace

struct ExpressionEvaluator::Node {
    TreeNode const& tree;
};

// The grammar, the last parse and its compiled form.
struct ExpressionEvaluator::Impl {
    explicit Impl(bool numericType);
    Impl(Impl const&) = delete;
    Impl& operator=(Impl const&) = delete;

    // Replaces the last parse with the parse of `text`; true when it matched
    // the whole text.
    bool parse(ZELUNUString const& text);
    TreeNode const& root() const { return trees.front(); }

    // Turns the last full parse into `code`; name leaves point into
    // `variables` (0.0 for a name not there).
    void compile(std::map<ZELUNUString, double> const& variables);
    std::uint32_t compileNode(TreeNode const& node, std::map<ZELUNUString, double> const& variables);
    double number(std::uint32_t i) const;
    bool condition(std::uint32_t i) const;
    // number(), with the leaves read in place (most operands are leaves).
    double operand(std::uint32_t i) const
    {
        Code const& c = code[i];
        if (c.op == Op::kName) return *c.variable;
        return c.op == Op::kNumber ? c.value : number(i);
    }

    // One node of the compiled form: a number, a name (its value in the
    // variables) or an operator over the nodes `left` and `right`.
    struct Code {
        Op op;
        std::uint32_t left;
        std::uint32_t right;
        double value;
        double const* variable;
    };

    bool numeric;
    CharClass blanks{"\t\n\v\f\r "};
    CharClass letters{"A-Za-z"};
    CharClass digits{"0-9"};
    Rule<kOrLevel> orExpr;
    Rule<kAndLevel> andExpr;
    Rule<kEqualityLevel> equality;
    Rule<kRelationLevel> relation;
    Rule<kSumLevel> sum;
    Rule<kProductLevel> product;
    Rule<kPowerLevel> power;
    Rule<kFactorLevel> factor;
    Rule<kNumberToken> numberToken;
    Rule<kIdentifierToken> identifier;
    Rule<kQuotedToken> quoted;

    // Factors open while parsing.
    unsigned depth = 0;
    // The parsed text; the tree points into it.
    std::string source;
    Trees trees;
    bool parsed = false;
    std::vector<Code> code;
    std::uint32_t codeRoot = 0;

private:
    template <class Inner>
    void defineFactor(Inner const& inner);
};

ExpressionEvaluator::Impl::Impl(bool numericType) : numeric(numericType)
{
    auto const real = !(sp::ch_p('+') | sp::ch_p('-')) >>
                      ((+digits >> !(sp::ch_p('.') >> *digits)) | (sp::ch_p('.') >> +digits));
    numberToken = sp::lexeme_d[sp::token_node_d[!sp::ch_p('-') >> +real]];
    identifier = sp::lexeme_d[sp::token_node_d[+(letters | digits | sp::ch_p('_'))]];
    quoted = sp::lexeme_d[sp::token_node_d[letters >> *(letters | digits | sp::ch_p('_') | blanks)]];

    orExpr = andExpr >> *(sp::root_node_d[sp::str_p("OR") | sp::str_p("or")] >> andExpr);
    andExpr = equality >> *(sp::root_node_d[sp::str_p("AND") | sp::str_p("and")] >> equality);
    equality = relation >> *(sp::root_node_d[sp::ch_p('=') | sp::str_p("!=")] >> relation);
    relation = sum >> *(sp::root_node_d[sp::ch_p('<') | sp::ch_p('>')] >> sum);
    sum = product >> *(sp::root_node_d[sp::ch_p('+') | sp::ch_p('-')] >> product);
    product = power >> *(sp::root_node_d[sp::ch_p('*') | sp::ch_p('/')] >> power);
    power = factor >> *(sp::root_node_d[sp::ch_p('^')] >> factor);
    if (numeric)
        defineFactor(sum);
    else
        defineFactor(orExpr);
}

template <class Inner>
void ExpressionEvaluator::Impl::defineFactor(Inner const& inner)
{
    factor = nestingGuard(numberToken | sp::inner_node_d[sp::ch_p('"') >> quoted >> sp::ch_p('"')] | identifier |
                              sp::inner_node_d[sp::ch_p('(') >> inner >> sp::ch_p(')')] |
                              (sp::root_node_d[sp::ch_p('-')] >> factor),
                          depth);
}

bool ExpressionEvaluator::Impl::parse(ZELUNUString const& text)
{
    trees.clear();
    code.clear();
    parsed = false;
    // Checked on the UTF-16 length before any conversion: the narrow text is
    // never longer.
    if (text.length() > static_cast<std::int32_t>(kMaxExpressionLength)) return false;
    source = text.toNarrow();
    depth = 0;
    Iter const first = source.data();
    Iter const last = first + source.size();
    sp::tree_parse_info<Iter, Factory> info = numeric ? sp::ast_parse(first, last, sum, blanks, Factory())
                                                      : sp::ast_parse(first, last, orExpr, blanks, Factory());
    if (!info.full || info.trees.size() != 1) return false;
    trees.swap(info.trees);
    parsed = true;
    return true;
}

void ExpressionEvaluator::Impl::compile(std::map<ZELUNUString, double> const& variables)
{
    code.clear();
    if (parsed) codeRoot = compileNode(root(), variables);
}

std::uint32_t ExpressionEvaluator::Impl::compileNode(TreeNode const& node,
                                                     std::map<ZELUNUString, double> const& variables)
{
    Code c{classify(node), 0, 0, 0.0, nullptr};
    if (c.op == Op::kNumber) {
        c.value = numberOf(node);
    } else if (c.op == Op::kName) {
        auto const it = variables.find(nameOf(node));
        if (it == variables.end())
            c.op = Op::kNumber;
        else
            c.variable = &it->second;
    } else if (c.op == Op::kNegate) {
        c.left = compileNode(node.children[0], variables);
    } else if (c.op != Op::kOther) {
        c.left = compileNode(node.children[0], variables);
        c.right = compileNode(node.children[1], variables);
    }
    code.push_back(c);
    return static_cast<std::uint32_t>(code.size() - 1);
}

double ExpressionEvaluator::Impl::number(std::uint32_t i) const
{
    Code const& c = code[i];
    switch (c.op) {
    case Op::kNumber:
        return c.value;
    case Op::kName:
        return *c.variable;
    case Op::kNegate:
        return -number(c.left);
    case Op::kPower:
    case Op::kTimes:
    case Op::kDivide:
    case Op::kPlus:
    case Op::kMinus: {
        double const left = operand(c.left);
        return apply(c.op, left, operand(c.right));
    }
    default:
        return 0.0;
    }
}

bool ExpressionEvaluator::Impl::condition(std::uint32_t i) const
{
    Code const& c = code[i];
    switch (c.op) {
    case Op::kAnd:
        return condition(c.left) && condition(c.right);
    case Op::kOr:
        return condition(c.left) || condition(c.right);
    case Op::kLess:
    case Op::kGreater:
    case Op::kEqual:
    case Op::kNotEqual: {
        double const left = operand(c.left);
        return compare(c.op, left, operand(c.right));
    }
    default:
        return false;
    }
}

ExpressionEvaluator::ExpressionEvaluator(EvalType type)
    : m_evalType(type), m_impl(std::make_unique<Impl>(type == kEvalNumeric))
{
}

ExpressionEvaluator::~ExpressionEvaluator() = default;

long ExpressionEvaluator::set(ZELUNUString const& expression, AttributeInterface& attributes)
{
    m_text = expression;
    return validate(attributes) ? 0 : kErrInvalidExpression;
}

bool ExpressionEvaluator::validate(AttributeInterface& attributes)
{
    if (m_text.isEmpty()) return false;
    if (!m_impl->parse(m_text)) {
        std::cout << "Failed to parse input expression\n" << std::flush;
        return false;
    }
    std::set<ZELUNUString> const available = attributes.getAvailableAttributes();
    ZELUNUString reportedName;
    Node const root{m_impl->root()};
    bool const valid = m_evalType == kEvalNumeric ? validateExpression(root, available, reportedName)
                                                  : validateBoolExpression(root, available, reportedName);
    m_impl->compile(m_variables);
    if (!valid) {
        std::cout << "Unable to validate the input.  Unknown variable: " << reportedName.toNarrow() << '\n'
                  << std::flush;
        return false;
    }
    return true;
}

bool ExpressionEvaluator::validateExpression(Node const& node, std::set<ZELUNUString> const& available,
                                             ZELUNUString& reportedName)
{
    reportedName.remove();
    Op const op = classify(node.tree);
    if (op == Op::kName) {
        ZELUNUString name = nameOf(node.tree);
        if (available.count(name) == 0) {
            reportedName = std::move(name);
            return false;
        }
        m_variables[name] = 0.0;
        return true;
    }
    if (op == Op::kNumber) return true;
    if (op == Op::kNegate) return validateExpression(Node{node.tree.children[0]}, available, reportedName);
    if (!isArithmetic(op)) return false;
    return validateExpression(Node{node.tree.children[0]}, available, reportedName) &&
           validateExpression(Node{node.tree.children[1]}, available, reportedName);
}

bool ExpressionEvaluator::validateBoolExpression(Node const& node, std::set<ZELUNUString> const& available,
                                                 ZELUNUString& reportedName)
{
    Op const op = classify(node.tree);
    if (op == Op::kAnd || op == Op::kOr)
        return validateBoolExpression(Node{node.tree.children[0]}, available, reportedName) &&
               validateBoolExpression(Node{node.tree.children[1]}, available, reportedName);
    if (!isComparison(op)) return false;
    return validateExpression(Node{node.tree.children[0]}, available, reportedName) &&
           validateExpression(Node{node.tree.children[1]}, available, reportedName);
}

double ExpressionEvaluator::evaluateExpression(Node const& node,
                                               std::map<ZELUNUString, double> const& variables) const
{
    Op const op = classify(node.tree);
    switch (op) {
    case Op::kNumber:
        return numberOf(node.tree);
    case Op::kName: {
        auto const it = variables.find(nameOf(node.tree));
        return it == variables.end() ? 0.0 : it->second;
    }
    case Op::kNegate:
        return -evaluateExpression(Node{node.tree.children[0]}, variables);
    default:
        break;
    }
    if (!isArithmetic(op)) return 0.0;
    double const left = evaluateExpression(Node{node.tree.children[0]}, variables);
    return apply(op, left, evaluateExpression(Node{node.tree.children[1]}, variables));
}

bool ExpressionEvaluator::evaluateBoolExpression(Node const& node,
                                                 std::map<ZELUNUString, double> const& variables) const
{
    Op const op = classify(node.tree);
    if (op == Op::kAnd)
        return evaluateBoolExpression(Node{node.tree.children[0]}, variables) &&
               evaluateBoolExpression(Node{node.tree.children[1]}, variables);
    if (op == Op::kOr)
        return evaluateBoolExpression(Node{node.tree.children[0]}, variables) ||
               evaluateBoolExpression(Node{node.tree.children[1]}, variables);
    if (!isComparison(op)) return false;
    double const left = evaluateExpression(Node{node.tree.children[0]}, variables);
    return compare(op, left, evaluateExpression(Node{node.tree.children[1]}, variables));
}

bool ExpressionEvaluator::evaluate(AttributeInterface& attributes, double& out)
{
    if (m_impl->code.empty()) {
        out = 0.0;
        return false;
    }
    for (auto& variable : m_variables) variable.second = attributes.getValue(variable.first);
    out = m_impl->number(m_impl->codeRoot);
    return true;
}

bool ExpressionEvaluator::evaluate(AttributeInterface& attributes, bool& out)
{
    if (m_impl->code.empty()) {
        out = false;
        return false;
    }
    for (auto& variable : m_variables) variable.second = attributes.getValue(variable.first);
    out = m_impl->condition(m_impl->codeRoot);
    return true;
}

std::set<ZELUNUString> ExpressionEvaluator::getNeededVars() const
{
    std::set<ZELUNUString> names;
    for (auto const& variable : m_variables) names.insert(names.end(), variable.first);
    return names;
}

std::set<ZELUNUString> ExpressionEvaluator::getRequiredAttributes(ZELUNUString const& expression)
{
    std::set<ZELUNUString> collected;
    if (expression.isEmpty() || !m_impl->parse(expression)) return collected;
    collectNames(m_impl->root(), m_evalType != kEvalNumeric, collected, m_variables);
    m_impl->compile(m_variables);
    return collected;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
