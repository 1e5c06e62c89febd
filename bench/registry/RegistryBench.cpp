// Loading the offices from the settings file and saving one office, through the file store
// on the disk that holds /tmp (as the user's ~/.config would be).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "offices/CRegistry.h"
#include "offices/OfficeStore.h"
#include "offices/RegFile.h"
#include "platform/linux/RegFileStore.h"

namespace voldrane {
namespace {

using platform::linux_os::RegFileStore;

COfficeNetwork MakeOffice(int i) {
    COfficeNetwork o;
    o.m_strOfficeName = "Office number " + std::to_string(i);
    const std::string net =
        "10." + std::to_string(i / 250 % 250) + "." + std::to_string(i % 250) + ".";
    o.m_network = {net + "20", "255.255.255.0", net + "1", net + "2",
                   net + "53", net + "54",      net + "44"};
    o.m_strDefaultPrinter = "Printer on floor " + std::to_string(i % 7);
    return o;
}

// One settings file per office count, made once and removed at exit.
class Files {
  public:
    ~Files() {
        if (!m_root.empty()) std::filesystem::remove_all(m_root);
    }
    std::string For(int offices) {
        if (m_root.empty()) {
            std::string tmpl = "/tmp/voldrane-bench-XXXXXX";
            m_root = mkdtemp(tmpl.data());
        }
        auto& path = m_paths[offices];
        if (path.empty()) {
            path = m_root + "/" + std::to_string(offices) + "/Voldrane.reg";
            RegFileStore store(path);
            CRegistry reg(store);
            std::vector<COfficeNetwork> made;
            for (int i = 0; i < offices; ++i) made.push_back(MakeOffice(i));
            std::vector<COfficeNetwork*> pointers;
            for (auto& o : made) pointers.push_back(&o);
            AddOffices(reg, pointers, 1072915200);
        }
        return path;
    }

  private:
    std::string m_root;
    std::map<int, std::string> m_paths;
};

Files g_files;

// What the tray program does at start: a new store, then LoadOffices.
void BM_LoadOffices(benchmark::State& state) {
    const std::string path = g_files.For(static_cast<int>(state.range(0)));
    int parses = 0;
    for (auto _ : state) {
        RegFileStore store(path);
        CRegistry reg(store);
        COfficeList list;
        LoadOffices(reg, list);
        if (list.GetSize() != state.range(0)) state.SkipWithError("wrong number of offices");
        parses = store.ParseCount();
    }
    state.counters["parses"] = parses;  // per load: must be 1
}
BENCHMARK(BM_LoadOffices)->Arg(64)->Arg(10000)->Unit(benchmark::kMillisecond);

// The parse alone, from bytes in memory, for comparison.
void BM_ParseRegFile(benchmark::State& state) {
    std::ifstream in(g_files.For(static_cast<int>(state.range(0))), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    for (auto _ : state) benchmark::DoNotOptimize(ParseRegFile(text));
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ParseRegFile)->Arg(64)->Arg(10000)->Unit(benchmark::kMillisecond);

// The large shapes a hostile or careless file can take, about 3 MB each: 80,000 values in one
// key, and 80,000 keys in descending order (the worst order for a sorted insert).
std::string LargeShape(int shape) {
    std::string file = "Windows Registry Editor Version 5.00\n\n";
    if (shape == 0) {
        file += "[HKEY_CURRENT_USER\\Software\\K]\n";
        for (int i = 0; i < 80000; ++i)
            file += "\"value number " + std::to_string(i) + "\"=\"some text here\"\n";
    } else {
        for (int i = 79999; i >= 0; --i)
            file += "[HKEY_CURRENT_USER\\Software\\K\\" + std::to_string(i) + "]\n";
    }
    return file;
}

void BM_ParseLargeShapes(benchmark::State& state) {
    const std::string text = LargeShape(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(ParseRegFile(text));
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ParseLargeShapes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What `voldranectl list` does with a store of 80,000 office keys in descending order.
void BM_LoadDescendingOffices(benchmark::State& state) {
    const std::string path = g_files.For(1) + ".descending.reg";
    {
        std::string file = "Windows Registry Editor Version 5.00\n\n";
        for (int i = 79999; i >= 0; --i)
            file += "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\" +
                    std::to_string(i) + "]\n";
        std::ofstream(path, std::ios::binary) << file;
    }
    for (auto _ : state) {
        RegFileStore store(path);
        CRegistry reg(store);
        COfficeList list;
        LoadOffices(reg, list);
        if (list.GetSize() != 80000) state.SkipWithError("wrong number of offices");
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".lock");
}
BENCHMARK(BM_LoadDescendingOffices)->Unit(benchmark::kMillisecond);

// Saving one edited office into a store of 64: one durable rewrite of the file.
void BM_SaveOffice(benchmark::State& state) {
    const std::string path = g_files.For(static_cast<int>(state.range(0)));
    RegFileStore store(path);
    CRegistry reg(store);
    COfficeList list;
    LoadOffices(reg, list);
    COfficeNetwork office = list.ElementAt(list.GetSize() / 2);
    int n = 0;
    for (auto _ : state) {
        office.m_strOfficeName = "Edited " + std::to_string(n++);  // a change, so it is written
        if (!SaveOffice(reg, office)) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveOffice)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace voldrane

BENCHMARK_MAIN();
