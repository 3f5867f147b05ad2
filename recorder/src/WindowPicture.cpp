// A window as a picture: its port's pixels, alone or inside a frame drawn the
// way the window manager frames windows, written as a PNG; or what its next
// update draws, recorded, written as SVG, PDF or a PNG at a larger scale.
#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "RecorderImpl.h"
#include "recorder/PictureFiles.h"
#include "recorder/Png.h"
#include "signals/InputText.h"
#include "toolbox/Pictures.h"
#include "toolbox/Toolbox.h"

namespace {

// The largest picture side a port can have.
constexpr int kLargestSide = 32767;

struct Picture {
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
};

// The content inside a frame: a title bar with the window's title above, a
// 1-pixel border elsewhere. Throws RecorderError when it would be too large.
Picture Framed(WindowRef window, const UInt32* content, int width, int height, const std::string& path)
{
    const int border = kWindowBorderWidth, titleBar = kWindowTitleBarHeight;
    Picture framed;
    framed.width = width + 2 * border;
    framed.height = height + titleBar + border;
    if (framed.width > kLargestSide || framed.height > kLargestSide)
        throw RecorderError("PNG " + path + ": the window is too large");
    GrafPtr saved;
    GetPort(&saved);
    CGrafPtr frame = CreateOffscreenPort(int16_t(framed.width), int16_t(framed.height));
    SetPort(frame);
    const RGBColor titleGrey{0xDDDD, 0xDDDD, 0xDDDD}, black{0, 0, 0};
    RGBBackColor(&titleGrey);
    RGBForeColor(&black);
    Rect all{0, 0, int16_t(framed.height), int16_t(framed.width)};
    EraseRect(&all);
    FrameRect(&all);
    MoveTo(0, int16_t(titleBar - 1));
    LineTo(int16_t(framed.width - 1), int16_t(titleBar - 1));
    Str255 title;
    GetWTitle(window, title);
    TextFont(systemFont);
    TextSize(12);
    TextFace(bold);
    FontInfo font;
    GetFontInfo(&font);
    int16_t textWidth = StringWidth(title);
    MoveTo(int16_t(std::max(4, (framed.width - textWidth) / 2)),
           int16_t((titleBar - 1 + font.ascent - font.descent) / 2));
    DrawString(title);
    SInt32 frameWidth = 0, frameHeight = 0;
    const UInt32* framePixels = GetPortPixels(frame, &frameWidth, &frameHeight);
    framed.pixels.assign(framePixels, framePixels + size_t(frameWidth) * size_t(frameHeight));
    DisposeOffscreenPort(frame);
    SetPort(saved);
    for (int y = 0; y < height; ++y)
        std::copy(content + size_t(y) * size_t(width), content + size_t(y + 1) * size_t(width),
                  framed.pixels.begin() + ptrdiff_t(size_t(y + titleBar) * size_t(framed.width) + size_t(border)));
    return framed;
}

struct PictureKiller {
    void operator()(OpaquePicture* picture) const { KillPicture(picture); }
};
using PictureOwner = std::unique_ptr<OpaquePicture, PictureKiller>;

}  // namespace

void Recorder::WritePng(WindowRef window, const std::string& path, bool withFrame) const
{
    if (!window) throw RecorderError("PNG " + path + ": no window");
    SInt32 width = 0, height = 0;
    const UInt32* content = GetPortPixels(GetWindowPort(window), &width, &height);
    if (!content || width <= 0 || height <= 0) throw RecorderError("PNG " + path + ": the window has no pixels");
    Picture picture;
    if (withFrame) {
        picture = Framed(window, content, width, height, path);
    } else {
        picture.pixels.assign(content, content + size_t(width) * size_t(height));
        picture.width = width;
        picture.height = height;
    }
    try {
        WritePixelsPng(picture.pixels.data(), picture.width, picture.height, path);
    } catch (const std::runtime_error& error) {
        throw RecorderError(error.what());
    }
}

void Recorder::WritePicture(WindowRef window, const std::string& path, int scale)
{
    const PictureFormat format = PictureFormatOf(path);
    const std::string what = std::string(PictureFormatName(format)) + " " + EscapeInput(path) + ": ";
    if (format == PictureFormat::png && scale == 1) return WritePng(window, path);
    if (impl_->actionDepth > 0) throw RecorderError(what + "a picture can't be taken while an action is under way");
    impl_->Require(window, "picture");
    Rect bounds;
    GetWindowPortBounds(window, &bounds);
    const std::string problem =
        PictureSizeProblem(format, bounds.right - bounds.left, bounds.bottom - bounds.top, scale);
    if (!problem.empty()) throw RecorderError(what + problem);
    if (!IsWindowVisible(window)) throw RecorderError(what + "the window is hidden");

    PictureOwner picture;
    {
        ActionScope action(*impl_);
        PortScope port(window);
        picture.reset(OpenPicture(&bounds));
        InvalWindowRect(window, &bounds);
        impl_->Settle();  // the update, and whatever the commands it posts redraw
        SetPort(GetWindowPort(window));
        ClosePicture();
    }
    if (!picture) throw RecorderError(what + "the window's port already records a picture");
    PictureSettings settings;
    settings.scale = scale;
    Str255 title;
    GetWTitle(window, title);
    settings.title = MacRomanToUtf8(PascalToString(title));
    try {
        const PictureRecord& record = *GetPictureRecord(picture.get());
        switch (format) {
        case PictureFormat::svg:
            WritePictureSvg(record, settings, path);
            break;
        case PictureFormat::pdf:
            WritePicturePdf(record, settings, path);
            break;
        case PictureFormat::png:
            WritePicturePng(record, settings, path);
            break;
        }
    } catch (const std::runtime_error& error) {
        throw RecorderError(error.what());
    }
}
