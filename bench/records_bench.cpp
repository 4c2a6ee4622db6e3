// What recording costs a run: the main thread's part (copying the run's record and queueing
// it: the time the station adds to each run, target under 50 us) and how many runs per second
// the record writer puts into the data file and the results database.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <unistd.h>

#include "model/program_model.h"
#include "runtime/run_context.h"
#include "station/record_writer.h"
#include "station/result_records.h"

namespace {

using namespace ksw;

constexpr int kMeasuringSteps = 50;

// A program of 50 measuring steps, judged and timed as after a run, with a full log line.
struct RecordedRun {
    RecordedRun() {
        for (int n = 1; n <= kMeasuringSteps; ++n) {
            (void)ensure_step(program, n * 10);
            program.step(n * 10)->mode = kModeCheckItem;
        }
        context.use_program(&program);
        for (int n = 1; n <= kMeasuringSteps; ++n) {
            StepRunState &s = context.steps[n * 10];
            s.judgement = kJudgedOk;
            s.elapsed_ms = 120;
            s.measure.average = 1.234 * n;
        }
        for (int i = 0; i < 40; ++i) (void)context.log.append(",12.3456789");
    }
    ProgramModel program;
    RunContext context;
};

std::string scratch_folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ksw-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return pattern + "/";
}

RecordJob job_for(const RecordedRun &run, const std::string &folder) {
    RecordJob job;
    job.record = capture_run(run.context, local_stamp_now(), 1500);
    job.record.total_ok = 10;
    job.options.data_file = true;
    job.options.rec_flags = kDefaultRecFlags | kRecErrorLog | kRecBaseStep | kRecStepTime;
    job.options.data_path = folder;
    return job;
}

// The main thread's part of recording a run: capture and queue (the writer keeps up; its own
// time is measured below).
void BM_RecordOnMainThread(benchmark::State &state) {
    RecordedRun run;
    const std::string folder = scratch_folder();
    RecordWriter writer("", "", nullptr);
    for (auto _ : state) {
        RecordJob job = job_for(run, folder);
        job.options.data_file = false;  // the writer's disk work is not part of this measurement
        writer.submit(std::move(job));
    }
    writer.drain();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RecordOnMainThread);

// Runs recorded per second by the writer: one data-file line (flushed) and one database
// transaction (50 step rows, synchronous=FULL) per run.
void BM_RunsRecordedPerSecond(benchmark::State &state) {
    RecordedRun run;
    const std::string folder = scratch_folder();
    const RecordJob job = job_for(run, folder);
    {
        RecordWriter writer("", state.range(0) ? folder + "results.db" : "", nullptr);
        for (auto _ : state) {
            writer.submit(job);
            writer.drain();
        }
    }
    state.SetItemsProcessed(state.iterations());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RunsRecordedPerSecond)->Arg(0)->Arg(1)->ArgName("database")->UseRealTime();

// The data-file line alone (formatting, no disk).
void BM_FormatDataLine(benchmark::State &state) {
    RecordedRun run;
    const RunRecord record = capture_run(run.context, local_stamp_now(), 1500);
    const uint32_t flags = kDefaultRecFlags | kRecErrorLog | kRecBaseStep | kRecStepTime;
    for (auto _ : state) benchmark::DoNotOptimize(format_data_line(record, flags, record.end));
}
BENCHMARK(BM_FormatDataLine);

}  // namespace
