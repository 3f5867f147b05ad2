// Throw-away files for tests: text written to the test's temporary folder,
// and a resource file written, opened and closed again with the scope.
#pragma once

#include <string>

#include "toolbox/Toolbox.h"

// Writes text to a fresh file in the temporary folder; its path.
std::string WriteTempFile(const std::string& name, const std::string& text);

class ResourceScope {
public:
    explicit ResourceScope(const std::string& json);
    ~ResourceScope();
    ResourceScope(const ResourceScope&) = delete;
    ResourceScope& operator=(const ResourceScope&) = delete;
    SInt16 RefNum() const { return refNum_; }

private:
    std::string path_;
    SInt16 refNum_ = 0;
};
