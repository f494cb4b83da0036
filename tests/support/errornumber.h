#pragma once

#include "errors/apperror.h"

#include <utility>

namespace quillmer::test {

// The number of the error a call raises, 0 when it raises none.
template <typename F> qint32 errorNumber(F&& f)
{
    try {
        std::forward<F>(f)();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

} // namespace quillmer::test
