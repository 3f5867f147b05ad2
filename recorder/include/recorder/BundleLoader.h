// Loading an extension bundle: dlopen, its one entry point Main1, and the
// resource file that lies next to it. Every Main1 call runs with the bundle's
// resource file current, and the previous current file is restored after it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "host/HostServices.h"
#include "host/ParamBlock.h"

// A bundle that can't be used; what() names the path and the reason.
struct BundleError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Main1Function = int32_t (*)(int16_t message, uint8_t* params, const HostServiceTable* host);

class ExtensionBundle {
public:
    // Loads the bundle at path and opens `<path without .so>.rsrc.json`. A
    // relative path, also a bare file name, is taken from the current
    // directory, never from the library search path. Throws BundleError when
    // the file is missing, is not a loadable bundle, has no Main1 or its
    // resource file can't be read.
    ExtensionBundle(const std::string& path, const HostServiceTable* host);
    // An extension linked into the program itself (a test's probe), with the
    // resource file at resourcePath; name stands in for the bundle's path.
    ExtensionBundle(Main1Function main1, const std::string& resourcePath, const std::string& name,
                    const HostServiceTable* host);
    ~ExtensionBundle();  // closes the resource file and unloads the bundle
    ExtensionBundle(const ExtensionBundle&) = delete;
    ExtensionBundle& operator=(const ExtensionBundle&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& ResourcePath() const { return resourcePath_; }  // absolute for a loaded bundle
    std::string Stem() const;                                          // file name without directory and ".so"
    int16_t ResourceFile() const { return resourceFile_; }

    // Message 0: hands the extension its ID (i16 at +0 of the block).
    void SetExtensionID(int16_t id);
    int16_t ExtensionID() const { return extensionID_; }

    // Calls Main1 with the bundle's resource file current. params must be a
    // low-zone block (a ParamBlock) or null for messages that read none.
    int32_t Send(int16_t message, uint8_t* params);

    // Calls of Main1 under way (nested calls count each).
    int CallDepth() const { return callDepth_; }

private:
    std::string path_;
    std::string resourcePath_;
    const HostServiceTable* host_;
    void* library_ = nullptr;
    Main1Function main1_ = nullptr;
    int16_t resourceFile_ = -1;
    int16_t extensionID_ = 0;
    int callDepth_ = 0;
};
