// The registry file is replaced as a whole (temporary file + rename) so that
// a reader never sees half a file; the lock lives in a separate file because
// the data file's inode changes with every write.
#include "platform/com/registry_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/com/registry.h"

namespace com_detail {
namespace {

// Values are stored exactly: no whitespace or line-end normalisation.
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_escapes;

std::string EnvValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Held for the lifetime of the object; released when the descriptor closes.
class FileLock {
public:
    FileLock(const std::string& registryPath, bool exclusive, bool createFolder)
        : fd_(Open(registryPath + ".lock", createFolder)) {
        if (fd_.get() < 0) return;
        int rc;
        do {
            rc = ::flock(fd_.get(), exclusive ? LOCK_EX : LOCK_SH);
        } while (rc != 0 && errno == EINTR);
        locked_ = rc == 0;
    }
    bool locked() const { return locked_; }

private:
    static int Open(const std::string& lockPath, bool createFolder) {
        if (createFolder) {
            std::error_code ignored;
            std::filesystem::create_directories(std::filesystem::path(lockPath).parent_path(), ignored);
        }
        return ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    }

    FileDescriptor fd_;
    bool locked_ = false;
};

bool ReadWholeFile(const std::string& path, std::string* content, bool* missing) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        *missing = errno == ENOENT;
        return *missing;
    }
    *missing = false;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        content->append(buffer, static_cast<std::size_t>(n));
    }
}

bool Load(const std::string& path, pugi::xml_document* doc) {
    std::string content;
    bool missing = false;
    if (!ReadWholeFile(path, &content, &missing)) return false;
    if (missing || content.empty()) return true;
    return static_cast<bool>(doc->load_buffer(content.data(), content.size(), kParseOptions));
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
};

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool Save(const std::string& path, const pugi::xml_document& doc) {
    StringWriter writer;
    doc.save(writer, "  ");

    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, writer.text) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

HRESULT ReadRegistryFile(const std::function<void(const pugi::xml_document&)>& read) {
    const std::string path = reg::FilePath();
    if (path.empty()) return REGDB_E_READREGDB;
    pugi::xml_document doc;
    {
        // Without a lock file (read-only or missing folder) a reader still
        // sees a whole file thanks to the atomic replace.
        FileLock lock(path, false, false);
        if (!Load(path, &doc)) return REGDB_E_READREGDB;
    }
    read(doc);
    return S_OK;
}

HRESULT UpdateRegistryFile(const std::function<HRESULT(pugi::xml_document&)>& change) {
    const std::string path = reg::FilePath();
    if (path.empty()) return REGDB_E_WRITEREGDB;
    FileLock lock(path, true, true);
    if (!lock.locked()) return REGDB_E_WRITEREGDB;
    pugi::xml_document doc;
    if (!Load(path, &doc)) return REGDB_E_READREGDB;
    const HRESULT hr = change(doc);
    if (hr != S_OK) return hr;
    return Save(path, doc) ? S_OK : REGDB_E_WRITEREGDB;
}

}  // namespace com_detail

namespace reg {

std::string FilePath() {
    if (std::string explicitPath = com_detail::EnvValue("ZENTRAVA_REGISTRY"); !explicitPath.empty()) {
        return explicitPath;
    }
    if (std::string config = com_detail::EnvValue("XDG_CONFIG_HOME"); !config.empty()) {
        return config + "/zentrava/registry.xml";
    }
    if (std::string home = com_detail::EnvValue("HOME"); !home.empty()) {
        return home + "/.config/zentrava/registry.xml";
    }
    return {};
}

}  // namespace reg
