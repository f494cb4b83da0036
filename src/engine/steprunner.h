#pragma once

#include "errors/apperror.h"

#include <functional>
#include <vector>

namespace quillmer {

// Where a procedure goes after one of its numbered steps.
struct StepFlow
{
    enum class Kind { Next, GoTo, Return };
    Kind kind = Kind::Next;
    int step = 0; // for GoTo

    static StepFlow next() { return {}; }
    static StepFlow goTo(int step) { return {Kind::GoTo, step}; }
    static StepFlow leave() { return {Kind::Return, 0}; }
};

struct NumberedStep
{
    int number;
    std::function<StepFlow()> run;
};

// Runs a procedure made of numbered steps in their order, under one error
// trap. A step says where to go on: the next step, a later step by its
// number, or out. When a step raises an error, onError runs with it and
// answers whether to resume with the step after the failing one (true) or
// to leave (false). An error that onError itself raises passes to the
// caller. Returns the number of the step the procedure left from, 0 when it
// ran past its last step.
int RunNumberedSteps(const std::vector<NumberedStep>& steps,
                     const std::function<bool(const AppError&)>& onError);

} // namespace quillmer
