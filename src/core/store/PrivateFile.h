#pragma once

#include <QFileDevice>

namespace quillbox {

// Files that hold records or the password fingerprint are readable by their owner alone.
inline constexpr QFileDevice::Permissions privateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace quillbox
