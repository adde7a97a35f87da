#ifndef CONCURRENT_H
#define CONCURRENT_H

#include <QList>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

// Runs each job on a thread of its own and waits for all of them, so that cases which must
// wait out a protocol time limit share one wait instead of queuing up.
inline void runConcurrently(const QList<std::function<void()>> &jobs)
{
    std::vector<std::unique_ptr<QThread>> threads;
    for (const auto &job : jobs)
        threads.emplace_back(QThread::create(job));
    for (auto &thread : threads)
        thread->start();
    for (auto &thread : threads)
        thread->wait();
}

#endif
