// Loading bundles: the real extension's start-up answers, the three ways a
// bundle can be unusable, and the resource file that is current during calls.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "recorder/BundleLoader.h"
#include "recorder/Recorder.h"
#include "toolbox/Resources.h"

namespace fs = std::filesystem;

namespace {

fs::path ScratchDir(const std::string& name)
{
    fs::path dir = fs::temp_directory_path() / ("recorder-loader-" + std::to_string(getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string LoadError(const std::string& path)
{
    HostServiceTable table{};
    try {
        ExtensionBundle bundle(path, &table);
    } catch (const BundleError& error) {
        return error.what();
    }
    return "";
}

}  // namespace

TEST(BundleLoader, RealBundleAnswersTheStartupMessages)
{
    Recorder recorder;
    ExtensionBundle& bundle = recorder.LoadBundle(XY_BUNDLE_PATH);
    EXPECT_EQ(bundle.ExtensionID(), 1);
    EXPECT_EQ(recorder.StartupResults(bundle), (std::vector<int32_t>{65538, 1, 0, 0, 1}));
    ParamBlock block;
    SetBlockField<int16_t>(block.Bytes(), 0, 1);
    EXPECT_EQ(bundle.Send(0, block.Bytes()), 0);
    EXPECT_EQ(bundle.Stem(), "xyplot");
    EXPECT_EQ(bundle.CallDepth(), 0);
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST(BundleLoader, MissingFileNamesPathAndReason)
{
    std::string path = (ScratchDir("missing") / "nothing.so").string();
    std::string error = LoadError(path);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

TEST(BundleLoader, FileThatIsNoBundleIsRefused)
{
    fs::path path = ScratchDir("text") / "notes.so";
    std::ofstream(path) << "not a shared object\n";
    std::string error = LoadError(path.string());
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_NE(error.find("not a loadable bundle"), std::string::npos) << error;
}

TEST(BundleLoader, LibraryWithoutMain1IsRefused)
{
    // The toolbox library lies beside the bundle and exports no Main1.
    fs::path library = fs::path(XY_BUNDLE_PATH).parent_path() / "libtoolbox.so";
    ASSERT_TRUE(fs::exists(library));
    std::string error = LoadError(library.string());
    EXPECT_NE(error.find(library.string()), std::string::npos) << error;
    EXPECT_NE(error.find("no Main1"), std::string::npos) << error;
}

TEST(BundleLoader, BundleWithoutItsResourceFileIsRefused)
{
    fs::path dir = ScratchDir("lonely");
    fs::copy_file(XY_BUNDLE_PATH, dir / "xyplot.so");
    std::string error = LoadError((dir / "xyplot.so").string());
    EXPECT_NE(error.find("resource file"), std::string::npos) << error;
    EXPECT_NE(error.find("xyplot.rsrc.json"), std::string::npos) << error;
}

// A bare file name is the file in the current directory, never a bundle of
// that name on the library search path (which holds the build's xyplot.so).
TEST(BundleLoader, BareNameIsTheFileInTheCurrentDirectory)
{
    fs::path saved = fs::current_path();
    struct Restore {
        fs::path dir;
        ~Restore() { fs::current_path(dir); }
    } restore{saved};

    fs::path dir = ScratchDir("bare");
    fs::current_path(dir);
    std::ofstream("xyplot.so") << "not a shared object\n";
    fs::copy_file(XY_RESOURCE_PATH, dir / "xyplot.rsrc.json");
    std::string error = LoadError("xyplot.so");
    EXPECT_NE(error.find("not a loadable bundle"), std::string::npos) << "another xyplot.so was loaded: " << error;

    fs::remove(dir / "xyplot.so");
    fs::copy_file(XY_BUNDLE_PATH, dir / "xyplot.so");
    HostServiceTable table{};
    ExtensionBundle bundle("xyplot.so", &table);
    EXPECT_EQ(bundle.ResourcePath(), (fs::current_path() / "xyplot.rsrc.json").string());
    void* copy = dlopen((dir / "xyplot.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(copy, nullptr) << "the copy in the current directory is not the one loaded";
    if (copy) dlclose(copy);
}

TEST(BundleLoader, ResourcesOfTheBundleAreCurrentOnlyDuringItsCalls)
{
    Recorder recorder;
    ExtensionBundle& bundle = recorder.LoadBundle(XY_BUNDLE_PATH);
    // Another file is current before the call and must be again after it.
    int16_t other = OpenResourceFile(XY_RESOURCE_PATH);
    ASSERT_NE(other, bundle.ResourceFile());
    ASSERT_EQ(CurResFile(), other);
    WindowRef window = recorder.OpenWindow(bundle);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(CurResFile(), other);
    recorder.CloseWindow(window);
    EXPECT_EQ(CurResFile(), other);
    CloseResFile(other);
}
