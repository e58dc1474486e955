// Small path helpers shared by the front ends.
#pragma once

#include <string>

namespace pm {

class Platform;

// Folder of the running program, no trailing "/"; empty when unknown.
std::string GetProgramFolder(Platform& platform);
// Creates the folder named by path and every missing folder above it; nonzero
// when the last creation succeeded.
int CreateFolderPath(Platform& platform, const std::string& path);
// "1234567" -> "1,234,567".
void GroupDigits(std::string& digits);

}  // namespace pm
