#include <clocale>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SmallStack.h"
#include "support/FailingAllocation.h"
#include "support/MapAttributes.h"
#include "support/StdoutCapture.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/surface/ExpressionEvaluator.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::MapAttributes;
using zorvtest::StdoutCapture;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr char const* kParseMessage = "Failed to parse input expression\n";
constexpr char const* kValidateMessage = "Unable to validate the input.  Unknown variable: ";

std::set<ZELUNUString> names(std::vector<char const*> const& list)
{
    std::set<ZELUNUString> out;
    for (char const* n : list) out.insert(ZELUNUString(n));
    return out;
}

// `inner` inside `depth` pairs of parentheses.
std::string nested(std::string const& inner, unsigned depth)
{
    return std::string(depth, '(') + inner + std::string(depth, ')');
}

// A text of exactly `length` characters: `head`, then `link` as often as
// `tail` still fits, then `tail`, with the blanks that make up the length in
// front (blanks before the first token are skipped). `links` counts `link`.
struct Chain {
    std::string text;
    std::size_t links;
};

Chain chainOf(std::string const& head, std::string const& link, std::string const& tail, std::size_t length)
{
    std::size_t const links = (length - head.size() - tail.size()) / link.size();
    std::string text = head;
    for (std::size_t i = 0; i < links; ++i) text += link;
    text += tail;
    return {std::string(length - text.size(), ' ') + text, links};
}

// The same with terms that differ: term(1), then `op` and term(k) for
// k = 2, 3, ... while they fit; `links` counts the terms.
Chain termsOf(std::string (*term)(std::size_t), std::string const& op, std::size_t length)
{
    std::string text = term(1);
    std::size_t k = 1;
    while (text.size() + op.size() + term(k + 1).size() <= length) text += op + term(++k);
    return {std::string(length - text.size(), ' ') + text, k};
}

// A boolean text of exactly `length` characters that parses: Depth > 111...
std::string longCondition(std::size_t length)
{
    std::string const head = "Depth > ";
    return head + std::string(length - head.size(), '1');
}

// What a text gives on a thread with a small stack: set, evaluate in both
// forms, the names that a fresh evaluator collects, and a second set of the
// same text over the first parse; the evaluator is destroyed there too.
struct SmallStackRun {
    long status = -1;
    long again = -1;
    bool ranNumber = false;
    bool ranCondition = false;
    double number = -2;
    bool condition = false;
    std::set<ZELUNUString> required;
    std::string printed;
    std::size_t used = 0;
};

SmallStackRun onSmallStack(std::string const& text, ExpressionEvaluator::EvalType type,
                           std::map<ZELUNUString, double> const& values)
{
    SmallStackRun run;
    MapAttributes attributes(values);
    run.used = zorvtest::runOnSmallStack(zorvtest::kSmallStack, [&] {
        StdoutCapture capture;
        {
            ExpressionEvaluator evaluator(type);
            run.status = evaluator.set(ZELUNUString(text), attributes);
            run.ranNumber = evaluator.evaluate(attributes, run.number);
            run.ranCondition = evaluator.evaluate(attributes, run.condition);
            run.required = ExpressionEvaluator(type).getRequiredAttributes(ZELUNUString(text));
            run.again = evaluator.set(ZELUNUString(text), attributes);
        }
        run.printed = capture.text();
    });
    return run;
}

// The value of a text in the form of its type: a condition as 1 or 0.
double valueOf(SmallStackRun const& run, ExpressionEvaluator::EvalType type)
{
    return type == ExpressionEvaluator::kEvalNumeric ? run.number : run.condition;
}

}  // namespace

TEST(ExpressionEvaluator, NumericValues)
{
    struct Case {
        char const* text;
        double value;
    } const cases[] = {
        {"1+2", 1},    {"1 + 2", 3},     {"2*-3", -6},       {"-x", -4},  {"- 3", -3},
        {"2^3^2", 64}, {"8/2/2", 2},     {"1.5.5", 1.5},     {"+5", 5},   {"-+5", 0},
        {"--3", 0},    {".5 + 5.", 5.5}, {"x - 1 - 1", 2},   {"(x)", 4},  {"-(1 + x) * 2", -10},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.text);
        MapAttributes attributes({{"x", 4.0}});
        ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalNumeric);
        ASSERT_EQ(evaluator.set(c.text, attributes), 0);
        double out = -1.0;
        EXPECT_TRUE(evaluator.evaluate(attributes, out));
        EXPECT_EQ(out, c.value);
    }
    MapAttributes attributes({{"x", 4.0}});
    ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalNumeric);
    ASSERT_EQ(evaluator.set("x / 0", attributes), 0);
    double out = 0.0;
    evaluator.evaluate(attributes, out);
    EXPECT_EQ(out, std::numeric_limits<double>::infinity());
}

TEST(ExpressionEvaluator, BooleanValues)
{
    struct Case {
        char const* text;
        std::map<ZELUNUString, double> values;
        bool expected;
    } const cases[] = {
        {"Depth > 10 and Depth < 20", {{"Depth", 15}}, true},
        {"Depth > 10 and Depth < 20", {{"Depth", 25}}, false},
        {"Depth > 10 AND Depth < 20", {{"Depth", 5}}, false},
        {"x < 1 OR x > 5", {{"x", 0}}, true},
        {"x < 1 or x > 5", {{"x", 3}}, false},
        {"a = 1", {{"a", 1}}, true},
        {"a = 1", {{"a", 1.0000000000000002}}, false},
        {"a != a", {{"a", kNaN}}, true},
        {"a < 1", {{"a", kNaN}}, false},
        {"a > 1", {{"a", kNaN}}, false},
        {"a = a", {{"a", kNaN}}, false},
        {"a != 1", {{"a", kNaN}}, true},
        {"a = 1 orb = 2", {{"a", 0}, {"b", 2}}, true},
        {"a = 1 orb = 2", {{"a", 0}, {"b", 0}}, false},
        {"(a = 1 or b = 2) and a + b > 1", {{"a", 0}, {"b", 2}}, true},
        {"(a = 1 or b = 2) and a + b > 3", {{"a", 0}, {"b", 2}}, false},
        {"a ^ 2 = 9 and -a < 0", {{"a", 3}}, true},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.text);
        // Every type other than kEvalNumeric is boolean.
        for (auto const type : {ExpressionEvaluator::kEvalBoolean, static_cast<ExpressionEvaluator::EvalType>(7)}) {
            MapAttributes attributes(c.values);
            ExpressionEvaluator evaluator(type);
            ASSERT_EQ(evaluator.set(c.text, attributes), 0);
            bool out = !c.expected;
            EXPECT_TRUE(evaluator.evaluate(attributes, out));
            EXPECT_EQ(out, c.expected);
        }
    }
}

TEST(ExpressionEvaluator, ParseFailuresWriteTheFirstMessage)
{
    struct Case {
        std::string text;
        ExpressionEvaluator::EvalType type;
    } const cases[] = {
        {"Depth >= 5", ExpressionEvaluator::kEvalBoolean},
        {"Depth == 5", ExpressionEvaluator::kEvalBoolean},
        {"Depth > 5 ", ExpressionEvaluator::kEvalBoolean},
        {"1e3", ExpressionEvaluator::kEvalNumeric},
        {"2x", ExpressionEvaluator::kEvalNumeric},
        {"Depth > 5", ExpressionEvaluator::kEvalNumeric},       // no comparison in a numeric expression
        {"(Depth > 5) + 1", ExpressionEvaluator::kEvalNumeric},
        {"Depth and Depth", ExpressionEvaluator::kEvalNumeric},
        {"!Depth", ExpressionEvaluator::kEvalBoolean},
        {"Depth > ", ExpressionEvaluator::kEvalBoolean},
        {std::string("Depth > 5\0 and Depth < 1", 24), ExpressionEvaluator::kEvalBoolean},
        {std::string("Depth > 5\0", 10), ExpressionEvaluator::kEvalBoolean},
        {longCondition(ExpressionEvaluator::kMaxExpressionLength + 1), ExpressionEvaluator::kEvalBoolean},
        {nested("Depth > 1", ExpressionEvaluator::kMaxNesting + 1), ExpressionEvaluator::kEvalBoolean},
        {"Depth > " + std::string(ExpressionEvaluator::kMaxNesting + 1, '-') + "(1)",
         ExpressionEvaluator::kEvalBoolean},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        MapAttributes attributes({{"Depth", 7}});
        ExpressionEvaluator evaluator(c.type);
        StdoutCapture capture;
        EXPECT_EQ(evaluator.set(ZELUNUString(c.text), attributes), kErrInvalidExpression);
        EXPECT_EQ(capture.text(), kParseMessage);
    }
}

TEST(ExpressionEvaluator, TextsThatParseAtTheEdges)
{
    std::string const cases[] = {
        " Depth > 5",
        "\t\n\v\f\rDepth>5",
        longCondition(ExpressionEvaluator::kMaxExpressionLength),
        nested("Depth > 1", ExpressionEvaluator::kMaxNesting),
        "Depth > " + std::string(ExpressionEvaluator::kMaxNesting - 1, '-') + "(1)",
        "Depth > " + nested("- 1", ExpressionEvaluator::kMaxNesting - 1),
    };
    for (auto const& text : cases) {
        SCOPED_TRACE(text.substr(0, 60));
        MapAttributes attributes({{"Depth", 7}});
        ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalBoolean);
        StdoutCapture capture;
        EXPECT_EQ(evaluator.set(ZELUNUString(text), attributes), 0);
        EXPECT_EQ(capture.text(), "");
    }
}

TEST(ExpressionEvaluator, EmptyTextFailsSilently)
{
    MapAttributes attributes({{"Depth", 7}});
    ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalBoolean);
    StdoutCapture capture;
    EXPECT_EQ(evaluator.set("", attributes), kErrInvalidExpression);
    EXPECT_EQ(capture.text(), "");
}

TEST(ExpressionEvaluator, ValidationFailuresNameTheMissingVariable)
{
    struct Case {
        char const* text;
        ExpressionEvaluator::EvalType type;
        char const* reported;
    } const cases[] = {
        {"Depth", ExpressionEvaluator::kEvalBoolean, ""},
        {"Depth + 1", ExpressionEvaluator::kEvalBoolean, ""},
        {"a orb", ExpressionEvaluator::kEvalBoolean, ""},
        {"(Depth < 1) + 1 > 0", ExpressionEvaluator::kEvalBoolean, ""},
        {"Depth * y", ExpressionEvaluator::kEvalNumeric, "y"},
        {"Depth > 1 and Height < 2", ExpressionEvaluator::kEvalBoolean, "Height"},
        {"\"Std  Dev\" > 1", ExpressionEvaluator::kEvalBoolean, "Std  Dev"},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.text);
        MapAttributes attributes({{"Depth", 7}, {"a", 1}, {"b", 1}, {"Std Dev", 1}});
        ExpressionEvaluator evaluator(c.type);
        StdoutCapture capture;
        EXPECT_EQ(evaluator.set(c.text, attributes), kErrInvalidExpression);
        EXPECT_EQ(capture.text(), std::string(kValidateMessage) + c.reported + "\n");
    }
}

TEST(ExpressionEvaluator, QuotedNamesKeepTheirInnerBlanks)
{
    MapAttributes attributes({{"Std  Dev", 2.5}, {"Std Dev", 0.0}});
    ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalBoolean);
    ASSERT_EQ(evaluator.set("\" Std  Dev \" > 2", attributes), 0);
    EXPECT_EQ(evaluator.getNeededVars(), names({"Std  Dev"}));
    bool out = false;
    evaluator.evaluate(attributes, out);
    EXPECT_TRUE(out);
}

TEST(ExpressionEvaluator, RequiredAttributes)
{
    struct Case {
        std::string text;
        std::set<ZELUNUString> expected;
    } const cases[] = {
        {"a > 1 and (b < c or a = 2)", names({"a", "b", "c"})},
        {"", {}},
        {"a >= 1", {}},
        {"Depth", {}},
        {"a > 1 and b", names({"a"})},
        {"a > 1 and b < c + (d = 1) or e > 0", names({"a", "b", "c"})},
        {"\"Std Dev\" < x_1", names({"Std Dev", "x_1"})},
        {"a > " + std::string(ExpressionEvaluator::kMaxExpressionLength - 4, '1'), names({"a"})},
        {"a > " + std::string(ExpressionEvaluator::kMaxExpressionLength - 3, '1'), {}},
        {nested("a > 1", ExpressionEvaluator::kMaxNesting + 1), {}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalBoolean);
        StdoutCapture capture;
        EXPECT_EQ(evaluator.getRequiredAttributes(ZELUNUString(c.text)), c.expected);
        EXPECT_EQ(evaluator.getNeededVars(), c.expected);
        EXPECT_EQ(capture.text(), "");
    }
    ExpressionEvaluator numeric(ExpressionEvaluator::kEvalNumeric);
    EXPECT_EQ(numeric.getRequiredAttributes("-a * (b + a) ^ c"), names({"a", "b", "c"}));
}

TEST(ExpressionEvaluator, RequiredAttributesThenSetReportsTheNamelessFailure)
{
    MapAttributes attributes({{"a", 2}, {"b", 1}});
    ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalBoolean);
    EXPECT_EQ(evaluator.getRequiredAttributes("a > 1 and b"), names({"a"}));
    StdoutCapture capture;
    EXPECT_EQ(evaluator.set("a > 1 and b", attributes), kErrInvalidExpression);
    EXPECT_EQ(capture.text(), std::string(kValidateMessage) + "\n");
}

TEST(ExpressionEvaluator, VariablesAccumulateAndRefreshInNameOrder)
{
    MapAttributes attributes({{"b", 1}, {"a", 2}, {"c", 3}});
    ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalBoolean);
    ASSERT_EQ(evaluator.set("c > 1", attributes), 0);
    ASSERT_EQ(evaluator.set("b < a", attributes), 0);
    EXPECT_EQ(evaluator.getNeededVars(), names({"a", "b", "c"}));
    attributes.reads.clear();
    bool out = false;
    EXPECT_TRUE(evaluator.evaluate(attributes, out));
    EXPECT_TRUE(out);
    EXPECT_EQ(attributes.reads, (std::vector<ZELUNUString>{"a", "b", "c"}));
}

TEST(ExpressionEvaluator, EvaluateWithoutAFullParse)
{
    MapAttributes attributes({{"Depth", 7}});
    StdoutCapture capture;  // keeps the messages of the failing sets out of the log

    ExpressionEvaluator fresh(ExpressionEvaluator::kEvalNumeric);
    double value = -1.0;
    EXPECT_FALSE(fresh.evaluate(attributes, value));
    EXPECT_EQ(value, 0.0);
    bool pass = true;
    EXPECT_FALSE(fresh.evaluate(attributes, pass));
    EXPECT_FALSE(pass);

    // Each step: the texts given to set in turn, then whether evaluate runs a
    // parse (which is true for Depth 7 wherever it runs).
    struct Step {
        std::vector<std::string> texts;
        bool runs;
    } const steps[] = {
        {{"Depth > 5", ""}, true},  // an empty text keeps the previous parse
        {{"Depth >= 5"}, false},
        {{"Depth > 5", longCondition(ExpressionEvaluator::kMaxExpressionLength + 1)}, false},
        {{"Depth > 5 or Height > 1"}, true},  // fails validation, still the last full parse
    };
    ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalBoolean);
    for (auto const& step : steps) {
        SCOPED_TRACE(step.texts.back().substr(0, 40));
        for (auto const& text : step.texts) evaluator.set(ZELUNUString(text), attributes);
        pass = !step.runs;
        EXPECT_EQ(evaluator.evaluate(attributes, pass), step.runs);
        EXPECT_EQ(pass, step.runs);
    }
}

// scripts/install-deps tests generates de_DE.UTF-8; without it this fails.
TEST(ExpressionEvaluator, NumbersReadTheSameUnderACommaLocale)
{
    std::string const previous = std::setlocale(LC_ALL, nullptr);
    char const* chosen = nullptr;
    for (char const* name : {"de_DE.UTF-8", "de_DE.utf8"})
        if (std::setlocale(LC_ALL, name)) {
            chosen = name;
            break;
        }
    ASSERT_NE(chosen, nullptr) << "the de_DE.UTF-8 locale is not installed (scripts/install-deps tests)";
    std::string const decimalPoint = std::localeconv()->decimal_point;
    MapAttributes attributes({{"Depth", 10.25}});
    ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalBoolean);
    long const status = evaluator.set("Depth > 10.5", attributes);
    bool pass = true;
    evaluator.evaluate(attributes, pass);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(decimalPoint, ",");
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(pass);
}

namespace {

std::string idIs(std::size_t k)
{
    return "Id = " + std::to_string(k);
}

std::string idIsNot(std::size_t k)
{
    return "Id != " + std::to_string(k);
}

std::string nameIsItsNumber(std::size_t k)
{
    return "a" + std::to_string(k) + " = " + std::to_string(k);
}

// kMaxNesting levels of parentheses, each holding a chain of conditions that
// fail for d = 1 beside the next level; the innermost one holds. Exactly
// `length` characters.
std::string deepChains(std::size_t length)
{
    unsigned const depth = ExpressionEvaluator::kMaxNesting;
    std::string const link = " OR d < 0";
    std::size_t const links = ((length - 5) / depth - std::string("d < 0 OR ()").size()) / link.size();
    std::string text = "d > 0";
    for (unsigned i = 0; i < depth; ++i) {
        std::string level = "d < 0";
        for (std::size_t k = 0; k < links; ++k) level += link;
        text = level + " OR (" + text + ")";
    }
    return std::string(length - text.size(), ' ') + text;
}

}  // namespace

// The filter of 900 ids from a host's selection: Id = 7 or Id = 14 or ... or
// Id = 6300.
TEST(ExpressionEvaluator, FilterOfNineHundredIds)
{
    std::string text = "Id = 7";
    for (unsigned id = 14; id <= 6300; id += 7) text += " or Id = " + std::to_string(id);
    ASSERT_EQ(text.size(), 11539u);
    MapAttributes attributes({{"Id", 0}});
    ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalBoolean);
    StdoutCapture capture;
    ASSERT_EQ(evaluator.set(ZELUNUString(text), attributes), 0);
    EXPECT_EQ(capture.text(), "");
    EXPECT_EQ(ExpressionEvaluator(ExpressionEvaluator::kEvalBoolean).getRequiredAttributes(ZELUNUString(text)),
              names({"Id"}));
    struct Case {
        double id;
        bool pass;
    } const cases[] = {{7, true},    {14, true},   {3150, true},  {6300, true}, {0, false},
                       {8, false},   {6299, false}, {6307, false}, {-7, false},  {7.5, false}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.id);
        attributes.values["Id"] = c.id;
        bool pass = !c.pass;
        EXPECT_TRUE(evaluator.evaluate(attributes, pass));
        EXPECT_EQ(pass, c.pass);
    }
}

// Texts of every shape as long as a text may be: each is set, evaluated in
// both forms, asked for its names, set again and destroyed on a thread whose
// stack is as small as a host's pool may give. The same text with one more
// blank in front is refused before it is parsed.
TEST(ExpressionEvaluatorStack, LongestTextsOnASmallStack)
{
    std::size_t const n = ExpressionEvaluator::kMaxExpressionLength;
    auto const numeric = ExpressionEvaluator::kEvalNumeric;
    auto const boolean = ExpressionEvaluator::kEvalBoolean;
    std::string const minus31(ExpressionEvaluator::kMaxNesting - 1, '-');
    std::string const minus32(ExpressionEvaluator::kMaxNesting, '-');

    Chain const sum = chainOf("d", "+d", "", n);
    Chain const difference = chainOf("d", "-d", "", n);
    Chain const product = chainOf("d", "*d", "", n);
    Chain const negations = chainOf("d", "--d", "", n);
    Chain const boolProduct = chainOf("d", "*d", " > 0", n);
    Chain const orIds = termsOf(idIs, " or ", n);
    Chain const andIds = termsOf(idIsNot, " and ", n);
    Chain const distinct = termsOf(nameIsItsNumber, " and ", n);
    Chain const spaced = chainOf("\"a", " b", "\" > 0", n);
    std::string const spacedName = "a" + chainOf("", " b", "", 2 * spaced.links).text;
    std::string const identifier(n - 4, 'q');
    Chain const innerSum = chainOf("d", "+d", "", n - 4 - 2 * ExpressionEvaluator::kMaxNesting);

    std::map<ZELUNUString, double> distinctValues;
    std::set<ZELUNUString> distinctNames;
    for (std::size_t k = 1; k <= distinct.links; ++k) {
        ZELUNUString const name(("a" + std::to_string(k)).c_str());
        distinctValues[name] = double(k);
        distinctNames.insert(name);
    }

    struct Case {
        char const* shape;
        std::string text;
        ExpressionEvaluator::EvalType type;
        std::map<ZELUNUString, double> values;
        long status;
        double value;  // numeric texts: the number; boolean texts: 1 for true, 0 for false
        std::set<ZELUNUString> required;
    } const cases[] = {
        // Chains apply their operators from the left.
        {"+", sum.text, numeric, {{"d", 1}}, 0, double(sum.links + 1), names({"d"})},
        {"-", difference.text, numeric, {{"d", 1}}, 0, 1.0 - double(difference.links), names({"d"})},
        {"*", product.text, numeric, {{"d", -1}}, 0, product.links % 2 == 1 ? 1.0 : -1.0, names({"d"})},
        // 1 / 1 / ... / 0.5 is 2.
        {"/", chainOf("d", "/d", "/.5", n).text, numeric, {{"d", 1}}, 0, 2, names({"d"})},
        // 2 ^ 2 ^ ... grows to infinity, and infinity ^ 0 is 1; from the
        // right it would be infinite.
        {"^", chainOf("d", "^d", "^0", n).text, numeric, {{"d", 2}}, 0, 1, names({"d"})},
        {"unary -", negations.text, numeric, {{"d", 1}}, 0, double(negations.links + 1), names({"d"})},
        // Each link adds 2 * 2 and takes ((2 ^ 2) / 2) * 2 away: 0 when "^"
        // binds before "/" and "*", and those before "+" and "-".
        {"mixed", chainOf("d", "+d*d-d^d/d*d", "", n).text, numeric, {{"d", 2}}, 0, 2, names({"d"})},
        {"^ =", chainOf("d", "^d", "^0 = 1", n).text, boolean, {{"d", 2}}, 0, 1, names({"d"})},
        {"- <", chainOf("d", "-d", " < 0", n).text, boolean, {{"d", 1}}, 0, 1, names({"d"})},
        {"* >", boolProduct.text, boolean, {{"d", -1}}, 0, boolProduct.links % 2 == 1 ? 1.0 : 0.0, names({"d"})},
        // A comparison is no operand of another: these do not validate, and
        // evaluate as 0.0 compared with the last operand, whose name was
        // never accepted and so reads 0.0 as well.
        {"=", chainOf("d", "=d", "", n).text, boolean, {{"d", 5}}, kErrInvalidExpression, 1, {}},
        {"<", chainOf("d", "<d", "", n).text, boolean, {{"d", 5}}, kErrInvalidExpression, 0, {}},
        {"!=", chainOf("d", "!=d", "", n).text, boolean, {{"d", 5}}, kErrInvalidExpression, 0, {}},
        {"AND", chainOf("d>0", " AND d>0", "", n).text, boolean, {{"d", 1}}, 0, 1, names({"d"})},
        {"AND", chainOf("d>0", " AND d>0", " AND d<0", n).text, boolean, {{"d", 1}}, 0, 0, names({"d"})},
        {"OR", chainOf("d<0", " OR d<0", " OR d>0", n).text, boolean, {{"d", 1}}, 0, 1, names({"d"})},
        {"OR", chainOf("d<0", " OR d<0", "", n).text, boolean, {{"d", 1}}, 0, 0, names({"d"})},
        // "AND" binds before "OR": the first pair holds, where reading from
        // the left would end with the last comparison, which fails.
        {"AND OR", chainOf("d>0", " AND d<2 OR d>5", " AND d<0", n).text, boolean, {{"d", 1}}, 0, 1,
         names({"d"})},
        {"or ids", orIds.text, boolean, {{"Id", double(orIds.links)}}, 0, 1, names({"Id"})},
        {"or ids", orIds.text, boolean, {{"Id", double(orIds.links + 1)}}, 0, 0, names({"Id"})},
        {"and ids", andIds.text, boolean, {{"Id", 0}}, 0, 1, names({"Id"})},
        {"and ids", andIds.text, boolean, {{"Id", double(andIds.links)}}, 0, 0, names({"Id"})},
        {"distinct names", distinct.text, boolean, distinctValues, 0, 1, distinctNames},
        {"quoted names",
         chainOf("\"Std  Dev\" < 0", " or \"Std  Dev\" < 0", " or \"Std  Dev\" = 1", n).text,
         boolean,
         {{"Std  Dev", 1}},
         0,
         1,
         names({"Std  Dev"})},
        {"long quoted name", spaced.text, boolean, {{spacedName, 1}}, 0, 1, {ZELUNUString(spacedName)}},
        {"long identifier", identifier + " > 0", boolean, {{identifier, 1}}, 0, 1, {ZELUNUString(identifier)}},
        // One number token of many reals reads as its first, 2.
        {"long number", chainOf("d > 2", "+1", "", n).text, boolean, {{"d", 3}}, 0, 1, names({"d"})},
        {"deepest sum",
         "d < " + nested(innerSum.text, ExpressionEvaluator::kMaxNesting),
         boolean,
         {{"d", 1}},
         0,
         1,
         names({"d"})},
        {"deepest chains", deepChains(n), boolean, {{"d", 1}}, 0, 1, names({"d"})},
        {"deepest minus signs",
         chainOf("d < " + minus31 + "d", " or d < " + minus31 + "d", " or d = " + minus32 + "d", n).text,
         boolean,
         {{"d", 1}},
         0,
         1,
         names({"d"})},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::string(c.shape) + ": " + c.text.substr(0, 40) + "..." + c.text.substr(c.text.size() - 20));
        ASSERT_EQ(c.text.size(), n);
        SmallStackRun const run = onSmallStack(c.text, c.type, c.values);
        std::string const message = std::string(kValidateMessage) + "\n";
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.again, c.status);
        EXPECT_EQ(run.printed, c.status == 0 ? "" : message + message);
        EXPECT_TRUE(run.ranNumber);
        EXPECT_TRUE(run.ranCondition);
        EXPECT_EQ(valueOf(run, c.type), c.value);
        // The other form: a condition as a number is 0.0, a number as a
        // condition false.
        EXPECT_EQ(c.type == numeric ? double(run.condition) : run.number, 0.0);
        EXPECT_EQ(run.required, c.required);
        EXPECT_GT(run.used, 0u);
        EXPECT_LT(run.used, zorvtest::kSmallStack);
        RecordProperty(std::string("stack_bytes_") + c.shape, std::to_string(run.used));

        SmallStackRun const over = onSmallStack(" " + c.text, c.type, c.values);
        EXPECT_EQ(over.status, kErrInvalidExpression);
        EXPECT_EQ(over.again, kErrInvalidExpression);
        EXPECT_EQ(over.printed, std::string(kParseMessage) + kParseMessage);
        EXPECT_FALSE(over.ranNumber);
        EXPECT_FALSE(over.ranCondition);
        EXPECT_EQ(over.required, names({}));
    }
}

// The deepest nesting accepted, of parentheses, of unary minus signs and of
// both through every level of the grammar, is parsed, validated and
// evaluated on a small stack; one level deeper is refused there as well.
TEST(ExpressionEvaluatorStack, DeepestNesting)
{
    // Each text is true for d = 1 when `depth` is at most kMaxNesting.
    auto const parentheses = [](unsigned depth) { return nested("d > 0", depth); };
    auto const minusSigns = [](unsigned depth) { return "d < " + std::string(depth, '-') + "d + 1"; };
    // Every numeric level is 1 + 1 * 1 ^ -(x) = 2 for x = -(...) at each
    // of depth / 4 steps of two levels, and every condition holds.
    auto const everyLevel = [](unsigned depth) {
        std::string number = "d";
        for (unsigned i = 0; i < depth / 4; ++i) number = "1 + d * d ^ -(" + number + ")";
        std::string text = "d = 1 AND d < 2 + " + number;
        for (unsigned i = depth / 4 * 2; i < depth; ++i) text = "d < 0 OR d > 0 AND d != 2 AND (" + text + ")";
        return text;
    };
    struct Case {
        char const* shape;
        std::string text;
        ExpressionEvaluator::EvalType type;
        long status;
    } const cases[] = {
        {"parentheses", parentheses(ExpressionEvaluator::kMaxNesting), ExpressionEvaluator::kEvalBoolean, 0},
        {"parentheses", nested("d", ExpressionEvaluator::kMaxNesting), ExpressionEvaluator::kEvalNumeric, 0},
        {"minus signs", minusSigns(ExpressionEvaluator::kMaxNesting), ExpressionEvaluator::kEvalBoolean, 0},
        {"every level", everyLevel(ExpressionEvaluator::kMaxNesting), ExpressionEvaluator::kEvalBoolean, 0},
        {"parentheses", parentheses(ExpressionEvaluator::kMaxNesting + 1), ExpressionEvaluator::kEvalBoolean,
         kErrInvalidExpression},
        {"parentheses", nested("d", ExpressionEvaluator::kMaxNesting + 1), ExpressionEvaluator::kEvalNumeric,
         kErrInvalidExpression},
        {"minus signs", minusSigns(ExpressionEvaluator::kMaxNesting + 1), ExpressionEvaluator::kEvalBoolean,
         kErrInvalidExpression},
        {"every level", everyLevel(ExpressionEvaluator::kMaxNesting + 1), ExpressionEvaluator::kEvalBoolean,
         kErrInvalidExpression},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::string(c.shape) + ": " + c.text.substr(0, 60));
        ASSERT_LE(c.text.size(), ExpressionEvaluator::kMaxExpressionLength);
        SmallStackRun const run = onSmallStack(c.text, c.type, {{"d", 1}});
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.again, c.status);
        EXPECT_EQ(run.ranNumber, c.status == 0);
        EXPECT_EQ(run.ranCondition, c.status == 0);
        EXPECT_EQ(valueOf(run, c.type), c.status == 0 ? 1.0 : 0.0);
        EXPECT_EQ(run.required, c.status == 0 ? names({"d"}) : names({}));
        EXPECT_EQ(run.printed, c.status == 0 ? "" : std::string(kParseMessage) + kParseMessage);
        EXPECT_GT(run.used, 0u);
        EXPECT_LT(run.used, zorvtest::kSmallStack);
        RecordProperty(std::string("stack_bytes_") + c.shape, std::to_string(run.used));
    }
}

// Memory running out at any point of set leaves no parse to evaluate; the
// next set works as on a fresh evaluator.
TEST(ExpressionEvaluator, SetThatRunsOutOfMemoryLeavesNoParse)
{
    struct State {
        MapAttributes attributes{{{"Depth", 15}, {"Height", 1}}};
        std::unique_ptr<ExpressionEvaluator> evaluator = std::make_unique<ExpressionEvaluator>(
            ExpressionEvaluator::kEvalBoolean);
        // Made before the sweep: a text that cannot be made never reaches set.
        ZELUNUString expression{"(Depth > 10 and Depth < 20) or Height * 2 = 3"};
    };
    unsigned const failures = zorvtest::forEachAllocationFailure(
        [] {
            auto state = std::make_unique<State>();
            EXPECT_EQ(state->evaluator->set("Depth < 10", state->attributes), 0);
            return state;
        },
        [](std::unique_ptr<State>& state) {
            state->evaluator->set(state->expression, state->attributes);
        },
        [](std::unique_ptr<State>& state, bool threw) {
            bool pass = true;
            bool const ran = state->evaluator->evaluate(state->attributes, pass);
            if (threw) {
                EXPECT_FALSE(ran);
                EXPECT_FALSE(pass);
            } else {
                EXPECT_TRUE(ran);
                EXPECT_TRUE(pass);
            }
            EXPECT_EQ(state->evaluator->set("Depth > 12", state->attributes), 0);
            EXPECT_TRUE(state->evaluator->evaluate(state->attributes, pass));
            EXPECT_TRUE(pass);
        });
    EXPECT_GT(failures, 10u);
}
