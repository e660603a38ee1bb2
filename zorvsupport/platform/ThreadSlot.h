#pragma once

// Library-internal: one object of type T per thread, made on the thread's
// first use and destroyed when the thread ends.
//
// A thread_local with a destructor cannot be used for this: glibc registers
// such a destructor with an allocation at the thread's first use, and ends
// the process when that allocation fails. The slot keeps its objects under a
// pthread key made once, when the library is loaded; a first use that cannot
// get memory for the object or its entry answers null, and the thread's next
// use tries again.

#include <pthread.h>

#include <new>

namespace ZELUNThread {

template <class T>
class ThreadSlot {
public:
    ThreadSlot() { m_ready = pthread_key_create(&m_key, &destroy) == 0; }
    ~ThreadSlot()
    {
        // The objects of threads still running are left to them; the key
        // goes with the library.
        if (m_ready) pthread_key_delete(m_key);
    }
    ThreadSlot(ThreadSlot const&) = delete;
    ThreadSlot& operator=(ThreadSlot const&) = delete;

    // The calling thread's object, or null when it has none yet.
    T* find() const { return m_ready ? static_cast<T*>(pthread_getspecific(m_key)) : nullptr; }

    // The calling thread's object, made when missing; null when it cannot be
    // made now (memory, or std::bad_alloc from T's constructor).
    T* get()
    {
        if (T* t = find()) return t;
        if (!m_ready) return nullptr;
        T* t = nullptr;
        try {
            t = new T();
        } catch (std::bad_alloc const&) {
            return nullptr;
        }
        if (pthread_setspecific(m_key, t) != 0) {
            delete t;
            return nullptr;
        }
        return t;
    }

private:
    static void destroy(void* p) { delete static_cast<T*>(p); }

    pthread_key_t m_key{};
    bool m_ready = false;
};

}  // namespace ZELUNThread
