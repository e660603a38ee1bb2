#include "zorvsupport/types/IOBuffer.h"

#include <cstring>
#include <utility>

#include "zorvsupport/types/ByteSwap.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

IOBuffer::BufferAllocator::~BufferAllocator() = default;

unsigned char* IOBuffer::obtainBlock(unsigned capacity) const
{
    if (capacity == 0) return nullptr;
    return m_allocator ? m_allocator->allocate(capacity) : new unsigned char[capacity];
}

void IOBuffer::returnBlock(unsigned char* block, unsigned capacity) const
{
    if (!block) return;
    if (m_allocator)
        m_allocator->deallocate(block, capacity);
    else
        delete[] block;
}

void IOBuffer::releaseStorage()
{
    returnBlock(m_data, m_capacity);
    m_data = nullptr;
    m_capacity = 0;
}

IOBuffer::IOBuffer(unsigned size, bool swap, AllocatorHandle allocator)
    : m_allocator(std::move(allocator)), m_swap(swap)
{
    m_data = obtainBlock(size);
    m_capacity = m_size = size;
    if (m_data) std::memset(m_data, 0, size);
}

IOBuffer::IOBuffer(IOBuffer const& other, AllocatorHandle allocator)
    : m_allocator(std::move(allocator)), m_swap(other.m_swap)
{
    m_data = obtainBlock(other.m_size);
    m_capacity = m_size = other.m_size;
    if (m_size) std::memcpy(m_data, other.m_data, m_size);
    seek(other.tell());
}

IOBuffer& IOBuffer::operator=(IOBuffer const& other)
{
    if (&other == this) return *this;
    if (m_capacity < other.m_size) {
        unsigned char* fresh = obtainBlock(other.m_size);
        releaseStorage();
        m_data = fresh;
        m_capacity = other.m_size;
    }
    m_size = other.m_size;
    if (m_size) std::memcpy(m_data, other.m_data, m_size);
    m_swap = other.m_swap;
    m_offset = 0;
    seek(other.tell());
    return *this;
}

void IOBuffer::swap(IOBuffer& other) noexcept
{
    std::swap(m_data, other.m_data);
    std::swap(m_size, other.m_size);
    std::swap(m_capacity, other.m_capacity);
    m_allocator.swap(other.m_allocator);
    std::swap(m_offset, other.m_offset);
    std::swap(m_swap, other.m_swap);
}

IOBuffer::~IOBuffer()
{
    releaseStorage();
}

long IOBuffer::seek(unsigned offset) const
{
    if (offset > m_size) return kErrSeekOutOfRange;
    m_offset = offset;
    return kSuccess;
}

long IOBuffer::resize(unsigned size)
{
    unsigned offset = tell();
    if (size < offset) offset = 0;
    if (size > m_capacity) {
        // Grow geometrically so repeated small resizes stay linear overall.
        unsigned long long want = static_cast<unsigned long long>(m_capacity) + m_capacity / 2;
        unsigned capacity = want > size && want <= 0xFFFFFFFFull ? static_cast<unsigned>(want) : size;
        unsigned char* fresh = obtainBlock(capacity);
        if (m_size) std::memcpy(fresh, m_data, m_size);
        releaseStorage();
        m_data = fresh;
        m_capacity = capacity;
    }
    if (size > m_size) std::memset(m_data + m_size, 0, size - m_size);
    m_size = size;
    m_offset = 0;
    return seek(offset);
}

template <class T>
long IOBuffer::readValue(T& v) const
{
    if (!isSpaceAvailable(sizeof(T))) return kErrBufferExhausted;
    T tmp;
    std::memcpy(&tmp, m_data + m_offset, sizeof(T));
    v = m_swap ? byteSwap(tmp) : tmp;
    m_offset += sizeof(T);
    return kSuccess;
}

template <class T>
long IOBuffer::writeValue(T const& v)
{
    if (!isSpaceAvailable(sizeof(T))) return kErrBufferExhausted;
    T tmp = m_swap ? byteSwap(v) : v;
    std::memcpy(m_data + m_offset, &tmp, sizeof(T));
    m_offset += sizeof(T);
    return kSuccess;
}

long IOBuffer::read(signed char& v) const { return readValue(v); }
long IOBuffer::read(unsigned char& v) const { return readValue(v); }
long IOBuffer::read(short& v) const { return readValue(v); }
long IOBuffer::read(unsigned short& v) const { return readValue(v); }
long IOBuffer::read(int& v) const { return readValue(v); }
long IOBuffer::read(unsigned int& v) const { return readValue(v); }
long IOBuffer::read(float& v) const { return readValue(v); }
long IOBuffer::read(double& v) const { return readValue(v); }
long IOBuffer::read(long long& v) const { return readValue(v); }
long IOBuffer::read(unsigned long long& v) const { return readValue(v); }

long IOBuffer::read(ZELUNVec3<double>& v) const
{
    // Component by component: a short buffer keeps what was already read.
    if (long st = readValue(v.x)) return st;
    if (long st = readValue(v.y)) return st;
    return readValue(v.z);
}

long IOBuffer::read(unsigned char* destination, unsigned length) const
{
    if (!isSpaceAvailable(length)) return kErrBufferExhausted;
    if (length) std::memcpy(destination, m_data + m_offset, length);
    m_offset += length;
    return kSuccess;
}

long IOBuffer::write(signed char const& v) { return writeValue(v); }
long IOBuffer::write(unsigned char const& v) { return writeValue(v); }
long IOBuffer::write(short const& v) { return writeValue(v); }
long IOBuffer::write(unsigned short const& v) { return writeValue(v); }
long IOBuffer::write(int const& v) { return writeValue(v); }
long IOBuffer::write(unsigned int const& v) { return writeValue(v); }
long IOBuffer::write(float const& v) { return writeValue(v); }
long IOBuffer::write(double const& v) { return writeValue(v); }
long IOBuffer::write(long long const& v) { return writeValue(v); }
long IOBuffer::write(unsigned long long const& v) { return writeValue(v); }

long IOBuffer::write(ZELUNVec3<double> const& v)
{
    if (long st = writeValue(v.x)) return st;
    if (long st = writeValue(v.y)) return st;
    return writeValue(v.z);
}

long IOBuffer::write(unsigned char const* source, unsigned length)
{
    if (!isSpaceAvailable(length)) return kErrBufferExhausted;
    if (length) std::memcpy(m_data + m_offset, source, length);
    m_offset += length;
    return kSuccess;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
