#pragma once

#include <QString>

namespace quillbox {

// The About window's formatted text (Qt rich text).
QString aboutText();

} // namespace quillbox
