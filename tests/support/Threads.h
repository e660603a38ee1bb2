#pragma once

// Running one test body on threads of their own, for the threaded suites.

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

}  // namespace testsupport
