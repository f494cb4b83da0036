#include "engine/steprunner.h"

#include "errors/trap.h"

#include <algorithm>

namespace quillmer {

int RunNumberedSteps(const std::vector<NumberedStep>& steps,
                     const std::function<bool(const AppError&)>& onError)
{
    std::size_t i = 0;
    while (i < steps.size()) {
        StepFlow flow;
        if (const auto error = captureError([&] { flow = steps[i].run(); })) {
            if (!onError(*error))
                return steps[i].number;
            ++i;
            continue;
        }
        switch (flow.kind) {
        case StepFlow::Kind::Next:
            ++i;
            break;
        case StepFlow::Kind::GoTo: {
            const auto numbered = [&](const NumberedStep& s) { return s.number == flow.step; };
            const auto to = std::find_if(steps.begin() + i + 1, steps.end(), numbered);
            // Only forward; a step number that is not ahead ends the procedure.
            if (to == steps.end())
                return steps[i].number;
            i = std::size_t(to - steps.begin());
            break;
        }
        case StepFlow::Kind::Return:
            return steps[i].number;
        }
    }
    return 0;
}

} // namespace quillmer
