#include "attachments/job.h"

#include "attachments/failure.h"

#include <stdexcept>

namespace attachments {
namespace {

// Raised for text that is not a JSON object or array: the strict reader refuses scalars
// at the top level, and that is not one of the anticipated failures.
struct UnreadableJob : std::runtime_error {
    UnreadableJob() : std::runtime_error("job is not JSON") {}
};

const std::string* stringMember(const common::Json& job, const char* key) {
    auto member = job.find(key);
    if (member == job.end() || !member->is_string()) return nullptr;
    return member->get_ptr<const std::string*>();
}

common::Json reportFor(std::string_view input, const WorkPaths& paths) {
    if (input.size() >= maxJobBytes) fail(kInvalidInput);
    std::optional<common::Json> job = common::parseStrict(input);
    if (!job || !job->is_structured()) throw UnreadableJob();
    if (!job->is_object()) fail(kInvalidInput);
    const std::string* path = stringMember(*job, "input");
    if (!path) fail(kInvalidInput);
    const std::string* operation = stringMember(*job, "operation");
    if (!operation) fail(kInvalidInput);
    const std::string* kind = stringMember(*job, "kind");
    WorkPath work = kind && *kind == "pdf" ? paths.pdf : paths.image;
    return work(*job, *path, *operation);
}

} // namespace

JobOutcome runJob(std::string_view input, const WorkPaths& paths) {
    try {
        return {common::compact(reportFor(input, paths)), "", 0};
    } catch (const Failure& failure) {
        return {"", failure.message, 1};
    } catch (...) {
        return {"", std::string(kProcessingFailed), 1};
    }
}

} // namespace attachments
