#include "cli/kgfconv_jobs.h"

#include "cli/kgfconv_output.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct job_slot {
    bool held = false; // outputs and messages went to the journal
    bool finished = false;
    output_journal journal;
    job_outcome outcome;
};

struct job_board {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<job_slot> slots;
    int next_to_start = 0;
    int next_to_finish = 0; // every file before it is finished and shown
};

// Files may run ahead of the one being finished by this many, counting the
// ones running: what they hold back is bounded by what the workers need.
// Each file ahead holds all its outputs, a large picture's many megabytes,
// until its turn; a wider window would add little speed for much memory.
int window_of(int threads) {
    return threads;
}

void worker(job_board& board, const job_plan& plan, const job_work& work) {
    const int window = window_of(plan.threads);
    for (;;) {
        int index = 0;
        bool in_turn = false;
        {
            std::unique_lock<std::mutex> guard(board.lock);
            board.changed.wait(guard, [&] {
                if (board.next_to_start >= plan.count)
                    return true;
                const int next = board.next_to_start;
                if (next >= board.next_to_finish + window)
                    return false;
                // One thread keeps strictly to the order given.
                return (plan.threads > 1 && !plan.must_wait(next)) || board.next_to_finish == next;
            });
            if (board.next_to_start >= plan.count)
                return;
            index = board.next_to_start++;
            in_turn = board.next_to_finish == index;
        }
        job_slot& slot = board.slots[static_cast<size_t>(index)];
        slot.held = !in_turn;
        begin_file_messages(plan.file_of(index), slot.held ? &slot.journal : nullptr);
        job_outcome outcome = work(index, slot.held ? &slot.journal : nullptr);
        end_file_messages();
        {
            std::lock_guard<std::mutex> guard(board.lock);
            slot.outcome = std::move(outcome);
            slot.finished = true;
        }
        board.changed.notify_all();
    }
}

} // namespace

int release_held(const std::string& file, output_journal& journal, run_inputs* run) {
    int ok = 1;
    begin_file_messages(file, nullptr);
    // What the earlier files wrote is known now: the outputs are claimed
    // as -j 1 claims them.
    output_guard guard;
    guard.inputs = run;
    // Failures come after the warnings and notes, as a file converted in
    // turn prints them, each in its place.
    std::vector<std::string> failures;
    for (journal_entry& entry : journal.entries) {
        if (entry.is_failure) {
            failures.push_back(entry.text);
            continue;
        }
        if (!entry.is_output) {
            print_file_message(file, entry.text);
            continue;
        }
        kgf_failure failure{claim_held_output(guard, entry.path), entry.path};
        if (failure.status == kgf_status::ok)
            failure = write_output_now(entry.folder.c_str(), entry.path, entry.bytes, run);
        if (failure.status != kgf_status::ok) {
            failures.push_back(failure_message(failure));
            ok = 0;
        }
        entry.bytes = std::vector<uint8_t>();
    }
    for (const std::string& text : failures)
        print_file_message(file, text);
    end_file_messages();
    journal.entries.clear();
    return ok;
}

int run_jobs(const job_plan& asked, const job_work& work, const job_done& done) {
    job_plan plan = asked;
    plan.threads = std::clamp(asked.threads, 1, std::clamp(asked.count, 1, most_threads));
    job_board board;
    board.slots.resize(static_cast<size_t>(plan.count));
    std::vector<std::thread> workers;
    for (int t = 0; t < plan.threads; ++t)
        workers.emplace_back(worker, std::ref(board), std::cref(plan), std::cref(work));

    int failed = 0;
    for (int index = 0; index < plan.count; ++index) {
        job_slot& slot = board.slots[static_cast<size_t>(index)];
        {
            std::unique_lock<std::mutex> guard(board.lock);
            board.changed.wait(guard, [&] { return slot.finished; });
        }
        if (slot.held && !release_held(plan.file_of(index), slot.journal, plan.run))
            slot.outcome.ok = 0;
        if (!slot.outcome.ok)
            ++failed;
        done(index, slot.outcome);
        {
            std::lock_guard<std::mutex> guard(board.lock);
            board.next_to_finish = index + 1;
        }
        board.changed.notify_all();
    }
    for (std::thread& thread : workers)
        thread.join();
    return failed;
}
