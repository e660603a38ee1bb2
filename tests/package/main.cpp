#include <cstdio>

#include "zorvsupport/types/DataType.h"
#include "zorvsupport/types/IOBuffer.h"

using namespace ZORV_3_13_0_::DataSet;

int runHostChecks();  // hosts.cpp

int main()
{
    IOBuffer buffer(8, false, IOBuffer::AllocatorHandle());
    DataType type(DataType::kUInt16, 3);
    if (type.writeToBinary(buffer) != kSuccess) return 1;
    buffer.seek(0);
    DataType back;
    if (back.readFromBinary(buffer) != kSuccess || !(back == type)) return 1;
    std::printf("consumer: DataType round trip through IOBuffer ok\n");
    return runHostChecks() == 0 ? 0 : 1;
}
