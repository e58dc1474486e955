// A symbolic link's data in the UDF tree: its target as path components
// (root, parent, current folder, names), which readers turn back into a path.
#pragma once

#include <cstdint>
#include <string>

namespace pm {

// What a file entry of one block holds after its fixed part and extended
// attributes: a link's components are kept there, with no extent of their own.
constexpr uint32_t kMaxEmbeddedBytes = 2048 - 308;

// The components of `target` (raw bytes, as the link stores them). Repeated
// and trailing "/" have no component, as on Linux. False when a name has no
// UDF form: neither UTF-8 nor code page 932, or more than 255 bytes as CS0.
bool EncodePathComponents(const std::string& target, std::string& out);

// The target can be written into a link's file entry.
bool LinkTargetFits(const std::string& target);

}  // namespace pm
