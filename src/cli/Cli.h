#pragma once

#include <QStringList>

namespace quillbox::cli {

// Exit statuses: done, failed (the reason on standard error), wrong usage (the usage there).
enum Status { Done = 0, Failed = 1, WrongUsage = 2 };

// Runs one command line; arguments as main() got them, the program's name first.
int run(const QStringList& arguments);

} // namespace quillbox::cli
