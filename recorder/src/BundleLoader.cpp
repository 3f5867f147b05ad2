// Loading a bundle with dlopen, opening its resource file, and calling Main1
// with that file current.
#include "recorder/BundleLoader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "toolbox/Memory.h"
#include "toolbox/Resources.h"

namespace {

// dlopen searches the library path for a name without a slash, and would load
// whatever bundle it finds there under that name: the one named is meant.
std::string AbsolutePathOf(const std::string& path)
{
    if (path.empty() || path.front() == '/') return path;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? "./" + path : absolute.string();
}

std::string ResourcePathFor(const std::string& path)
{
    std::string base = path;
    if (base.size() > 3 && base.compare(base.size() - 3, 3, ".so") == 0) base.resize(base.size() - 3);
    return base + ".rsrc.json";
}

// Restores the current resource file when a Main1 call ends, also by an exception.
class CurrentResourcesScope {
public:
    explicit CurrentResourcesScope(int16_t file) : saved_(CurResFile()) { UseResFile(file); }
    ~CurrentResourcesScope() { UseResFile(saved_); }

private:
    int16_t saved_;
};

}  // namespace

ExtensionBundle::ExtensionBundle(const std::string& path, const HostServiceTable* host)
    : path_(path), resourcePath_(ResourcePathFor(AbsolutePathOf(path))), host_(host)
{
    const std::string file = AbsolutePathOf(path);
    struct stat info;
    if (stat(file.c_str(), &info) != 0) throw BundleError("bundle " + EscapeInput(path) + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        throw BundleError("bundle " + EscapeInput(path) + ": " + NotARegularFile(info.st_mode, "a bundle file"));
    // The resource file too: a FIFO in its place would block the reading of it.
    if (stat(resourcePath_.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        throw BundleError("bundle " + EscapeInput(path) + ": its resource file " + EscapeInput(resourcePath_) + " " +
                          NotARegularFile(info.st_mode, "a resource file"));

    library_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
        const char* reason = dlerror();
        throw BundleError("bundle " + EscapeInput(path) + ": not a loadable bundle (" +
                          (reason ? reason : "unknown reason") + ")");
    }
    dlerror();
    void* entry = dlsym(library_, "Main1");
    if (!entry) {
        dlclose(library_);
        throw BundleError("bundle " + EscapeInput(path) + ": exports no Main1");
    }
    main1_ = reinterpret_cast<Main1Function>(entry);

    int16_t previous = CurResFile();
    try {
        resourceFile_ = OpenResourceFile(resourcePath_);
    } catch (const ResourceFileError& error) {
        dlclose(library_);
        throw BundleError("bundle " + EscapeInput(path) + ": its resource file can't be used: " + error.what());
    }
    // Opening makes the file current; outside Main1 calls the host's files are.
    UseResFile(previous);
}

ExtensionBundle::ExtensionBundle(Main1Function main1, const std::string& resourcePath, const std::string& name,
                                 const HostServiceTable* host)
    : path_(name), resourcePath_(resourcePath), host_(host), main1_(main1)
{
    if (!main1_) throw BundleError("extension " + name + ": no Main1");
    int16_t previous = CurResFile();
    try {
        resourceFile_ = OpenResourceFile(resourcePath_);
    } catch (const ResourceFileError& error) {
        throw BundleError("extension " + name + ": its resource file can't be used: " + error.what());
    }
    UseResFile(previous);
}

ExtensionBundle::~ExtensionBundle()
{
    if (resourceFile_ >= 0) CloseResFile(resourceFile_);
    if (library_) dlclose(library_);
}

std::string ExtensionBundle::Stem() const
{
    std::string name = path_;
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0) name.resize(name.size() - 3);
    return name;
}

void ExtensionBundle::SetExtensionID(int16_t id)
{
    ParamBlock block;
    SetBlockField<int16_t>(block.Bytes(), kExtensionIDField, id);
    Send(kSetExtensionID, block.Bytes());
    extensionID_ = id;
}

int32_t ExtensionBundle::Send(int16_t message, uint8_t* params)
{
    CurrentResourcesScope resources(resourceFile_);
    ++callDepth_;
    struct DepthGuard {
        int& depth;
        ~DepthGuard() { --depth; }
    } guard{callDepth_};
    return main1_(message, params, host_);
}
