// How tests steer and observe the simulated machine: every simulated object
// owns a FailurePlan (so any call can be made to fail with a chosen last
// error) and a log of the calls made to it, one line per call in the form
// "Name(arg, arg)".
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class FailurePlan {
public:
    // The next `times` calls of `call` fail with `error`.
    void FailNext(const std::string& call, std::uint32_t error, int times = 1);
    // Every call of `call` fails with `error` until Clear.
    void FailAlways(const std::string& call, std::uint32_t error);
    // The first `successes` calls go through, then `times` calls fail.
    void FailAfter(const std::string& call, int successes, std::uint32_t error, int times = 1);
    void Clear(const std::string& call);
    void ClearAll();

    // Asked by the simulator at the start of each call: the error to fail
    // with, or nothing. Consumes one planned failure.
    std::optional<std::uint32_t> Check(const std::string& call);
    // How many calls of `call` were failed on purpose so far.
    int InjectedCount(const std::string& call) const;

private:
    struct Rule {
        int skip = 0;
        int remaining = 0;  // -1: for ever
        std::uint32_t error = 0;
    };
    std::map<std::string, Rule> rules_;
    std::map<std::string, int> injected_;
};

// "Name(a, b)".
std::string FormatCall(const std::string& name, std::initializer_list<std::string> args);
// The name part of a logged call.
std::string CallName(const std::string& logged);
// Just the names, in order: handy for asserting on call order.
std::vector<std::string> CallNames(const std::vector<std::string>& calls);
int CountCalls(const std::vector<std::string>& calls, const std::string& name);

}  // namespace sim
