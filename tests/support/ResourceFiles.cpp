// Throw-away files for tests.
#include "ResourceFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

std::string WriteTempFile(const std::string& name, const std::string& text)
{
    std::string path = ::testing::TempDir() + std::to_string(::getpid()) + "_" + name;
    std::ofstream out(path);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
}

ResourceScope::ResourceScope(const std::string& json)
{
    static int serial = 0;
    path_ = WriteTempFile("resources_" + std::to_string(++serial) + ".rsrc.json", json);
    refNum_ = OpenResourceFile(path_);
}

ResourceScope::~ResourceScope()
{
    CloseResFile(refNum_);
    std::remove(path_.c_str());
}
