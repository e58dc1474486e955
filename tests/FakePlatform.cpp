#include "FakePlatform.h"

#include <algorithm>
#include <cstring>

namespace pm {
namespace {

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    for (size_t i = 0, j; i < path.size(); i = j + 1) {
        j = std::min(path.find('/', i), path.size());
        if (j > i) parts.push_back(path.substr(i, j - i));
    }
    return parts;
}

FakeNode* Child(FakeNode& folder, const std::string& name) {
    for (auto& c : folder.children)
        if (c->name == name) return c.get();
    return nullptr;
}

class FakeInput : public InputFile {
public:
    FakeInput(const FakeNode& node, std::string path) : m_node(node), m_path(std::move(path)) {}
    long long Read(void* data, size_t n, FileError& err) override {
        const long long failAt = m_node.readFailAfter;
        if (failAt >= 0 && m_pos >= uint64_t(failAt)) {
            err = FileError{kCauseHardIo, m_path};
            return -1;
        }
        if (m_pos >= m_node.size && failAt < 0) {  // the tail no size counts
            const size_t count = size_t(std::min<uint64_t>(n, m_node.size + m_node.tail.size() - m_pos));
            std::memcpy(data, m_node.tail.data() + (m_pos - m_node.size), count);
            m_pos += count;
            return (long long)count;
        }
        const uint64_t end = failAt >= 0 ? std::min(m_node.size, uint64_t(failAt)) : m_node.size;
        const size_t count = size_t(std::min<uint64_t>(n, end - std::min(end, m_pos)));
        // Content first, zeros past it: sized files of gigabytes must read fast.
        const size_t fromContent = m_pos < m_node.content.size() ? size_t(std::min<uint64_t>(count, m_node.content.size() - m_pos)) : 0;
        std::memcpy(data, m_node.content.data() + std::min<uint64_t>(m_pos, m_node.content.size()), fromContent);
        std::memset(static_cast<char*>(data) + fromContent, 0, count - fromContent);
        m_pos += count;
        return (long long)count;
    }
    bool Stat(uint64_t& size, int64_t& mtime) override {
        size = m_node.size, mtime = m_node.mtime;
        return true;
    }

private:
    const FakeNode& m_node;
    std::string m_path;
    uint64_t m_pos = 0;
};

// Writes fail (disk full) past outputFailAfter bytes, and after Close.
class FakeOutput : public OutputFile {
public:
    FakeOutput(FakePlatform& fake, std::string path) : m_fake(fake), m_path(std::move(path)) {}
    bool Write(const void* data, size_t n, FileError& err) override {
        std::string& bytes = m_fake.outputs[m_path];
        m_failed = m_failed || (!m_closed && m_fake.outputFailAfter >= 0 && bytes.size() + n > uint64_t(m_fake.outputFailAfter));
        if (m_closed || m_failed) return Fail(err);
        bytes.append(static_cast<const char*>(data), n);
        return true;
    }
    bool Flush(FileError& err) override { return !(m_closed || m_failed) || Fail(err); }
    long long MoveFrom(InputFile& in, size_t n, FileError& err) override {
        if (!m_fake.moveFiles) return kCannotMoveHere;
        std::string piece(n, '\0');
        const long long got = in.Read(piece.data(), n, err);
        if (got < 0) return kCannotMoveHere;  // read again by the writer, which names the cause
        return Write(piece.data(), size_t(got), err) ? got : -1;
    }
    uint64_t Written() const override { return m_fake.outputs[m_path].size(); }
    bool Close(FileError& err) override {
        if (m_closed) return true;
        m_closed = true;
        return !m_failed || Fail(err);
    }

private:
    bool Fail(FileError& err) {
        err = FileError{m_closed && !m_failed ? int(kCauseInvalidHandle) : kCauseDiskFull, m_path};
        return false;
    }
    FakePlatform& m_fake;
    std::string m_path;
    bool m_closed = false, m_failed = false;
};

DirEntry EntryOf(const FakeNode& n, bool keepLinks = false) {
    DirEntry e{.name = n.name, .shortName = n.shortName, .size = n.directory ? 0 : n.size, .mtime = n.mtime,
               .hidden = n.hidden, .directory = n.directory, .readable = n.openCause != kCauseAccessDenied,
               .device = n.device, .inode = n.inode, .mode = n.mode, .uid = n.uid, .gid = n.gid, .links = n.links};
    if (n.symlink && !keepLinks) e.skipped = Skipped::DanglingLink;
    if (n.symlink && keepLinks) e.symlink = true, e.linkTarget = n.linkTarget;
    return e;
}

}  // namespace

FakePlatform::FakePlatform() {
    m_root.name = std::string(1, '/');  // what a lookup of "/" calls it
    m_root.directory = true;
    m_root.inode = 1;
}

FakeNode& FakePlatform::Add(const std::string& path, bool directory) {
    FakeNode* at = &m_root;
    const std::vector<std::string> parts = Split(path);
    for (size_t i = 0; i < parts.size(); ++i) {
        FakeNode* next = Child(*at, parts[i]);
        if (!next) {
            at->children.push_back(std::make_unique<FakeNode>());
            next = at->children.back().get();
            next->name = parts[i];
            next->directory = directory || i + 1 < parts.size();
            next->inode = m_nextInode++;
        }
        at = next;
    }
    return *at;
}

FakeNode& FakePlatform::AddFolder(const std::string& path) { return Add(path, true); }

FakeNode& FakePlatform::AddFile(const std::string& path, const std::string& content) {
    FakeNode& n = Add(path, false);
    n.content = content;
    n.size = content.size();
    return n;
}

FakeNode* FakePlatform::Find(const std::string& path) {
    FakeNode* at = &m_root;
    for (const std::string& part : Split(path))
        if (!at->directory || !(at = Child(*at, part))) return nullptr;
    return at;
}

bool FakePlatform::LookupEntry(const std::string& path, DirEntry& out) {
    FakeNode* n = Find(path);
    if (!n || path.empty()) return false;
    out = EntryOf(*n);
    return true;
}

FakeNode& FakePlatform::AddLink(const std::string& path, const std::string& target) {
    FakeNode& n = AddFile(path, "");
    n.symlink = true;
    n.linkTarget = target;
    n.mode = 0120777;
    return n;
}

bool FakePlatform::ListFolder(const std::string& path, std::vector<DirEntry>& out, FileError& err, bool keepLinks) {
    out.clear();
    FakeNode* folder = Find(path);
    if (!folder || !folder->directory || folder->unlistable) {
        err = FileError{folder ? kCauseAccessDenied : kCauseFileNotFound, path};
        return false;
    }
    for (auto& c : folder->children) out.push_back(EntryOf(*c, keepLinks));
    return true;
}

std::unique_ptr<InputFile> FakePlatform::OpenRead(const std::string& path, FileError& err) {
    FakeNode* n = Find(path);
    err = FileError{!n ? kCauseFileNotFound : n->directory ? kCauseAccessDenied : n->openCause, path};
    if (err.cause != kCauseNone) return nullptr;
    return std::make_unique<FakeInput>(*n, path);
}

std::unique_ptr<OutputFile> FakePlatform::CreateOutput(const std::string& path, FileError& err) {
    err = FileError{createCause, path};
    if (createCause != kCauseNone) return nullptr;
    outputs[path].clear();
    return std::make_unique<FakeOutput>(*this, path);
}

bool FakePlatform::CreateFolder(const std::string& path) {
    // Up to the last slash before the name: "" (npos + 1) for a relative name, the current folder.
    const size_t end = path.find_last_not_of('/');
    FakeNode* parent = end == std::string::npos ? nullptr : Find(path.substr(0, path.rfind('/', end) + 1));
    if (!parent || !parent->directory || Find(path)) return false;
    AddFolder(path);
    createdFolders.push_back(path);
    return true;
}

}  // namespace pm
