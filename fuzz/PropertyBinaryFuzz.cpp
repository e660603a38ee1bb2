// Property::readFromBinary. The first input byte selects the byte-swap flag
// of the buffer and of the node read into. A tree that is read is written,
// read again and written once more: the two writes must be the same bytes,
// the second tree the same as the first but for what the stored form cannot
// hold (texts end at their first U+0000).
#include "FuzzSupport.h"

#include "zorvsupport/types/Property.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace zorvfuzz;

namespace {

// The text as the stored form keeps it: up to its first U+0000.
icu::UnicodeString stored(ZELUNUString const& text)
{
    int32_t nul = text.indexOf(char16_t(0));
    return nul < 0 ? icu::UnicodeString(text) : icu::UnicodeString(text, 0, nul);
}

bool sameTree(Property const& read, Property const& again)
{
    if (stored(read.name()) != again.name() || stored(read.type()) != again.type() ||
        stored(read.parentPath()) != again.parentPath())
        return false;
    IOBuffer const& a = read.value();
    IOBuffer const& b = again.value();
    if (a.getSizeInBytes() != b.getSizeInBytes() || !sameBytes(a.getStartPtr(), b.getStartPtr(), a.getSizeInBytes()))
        return false;
    if (read.children().size() != again.children().size()) return false;
    for (std::size_t i = 0; i < read.children().size(); ++i) {
        Property const* x = read.children()[i].get();
        Property const* y = again.children()[i].get();
        if (!x || !y || !sameTree(*x, *y)) return false;  // a successful read fills every place
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    SwapAndPayload in;
    if (!splitSwap(data, size, in)) return -1;
    IOBuffer input = bufferOf(in.data, in.size, in.swap);
    Property root;
    root.value().setSwap(in.swap);
    if (root.readFromBinary(input) != kSuccess) return 0;

    unsigned const serialized = root.getSerializedSize();
    IOBuffer first(serialized, in.swap);
    ZORV_FUZZ_CHECK(root.writeToBinary(first) == kSuccess);
    ZORV_FUZZ_CHECK(first.tell() == serialized);

    ZORV_FUZZ_CHECK(first.seek(0) == kSuccess);
    Property again;
    again.value().setSwap(in.swap);
    ZORV_FUZZ_CHECK(again.readFromBinary(first) == kSuccess);
    ZORV_FUZZ_CHECK(first.tell() == serialized);
    ZORV_FUZZ_CHECK(sameTree(root, again));

    ZORV_FUZZ_CHECK(again.getSerializedSize() == serialized);
    IOBuffer second(serialized, in.swap);
    ZORV_FUZZ_CHECK(again.writeToBinary(second) == kSuccess);
    ZORV_FUZZ_CHECK(sameBytes(first.getStartPtr(), second.getStartPtr(), serialized));
    return 0;
}
