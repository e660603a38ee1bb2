// Filter expression parsing (ExpressionEvaluator::set: parse, validation and
// the compiled form) of texts of each shape: chains of each arithmetic
// operator, of unary minus signs, of AND, of OR, of comparisons, of id
// comparisons with distinct numbers, of quoted names, a chain inside the
// deepest nesting accepted, and a chain of conditions through every level of
// the grammar. Two sets of cases:
//   parse/<shape>      a 2 KiB text (ours) beside the 1 KiB text of the same
//                      shape (baseline);
//   parse64k/<shape>   a text as long as a text may be, 64 KiB (ours), beside
//                      the 32 KiB text of the same shape (baseline).
// A parse linear in the length gives a ratio of about 2, a quadratic one
// about 4; the time of parse64k/<shape>/ours is that of setting the longest
// text. Each case also reports seconds per byte (s_per_byte), to compare
// across the two sets.
#include <cstddef>
#include <functional>
#include <set>
#include <string>

#include <benchmark/benchmark.h>

#include "RatioReporter.h"
#include "zorvsupport/surface/AttributeInterface.h"
#include "zorvsupport/surface/ExpressionEvaluator.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

// Offers the names d and Id, which read 1.
class TwoNames : public AttributeInterface {
public:
    double getValue(ZELUNUString const&) override { return 1.0; }
    std::set<ZELUNUString> getAvailableAttributes() override { return {ZELUNUString("d"), ZELUNUString("Id")}; }
};

// `head`, then `link` repeated while `tail` still fits, then `tail` padded
// with `pad` to exactly `length` bytes.
std::string chainOf(std::string const& head, std::string const& link, std::string const& tail, char pad,
                    std::size_t length)
{
    std::string text = head;
    while (text.size() + link.size() + tail.size() <= length) text += link;
    return text + tail + std::string(length - text.size() - tail.size(), pad);
}

std::string deepest(std::size_t length)
{
    unsigned const depth = ExpressionEvaluator::kMaxNesting;
    return "d < " + std::string(depth, '(') + chainOf("d", "+d", "+0", '0', length - 4 - 2 * depth) +
           std::string(depth, ')');
}

// Id = 1 or Id = 2 or ..., then Id = 0 padded with zeros.
std::string ids(std::size_t length)
{
    std::string text = "Id = 1";
    for (unsigned id = 2;; ++id) {
        std::string const link = " or Id = " + std::to_string(id);
        if (text.size() + link.size() + 10 > length) break;
        text += link;
    }
    return text + " or Id = " + std::string(length - text.size() - 9, '0');
}

struct Shape {
    char const* name;
    ExpressionEvaluator::EvalType type;
    std::function<std::string(std::size_t)> text;
};

Shape const kShapes[] = {
    {"d+d", ExpressionEvaluator::kEvalNumeric, [](std::size_t n) { return chainOf("d", "+d", "+0", '0', n); }},
    {"d-d", ExpressionEvaluator::kEvalNumeric, [](std::size_t n) { return chainOf("d", "-d", "+0", '0', n); }},
    {"d*d", ExpressionEvaluator::kEvalNumeric, [](std::size_t n) { return chainOf("d", "*d", "+0", '0', n); }},
    {"d/d", ExpressionEvaluator::kEvalNumeric, [](std::size_t n) { return chainOf("d", "/d", "+0", '0', n); }},
    {"d^d", ExpressionEvaluator::kEvalNumeric, [](std::size_t n) { return chainOf("d", "^d", "+0", '0', n); }},
    {"d--d", ExpressionEvaluator::kEvalNumeric, [](std::size_t n) { return chainOf("d", "--d", "+0", '0', n); }},
    {"AND", ExpressionEvaluator::kEvalBoolean,
     [](std::size_t n) { return chainOf("d>0", " AND d>0", " AND d>0", '0', n); }},
    {"OR", ExpressionEvaluator::kEvalBoolean,
     [](std::size_t n) { return chainOf("d<0", " OR d<0", " OR d>0", '0', n); }},
    {"ids", ExpressionEvaluator::kEvalBoolean, ids},
    {"quoted", ExpressionEvaluator::kEvalBoolean,
     [](std::size_t n) { return chainOf("\"d\"<0", " OR \"d\"<0", " OR d>0", '0', n); }},
    {"comparisons", ExpressionEvaluator::kEvalBoolean,
     [](std::size_t n) { return chainOf("d<1", " OR d>2 OR d=3 OR d!=4", " OR d>0", '0', n); }},
    {"deepest", ExpressionEvaluator::kEvalBoolean, deepest},
    {"mixed", ExpressionEvaluator::kEvalBoolean,
     [](std::size_t n) {
         return chainOf("d < 0", " OR d != 2 AND (d = 1 AND d < 2 + 1 + d * d ^ -(d))", " OR d>0", '0', n);
     }},
};

void parse(benchmark::State& state, Shape const& shape, std::size_t length)
{
    ZELUNUString const text(shape.text(length));
    TwoNames attributes;
    ExpressionEvaluator evaluator(shape.type);
    if (text.length() != static_cast<std::int32_t>(length) || evaluator.set(text, attributes) != 0) {
        state.SkipWithError("the text does not parse and validate");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(evaluator.set(text, attributes));
    state.counters["s_per_byte"] = benchmark::Counter(double(length), benchmark::Counter::kIsIterationInvariantRate |
                                                                          benchmark::Counter::kInvert);
}

void registerPair(std::string const& name, Shape const& shape, std::size_t ours, std::size_t baseline)
{
    benchmark::RegisterBenchmark((name + "/ours").c_str(), parse, shape, ours)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((name + "/baseline").c_str(), parse, shape, baseline)
        ->Unit(benchmark::kMicrosecond);
}

int registerAll()
{
    std::size_t const longest = ExpressionEvaluator::kMaxExpressionLength;
    for (Shape const& shape : kShapes) registerPair(std::string("parse/") + shape.name, shape, 2048, 1024);
    for (Shape const& shape : kShapes)
        registerPair(std::string("parse64k/") + shape.name, shape, longest, longest / 2);
    return 0;
}

int const kRegistered = registerAll();

}  // namespace

ZORV_BENCH_MAIN()
