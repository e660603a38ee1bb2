// Filter expressions: parsing, validation, the names an expression needs and
// evaluation. First byte: bit 0 picks the numeric (1) or boolean (0) form;
// the rest is the expression's narrow text.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <string>

#include "FuzzSupport.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/surface/AttributeInterface.h"
#include "zorvsupport/surface/ExpressionEvaluator.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

class MapAttributes : public AttributeInterface {
public:
    explicit MapAttributes(std::map<ZELUNUString, double> values) : m_values(std::move(values)) {}

    double getValue(ZELUNUString const& name) override
    {
        auto const it = m_values.find(name);
        return it == m_values.end() ? 0.0 : it->second;
    }
    std::set<ZELUNUString> getAvailableAttributes() override
    {
        std::set<ZELUNUString> names;
        for (auto const& entry : m_values) names.insert(entry.first);
        return names;
    }

private:
    std::map<ZELUNUString, double> m_values;
};

std::map<ZELUNUString, double> const& offered()
{
    static std::map<ZELUNUString, double> const values = {
        {"a", 1.5},
        {"b", std::numeric_limits<double>::quiet_NaN()},
        {"Depth", 12.0},
        {"Std Dev", -0.0},
        {"x_1", 1e308},
    };
    return values;
}

bool isSubset(std::set<ZELUNUString> const& names, std::map<ZELUNUString, double> const& values)
{
    for (auto const& name : names)
        if (values.count(name) == 0) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The evaluator's messages would flood the log.
    int const devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
        ::dup2(devNull, 1);
        ::close(devNull);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    if (size < 1) return 0;
    auto const type = (data[0] & 1) ? ExpressionEvaluator::kEvalNumeric : ExpressionEvaluator::kEvalBoolean;
    std::string const narrow(reinterpret_cast<char const*>(data + 1), size - 1);
    ZELUNUString const text(narrow);

    ExpressionEvaluator collector(type);
    std::set<ZELUNUString> const required = collector.getRequiredAttributes(text);

    MapAttributes full(offered());
    ExpressionEvaluator evaluator(type);
    long const status = evaluator.set(text, full);
    if (narrow.size() > ExpressionEvaluator::kMaxExpressionLength) ZORV_FUZZ_CHECK(status == kErrInvalidExpression);
    if (status == 0) {
        ZORV_FUZZ_CHECK(evaluator.getNeededVars() == required);
        ZORV_FUZZ_CHECK(isSubset(required, offered()));
    }

    // Validation depends only on the names: offering exactly the required
    // ones gives the same status.
    if (isSubset(required, offered())) {
        std::map<ZELUNUString, double> exact;
        for (auto const& name : required) exact.emplace(name, offered().at(name));
        MapAttributes narrowed(exact);
        ExpressionEvaluator again(type);
        ZORV_FUZZ_CHECK(again.set(text, narrowed) == status);
    }

    double first = 0.0, second = 0.0;
    bool const ranFirst = evaluator.evaluate(full, first);
    bool const ranSecond = evaluator.evaluate(full, second);
    ZORV_FUZZ_CHECK(ranFirst == ranSecond && std::memcmp(&first, &second, sizeof first) == 0);
    bool pass1 = false, pass2 = true;
    bool const ranThird = evaluator.evaluate(full, pass1);
    bool const ranFourth = evaluator.evaluate(full, pass2);
    ZORV_FUZZ_CHECK(ranThird == ranFirst && ranFourth == ranFirst && pass1 == pass2);
    return 0;
}
