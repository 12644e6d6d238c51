// A Monte Carlo analysis run on a worker thread, so that a window keeps answering while
// ten thousand copies of a filter are evaluated. The worker reads only its own copy of
// the design; the window polls the runs done, may cancel at any time, and takes the
// result over on its own thread once the worker has finished.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

#include "analysis/monte_carlo.h"
#include "model/design.h"

namespace velmora {

class MonteCarloJob {
  public:
    // Starts the analysis of `design` (copied here, before the worker starts) with
    // `options`; its Continue callback is replaced by the job's own progress and cancel.
    MonteCarloJob(const TDesign& design, MonteCarloOptions options);
    // Cancels a running analysis and waits for the worker.
    ~MonteCarloJob();
    MonteCarloJob(const MonteCarloJob&) = delete;
    MonteCarloJob& operator=(const MonteCarloJob&) = delete;

    int RunsDone() const { return shared_->done.load(std::memory_order_relaxed); }
    int Runs() const { return shared_->runs; }
    bool Finished() const { return shared_->finished.load(std::memory_order_acquire); }
    // Asks the worker to stop before its next run and waits for it; there is no result.
    void Cancel();
    // Once Finished(): the result (nothing when the analysis could not be made). Waits
    // for the worker to end first.
    std::optional<MonteCarloResult> Take();

  private:
    // What the worker and the window share; the worker keeps it alive through its own
    // reference, so nothing it touches belongs to the window.
    struct Shared {
        TDesign design;
        MonteCarloOptions options;
        std::optional<Specification> mask; // the options' mask, copied with the design
        int runs = 0;
        std::atomic<int> done{0};
        std::atomic<bool> cancel{false}, finished{false};
        std::optional<MonteCarloResult> result; // written before `finished` is set
    };
    std::shared_ptr<Shared> shared_;
    std::jthread worker_;
};

} // namespace velmora
