// IOUtils::readFromBinary of texts. The first input byte selects the byte-swap
// flag (bit 0) and the text type (bit 1: std::string, else ZELUNUString). A
// text that is read is written back and read again.
#include "FuzzSupport.h"

#include "zorvsupport/types/IOUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace zorvfuzz;

namespace {

void narrowText(IOBuffer& input, std::uint8_t const* payload, bool swap)
{
    std::string text("left as it was");
    if (IOUtils::readFromBinary(input, text) != kSuccess) return;
    unsigned const consumed = input.tell();
    unsigned const serialized = IOUtils::getSerializedSize(text);
    ZORV_FUZZ_CHECK(consumed == serialized);

    // The characters are stored as they are: the same bytes come out.
    IOBuffer written(serialized, swap);
    ZORV_FUZZ_CHECK(IOUtils::writeToBinary(written, text) == kSuccess);
    ZORV_FUZZ_CHECK(written.tell() == serialized);
    ZORV_FUZZ_CHECK(sameBytes(written.getStartPtr(), payload, consumed));

    ZORV_FUZZ_CHECK(written.seek(0) == kSuccess);
    std::string again;
    ZORV_FUZZ_CHECK(IOUtils::readFromBinary(written, again) == kSuccess);
    ZORV_FUZZ_CHECK(again == text);
}

void unicodeText(IOBuffer& input, bool swap)
{
    ZELUNUString text("left as it was");
    if (IOUtils::readFromBinary(input, text) != kSuccess) return;
    unsigned const serialized = IOUtils::getSerializedSize(text);
    ZORV_FUZZ_CHECK(serialized >= 4);

    IOBuffer written(serialized, swap);
    ZORV_FUZZ_CHECK(IOUtils::writeToBinary(written, text) == kSuccess);
    ZORV_FUZZ_CHECK(written.tell() == serialized);

    // Stored up to the first U+0000; malformed UTF-8 has become U+FFFD, which
    // survives the second trip.
    ZORV_FUZZ_CHECK(written.seek(0) == kSuccess);
    ZELUNUString again;
    ZORV_FUZZ_CHECK(IOUtils::readFromBinary(written, again) == kSuccess);
    int32_t nul = text.indexOf(char16_t(0));
    ZORV_FUZZ_CHECK(again == (nul < 0 ? icu::UnicodeString(text) : icu::UnicodeString(text, 0, nul)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    if (size < 1) return -1;
    bool const swap = (data[0] & 1) != 0;
    bool const narrow = (data[0] & 2) != 0;
    IOBuffer input = bufferOf(data + 1, size - 1, swap);
    if (narrow)
        narrowText(input, data + 1, swap);
    else
        unicodeText(input, swap);
    return 0;
}
