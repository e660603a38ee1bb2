#include "zorvsupport/surface/ExpressionEvaluator.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <iostream>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

// GCC's maybe-uninitialized analysis flags the empty Boost.Optional values of
// Spirit's failed matches once inlined (optimised and sanitised builds); they
// are never read. The pragma precedes the headers it must cover. The
// sanitised build also reports the empty values of failed character matches
// as uninitialized; that is silenced within Spirit's headers alone.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <boost/spirit/include/classic_ast.hpp>
#include <boost/spirit/include/classic_chset.hpp>
#include <boost/spirit/include/classic_core.hpp>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/surface/AttributeInterface.h"
#include "zorvsupport/surface/NodeIteratorAttrI.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace sp = boost::spirit::classic;

namespace {

// The grammar levels of the operators, from the lowest precedence up, and the
// token kinds (the ids of the token rules; 0 is Spirit's "unset").
enum Level : long {
    kOrLevel = 1,
    kAndLevel,
    kEqualityLevel,
    kRelationLevel,
    kSumLevel,
    kProductLevel,
    kPowerLevel,
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

using Match = sp::tree_match<Iter, Factory>;

// The same scanner at the same place without trees, for what leaves no node
// (operators, parentheses, quotes): a tree match costs a node allocation.
using PlainScanner = sp::scanner<Iter, sp::scanner_policies<sp::skip_parser_iteration_policy<CharClass>>>;

PlainScanner plain(Scanner const& scan)
{
    return scan.change_policies(PlainScanner::policies_t(scan));
}

// What the parsing steps give when they match nothing.
constexpr std::uint32_t kNoMatch = 0xFFFFFFFFu;

// The grammar level of an operator, from its first character.
long levelOf(char c)
{
    switch (c) {
    case '^':
        return kPowerLevel;
    case '*':
    case '/':
        return kProductLevel;
    case '+':
    case '-':
        return kSumLevel;
    case '<':
    case '>':
        return kRelationLevel;
    case '=':
    case '!':
        return kEqualityLevel;
    case 'A':
    case 'a':
        return kAndLevel;
    default:
        return kOrLevel;
    }
}

// What a node of the evaluator's tree means. A chain is one operand followed
// by (operator, operand) pairs of one grammar level, applied from the left.
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
    kArithmeticChain,
    kComparisonChain,
    kLogicalChain,
    kOther
};

// The operator whose leaf starts with `c` in a chain of `level`; kOther for
// a text the grammar does not make.
Op chainOperator(long level, char c)
{
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
        return c == 'A' || c == 'a' ? Op::kAnd : Op::kOther;
    case kOrLevel:
        return c == 'O' || c == 'o' ? Op::kOr : Op::kOther;
    default:
        return Op::kOther;
    }
}

Op chainKind(long level)
{
    switch (level) {
    case kOrLevel:
    case kAndLevel:
        return Op::kLogicalChain;
    case kEqualityLevel:
    case kRelationLevel:
        return Op::kComparisonChain;
    default:
        return Op::kArithmeticChain;
    }
}

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A name leaf's name: the token, without the blanks a quoted name may end in.
ZELUNUString nameOf(char const* begin, char const* end)
{
    while (end != begin && isBlank(end[-1])) --end;
    return ZELUNUString(std::string(begin, end));
}

// A number token's value: its leading real as atof reads it in the "C"
// locale, whatever the process locale.
double numberOf(char const* begin, char const* end)
{
    static locale_t const cLocale = newlocale(LC_NUMERIC_MASK, "C", locale_t(nullptr));
    std::string const token(begin, end);
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

double const kUnknownName = 0.0;

}  // namespace

// One node of the evaluator's tree.
struct ExpressionEvaluator::Node {
    Op op = Op::kOther;
    // A chain: its first term and the number of its terms (at least 2); a
    // negation: its operand's node.
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    // A number's value.
    double value = 0.0;
    // A name, once compiled: where its value is (the variables, or 0.0).
    double const* variable = &kUnknownName;
    // One comparison of two leaves, once compiled: its operator and where
    // its operands' values are.
    Op comparison = Op::kOther;
    double const* left = nullptr;
    double const* right = nullptr;
    // A logical chain of such comparisons only, once compiled.
    bool flat = false;
    // A leaf's token.
    char const* begin = nullptr;
    char const* end = nullptr;

    ZELUNUString name() const { return nameOf(begin, end); }
};

namespace {

// An operand of a chain: the operator that joins it to what precedes it
// (unused for the first) and its node.
struct Term {
    Op op;
    std::uint32_t node;
};

}  // namespace

// The grammar and the last parse, as a tree of nodes in one array (the root
// first) whose chains are flat. Every walk loops along chains and recurses,
// if at all, only into the operands of higher levels, so its depth is bounded
// by the nesting that the grammar bounds.
struct ExpressionEvaluator::Impl {
    // Name values: through the compiled pointers, or looked up in a map.
    struct CompiledNames {
        double operator()(Node const& node) const { return *node.variable; }
    };
    struct MappedNames {
        std::map<ZELUNUString, double> const& variables;
        double operator()(Node const& node) const
        {
            auto const it = variables.find(node.name());
            return it == variables.end() ? 0.0 : it->second;
        }
    };

    explicit Impl(bool numericType);
    Impl(Impl const&) = delete;
    Impl& operator=(Impl const&) = delete;

    // Replaces the last parse with the parse of `text`; true when it matched
    // the whole text. Leaves nothing to evaluate until compile.
    bool parse(ZELUNUString const& text);
    // Points the name leaves into `variables` (0.0 for a name not there);
    // from then on evaluate runs the last full parse.
    void compile(std::map<ZELUNUString, double> const& variables);

    std::uint32_t indexOf(Node const& node) const { return static_cast<std::uint32_t>(&node - nodes.data()); }

    // Visits the tree from `start` (a condition or a number) in the order
    // validation meets it, without recursion: `onNumber()` for every node
    // met as a number, `onName(node)` for every name leaf (false stops the
    // walk). False where the walk stops or meets a node that validation
    // refuses.
    template <class OnNumber, class OnName>
    bool walk(std::uint32_t start, bool condition, OnNumber onNumber, OnName onName) const;

    template <class Names>
    double number(std::uint32_t i, Names const& names) const;
    template <class Names>
    bool condition(std::uint32_t i, Names const& names) const;
    // number(), with the leaves read in place (most operands are leaves).
    template <class Names>
    double operand(std::uint32_t i, Names const& names) const
    {
        Node const& n = nodes[i];
        if (n.op == Op::kName) return names(n);
        return n.op == Op::kNumber ? n.value : number(i, names);
    }

    // The names of the variables, resolved once in one NodeIteratorAttrI:
    // makes `bound` for `attributes` unless it is made for it already.
    void bind(NodeIteratorAttrI const& attributes, std::map<ZELUNUString, double>& variables);
    void unbind() { boundTo = nullptr; }

    bool numeric;
    CharClass blanks{"\t\n\v\f\r "};
    CharClass letters{"A-Za-z"};
    CharClass digits{"0-9"};
    Rule<kNumberToken> numberToken;
    Rule<kIdentifierToken> identifier;
    Rule<kQuotedToken> quoted;

    // Factors open while parsing.
    unsigned depth = 0;
    // The parsed text; the leaves point into it.
    std::string source;
    std::vector<Node> nodes;
    std::vector<Term> terms;
    // The tree holds a parse of the whole text; it can be evaluated.
    bool parsed = false;
    bool ready = false;

    struct Bound {
        double* value;
        NodeIteratorAttrI::Attribute const* attribute;
    };
    std::vector<Bound> bound;
    NodeIteratorAttrI const* boundTo = nullptr;
    std::uint64_t boundSerial = 0;

private:
    // A chain being read: its level, where its terms start in `pending`,
    // and the operator before its first operand.
    struct Chain {
        long level;
        std::size_t start;
        Op before;
    };

    // The grammar's levels, read in one loop over the operators of the
    // evaluation type, and its factor, each giving the index of the node it
    // made (kNoMatch when it matched nothing, having made none). Each level
    // of parentheses or unary minus signs costs a frame of each, where a
    // rule per level would recurse through all of them; `factor` counts the
    // depth that kMaxNesting bounds.
    std::uint32_t expression(Scanner const& scan);
    std::uint32_t factor(Scanner const& scan);
    // The factors that hold no other: a number, quoted name or identifier.
    std::uint32_t token(Scanner const& scan);
    // An operator of the evaluation type; its first character, or 0.
    char binaryOperator(Scanner const& scan) const;
    std::uint32_t newNode(Node const& node)
    {
        nodes.push_back(node);
        return static_cast<std::uint32_t>(nodes.size() - 1);
    }
    // Drops what a factor that did not match made.
    void truncate(std::size_t nodeCount, std::size_t termCount)
    {
        nodes.resize(nodeCount);
        terms.resize(termCount);
    }

    // The chains being read, of every expression open; their terms so far.
    std::vector<Chain> chains;
    std::vector<Term> pending;
};

ExpressionEvaluator::Impl::Impl(bool numericType) : numeric(numericType)
{
    auto const real = !(sp::ch_p('+') | sp::ch_p('-')) >>
                      ((+digits >> !(sp::ch_p('.') >> *digits)) | (sp::ch_p('.') >> +digits));
    numberToken = sp::lexeme_d[sp::token_node_d[!sp::ch_p('-') >> +real]];
    identifier = sp::lexeme_d[sp::token_node_d[+(letters | digits | sp::ch_p('_'))]];
    quoted = sp::lexeme_d[sp::token_node_d[letters >> *(letters | digits | sp::ch_p('_') | blanks)]];
}

char ExpressionEvaluator::Impl::binaryOperator(Scanner const& scan) const
{
    // At most one matches at any place: their first characters differ. The
    // blanks before it are skipped, so it is the last thing read.
    PlainScanner const in = plain(scan);
    auto const arithmetic = sp::ch_p('^') | sp::ch_p('*') | sp::ch_p('/') | sp::ch_p('+') | sp::ch_p('-');
    std::ptrdiff_t const length =
        numeric ? arithmetic.parse(in).length()
                : (arithmetic | sp::ch_p('<') | sp::ch_p('>') | sp::ch_p('=') | sp::str_p("!=") | sp::str_p("AND") |
                   sp::str_p("and") | sp::str_p("OR") | sp::str_p("or"))
                      .parse(in)
                      .length();
    return length > 0 ? scan.first[-length] : '\0';
}

// Operands and operators are read in turn. A chain of a level stays open
// while operators of its level or higher ones follow; an operator of a lower
// level closes the chains above it, and the last chain closed becomes an
// operand of the lower one. So a + b * c - d gives the sum of a, b * c and d,
// as rules of one level per precedence read it. When an operator is not
// followed by a factor, the expression ends before that operator.
std::uint32_t ExpressionEvaluator::Impl::expression(Scanner const& scan)
{
    std::uint32_t operand = factor(scan);
    if (operand == kNoMatch) return kNoMatch;
    Op before = Op::kOther;  // the operator before `operand`
    std::size_t const base = chains.size();
    auto const close = [&] {
        Chain const chain = chains.back();
        chains.pop_back();
        pending.push_back(Term{before, operand});
        Node n;
        n.op = chainKind(chain.level);
        n.first = static_cast<std::uint32_t>(terms.size());
        n.count = static_cast<std::uint32_t>(pending.size() - chain.start);
        terms.insert(terms.end(), pending.begin() + static_cast<std::ptrdiff_t>(chain.start), pending.end());
        pending.resize(chain.start);
        operand = newNode(n);
        before = chain.before;
    };
    for (;;) {
        Iter const start = scan.first;
        char const c = binaryOperator(scan);
        std::uint32_t const next = c ? factor(scan) : kNoMatch;
        if (next == kNoMatch) {
            scan.first = start;
            break;
        }
        long const level = levelOf(c);
        while (chains.size() > base && chains.back().level > level) close();
        if (chains.size() > base && chains.back().level == level) {
            pending.push_back(Term{before, operand});
        } else {
            chains.push_back(Chain{level, pending.size(), before});
            pending.push_back(Term{Op::kOther, operand});
        }
        before = chainOperator(level, c);
        operand = next;
    }
    while (chains.size() > base) close();
    return operand;
}

std::uint32_t ExpressionEvaluator::Impl::token(Scanner const& scan)
{
    Iter const start = scan.first;
    Node n;
    Match leaf = numberToken.parse(scan);
    if (leaf) {
        n.op = Op::kNumber;
    } else {
        scan.first = start;
        if (sp::ch_p('"').parse(plain(scan))) {
            leaf = quoted.parse(scan);
            if (leaf && !sp::ch_p('"').parse(plain(scan))) leaf = Match();
        }
        if (!leaf) {
            scan.first = start;
            leaf = identifier.parse(scan);
        }
        if (!leaf) return kNoMatch;
        n.op = Op::kName;
    }
    n.begin = leaf.trees.front().value.begin();
    n.end = leaf.trees.front().value.end();
    if (n.op == Op::kNumber) n.value = numberOf(n.begin, n.end);
    return newNode(n);
}

// A number, a quoted name, an identifier, "(" expression ")" or "-" factor,
// tried in that order.
std::uint32_t ExpressionEvaluator::Impl::factor(Scanner const& scan)
{
    if (depth > kMaxNesting) return kNoMatch;
    struct Open {
        unsigned& depth;
        explicit Open(unsigned& d) : depth(d) { ++depth; }
        ~Open() { --depth; }
    } const open(depth);
    Iter const start = scan.first;
    std::uint32_t const leaf = token(scan);
    if (leaf != kNoMatch) return leaf;
    std::size_t const nodeCount = nodes.size(), termCount = terms.size();
    scan.first = start;
    if (sp::ch_p('(').parse(plain(scan))) {
        std::uint32_t const inner = expression(scan);
        if (inner != kNoMatch && sp::ch_p(')').parse(plain(scan))) return inner;
        truncate(nodeCount, termCount);
    }
    scan.first = start;
    if (sp::ch_p('-').parse(plain(scan))) {
        std::uint32_t const negated = factor(scan);
        if (negated != kNoMatch) {
            Node n;
            n.op = Op::kNegate;
            n.first = negated;
            return newNode(n);
        }
    }
    scan.first = start;
    return kNoMatch;
}

bool ExpressionEvaluator::Impl::parse(ZELUNUString const& text)
{
    parsed = false;
    ready = false;
    unbind();
    nodes.clear();
    terms.clear();
    // Checked on the UTF-16 length before any conversion: the narrow text is
    // never longer.
    if (text.length() > static_cast<std::int32_t>(kMaxExpressionLength)) return false;
    source = text.toNarrow();
    depth = 0;
    chains.clear();
    pending.clear();
    Iter first = source.data();
    Iter const last = first + source.size();
    using Policies = Scanner::policies_t;
    Scanner const scan(first, last, Policies(Policies::iteration_policy_t(blanks)));
    nodes.emplace_back();  // the root's place
    std::uint32_t const root = expression(scan);
    if (root == kNoMatch || first != last) {
        nodes.clear();
        terms.clear();
        return false;
    }
    // The root is the node made last, and no other node refers to it.
    nodes.front() = nodes.back();
    nodes.pop_back();
    parsed = true;
    return true;
}

void ExpressionEvaluator::Impl::compile(std::map<ZELUNUString, double> const& variables)
{
    ready = false;
    unbind();
    if (!parsed) return;
    for (Node& n : nodes) {
        if (n.op != Op::kName) continue;
        auto const it = variables.find(n.name());
        n.variable = it == variables.end() ? &kUnknownName : &it->second;
    }
    // Most conditions compare a name with a number: those read both in place.
    auto const leafValue = [this](std::uint32_t i) -> double const* {
        Node const& leaf = nodes[i];
        return leaf.op == Op::kName ? leaf.variable : leaf.op == Op::kNumber ? &leaf.value : nullptr;
    };
    for (Node& n : nodes) {
        n.left = n.right = nullptr;
        if (n.op != Op::kComparisonChain || n.count != 2) continue;
        double const* const left = leafValue(terms[n.first].node);
        double const* const right = leafValue(terms[n.first + 1].node);
        if (left && right) {
            n.comparison = terms[n.first + 1].op;
            n.left = left;
            n.right = right;
        }
    }
    for (Node& n : nodes) {
        n.flat = n.op == Op::kLogicalChain;
        for (std::uint32_t k = 0; n.flat && k < n.count; ++k) n.flat = nodes[terms[n.first + k].node].left != nullptr;
    }
    ready = true;
}

template <class OnNumber, class OnName>
bool ExpressionEvaluator::Impl::walk(std::uint32_t start, bool asCondition, OnNumber onNumber, OnName onName) const
{
    std::vector<std::pair<std::uint32_t, bool>> pending{{start, asCondition}};
    auto const pushTerms = [&](Node const& n, bool condition) {
        for (std::uint32_t k = n.count; k-- > 0;) pending.emplace_back(terms[n.first + k].node, condition);
    };
    while (!pending.empty()) {
        Node const& n = nodes[pending.back().first];
        bool const condition = pending.back().second;
        pending.pop_back();
        if (condition) {
            // The operands of a logical chain are conditions, those of one
            // comparison numbers; before a second comparison operator stands
            // a comparison, which is no number.
            if (n.op == Op::kLogicalChain)
                pushTerms(n, true);
            else if (n.op == Op::kComparisonChain && n.count == 2)
                pushTerms(n, false);
            else
                return false;
            continue;
        }
        onNumber();
        switch (n.op) {
        case Op::kName:
            if (!onName(n)) return false;
            break;
        case Op::kNumber:
            break;
        case Op::kNegate:
            pending.emplace_back(n.first, false);
            break;
        case Op::kArithmeticChain:
            pushTerms(n, false);
            break;
        default:
            return false;
        }
    }
    return true;
}

template <class Names>
double ExpressionEvaluator::Impl::number(std::uint32_t i, Names const& names) const
{
    Node const& n = nodes[i];
    switch (n.op) {
    case Op::kNumber:
        return n.value;
    case Op::kName:
        return names(n);
    case Op::kNegate:
        return -number(n.first, names);
    case Op::kArithmeticChain: {
        Term const* t = &terms[n.first];
        Term const* const last = t + n.count;
        double value = operand(t->node, names);
        for (++t; t != last; ++t) value = apply(t->op, value, operand(t->node, names));
        return value;
    }
    default:  // a condition as a number
        return 0.0;
    }
}

template <class Names>
bool ExpressionEvaluator::Impl::condition(std::uint32_t i, Names const& names) const
{
    Node const& n = nodes[i];
    switch (n.op) {
    case Op::kLogicalChain: {
        Term const* t = &terms[n.first];
        Term const* const last = t + n.count;
        bool const isAnd = t[1].op == Op::kAnd;
        if (std::is_same<Names, CompiledNames>::value && n.flat) {
            // Comparisons of values in place have no effects: all are made,
            // without a branch on their results (which follow the data).
            bool value = isAnd;
            for (; t != last; ++t) {
                Node const& c = nodes[t->node];
                bool const holds = compare(c.comparison, *c.left, *c.right);
                value = isAnd ? (value & holds) : (value | holds);
            }
            return value;
        }
        // An "and" chain is false at its first false operand, an "or" chain
        // true at its first true one.
        for (; t != last; ++t)
            if (condition(t->node, names) != isAnd) return !isAnd;
        return isAnd;
    }
    case Op::kComparisonChain: {
        if (std::is_same<Names, CompiledNames>::value && n.left) return compare(n.comparison, *n.left, *n.right);
        // Before a second comparison operator stands a comparison, whose
        // value as a number is 0.0.
        Term const& right = terms[n.first + n.count - 1];
        double const left = n.count == 2 ? operand(terms[n.first].node, names) : 0.0;
        return compare(right.op, left, operand(right.node, names));
    }
    default:  // a number as a condition
        return false;
    }
}

inline void ExpressionEvaluator::Impl::bind(NodeIteratorAttrI const& attributes,
                                            std::map<ZELUNUString, double>& variables)
{
    if (boundTo == &attributes && boundSerial == attributes.serial()) return;
    unbind();
    bound.clear();
    for (auto& variable : variables) bound.push_back(Bound{&variable.second, attributes.find(variable.first)});
    boundSerial = attributes.serial();
    boundTo = &attributes;
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
    Node const& root = m_impl->nodes.front();
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

bool ExpressionEvaluator::validateWalk(Node const& node, bool condition, std::set<ZELUNUString> const& available,
                                       ZELUNUString& reportedName)
{
    bool cleared = false;
    return m_impl->walk(
        m_impl->indexOf(node), condition,
        [&] {
            // Validating a number starts with an empty reported name.
            if (!cleared) reportedName.remove();
            cleared = true;
        },
        [&](Node const& leaf) {
            ZELUNUString name = leaf.name();
            if (available.count(name) == 0) {
                reportedName = std::move(name);
                return false;
            }
            m_impl->unbind();
            m_variables[name] = 0.0;
            return true;
        });
}

bool ExpressionEvaluator::validateExpression(Node const& node, std::set<ZELUNUString> const& available,
                                             ZELUNUString& reportedName)
{
    reportedName.remove();
    return validateWalk(node, false, available, reportedName);
}

bool ExpressionEvaluator::validateBoolExpression(Node const& node, std::set<ZELUNUString> const& available,
                                                 ZELUNUString& reportedName)
{
    return validateWalk(node, true, available, reportedName);
}

double ExpressionEvaluator::evaluateExpression(Node const& node,
                                               std::map<ZELUNUString, double> const& variables) const
{
    return m_impl->number(m_impl->indexOf(node), Impl::MappedNames{variables});
}

bool ExpressionEvaluator::evaluateBoolExpression(Node const& node,
                                                 std::map<ZELUNUString, double> const& variables) const
{
    return m_impl->condition(m_impl->indexOf(node), Impl::MappedNames{variables});
}

// Inline: the evaluate members below are its only callers, once per node.
inline bool ExpressionEvaluator::refresh(AttributeInterface& attributes)
{
    if (!m_impl->ready) return false;
    // A class derived from NodeIteratorAttrI may read its names otherwise.
    if (typeid(attributes) == typeid(NodeIteratorAttrI)) {
        auto const& exact = static_cast<NodeIteratorAttrI const&>(attributes);
        m_impl->bind(exact, m_variables);
        for (Impl::Bound const& b : m_impl->bound) *b.value = exact.valueOf(b.attribute);
        return true;
    }
    for (auto& variable : m_variables) variable.second = attributes.getValue(variable.first);
    return true;
}

bool ExpressionEvaluator::evaluate(AttributeInterface& attributes, double& out)
{
    bool const ready = refresh(attributes);
    out = ready ? m_impl->number(0, Impl::CompiledNames{}) : 0.0;
    return ready;
}

bool ExpressionEvaluator::evaluate(AttributeInterface& attributes, bool& out)
{
    bool const ready = refresh(attributes);
    out = ready && m_impl->condition(0, Impl::CompiledNames{});
    return ready;
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
    m_impl->walk(
        0, m_evalType != kEvalNumeric, [] {},
        [&](Node const& leaf) {
            ZELUNUString name = leaf.name();
            m_variables[name] = 0.0;
            collected.insert(std::move(name));
            return true;
        });
    m_impl->compile(m_variables);
    return collected;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
