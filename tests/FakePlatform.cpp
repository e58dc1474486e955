#include "FakePlatform.h"

#include <algorithm>
#include <cstring>

#include "platform/ShortNames.h"

namespace pm {
namespace {

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        if (j > i) parts.push_back(path.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

const FakeNode& Resolve(const FakeNode& n) { return n.linkTarget ? *n.linkTarget : n; }

FakeNode* Child(FakeNode& folder, const std::string& name) {
    for (auto& c : folder.children)
        if (c->name == name) return c.get();
    return nullptr;
}

class FakeInput : public InputFile {
public:
    FakeInput(const FakeNode& node, std::string path) : m_node(node), m_path(std::move(path)) {}
    long long Read(void* data, size_t n, FileError& err) override {
        uint64_t end = m_node.size;
        if (m_node.readFailAfter >= 0) {
            if (m_pos >= uint64_t(m_node.readFailAfter)) {
                err.cause = kCauseHardIo;
                err.path = m_path;
                return -1;
            }
            end = std::min(end, uint64_t(m_node.readFailAfter));
        }
        size_t count = size_t(std::min<uint64_t>(n, end - std::min(end, m_pos)));
        // Content first, zeros past it: sized files of gigabytes must read fast.
        auto out = static_cast<char*>(data);
        size_t fromContent = 0;
        if (m_pos < m_node.content.size())
            fromContent = size_t(std::min<uint64_t>(count, m_node.content.size() - m_pos));
        if (fromContent) std::memcpy(out, m_node.content.data() + m_pos, fromContent);
        std::memset(out + fromContent, 0, count - fromContent);
        m_pos += count;
        return (long long)count;
    }
    bool Stat(uint64_t& size, int64_t& mtime) override {
        size = m_node.size;
        mtime = m_node.mtime;
        return true;
    }

private:
    const FakeNode& m_node;
    std::string m_path;
    uint64_t m_pos = 0;
};

class FakeOutput : public OutputFile {
public:
    FakeOutput(FakePlatform& fake, std::string path) : m_fake(fake), m_path(std::move(path)) {}
    bool Write(const void* data, size_t n, FileError& err) override {
        if (m_closed || m_failed) return Fail(err);
        std::string& bytes = m_fake.outputs[m_path];
        if (m_fake.outputFailAfter >= 0 && bytes.size() + n > uint64_t(m_fake.outputFailAfter)) {
            m_failed = true;
            return Fail(err);
        }
        bytes.append(static_cast<const char*>(data), n);
        return true;
    }
    bool Flush(FileError& err) override { return !(m_closed || m_failed) || Fail(err); }
    uint64_t Written() const override { return m_fake.outputs[m_path].size(); }
    bool Close(FileError& err) override {
        if (m_closed) return true;
        m_closed = true;
        return !m_failed || Fail(err);
    }

private:
    bool Fail(FileError& err) {
        err.cause = m_closed && !m_failed ? int(kCauseInvalidHandle) : kCauseDiskFull;
        err.path = m_path;
        return false;
    }
    FakePlatform& m_fake;
    std::string m_path;
    bool m_closed = false, m_failed = false;
};

}  // namespace

FakePlatform::FakePlatform(bool shortNames) : shortNames(shortNames) {
    m_root.directory = true;
    m_root.inode = 1;
}

FakeNode& FakePlatform::Add(const std::string& path, bool directory) {
    FakeNode* at = &m_root;
    std::vector<std::string> parts = Split(path);
    for (size_t i = 0; i < parts.size(); ++i) {
        FakeNode* next = Child(*at, parts[i]);
        if (!next) {
            auto node = std::make_unique<FakeNode>();
            node->name = parts[i];
            node->directory = directory || i + 1 < parts.size();
            node->inode = m_nextInode++;
            next = node.get();
            at->children.push_back(std::move(node));
        }
        at = next->linkTarget ? next->linkTarget : next;
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

FakeNode& FakePlatform::AddSizedFile(const std::string& path, uint64_t size) {
    FakeNode& n = Add(path, false);
    n.size = size;
    return n;
}

void FakePlatform::AddLink(const std::string& path, const std::string& target) {
    FakeNode* to = Find(target);
    size_t slash = path.rfind('/');
    FakeNode& folder = slash == std::string::npos || slash == 0 ? m_root : AddFolder(path.substr(0, slash));
    auto link = std::make_unique<FakeNode>();
    link->name = path.substr(slash + 1);
    link->linkTarget = to;
    folder.children.push_back(std::move(link));
}

FakeNode* FakePlatform::Find(const std::string& path) {
    FakeNode* at = &m_root;
    for (const std::string& part : Split(path)) {
        if (!at->directory) return nullptr;
        at = Child(*at, part);
        if (!at) return nullptr;
        if (at->linkTarget) at = at->linkTarget;
    }
    return at;
}

DirEntry FakePlatform::EntryOf(const FakeNode& listed) const {
    const FakeNode& n = Resolve(listed);
    DirEntry e;
    e.name = listed.name;
    e.shortName = n.shortName;
    e.size = n.directory ? 0 : n.size;
    e.mtime = n.mtime;
    e.hidden = n.hidden;
    e.readable = n.openCause != kCauseAccessDenied;
    e.directory = n.directory;
    e.device = n.device;
    e.inode = n.inode;
    return e;
}

bool FakePlatform::LookupEntry(const std::string& path, DirEntry& out) {
    FakeNode* n = Find(path);
    if (!n || path.empty()) return false;
    std::vector<std::string> parts = Split(path);
    out = EntryOf(*n);
    out.name = parts.empty() ? "/" : parts.back();
    if (shortNames && n->shortName.empty()) {
        std::vector<DirEntry> one{out};
        AssignShortNames(one);
        out.shortName = one[0].shortName;
    }
    return true;
}

bool FakePlatform::ListFolder(const std::string& path, std::vector<DirEntry>& out, FileError& err) {
    out.clear();
    FakeNode* folder = Find(path);
    if (!folder || !folder->directory || folder->unlistable) {
        err = FileError{folder ? kCauseAccessDenied : kCauseFileNotFound, path};
        return false;
    }
    for (auto& c : folder->children) out.push_back(EntryOf(*c));
    if (shortNames) {
        std::vector<std::string> own;
        for (auto& e : out) own.push_back(e.shortName);
        AssignShortNames(out);
        for (size_t i = 0; i < out.size(); ++i)
            if (!own[i].empty()) out[i].shortName = own[i];
    }
    if (listOrder == ListOrder::Reverse) std::reverse(out.begin(), out.end());
    return true;
}

std::unique_ptr<InputFile> FakePlatform::OpenRead(const std::string& path, FileError& err) {
    FakeNode* n = Find(path);
    err.path = path;
    if (!n || n->directory) {
        err.cause = n ? kCauseAccessDenied : kCauseFileNotFound;
        return nullptr;
    }
    if (n->openCause != kCauseNone) {
        err.cause = n->openCause;
        return nullptr;
    }
    return std::make_unique<FakeInput>(*n, path);
}

std::unique_ptr<OutputFile> FakePlatform::CreateOutput(const std::string& path, FileError& err) {
    if (createCause != kCauseNone) {
        err.cause = createCause;
        err.path = path;
        return nullptr;
    }
    outputs[path].clear();
    return std::make_unique<FakeOutput>(*this, path);
}

bool FakePlatform::CreateFolder(const std::string& path) {
    std::vector<std::string> parts = Split(path);
    if (parts.empty() || Find(path)) return false;
    std::string parent;
    for (size_t i = 0; i + 1 < parts.size(); ++i) parent += "/" + parts[i];
    FakeNode* p = Find(parent.empty() ? "/" : parent);
    if (!p || !p->directory) return false;
    AddFolder(path);
    createdFolders.push_back(path);
    return true;
}

}  // namespace pm
