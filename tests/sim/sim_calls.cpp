#include "sim/sim_calls.h"

namespace sim {

void FailurePlan::FailNext(const std::string& call, std::uint32_t error, int times) {
    FailAfter(call, 0, error, times);
}

void FailurePlan::FailAlways(const std::string& call, std::uint32_t error) {
    rules_[call] = Rule{0, -1, error};
}

void FailurePlan::FailAfter(const std::string& call, int successes, std::uint32_t error,
                            int times) {
    rules_[call] = Rule{successes, times, error};
}

void FailurePlan::Clear(const std::string& call) {
    rules_.erase(call);
}

void FailurePlan::ClearAll() {
    rules_.clear();
}

std::optional<std::uint32_t> FailurePlan::Check(const std::string& call) {
    auto it = rules_.find(call);
    if (it == rules_.end()) return std::nullopt;
    Rule& rule = it->second;
    if (rule.skip > 0) {
        --rule.skip;
        return std::nullopt;
    }
    std::uint32_t error = rule.error;
    if (rule.remaining > 0 && --rule.remaining == 0) rules_.erase(it);
    ++injected_[call];
    return error;
}

int FailurePlan::InjectedCount(const std::string& call) const {
    auto it = injected_.find(call);
    return it == injected_.end() ? 0 : it->second;
}

std::string FormatCall(const std::string& name, std::initializer_list<std::string> args) {
    std::string line = name + "(";
    bool first = true;
    for (const auto& arg : args) {
        if (!first) line += ", ";
        line += arg;
        first = false;
    }
    return line + ")";
}

std::string CallName(const std::string& logged) {
    return logged.substr(0, logged.find('('));
}

std::vector<std::string> CallNames(const std::vector<std::string>& calls) {
    std::vector<std::string> names;
    for (const auto& call : calls) names.push_back(CallName(call));
    return names;
}

int CountCalls(const std::vector<std::string>& calls, const std::string& name) {
    int count = 0;
    for (const auto& call : calls) {
        if (CallName(call) == name) ++count;
    }
    return count;
}

}  // namespace sim
