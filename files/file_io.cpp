#include "files/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace tessaro {

namespace {

std::string Describe(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

// Closes a descriptor once; the destructor covers early returns.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes now and reports close()'s result: on some file systems a failed
  // write only shows here.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Creates a temporary file next to `path` that no one else has opened. The
// name is the target's with a unique suffix, so a left-over one is easy to
// recognise; O_EXCL makes a name clash a retry, never a shared file.
int CreateTemporary(const std::string& path, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  int fd = -1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath =
        path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) break;
  }
  return fd;
}

bool WriteAll(int fd, const std::vector<uint8_t>& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

bool ReadLibFile(const std::string& path, std::vector<uint8_t>& content, std::string& error) {
  content.clear();
  // O_NONBLOCK keeps a FIFO from hanging the open; it is refused below.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.Valid()) {
    error = Describe("cannot open", path, errno);
    return false;
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) {
    error = Describe("cannot examine", path, errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = path + " is not a regular file";
    return false;
  }
  const std::string tooLarge =
      path + " is larger than " + std::to_string(kMaxLibFileSize) + " bytes; not a game file";
  if (static_cast<uintmax_t>(info.st_size) > kMaxLibFileSize) {
    error = tooLarge;
    return false;
  }

  // Read one byte past the limit so that a file grown since fstat is caught.
  std::vector<uint8_t> buffer(static_cast<size_t>(info.st_size) + 1);
  size_t done = 0;
  for (;;) {
    if (done == buffer.size()) {
      if (buffer.size() > kMaxLibFileSize) {
        error = tooLarge;
        return false;
      }
      buffer.resize(std::min(buffer.size() * 2, kMaxLibFileSize + 1));
    }
    const ssize_t got = ::read(file.Get(), buffer.data() + done, buffer.size() - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      error = Describe("cannot read", path, errno);
      return false;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  buffer.resize(done);
  content = std::move(buffer);
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& content,
                         std::string& error) {
  if (path.empty() || path.back() == '/') {
    error = "no file name given in \"" + path + "\"";
    return false;
  }
  std::string tempPath;
  Descriptor file(CreateTemporary(path, tempPath));
  if (!file.Valid()) {
    error = Describe("cannot create a file in", FolderOf(path), errno);
    return false;
  }
  // From here on every failure removes the temporary file.
  const auto fail = [&](const char* what, int code) {
    error = Describe(what, path, code);
    ::unlink(tempPath.c_str());
    return false;
  };

  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
      ::fchmod(file.Get(), old.st_mode & 07777) != 0) {
    return fail("cannot copy the permissions of", errno);
  }
  if (!WriteAll(file.Get(), content)) return fail("cannot write", errno);
  if (::fsync(file.Get()) != 0) return fail("cannot flush", errno);
  if (file.Close() != 0) return fail("cannot finish writing", errno);
  if (::rename(tempPath.c_str(), path.c_str()) != 0) return fail("cannot replace", errno);

  // Make the rename itself durable. The new file is in place whatever this
  // returns, so a failure here is not reported as a failed save.
  Descriptor folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Valid()) ::fsync(folder.Get());
  return true;
}

}  // namespace tessaro
