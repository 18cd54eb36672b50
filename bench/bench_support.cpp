// The benchmarks' shared pieces: working folders, generated input files, the opened line,
// quantiles and budgets.
#include "bench_support.h"

#include "common/state.h"
#include "platform/sim/sim.h"
#include "platform/sim/telephony.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace bench {

const char kCommitMode[] = "a+c";
const char kPlainMode[] = "a+";

namespace {

enum : uint32_t { kPcmFormatSize = 16, kWaveHeaderSize = 44 };

std::string previousDir;

// Filled by the benchmark files' static initialisers, so made on first use.
std::vector<Budget> &AllBudgets() {
    static std::vector<Budget> budgets;
    return budgets;
}

std::string WorkRoot() {
    static std::string root;
    if (root.empty()) {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd))
            abort();
        root = std::string(cwd) + "/bench-work-" + std::to_string(getpid());
        std::filesystem::create_directories(root);
        atexit([] { std::filesystem::remove_all(root); });
    }
    return root;
}

void Put32(std::string *out, uint32_t value) {
    for (int i = 0; i < 4; i++)
        out->push_back((char)(value >> (8 * i) & 0xFF));
}

void Put16(std::string *out, uint16_t value) {
    out->push_back((char)(value & 0xFF));
    out->push_back((char)(value >> 8));
}

} // namespace

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

void Enter(const std::string &name) {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd))
        abort();
    previousDir = cwd;
    std::string dir = WorkRoot() + "/" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    if (chdir(dir.c_str()) != 0)
        abort();
    sim::Reset();
    g_state = ScreeningState();
    sim::SetMessageBoxHandler([](const sim::MessageBoxRecord &) { return IDOK; });
}

void Leave() {
    if (g_state.eventLog)
        fclose(g_state.eventLog);
    if (g_state.callsLog)
        fclose(g_state.callsLog);
    g_state = ScreeningState();
    sim::Reset();
    if (chdir(previousDir.c_str()) != 0)
        abort();
}

std::string CurrentDir() {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd))
        abort();
    return cwd;
}

void OpenLogs(const char *mode) {
    g_state.eventLog = fopen("EventLog.txt", mode);
    g_state.callsLog = fopen("Calls Received.txt", mode);
    if (!g_state.eventLog || !g_state.callsLog)
        abort();
}

std::string AcceptNumber(int index) {
    char text[16];
    snprintf(text, sizeof text, "2125550%03d", index);
    return text;
}

std::string BlockNumber(int index) {
    char text[16];
    snprintf(text, sizeof text, "9005550%03d", index);
    return text;
}

void WriteFullLists() {
    std::ofstream accept("Accept Always.txt", std::ios::binary);
    accept << "// friends and family\r\n";
    for (int i = 0; i < kFullList; i++)
        accept << "(212) 555-0" << AcceptNumber(i).substr(7) << "\r\n";
    std::ofstream block("Block.txt", std::ios::binary);
    for (int i = 0; i < kFullList; i++) {
        block << "1-900-555-0" << BlockNumber(i).substr(7);
        block << (i % 4 == 3 ? " @ Go Away.wav\r\n" : "\r\n");
    }
}

void WriteMessage(const std::string &path, double seconds) {
    uint16_t blockAlign = kBitsPerSample / 8;
    uint32_t dataSize = (uint32_t)lround(seconds * kSampleRate) * blockAlign;
    std::string file;
    file.reserve(kWaveHeaderSize + dataSize);
    file += "RIFF";
    Put32(&file, kWaveHeaderSize - 8 + dataSize);
    file += "WAVEfmt ";
    Put32(&file, kPcmFormatSize);
    Put16(&file, WAVE_FORMAT_PCM);
    Put16(&file, 1);
    Put32(&file, kSampleRate);
    Put32(&file, kSampleRate * blockAlign);
    Put16(&file, blockAlign);
    Put16(&file, kBitsPerSample);
    file += "data";
    Put32(&file, dataSize);
    for (uint32_t i = 0; i < dataSize; i++)
        file.push_back((char)(i * 7 + (i >> 8)));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << file;
    if (!out)
        abort();
}

void OpenModemLine(LINECALLBACK callback) {
    if (sim::OpenVoiceModemLine(callback, &g_state.hLineApp, &g_state.hLine) != 0)
        abort();
    sim::ClearJournal();
}

void RunFor(uint64_t ms) {
    uint64_t end = sim::NowMs() + ms;
    sim::AddTimer(end, [] {});
    sim::RunMessageLoop([end] { return sim::NowMs() >= end; });
}

double Quantile(std::vector<double> samples, double q) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    size_t rank = (size_t)ceil(q * (double)samples.size());
    return samples[rank == 0 ? 0 : rank - 1];
}

void AddBudget(const Budget &budget) {
    AllBudgets().push_back(budget);
}

// A pattern names a benchmark with or without its arguments; one that ends in "/" names every
// benchmark of that family.
static bool NameMatches(const std::string &pattern, const std::string &name) {
    if (name.compare(0, pattern.size(), pattern) != 0)
        return false;
    return name.size() == pattern.size() || pattern.back() == '/' || name[pattern.size()] == '/';
}

const Budget *BudgetFor(const std::string &benchmark, const std::string &counter) {
    for (const Budget &b : AllBudgets())
        if (b.counter == counter && NameMatches(b.benchmark, benchmark))
            return &b;
    return nullptr;
}

const std::vector<Budget> &Budgets() {
    return AllBudgets();
}

} // namespace bench
