// SPDX-License-Identifier: GPL-3.0-or-later
// The sanitizers read these before main, so the test programs behave the same whether ctest,
// its test discovery or a person in a debugger starts them, with no environment to set.

#ifndef ORLETTE_LSAN_SUPPRESSIONS
#error "ORLETTE_LSAN_SUPPRESSIONS must name the leak suppression file"
#endif

extern "C" {

// Reports end the test program with a failing status; leaks are checked at exit.
const char *__asan_default_options()
{
    return "detect_leaks=1:strict_init_order=1:check_initialization_order=1:"
           "detect_stack_use_after_return=1:abort_on_error=0";
}

const char *__ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}

const char *__lsan_default_options()
{
    return "suppressions=" ORLETTE_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
}
