#include "recorder/StdioOutput.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "signals/InputText.h"
#include "signals/OutputFile.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

void WriteStdioOutput(const std::string& path, const char* kind, const std::function<void(std::FILE*)>& write)
{
    try {
        WriteOutput(path, [&](const std::filesystem::path& name) {
            std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "wb"));
            if (!file) throw OutputError(std::strerror(errno));
            write(file.get());
            // The first failure's errno names the reason; later calls overwrite errno.
            int error = std::fflush(file.get()) != 0 ? errno : 0;
            if (std::ferror(file.get()) && error == 0) error = EIO;  // a write failed, its errno is gone
            if (std::fclose(file.release()) != 0 && error == 0) error = errno;
            if (error != 0) throw OutputError(std::strerror(error));
        });
    } catch (const std::runtime_error& error) {
        throw std::runtime_error(std::string(kind) + " " + EscapeInput(path) + ": " + error.what());
    }
}
