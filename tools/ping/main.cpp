// ping, as Netvigil's windows expect it of a Windows machine: the Windows
// options and texts, and "Reply from" only for a real echo reply. The
// options, the texts and what an arriving packet is are worked out apart
// from the sockets (options, report, classify), for any echo method to use.

#include "Program.h"
#include "echo.h"
#include "host.h"
#include "options.h"
#include "report.h"

#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

using namespace netvigil_ping;
using namespace std::chrono;

namespace {

int Refuse(const Refusal& refusal) {
    std::cout << refusal.out;
    std::cerr << refusal.err;
    return refusal.exitCode;
}

int Run(int argc, char** argv) {
    StartOutput();
    const auto parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* refusal = std::get_if<Refusal>(&parsed)) {
        return Refuse(*refusal);
    }
    const Options& options = std::get<Options>(parsed);
    const int family = options.family == Family::V4   ? AF_INET
                       : options.family == Family::V6 ? AF_INET6
                                                      : AF_UNSPEC;
    bool literal = false;
    const auto target = Resolve(options.target, family, &literal);
    if (!target) {
        std::cout << NotFoundText(options.target);
        return 1;
    }
    std::string why;
    const auto echo = OpenEcho(target->address.ss_family, &why);
    if (!echo) {
        std::cout << why;
        return 2;
    }
    std::cout << PingingText(options.target, target->text, literal);
    Tally tally;
    for (unsigned long i = 0; i < options.count; ++i) {
        const auto started = steady_clock::now();
        const Outcome outcome =
            echo->Ping(*target, static_cast<int>(i + 1), ReplyWindow(options.timeout));
        ++tally.sent;
        if (outcome.kind == Outcome::Kind::Reply) {
            tally.times.push_back(outcome.time);
        }
        std::cout << OutcomeText(outcome, target->text, target->address.ss_family == AF_INET);
        if (i + 1 < options.count) {
            std::this_thread::sleep_until(started + seconds(1));
        }
    }
    std::cout << StatisticsText(target->text, tally);
    return tally.times.empty() ? 1 : 0;
}

} // namespace

// Nothing is expected to throw but running out of memory; even then the
// caller gets a line saying why and an exit code, not an abort.
int ProgramMain(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "ping: " << error.what() << '\n';
    } catch (...) {
        std::cerr << "ping: an unexpected error\n";
    }
    return 2;
}
