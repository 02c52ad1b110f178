// The message of the error a host call stops with, for tests that check what
// a block or the host refuses and how it says so.
#pragma once

#include <string>
#include <utility>

#include "errors.h"

namespace testsupport {

// What `call` throws as a SimulationError, or an empty text when it returns.
template <class Call>
std::string simulation_error_of(Call&& call)
{
    try {
        std::forward<Call>(call)();
    } catch (const cyclesim::SimulationError& e) {
        return e.what();
    }
    return "";
}

}  // namespace testsupport
