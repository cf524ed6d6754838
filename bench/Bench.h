#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace quillbox::bench {

// A named timing case; it prints its own figures.
struct Case {
    QString name;
    std::function<void()> run;
};

// Cases register themselves from their own files.
std::vector<Case>& cases();

struct Register {
    Register(const QString& name, std::function<void()> run) { cases().push_back({name, std::move(run)}); }
};

} // namespace quillbox::bench
