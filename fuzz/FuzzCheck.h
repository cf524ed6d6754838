#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

// A broken promise of a reader or writer: report it and stop, so the fuzzer keeps the input.
inline void fuzzCheck(bool ok, const char* what, const QString& detail = QString()) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s %s\n", what, qPrintable(detail));
        std::abort();
    }
}
