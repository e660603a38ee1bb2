#pragma once

// Running one test body on threads of their own, for the threaded suites.

#include <dirent.h>

#include <chrono>
#include <cstddef>
#include <thread>
#include <vector>

namespace testsupport {

// The answers `run` fills on a thread of its own, the reference that the
// threads sharing a shape must match.
template <class Answers, class Run>
Answers onOwnThread(Run const& run)
{
    Answers answers;
    std::thread([&] { run(answers); }).join();
    return answers;
}

// The answers of `count` threads running `run` at once, each into its own.
template <class Answers, class Run>
std::vector<Answers> onThreadsAtOnce(std::size_t count, Run const& run)
{
    std::vector<Answers> answers(count);
    std::vector<std::thread> threads;
    for (Answers& a : answers) threads.emplace_back([&run, &a] { run(a); });
    for (std::thread& t : threads) t.join();
    return answers;
}

// The threads of this process: its entries in /proc/self/task.
inline int taskCount()
{
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return -1;
    int n = 0;
    while (dirent const* e = readdir(dir)) n += e->d_name[0] != '.';
    closedir(dir);
    return n;
}

// The task count once joined threads are gone: a thread wakes its joiner a
// few microseconds before it leaves the task list, later on a loaded
// machine (up to 50 ms waited).
inline int settledTaskCount(int baseline)
{
    int n = taskCount();
    for (int i = 0; i < 500 && n > baseline; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        n = taskCount();
    }
    return n;
}

// The task count before a call: taken after one thread has come and gone,
// as a sanitizer's runtime starts a thread of its own at the first start.
inline int baselineTaskCount()
{
    std::thread([] {}).join();
    return settledTaskCount(taskCount());
}

}  // namespace testsupport
