#pragma once

#include <cstddef>
#include <memory>
#include <utility>

// Owning array {element pointer, count, capacity}; elements are made with
// array new. A default array is empty (null, 0, 0). Copies are deep;
// assignment reallocates only when the target's capacity is below the
// source's count; resize keeps the storage when shrinking. An allocation
// that fails throws std::bad_alloc and leaks nothing: a copy or a growth
// leaves the array as it was, an assignment into the array's own storage may
// leave it holding the elements copied before the failure.
template <class T>
class ZELUNArray {
public:
    ZELUNArray() = default;
    explicit ZELUNArray(std::size_t n) { resize(n); }
    ZELUNArray(ZELUNArray const& o)
    {
        if (o.m_count == 0) return;
        // Held until every element is copied: an element whose copy throws
        // (an array of arrays short of memory) leaks nothing.
        std::unique_ptr<T[]> fresh(new T[o.m_count]);
        for (std::size_t i = 0; i < o.m_count; ++i) fresh[i] = o.m_data[i];
        m_data = fresh.release();
        m_count = m_capacity = o.m_count;
    }
    ZELUNArray(ZELUNArray&& o) noexcept : m_data(o.m_data), m_count(o.m_count), m_capacity(o.m_capacity)
    {
        o.m_data = nullptr;
        o.m_count = o.m_capacity = 0;
    }
    ~ZELUNArray() { delete[] m_data; }

    ZELUNArray& operator=(ZELUNArray const& o)
    {
        if (&o == this) return *this;
        if (m_capacity < o.m_count) {
            // Copied into the new block before it replaces the old one.
            std::unique_ptr<T[]> fresh(new T[o.m_count]);
            for (std::size_t i = 0; i < o.m_count; ++i) fresh[i] = o.m_data[i];
            delete[] m_data;
            m_data = fresh.release();
            m_capacity = o.m_count;
        } else {
            for (std::size_t i = 0; i < o.m_count; ++i) m_data[i] = o.m_data[i];
        }
        m_count = o.m_count;
        return *this;
    }
    ZELUNArray& operator=(ZELUNArray&& o) noexcept
    {
        if (&o != this) {
            delete[] m_data;
            m_data = o.m_data;
            m_count = o.m_count;
            m_capacity = o.m_capacity;
            o.m_data = nullptr;
            o.m_count = o.m_capacity = 0;
        }
        return *this;
    }

    void resize(std::size_t n)
    {
        if (n == m_count) return;
        if (n > m_capacity) reserve(n);
        m_count = n;
    }
    void reserve(std::size_t n)
    {
        if (n <= m_capacity) return;
        std::unique_ptr<T[]> fresh(new T[n]);
        for (std::size_t i = 0; i < m_count; ++i) fresh[i] = std::move(m_data[i]);
        delete[] m_data;
        m_data = fresh.release();
        m_capacity = n;
    }
    void append(T const& value)
    {
        if (m_count == m_capacity) reserve(m_capacity ? 2 * m_capacity : 4);
        m_data[m_count++] = value;
    }
    void clear() { m_count = 0; }

    std::size_t size() const { return m_count; }
    std::size_t getCount() const { return m_count; }
    std::size_t capacity() const { return m_capacity; }
    bool empty() const { return m_count == 0; }
    T* data() { return m_data; }
    T const* data() const { return m_data; }
    T& operator[](std::size_t i) { return m_data[i]; }
    T const& operator[](std::size_t i) const { return m_data[i]; }
    T* begin() { return m_data; }
    T* end() { return m_data + m_count; }
    T const* begin() const { return m_data; }
    T const* end() const { return m_data + m_count; }

private:
    T* m_data = nullptr;
    std::size_t m_count = 0;
    std::size_t m_capacity = 0;
};
