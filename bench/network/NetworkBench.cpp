// Detection on this machine (through the real Linux sources) and office matching over lists
// of growing length.
#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "network/Detection.h"
#include "network/Matching.h"
#include "platform/linux/LinuxNetworkSource.h"
#include "platform/linux/RtNetlink.h"

namespace voldrane {
namespace {

void BM_DetectNetworkSettings(benchmark::State& state) {
    for (auto _ : state) {
        platform::linux_os::LinuxNetworkSource source;
        benchmark::DoNotOptimize(DetectNetworkSettings(source));
    }
}
BENCHMARK(BM_DetectNetworkSettings)->Unit(benchmark::kMicrosecond);

// The kernel part of detection; "dumps" is the number of rtnetlink dumps per read.
void BM_NetlinkSnapshot(benchmark::State& state) {
    size_t dumps = 0;
    for (auto _ : state) {
        auto snapshot = platform::linux_os::ReadNetlinkSnapshot(nullptr);
        if (!snapshot) {
            state.SkipWithError("rtnetlink failed");
            return;
        }
        dumps = snapshot->dumpsRequested.size();
        benchmark::DoNotOptimize(snapshot);
    }
    state.counters["dumps"] = static_cast<double>(dumps);
}
BENCHMARK(BM_NetlinkSnapshot)->Unit(benchmark::kMicrosecond);

// Offices on 10.x networks with their own servers; the current network agrees with none of
// them, so every office is scored (the worst case).
COfficeList MakeOffices(int count) {
    COfficeList list;
    for (int i = 0; i < count; ++i) {
        auto o = std::make_unique<COfficeNetwork>();
        const std::string net =
            "10." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
        o->m_strKeyName = "Office" + std::to_string(i);
        o->m_strOfficeName = "Office " + std::to_string(i);
        o->m_network = {net + ".20", "255.255.255.0", net + ".1", net + ".2",
                        net + ".53", net + ".54",     net + ".44"};
        list.Append(std::move(o));
    }
    return list;
}

const CNetworkSettings kElsewhere = {"192.168.1.20", "255.255.255.0", "192.168.1.1", "192.168.1.1",
                                     "192.168.1.53", "N/A",           "0.0.0.0"};

class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return c; }
};

void BM_FindMatchingOffice(benchmark::State& state) {
    const COfficeList offices = MakeOffices(static_cast<int>(state.range(0)));
    NullBuffer buffer;
    std::ostream out(&buffer);
    for (auto _ : state) benchmark::DoNotOptimize(FindMatchingOffice(offices, kElsewhere, out));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FindMatchingOffice)->RangeMultiplier(10)->Range(10, 10000)->Complexity(benchmark::oN);

void BM_ExplainMatch(benchmark::State& state) {
    const COfficeList offices = MakeOffices(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(ExplainMatch(offices, kElsewhere));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ExplainMatch)->RangeMultiplier(10)->Range(10, 10000)->Complexity(benchmark::oN);

}  // namespace
}  // namespace voldrane

BENCHMARK_MAIN();
