#pragma once

#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNVec3.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class DataVector;

// Fixed-size byte buffer with a current position and a byte-swap flag.
// Typed values are little-endian, each multi-byte component reversed when the
// swap flag is set; one-byte values and raw blocks are never reversed. A read
// or write that does not fit fails with kErrBufferExhausted; the buffer only
// grows through resize(). Reads are const but move the position.
class ZORV_EXPORT IOBuffer {
public:
    // Storage supplier implemented by the host.
    class ZORV_EXPORT BufferAllocator {
    public:
        virtual ~BufferAllocator();
        virtual unsigned char* allocate(unsigned byteCount) = 0;
        virtual void deallocate(unsigned char* block, unsigned byteCount) = 0;
    };
    using AllocatorHandle = boost::shared_ptr<BufferAllocator>;

    IOBuffer(unsigned size = 0, bool swap = false, AllocatorHandle allocator = AllocatorHandle());
    // Deep copy into storage from `allocator` (new[] when empty), with the
    // other buffer's swap flag and position.
    IOBuffer(IOBuffer const& other, AllocatorHandle allocator = AllocatorHandle());
    // Copies the bytes into this buffer's own storage (same allocator).
    IOBuffer& operator=(IOBuffer const& other);
    virtual ~IOBuffer();

    bool getSwap() const { return m_swap; }
    void setSwap(bool swap) { m_swap = swap; }
    unsigned getSizeInBytes() const { return m_size; }
    long resize(unsigned size);
    unsigned tell() const { return m_offset; }
    long seek(unsigned offset) const;
    bool isSpaceAvailable(unsigned n) const { return n <= m_size - m_offset; }

    unsigned char* getStartPtr() { return m_size ? m_data : nullptr; }
    unsigned char const* getStartPtr() const { return m_size ? m_data : nullptr; }
    unsigned char* getEndPtr() { return m_size ? m_data + m_size : nullptr; }
    unsigned char const* getEndPtr() const { return m_size ? m_data + m_size : nullptr; }
    unsigned char* getCurPtr() { return m_size ? m_data + m_offset : nullptr; }
    unsigned char const* getCurPtr() const { return m_size ? m_data + m_offset : nullptr; }

    long read(signed char& v) const;
    long read(unsigned char& v) const;
    long read(short& v) const;
    long read(unsigned short& v) const;
    long read(int& v) const;
    long read(unsigned int& v) const;
    long read(float& v) const;
    long read(double& v) const;
    long read(long long& v) const;
    long read(unsigned long long& v) const;
    long read(ZELUNVec3<double>& v) const;
    long read(unsigned char* destination, unsigned length) const;
    // Block transfers of a vector's values, defined with the vector's binary
    // form (the vector layer builds on this one, not the other way round).
    long read(DataVector& vector) const;

    long write(signed char const& v);
    long write(unsigned char const& v);
    long write(short const& v);
    long write(unsigned short const& v);
    long write(int const& v);
    long write(unsigned int const& v);
    long write(float const& v);
    long write(double const& v);
    long write(long long const& v);
    long write(unsigned long long const& v);
    long write(ZELUNVec3<double> const& v);
    long write(unsigned char const* source, unsigned length);
    long write(DataVector const& vector);

private:
    friend class Property;
    // Exchanges the whole state with `other`.
    void swap(IOBuffer& other) noexcept;

    template <class T>
    long readValue(T& v) const;
    template <class T>
    long writeValue(T const& v);
    unsigned char* obtainBlock(unsigned capacity) const;
    void returnBlock(unsigned char* block, unsigned capacity) const;
    void releaseStorage();

    unsigned char* m_data = nullptr;
    unsigned m_size = 0;
    unsigned m_capacity = 0;
    AllocatorHandle m_allocator;
    mutable unsigned m_offset = 0;
    bool m_swap = false;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
