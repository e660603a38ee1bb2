#pragma once

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace zorvtest {

// Sends file descriptor 1 to a temporary file until text() is called, which
// restores it and returns everything written meanwhile.
class StdoutCapture {
public:
    StdoutCapture()
    {
        std::cout.flush();
        std::fflush(stdout);
        m_file = std::tmpfile();
        m_saved = ::dup(1);
        ::dup2(::fileno(m_file), 1);
    }
    ~StdoutCapture() { text(); }
    StdoutCapture(StdoutCapture const&) = delete;
    StdoutCapture& operator=(StdoutCapture const&) = delete;

    std::string text()
    {
        if (m_saved < 0) return m_text;
        std::cout.flush();
        std::fflush(stdout);
        ::dup2(m_saved, 1);
        ::close(m_saved);
        m_saved = -1;
        std::rewind(m_file);
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0) m_text.append(buffer, n);
        std::fclose(m_file);
        return m_text;
    }

private:
    std::FILE* m_file = nullptr;
    int m_saved = -1;
    std::string m_text;
};

}  // namespace zorvtest
