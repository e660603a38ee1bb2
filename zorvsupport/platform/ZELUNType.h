#pragma once

// Single-owner holder. Copying moves the object out of the source, which is
// left empty; assignment releases what the target held first.
template <class T>
class ZELUNType {
public:
    explicit ZELUNType(T* p = nullptr) : m_ptr(p) {}
    ZELUNType(ZELUNType const& other) : m_ptr(other.release()) {}
    ~ZELUNType() { delete m_ptr; }

    ZELUNType& operator=(ZELUNType const& other)
    {
        if (&other != this) reset(other.release());
        return *this;
    }

    T* get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    T& operator*() const { return *m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }
    bool isNull() const { return m_ptr == nullptr; }

    // Gives up ownership without deleting.
    T* release() const
    {
        T* p = m_ptr;
        m_ptr = nullptr;
        return p;
    }
    void reset(T* p = nullptr)
    {
        if (p == m_ptr) return;
        T* old = m_ptr;
        m_ptr = p;
        delete old;
    }

private:
    mutable T* m_ptr;
};
