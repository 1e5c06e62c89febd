// One spooler call as the tray program makes it (HelperSpooler: a voldranectl process per
// call) against the same call in process (CupsSpooler), against the cupsd that
// helper_spooler.sh starts. CPU time counts the helper's too (RUSAGE_CHILDREN).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "platform/linux/CupsSpooler.h"
#include "platform/linux/HelperSpooler.h"

namespace {

using voldrane::platform::ISpooler;
using voldrane::platform::linux_os::CupsSpooler;
using voldrane::platform::linux_os::HelperSpooler;

double CpuSeconds() {
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    const auto s = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return s(self.ru_utime) + s(self.ru_stime) + s(children.ru_utime) + s(children.ru_stime);
}

enum Call { kList, kDefault, kSet };

template <class Spooler>
void BM_Call(benchmark::State& state) {
    Spooler spooler = [] {
        if constexpr (std::is_same_v<Spooler, HelperSpooler>)
            return HelperSpooler(VOLDRANECTL);
        else
            return CupsSpooler();
    }();
    const auto call = static_cast<Call>(state.range(0));
    const double cpuStart = CpuSeconds();
    for (auto _ : state) {
        std::string error;
        bool ok = true;
        if (call == kList) ok = spooler.EnumPrinters(&error).has_value();
        if (call == kDefault) ok = spooler.GetDefaultPrinter(&error).has_value();
        if (call == kSet) ok = spooler.SetDefaultPrinter("office_b", &error);
        if (!ok) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.counters["cpu_ms_per_call"] = benchmark::Counter((CpuSeconds() - cpuStart) * 1e3 /
                                                           static_cast<double>(state.iterations()));
    state.SetLabel(call == kList      ? "EnumPrinters"
                   : call == kDefault ? "GetDefaultPrinter"
                                      : "SetDefaultPrinter");
}

BENCHMARK(BM_Call<HelperSpooler>)
    ->DenseRange(kList, kSet)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Call<CupsSpooler>)
    ->DenseRange(kList, kSet)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
