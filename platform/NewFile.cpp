#include "platform/NewFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace ambro::platform {

namespace {

constexpr int kMostSuffixes = 1000;

std::string describe(int number) { return std::strerror(number); }

bool writeWhole(int descriptor, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Moves `from` to `to` unless `to` exists: 0, or the errno of the failure.
int moveIfFree(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without the no-replace move: a hard link fails on an
    // existing name just as well.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    return errno;
}


// The bytes in a new temporary file of `folder`, flushed to the disk.
std::optional<std::filesystem::path> writeTemporary(const std::filesystem::path& folder,
                                                    const std::string& stem,
                                                    std::span<const std::uint8_t> bytes,
                                                    std::string& error) {
    const std::string temporaryName = (folder / ("." + stem + ".XXXXXX")).string();
    std::vector<char> pattern(temporaryName.begin(), temporaryName.end());
    pattern.push_back('\0');
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0) {
        error = "cannot write into " + folder.string() + ": " + describe(errno);
        return std::nullopt;
    }
    const std::filesystem::path temporary(pattern.data());
    // Readable by others like any picture the user saves; mkstemp made it
    // private to the user.
    ::fchmod(descriptor, 0644);
    const bool written = writeWhole(descriptor, bytes) && ::fsync(descriptor) == 0;
    const int writeError = errno;
    ::close(descriptor);
    if (!written) {
        ::unlink(temporary.c_str());
        error = "cannot write into " + folder.string() + ": " + describe(writeError);
        return std::nullopt;
    }
    return temporary;
}

}  // namespace

std::optional<std::filesystem::path> writeNewFile(const std::filesystem::path& folder,
                                                  const std::string& stem,
                                                  const std::string& extension,
                                                  std::span<const std::uint8_t> bytes,
                                                  std::string& error) {
    std::error_code created;
    std::filesystem::create_directories(folder, created);
    if (created) {
        error = "cannot create the folder " + folder.string() + ": " + created.message();
        return std::nullopt;
    }
    const auto written = writeTemporary(folder, stem, bytes, error);
    if (!written) return std::nullopt;
    const std::filesystem::path& temporary = *written;
    for (int number = 1; number <= kMostSuffixes; ++number) {
        std::string name = stem;
        if (number > 1) name.append("_").append(std::to_string(number));
        name.append(extension);
        const std::filesystem::path target = folder / name;
        const int result = moveIfFree(temporary, target);
        if (result == 0) return target;
        if (result != EEXIST) {
            ::unlink(temporary.c_str());
            error = "cannot write " + target.string() + ": " + describe(result);
            return std::nullopt;
        }
    }
    ::unlink(temporary.c_str());
    error = "too many files named " + stem + " in " + folder.string();
    return std::nullopt;
}

bool replaceFile(const std::filesystem::path& file, std::span<const std::uint8_t> bytes,
                 std::string& error) {
    const std::filesystem::path folder = std::filesystem::absolute(file).parent_path();
    const auto temporary = writeTemporary(folder, file.filename().string(), bytes, error);
    if (!temporary) return false;
    if (::rename(temporary->c_str(), file.c_str()) != 0) {
        error = "cannot write " + file.string() + ": " + describe(errno);
        ::unlink(temporary->c_str());
        return false;
    }
    return true;
}

}  // namespace ambro::platform
