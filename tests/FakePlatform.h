// FakePlatform: an in-memory Platform for tests.
//
//   pm::FakePlatform fake;
//   fake.AddFolder("/src/sub");                  // parents are made as needed
//   fake.AddFile("/src/a.txt", "hello");         // content
//   fake.AddFile("/src/big.bin", "").size = 5ull << 30;  // reads as zeros
//   auto& n = fake.AddFile("/src/a.hid", "x");
//   n.mtime = 1700000000; n.hidden = true;       // every field can be changed after
//
// Listing order is insertion order; listings carry no 8.3 aliases but a
// node's own `shortName`.
//
// Failures: node.openCause (OpenRead fails; kCauseAccessDenied also shows in
// the listing as unreadable), node.readFailAfter (Read fails
// with a hardware error once that many bytes were delivered),
// node.unlistable (the folder cannot be listed), fake.createCause
// (CreateOutput fails), fake.outputFailAfter (writes fail, disk full, past
// that many bytes).
//
// Output files are captured in `fake.outputs[path]` (bytes as written, also
// those not yet flushed); `fake.createdFolders` records CreateFolder calls that
// succeeded, in order. Every node gets a unique inode (device 1) unless set.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace pm {

struct FakeNode {
    std::string name;
    bool directory = false;
    std::string content;        // used when size == content.size()
    uint64_t size = 0;          // larger than content: the rest reads as zeros
    // Read after the `size` bytes, though neither the listing nor Stat counts
    // it: a /proc file, or one that grew after it was looked at.
    std::string tail;
    int64_t mtime = 0;
    bool hidden = false;        // the DOS attribute of a FAT or NTFS source
    std::string shortName;      // the listed 8.3 alias
    uint64_t device = 1, inode = 0;
    int openCause = kCauseNone;      // OpenRead fails with this cause
    long long readFailAfter = -1;    // Read fails after this many bytes
    bool unlistable = false;         // ListFolder fails
    uint32_t mode = 0, uid = 0, gid = 0, links = 1;
    // A symbolic link: listed as itself when links are kept, otherwise as
    // one that leads nowhere (the fake follows no links).
    bool symlink = false;
    std::string linkTarget;
    std::vector<std::unique_ptr<FakeNode>> children;  // insertion order
};

class FakePlatform : public Platform {
public:
    FakePlatform();

    FakeNode& AddFolder(const std::string& path);
    FakeNode& AddFile(const std::string& path, const std::string& content);
    FakeNode& AddLink(const std::string& path, const std::string& target);
    // The node at path, or null.
    FakeNode* Find(const std::string& path);

    std::string programPath = "/opt/parumero/bin/parumero";
    int createCause = kCauseNone;
    long long outputFailAfter = -1;
    bool moveFiles = false;  // outputs take MoveFrom, as copy_file_range does
    std::map<std::string, std::string> outputs;
    std::vector<std::string> createdFolders;

    // Platform
    bool LookupEntry(const std::string& path, DirEntry& out) override;
    bool ListFolder(const std::string& path, std::vector<DirEntry>& out, FileError& err,
                    bool keepLinks = false) override;
    std::unique_ptr<InputFile> OpenRead(const std::string& path, FileError& err) override;
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path, FileError& err) override;
    bool CreateFolder(const std::string& path) override;
    std::string ProgramPath() override { return programPath; }
    int StandardTimeZoneOffset() override { return 540; }

private:
    FakeNode& Add(const std::string& path, bool directory);

    FakeNode m_root;
    uint64_t m_nextInode = 2;
};

}  // namespace pm
