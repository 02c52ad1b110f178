// Collects everything the blocks print (mexPrintf and the runtime's own
// messages) while it lives, so tests can read the console text.
#pragma once

#include <string>

extern "C" {
#include "sfun_runtime.h"
}

struct ConsoleCapture {
    std::string text;
    ConsoleCapture()
    {
        sfun_set_print_sink([](const char* t, void* ctx) { static_cast<std::string*>(ctx)->append(t); }, &text);
    }
    ~ConsoleCapture() { sfun_set_print_sink(nullptr, nullptr); }
};
