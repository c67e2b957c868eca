// Benchmarks of the clock, the codec and the floor they are held to. After
// the usual table, prints each goal as a ratio of two rows of the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "idstamp/date_ticks.h"
#include "idstamp/token_codec.h"
#include "token/core.h"
#include "token/scramble.h"

namespace {

using idstamp::crypt_id;
using idstamp::decrypt_id;

constexpr std::uint32_t stamp = 411'196'474;
constexpr std::int32_t lifetime = 30;

// An id of n bytes with digits, letters and a byte above 127 in it.
std::string id_of(std::size_t n) {
  static constexpr char pattern[] = "id-0123456789-ABCxyz\xe9";
  std::string id(n, ' ');
  for (std::size_t i = 0; i < n; ++i) id[i] = pattern[i % (sizeof pattern - 1)];
  return id;
}

// A fresh token of about n bytes: up to 999 bytes of id, and past that a
// stamp padded with leading zeros, which the check must still read through.
std::string token_of(std::size_t n) {
  const std::size_t id_size = n < 999 ? n : 999;
  std::string plain = std::to_string(1000 + id_size).substr(1) + id_of(id_size);
  plain += std::string(n > plain.size() + 9 ? n - plain.size() - 9 : 0, '0');
  plain += std::to_string(stamp);
  idstamp::scramble_for_issue(plain.data(), plain.size());
  return plain;
}

void year_stamp(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(idstamp::year_stamp());
}
BENCHMARK(year_stamp);

void crypt_clock(benchmark::State& state) {
  const std::string id = id_of(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(crypt_id(id));
}
BENCHMARK(crypt_clock)->Name("crypt_id")->Arg(16);

void decrypt_clock(benchmark::State& state) {
  const std::string token = *crypt_id(id_of(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(decrypt_id(token, lifetime));
}
BENCHMARK(decrypt_clock)->Name("decrypt_id")->Arg(16);

void round_trip(benchmark::State& state) {
  const std::string id = id_of(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(decrypt_id(*crypt_id(id), lifetime));
}
BENCHMARK(round_trip)->Arg(16);

void crypt_pure(benchmark::State& state) {
  const std::string id = id_of(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(crypt_id(id, stamp));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(crypt_pure)->Arg(16)->Arg(256)->Arg(999);

void decrypt_pure(benchmark::State& state) {
  const std::string token = token_of(static_cast<std::size_t>(state.range(0)));
  if (decrypt_id(token, lifetime, stamp) != std::optional<std::string>(id_of(std::min<std::size_t>(
                                                static_cast<std::size_t>(state.range(0)), 999))))
    state.SkipWithError("the benchmark token does not check back");
  for (auto _ : state) benchmark::DoNotOptimize(decrypt_id(token, lifetime, stamp));
  state.counters["token_bytes"] = static_cast<double>(token.size());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(token.size()));
}
BENCHMARK(decrypt_pure)->Arg(16)->Arg(256)->Arg(999)->Arg(131'072);

// The core on its own: issuing into a buffer, and checking in place.
void crypt_core(benchmark::State& state) {
  const std::string id = id_of(static_cast<std::size_t>(state.range(0)));
  char token[idstamp::max_token_length];
  for (auto _ : state) {
    benchmark::DoNotOptimize(idstamp::issue_token(token, sizeof token, id, stamp));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(crypt_core)->Arg(16);

void check_core(benchmark::State& state) {
  const std::string token = token_of(static_cast<std::size_t>(state.range(0)));
  char id[idstamp::max_id_length + 1];
  idstamp::Check check;
  for (auto _ : state) {
    idstamp::check_token(token, lifetime, idstamp::at_stamp(stamp), id, check);
    benchmark::DoNotOptimize(check);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(check_core)->Arg(16);

void copy(benchmark::State& state) {
  const std::string text = id_of(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::string c = text;
    benchmark::DoNotOptimize(c);
  }
}
BENCHMARK(copy)->Arg(16)->Arg(256)->Arg(999);

// Keeps each row's time per iteration (and token size) for the goals: the
// median of the repetitions where there are several, else the one run.
class GoalReporter : public benchmark::ConsoleReporter {
 public:
  GoalReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      const std::string name = run.run_name.str();
      if (!median && medians_.count(name) > 0) continue;
      if (median) medians_.insert(name);
      ns_[name] = run.GetAdjustedCPUTime();
      const auto bytes = run.counters.find("token_bytes");
      if (bytes != run.counters.end()) bytes_[name] = bytes->second;
    }
  }

  // Prints every goal; true when all of them were measured and met.
  bool report_goals() const {
    std::printf("\n%-52s %8s %8s\n", "goal", "ratio", "limit");
    bool met = true;
    const auto goal = [&](const char* what, double ratio, double limit) {
      const bool ok = ratio > 0 && ratio <= limit;
      std::printf("%-52s %8.3f %8.2f %s\n", what, ratio, limit, ok ? "met" : "MISSED");
      met = met && ok;
    };
    goal("round_trip/16 / (2 x year_stamp)", ratio("round_trip/16", "year_stamp") / 2, 1.5);
    goal("crypt_pure/16 / copy/16", ratio("crypt_pure/16", "copy/16"), 3);
    goal("decrypt_pure/16 / copy/16", ratio("decrypt_pure/16", "copy/16"), 3);
    // Linear on hostile input: a 131072-byte token costs no more per byte than
    // twice a 999-byte id's, however fast the short one gets.
    goal("per byte: decrypt_pure/131072 / decrypt_pure/999",
         per_byte("decrypt_pure/131072") / per_byte("decrypt_pure/999"), 2);
    return met;
  }

 private:
  double at(const std::string& name) const {
    const auto it = ns_.find(name);
    return it == ns_.end() ? 0 : it->second;
  }
  double ratio(const std::string& a, const std::string& b) const {
    return at(b) > 0 ? at(a) / at(b) : 0;
  }
  double per_byte(const std::string& name) const {
    const auto it = bytes_.find(name);
    return it == bytes_.end() || it->second <= 0 ? 0 : at(name) / it->second;
  }

  std::set<std::string> medians_;
  std::map<std::string, double> ns_;
  std::map<std::string, double> bytes_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  GoalReporter reporter;
  const std::size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);
  // With a filter some goals cannot be measured; only a full run judges them.
  const bool met = reporter.report_goals();
  benchmark::Shutdown();
  return ran > 0 && (met || std::getenv("IDSTAMP_BENCH_NO_GOALS") != nullptr) ? 0 : 1;
}
