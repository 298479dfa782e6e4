// plover-avi-damage: runs thousands of damaged recordings through the parser, the check and the
// repair, each in a child process with a time limit, and prints the counts per kind of damage:
// inputs, crashes, hangs, wrong results, and the frames recovered at their own numbers against
// the frames whose chunks were whole.
//
//   plover-avi-damage [SAMPLES_PER_KIND_AND_FILE] [SEED]   (default 100, 1)

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "DamageCorpus.h"

using namespace avidamage;

namespace {

constexpr int kSecondsAllowed = 20; // a hang is a child still running after this

struct Totals {
    std::uint64_t nInputs = 0;
    std::uint64_t nCrashes = 0;
    std::uint64_t nHangs = 0;
    std::uint64_t nWrong = 0;
    std::uint64_t nIntact = 0;
    std::uint64_t nRecovered = 0;
    std::uint64_t nUnplaceable = 0;
    std::uint64_t nShort = 0; // samples that lost an intact frame where numbers must be kept
    std::string firstWrong;
};

struct Report {
    std::uint32_t nIntact;
    std::uint32_t nRecovered;
    std::uint32_t nUnplaceable;
    std::uint32_t nWrong;
    char first[200];
};

enum class Ending { Done, Crashed, Hung };

// Evaluates one sample in a child process; the outcome comes back through a pipe.
Ending RunOne(const Original& original, const Sample& sample, Report* pReport)
{
    int fds[2];
    if (pipe(fds) != 0)
        return Ending::Crashed;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const Outcome outcome = Evaluate(original, sample);
        Report r{};
        r.nIntact = outcome.nIntact;
        r.nRecovered = outcome.nRecovered;
        r.nUnplaceable = outcome.nUnplaceable;
        r.nWrong = static_cast<std::uint32_t>(outcome.vecWrong.size());
        if (!outcome.vecWrong.empty())
            std::snprintf(r.first, sizeof r.first, "%s", outcome.vecWrong.front().c_str());
        const ssize_t written = write(fds[1], &r, sizeof r);
        _exit(written == static_cast<ssize_t>(sizeof r) ? 0 : 3);
    }
    close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    const int ready = poll(&p, 1, kSecondsAllowed * 1000);
    Ending ending = Ending::Done;
    if (ready <= 0) {
        kill(child, SIGKILL);
        ending = Ending::Hung;
    } else if (read(fds[0], pReport, sizeof *pReport) != static_cast<ssize_t>(sizeof *pReport)) {
        ending = Ending::Crashed;
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (ending == Ending::Done && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        ending = Ending::Crashed;
    return ending;
}

void PrintRow(const char* name, const Totals& t)
{
    std::printf("%-28s %7llu %7llu %6llu %6llu %9llu / %-9llu %6llu %11llu\n", name, static_cast<unsigned long long>(t.nInputs),
                static_cast<unsigned long long>(t.nCrashes), static_cast<unsigned long long>(t.nHangs),
                static_cast<unsigned long long>(t.nWrong), static_cast<unsigned long long>(t.nRecovered),
                static_cast<unsigned long long>(t.nIntact), static_cast<unsigned long long>(t.nShort),
                static_cast<unsigned long long>(t.nUnplaceable));
}

} // namespace

int main(int argc, char** argv)
{
    const int perKind = argc > 1 ? std::atoi(argv[1]) : 100;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1u;
    const std::vector<Original> originals = MakeOriginals();
    if (originals.empty() || perKind <= 0) {
        std::fprintf(stderr, "usage: plover-avi-damage [SAMPLES_PER_KIND_AND_FILE] [SEED]\n");
        return 2;
    }
    std::mt19937 random(seed);
    std::map<Damage, Totals> byKind;
    Totals all;
    for (const Damage kind : AllDamage()) {
        Totals& t = byKind[kind];
        for (const Original& original : originals) {
            for (int i = 0; i < perKind; ++i) {
                const Sample sample = MakeDamage(original, kind, random);
                Report r{};
                const Ending ending = RunOne(original, sample, &r);
                ++t.nInputs;
                if (ending == Ending::Crashed) {
                    ++t.nCrashes;
                    std::printf("crash: %s, %s: %s\n", original.name.c_str(), DamageName(kind), sample.what.c_str());
                    continue;
                }
                if (ending == Ending::Hung) {
                    ++t.nHangs;
                    std::printf("hang: %s, %s: %s\n", original.name.c_str(), DamageName(kind), sample.what.c_str());
                    continue;
                }
                t.nIntact += r.nIntact;
                t.nRecovered += r.nRecovered;
                t.nUnplaceable += r.nUnplaceable;
                if (KeepsNumbers(kind) && r.nRecovered < r.nIntact)
                    ++t.nShort;
                if (r.nWrong > 0) {
                    ++t.nWrong;
                    if (t.firstWrong.empty())
                        t.firstWrong = original.name + ", " + sample.what + ": " + r.first;
                }
            }
        }
        std::fflush(stdout);
    }
    std::printf("%-28s %7s %7s %6s %6s %21s %6s %11s\n", "damage", "inputs", "crashes", "hangs", "wrong", "recovered / intact",
                "short", "unplaceable");
    for (const auto& [kind, t] : byKind) {
        PrintRow(DamageName(kind), t);
        all.nInputs += t.nInputs;
        all.nCrashes += t.nCrashes;
        all.nHangs += t.nHangs;
        all.nWrong += t.nWrong;
        all.nIntact += t.nIntact;
        all.nRecovered += t.nRecovered;
        all.nUnplaceable += t.nUnplaceable;
        all.nShort += t.nShort;
    }
    PrintRow("all", all);
    std::printf("(short: samples where a frame whose chunk was whole did not come back at its number; the kinds that\n"
                " copy a chunk over another or change the headers are not held to that;\n"
                " unplaceable: whole frames of a segment with drops whose standard index was destroyed, in a\n"
                " recording without running time codes (the Type 2 one), so that\n"
                " where its drops were is unknown; they are recovered, but not counted as intact)\n");
    for (const auto& [kind, t] : byKind)
        if (!t.firstWrong.empty())
            std::printf("first wrong result, %s: %s\n", DamageName(kind), t.firstWrong.c_str());
    return all.nCrashes + all.nHangs + all.nWrong == 0 ? 0 : 1;
}
