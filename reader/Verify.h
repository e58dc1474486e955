// Compares an image with the tree a build of the same source would take:
// every folder and file present and nothing more, names as the build writes
// them, sizes, modification times at the precision each structure records,
// the hidden flag, every byte of every file, and in images with several
// hierarchies that a file's entries all point at the same sectors.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "layout/ImageBuilder.h"
#include "reader/ImageSource.h"

namespace pm {

struct VerifyResult {
    std::string unreadable;                // why the image cannot be read at all; empty when it can
    std::vector<std::string> problems;     // faults of the image's own structures
    std::vector<std::string> differences;  // "path: what differs", path relative to the source (UTF-8)
    uint64_t folders = 0, files = 0, bytes = 0;  // what the source holds and was compared
    bool stopped = false;                  // the progress callback asked to stop; not all was compared
    // The scan could not list a folder or may not read a file: nothing was
    // compared, and the causes are queued in the builder's messages.
    bool sourceUnreadable = false;
    bool Identical() const {
        return !stopped && !sourceUnreadable && unreadable.empty() && problems.empty() && differences.empty();
    }
};

// `builder` holds the scanned and placed source (Layout done) and the kind the
// image was built as; its platform reads the source files. File contents are compared in pieces of 1 MiB, so
// memory stays flat whatever the file sizes.
// `progress`, when given, hears the bytes of file content compared so far
// after every piece; returning false stops the comparison there.
using VerifyProgress = std::function<bool(uint64_t bytesCompared)>;
VerifyResult VerifyImage(ImageBuilder& builder, const ImageSource& image, const VerifyProgress& progress = {});

}  // namespace pm
