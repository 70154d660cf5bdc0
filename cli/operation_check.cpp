#include "cli/operation_check.h"

namespace tarnwick::cli {

namespace {

// A step as a reader takes it: "folder D:\Web\bob (made from D:\Web)".
std::string stepText(const component::RecordStep& step) {
    std::string text = step.kind;
    if (step.kind == "access") {
        // The saved access list is for the repair, not for reading.
        return text + (step.values.empty() ? "" : " " + step.values.front()) +
               " (before its grant)";
    }
    for (size_t i = 0; i < step.values.size(); ++i) {
        if (step.kind == "folder" && i == 1) {
            if (!step.values[i].empty()) text += " (made from " + step.values[i] + ")";
            continue;
        }
        text += " " + step.values[i];
    }
    return text;
}

}  // namespace

std::string recordText(const component::OperationRecord& record) {
    if (record.member.empty()) return "an operation record cut short before its call began";
    std::string text = "unfinished " + record.member + " (" + record.id + ") by " +
                       (record.actor.empty() ? "-" : record.actor) + ", started " + record.started +
                       " UTC";
    if (record.end) text += ", ended " + *record.end + " but its record stayed";
    std::string arguments;
    for (const auto& [name, value] : record.arguments) {
        arguments += (arguments.empty() ? "" : ", ") + name + "=" + value;
    }
    if (!arguments.empty()) text += "\n    arguments: " + arguments;
    for (const auto& step : record.steps) text += "\n    before: " + stepText(step);
    return text;
}

nlohmann::ordered_json recordJson(const component::OperationRecord& record) {
    nlohmann::ordered_json document = {{"id", record.id},           {"member", record.member},
                                       {"actor", record.actor},     {"started", record.started},
                                       {"process", record.process}, {"file", record.file}};
    auto arguments = nlohmann::ordered_json::object();
    for (const auto& [name, value] : record.arguments) arguments[name] = value;
    document["arguments"] = std::move(arguments);
    auto steps = nlohmann::ordered_json::array();
    for (const auto& step : record.steps)
        steps.push_back({{"step", step.kind}, {"values", step.values}});
    document["steps"] = std::move(steps);
    document["end"] = record.end ? nlohmann::ordered_json(*record.end) : nlohmann::ordered_json();
    return document;
}

std::vector<OperationRepair> repairOperations(
    component::Control& control, const std::vector<component::OperationRecord>& records) {
    std::vector<OperationRepair> repairs;
    for (const auto& record : records) {
        OperationRepair repair{record, false, {}};
        repair.repaired = control.repairOperation(record, repair.done);
        repairs.push_back(std::move(repair));
    }
    return repairs;
}

}  // namespace tarnwick::cli
