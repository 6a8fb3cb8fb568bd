// bunny_search: the largest sprite count that each of several bunnymarks
// keeps at 60 frames/s or more, searched for all of them in one interleaved
// run (CountSearch: double, then bisect to within 5 %), so that whatever
// else loads the machine meanwhile weighs on every program alike. Each round
// probes every program whose search is still open once, in an order that
// rotates from round to round. Other work on the machine can only slow a
// program down, so a probe that falls below 60 frames/s is run again, up to
// TRIES runs in all, and its best run counts.
//
//   bunny_search [--rate R] [--max N] SECONDS START TRIES NAME=COMMAND [NAME=COMMAND...]
//
// --rate R searches for the count kept at R frames/s instead of 60 (a
// browser's page cannot beat its display's rate, which comes out a hair
// under 60 when measured). --max N probes no count above N: a program
// that keeps the rate there is done (a quick run of the whole chain).
//
// COMMAND is run through the shell as `COMMAND COUNT SECONDS` and must print
// the line "COUNT sprites F frames/s". Prints, on standard output,
//
//   probe NAME COUNT F
//   result NAME COUNT
//
// with F the best of the probe's runs. A run that prints no such line counts
// as 0 frames/s and is reported on standard error.
#include "CountSearch.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double targetRate = 60.0;
constexpr double kTolerance = 0.05;

struct Contender {
    std::string name;
    std::string command;
    CountSearch search;
};

// Runs the program once; the frame rate it printed, or 0.
double runOnce(const Contender& contender, int count, const char* seconds) {
    const std::string command =
        contender.command + " " + std::to_string(count) + " " + seconds + " </dev/null";
    std::FILE* output = popen(command.c_str(), "r");
    if (output == nullptr) {
        std::fprintf(stderr, "bunny_search: cannot run %s\n", command.c_str());
        return 0.0;
    }
    double rate = -1.0;
    char line[512];
    while (std::fgets(line, sizeof line, output) != nullptr) {
        int printedCount = 0;
        double printedRate = 0.0;
        if (std::sscanf(line, "%d sprites %lf frames/s", &printedCount, &printedRate) == 2 &&
            printedCount == count) {
            rate = printedRate;
        }
    }
    const int status = pclose(output);
    if (rate < 0.0 || status != 0) {
        std::fprintf(stderr, "bunny_search: %s gave no frame rate (status %d)\n", command.c_str(),
                     status);
        return 0.0;
    }
    return rate;
}

// The best rate of up to `tries` runs, stopping at the first that keeps the target.
double probe(const Contender& contender, int count, const char* seconds, int tries) {
    double best = 0.0;
    for (int run = 0; run < tries && best < targetRate; ++run) {
        const double rate = runOnce(contender, count, seconds);
        best = rate > best ? rate : best;
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    int maxCount = CountSearch::kMaxCount;
    while (argc > 2 && (std::string(argv[1]) == "--rate" || std::string(argv[1]) == "--max")) {
        if (std::string(argv[1]) == "--rate") {
            targetRate = std::atof(argv[2]);
        } else {
            maxCount = std::atoi(argv[2]);
        }
        argv[2] = argv[0];
        argc -= 2;
        argv += 2;
    }
    if (argc < 5 || !(targetRate > 0.0) || maxCount < 1) {
        std::fprintf(stderr, "usage: bunny_search [--rate R] [--max N] SECONDS START TRIES "
                             "NAME=COMMAND [NAME=COMMAND...]\n");
        return EXIT_FAILURE;
    }
    const char* seconds = argv[1];
    const int start = std::atoi(argv[2]);
    const int tries = std::atoi(argv[3]) > 0 ? std::atoi(argv[3]) : 1;
    std::vector<Contender> contenders;
    for (int i = 4; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto eq = argument.find('=');
        if (eq == std::string::npos || eq == 0) {
            std::fprintf(stderr, "bunny_search: expected NAME=COMMAND, got %s\n", argv[i]);
            return EXIT_FAILURE;
        }
        contenders.push_back({argument.substr(0, eq), argument.substr(eq + 1),
                              CountSearch(start, targetRate, kTolerance, maxCount)});
    }

    const std::size_t n = contenders.size();
    for (std::size_t round = 0;; ++round) {
        bool probed = false;
        for (std::size_t k = 0; k < n; ++k) {
            Contender& contender = contenders[(round + k) % n];
            if (contender.search.done()) {
                continue;
            }
            const int count = contender.search.nextCount();
            const double rate = probe(contender, count, seconds, tries);
            std::printf("probe %s %d %.1f\n", contender.name.c_str(), count, rate);
            std::fflush(stdout);
            contender.search.record(rate);
            probed = true;
        }
        if (!probed) {
            break;
        }
    }
    for (const Contender& contender : contenders) {
        std::printf("result %s %d\n", contender.name.c_str(), contender.search.result());
    }
    return EXIT_SUCCESS;
}
