// The one way the recorder writes a user's file: a temporary file beside it,
// synced and renamed over it.
#include "recorder/ReplaceFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

unsigned gTemporaryCount = 0;  // temporary names differ within the process

}  // namespace

void ReplaceFile(const std::string& path, const std::string& what, const std::function<void(std::FILE*)>& write)
{
    // The temporary file gets the mode any new file gets (0666 less the umask),
    // as the file would if written in place; mkstemp would make it private.
    std::string name;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        name = path + "." + std::to_string(getpid()) + "-" + std::to_string(++gTemporaryCount) + ".tmp";
        fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw std::runtime_error(what + " " + path + ": can't create a file there: " + std::strerror(errno));
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        int error = errno;
        close(fd);
        unlink(name.c_str());
        throw std::runtime_error(what + " " + path + ": " + std::strerror(error));
    }
    try {
        write(file);
    } catch (...) {
        std::fclose(file);
        unlink(name.c_str());
        throw;
    }
    // The first failure's errno names the reason; later calls overwrite errno.
    int writeError = 0;
    if (std::fflush(file) != 0)
        writeError = errno;
    else if (fsync(fileno(file)) != 0)
        writeError = errno;
    if (std::fclose(file) != 0 && writeError == 0) writeError = errno;
    if (writeError != 0) {
        unlink(name.c_str());
        throw std::runtime_error(what + " " + path + ": " + std::strerror(writeError));
    }
    if (std::rename(name.c_str(), path.c_str()) != 0) {
        int error = errno;
        unlink(name.c_str());
        throw std::runtime_error(what + " " + path + ": can't put the file in place: " + std::strerror(error));
    }
}
