#include "cli/operation_check.h"

namespace tarnwick::cli {

namespace {

using component::OperationRecord;

// A step as a reader takes it: "folder D:\Web\bob (made from D:\Web)".
std::string stepText(const component::RecordStep& step) {
    std::string text = step.kind;
    if (step.kind == "access") {
        // The saved access list is for the repair, not for reading.
        return text + (step.values.empty() ? "" : " " + step.values.front()) +
               " (its access list before the grant is kept)";
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

std::string recordText(const OperationRecord& record) {
    if (record.member.empty()) {
        return "an operation record cut short before its call changed anything: " + record.file;
    }
    std::string text = "unfinished " + record.member + " (" + record.id + ") by " +
                       (record.actor.empty() ? "-" : record.actor) + ", started " + record.started +
                       " UTC";
    if (record.end) text += ", ended " + *record.end + " but its record stayed";
    std::string arguments;
    for (const auto& [name, value] : record.arguments) {
        arguments += (arguments.empty() ? "" : ", ") + name + "=" + value;
    }
    if (!arguments.empty()) text += "\n    arguments: " + arguments;
    for (const auto& step : record.steps) text += "\n    begun: " + stepText(step);
    return text;
}

Finding findingOf(const OperationRecord& record) {
    Finding finding;
    finding.kind = "unfinished_operation";
    finding.message = recordText(record);
    auto arguments = Document::object();
    for (const auto& [name, value] : record.arguments) arguments[name] = value;
    auto steps = Document::array();
    for (const auto& step : record.steps) {
        steps.push_back({{"step", step.kind}, {"values", step.values}});
    }
    finding.details = {{"id", record.id},
                       {"member", record.member},
                       {"actor", record.actor},
                       {"started", record.started},
                       {"process", record.process},
                       {"file", record.file},
                       {"arguments", std::move(arguments)},
                       {"steps", std::move(steps)},
                       {"end", record.end ? Document(*record.end) : Document()}};
    return finding;
}

std::vector<OperationRecord> unfinished(const CheckTarget& target) {
    std::vector<OperationRecord> records;
    if (target.withControl) {
        target.withControl(
            [&](component::Control& control) { records = control.unfinishedOperations(); });
    }
    return records;
}

}  // namespace

std::vector<Finding> findUnfinished(const CheckTarget& target) {
    std::vector<Finding> findings;
    for (const auto& record : unfinished(target)) findings.push_back(findingOf(record));
    return findings;
}

std::vector<Repair> repairUnfinished(const CheckTarget& target,
                                     const std::function<void(const Repair&)>& report) {
    std::vector<Repair> repairs;
    const auto records = unfinished(target);
    if (records.empty()) return repairs;
    target.withControl([&](component::Control& control) {
        for (const auto& record : records) {
            Repair repair;
            repair.finding = findingOf(record);
            repair.action = "Repair " + record.id;
            std::vector<std::string> done;
            repair.removed = control.repairOperation(record, done);
            repair.message =
                (repair.removed ? "repaired " : "could not repair ") +
                (record.member.empty() ? record.file : record.member + " " + record.id);
            for (const auto& line : done) repair.message += "\n    " + line;
            report(repair);
            repairs.push_back(std::move(repair));
        }
    });
    return repairs;
}

}  // namespace tarnwick::cli
